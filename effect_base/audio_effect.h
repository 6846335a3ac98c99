#pragma once
// AudioEffect: the root of every effect. It keeps the instance's tie to the host (callback and
// the embedded AEffect record), the settings the host hands down, the core requests (effOpen
// to effSetChunk), the first five requests to the host, and value-to-text formatters for
// derived effects.
//
// The order of the virtual operations is the order of their slots; derived effects built
// elsewhere against this header rely on it, so new operations only ever go at the end of
// AudioEffectX.
//
// Every virtual operation states its contract: the thread it is called on, what it does or
// must do, and the request that reaches it (effX, through the dispatchers) or that it sends
// (audioMasterX). Defaults that only answer, store or clear are written in the class.
//   [main thread]   the host's user-interface thread, one request at a time;
//   [audio thread]  the thread of the processing calls, between resume and suspend;
//   [any thread]    either of them or another, also while a processing call runs;
//   "suspended"     only while the effect is switched off (before resume, after suspend):
//                   no processing call runs at the same time.
// The host may call setParameter and getParameter on one thread while a processing call runs
// on another; everything else that an effect shares with its processing calls is set while it
// is suspended. An effect that calls its own operations keeps to their tags.

#include "aeff_editor.h"
#include "aeffect.h"

class AudioEffect {
public:
    // [any thread] Stores the callback (may be null) and the two counts, and fills the record.
    // The entry makes one per instance, on the thread that calls it.
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // [main thread, suspended] effClose, after close: destroys the editor, if any.
    virtual ~AudioEffect() { delete editor; }

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // [any thread] Each request on the thread the host sends it from: effOpen to effSetChunk
    // call the operations below; every other opcode answers 0 and calls nothing.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    // [main thread, suspended] effOpen: the host has made the instance and configures it next.
    virtual void open() {}
    // [main thread, suspended] effClose: the last request before the instance is destroyed.
    virtual void close() {}
    // [main thread] effMainsChanged 0: no processing call comes after it until resume.
    virtual void suspend() {}
    // [main thread, suspended] effMainsChanged 1: processing calls may follow.
    virtual void resume() {}

    // [main thread, suspended] effSetSampleRate: the rate of the blocks to come, in Hz.
    virtual void setSampleRate(float sampleRate) { this->sampleRate = sampleRate; }
    // [main thread, suspended] effSetBlockSize: the largest block to come.
    virtual void setBlockSize(VstInt32 blockSize) { this->blockSize = blockSize; }

    // [audio thread] Overwrites samples 0 to sampleFrames - 1 of every output channel; the
    // outputs may be the inputs. Must not allocate, lock or wait. Every effect supplies it.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    // [audio thread] The same with 64-bit samples, for an effect that sets
    // effFlagsCanDoubleReplacing.
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/) {}

    // [any thread] Sets parameter index to a value from 0 to 1; may overlap a processing call.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    // [any thread] The value of parameter index, 0 to 1; may overlap a processing call.
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // [main thread] A change made by the effect's own editor: setParameter first, then
    // audioMasterAutomate, so the host can record it.
    virtual void setParameterAutomated(VstInt32 index, float value);

    // [main thread] effGetProgram: the number of the current program.
    virtual VstInt32 getProgram() { return curProgram; }
    // [main thread] effSetProgram, for a value below numPrograms (negative ones included):
    // makes program the current one.
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    // Text requests write into the host's buffer, whose size they are not told: the limits of
    // binding/aeffect.h (VstStringConstants) are what fits every host.
    // [main thread] effSetProgramName: renames the current program after the host's text, a
    // terminated text meant to fit kVstMaxProgNameLen bytes; copy it with a bound all the same.
    virtual void setProgramName(char* /*name*/) {}
    // [main thread] effGetProgramName: the current program's name into the host's buffer,
    // kVstMaxProgNameLen (24) bytes with the NUL.
    virtual void getProgramName(char* name) { name[0] = '\0'; }

    // [main thread] effGetParamLabel: parameter index's unit into the host's buffer,
    // kVstMaxParamStrLen (8) characters and the NUL.
    virtual void getParameterLabel(VstInt32 /*index*/, char* label) { label[0] = '\0'; }
    // [main thread] effGetParamDisplay: parameter index's value as text, kVstMaxParamStrLen
    // (8) characters and the NUL; the formatters below write at most that with maxLen 8.
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { text[0] = '\0'; }
    // [main thread] effGetParamName: parameter index's name, kVstMaxParamStrLen (8)
    // characters and the NUL.
    virtual void getParameterName(VstInt32 /*index*/, char* text) { text[0] = '\0'; }

    // [main thread] effGetChunk: points *data at the effect's settings (one program when
    // isPreset, else all) and answers their size in bytes; the effect keeps the bytes alive
    // until its next call. For an effect that sets effFlagsProgramChunks.
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    // [main thread] effSetChunk: takes settings from byteSize bytes the host keeps.
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }

    // Record setters: the constructor calls them, and the host reads the record once the entry
    // returns; a change made later, on the main thread, reaches the host only through
    // ioChanged. Each changes its own field or flag and nothing else.
    // [main thread] The effect's identifier, a four-character code.
    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    // [main thread] The number of input channels.
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    // [main thread] The number of output channels.
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    // [main thread] effFlagsCanReplacing: processReplacing is supported.
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    // [main thread] effFlagsCanDoubleReplacing: processDoubleReplacing is supported.
    virtual void canDoubleReplacing(bool state = true) {
        setFlag(effFlagsCanDoubleReplacing, state);
    }
    // [main thread] effFlagsProgramChunks: settings travel as chunks (getChunk, setChunk).
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    // [main thread] The latency the effect adds, in samples.
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    // [any thread] The editor, or null.
    virtual AEffEditor* getEditor() { return editor; }
    // [any thread] The record the host holds for this instance.
    virtual AEffect* getAeffect() { return &cEffect; }
    // [any thread] The rate of the last effSetSampleRate (or updateSampleRate), in Hz.
    virtual float getSampleRate() { return sampleRate; }
    // [any thread] The block size of the last effSetBlockSize (or updateBlockSize).
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Requests to the host. Without a callback each sends nothing and gives the answer a
    // host's 0 would give.
    // [main thread] audioMasterVersion: the host's interface version; 1 when it answers 0.
    virtual VstInt32 getMasterVersion();
    // [main thread] audioMasterCurrentId: the identifier the host is loading (shell plug-ins).
    virtual VstInt32 getCurrentUniqueId();
    // [main thread] audioMasterIdle: lets the host do its idle work.
    virtual void masterIdle();

    // [any thread] Value-to-text formatters, keeping no state: at most maxLen characters into
    // text, which holds maxLen + 1 bytes; every byte after the text up to text[maxLen] becomes
    // NUL, and nothing beyond it is written.
    // [any thread] A linear gain in decibels, through float2string; "-oo" for 0 or less.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    // [any thread] A period in samples as a frequency at getSampleRate(), through
    // float2string; 0 samples show 0.
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    // [any thread] A duration in samples in milliseconds at getSampleRate(), through
    // float2string.
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    // [any thread] Eight characters: sign, integer digits, point, fraction truncated; "Huge!"
    // above 99999999 (above 9999999 for negative values).
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    // [any thread] Decimal digits with a sign when negative; "Huge!" from 100000000.
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    // [audio thread] The accumulating process: adds the effect's output to the outputs. The
    // default does nothing, so the host's outputs stay as they are.
    virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) {}
    // [any thread] A level for a meter; no request reaches it (effGetVu answers 0).
    virtual float getVu() { return 0.0f; }
    // [main thread] effFlagsHasVu, a record flag like those above.
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    // [main thread] effFlagsHasClip, a record flag.
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    // [main thread] effFlagsCanMono: a mono signal may be fed to both inputs.
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    // [main thread] The record's realQualities, a record field like those above.
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    // [main thread] The record's offQualities.
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }

    // [main thread] audioMasterPinConnected for input pin input: true when the host answers
    // 0 (connected), or when there is no host.
    virtual bool isInputConnected(VstInt32 input);
    // [main thread] audioMasterPinConnected for output pin output, likewise.
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
