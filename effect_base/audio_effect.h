#pragma once
// AudioEffect: the root of every effect. It keeps the instance's tie to the host (callback and
// the embedded AEffect record), the settings the host hands down, the core requests 0..24,
// the first five requests to the host, and value-to-text formatters for derived effects.
//
// The order of the virtual operations is the order of their slots; derived effects built
// elsewhere against this header rely on it, so new operations only ever go at the end of
// AudioEffectX.

#include "binding/aeffect.h"
#include "effect_base/aeff_editor.h"

class AudioEffect {
public:
    // Stores the callback (may be null) and the two counts, and fills the record.
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect() { delete editor; }

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // The core dispatcher for requests 0..24; every other opcode answers 0. [any thread]
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float sampleRate) { this->sampleRate = sampleRate; }
    virtual void setBlockSize(VstInt32 blockSize) { this->blockSize = blockSize; }

    // Replacing processing: outputs are overwritten. [audio thread]
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/) {}

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Sets the parameter first, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = '\0'; }

    virtual void getParameterLabel(VstInt32 /*index*/, char* label) { label[0] = '\0'; }
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { text[0] = '\0'; }
    virtual void getParameterName(VstInt32 /*index*/, char* text) { text[0] = '\0'; }

    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }

    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }

    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) {
        setFlag(effFlagsCanDoubleReplacing, state);
    }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Requests to the host. Without a callback each gives the answer the host's 0 would give.
    virtual VstInt32 getMasterVersion();  // 1 when the host answers 0
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();

    // Value-to-text formatters: at most maxLen characters into text, which holds maxLen + 1
    // bytes; every byte after the text up to text[maxLen] becomes NUL.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    // The accumulating process: does nothing, so the host's outputs stay as they are.
    virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }

    // True when the host answers 0 (connected), or when there is no host.
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

protected:
    // Sends one request to the host with this instance's record. Without a callback nothing
    // is sent and the answer is 0: every request's no-host answer is the one a host's 0 gives.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    void setFlag(VstInt32 mask, bool state) {
        cEffect.flags = state ? (cEffect.flags | mask) : (cEffect.flags & ~mask);
    }

    audioMasterCallback audioMaster;
    AEffEditor* editor;
    float sampleRate;
    VstInt32 blockSize;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram;
    AEffect cEffect;
};

// Made by the plug-in's entry, one per instance; each plug-in binary defines it for its own
// effect class. Answers null when no instance can be made.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
