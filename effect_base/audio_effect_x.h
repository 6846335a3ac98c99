#pragma once
// AudioEffectX: the extended effect. It answers the host's requests 25..79, offers the
// requests an effect can send back to its host, and tools for speaker-arrangement records.
// Every operation has a default; an effect overrides only what it needs.
//
// The added operations follow AudioEffect's in this order of slots, which is part of the
// binary contract: append, never insert.

#include "effect_base/audio_effect.h"
#include "effect_base/vst_records.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    // Answers the extended requests itself and hands every other one, unchanged, to the core
    // dispatcher. [any thread]
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    // Asks the host for events when the effect is a synth or says it takes MIDI events.
    void resume() override;

    // Operations marked "host:" send one request to the host (see host_requests.cpp); without a
    // host callback they answer what a host's 0 would give, and send nothing.

    virtual bool canParameterBeAutomated(VstInt32 /*index*/) { return true; }
    virtual bool string2parameter(VstInt32 /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(VstInt32 /*index*/, VstParameterProperties* /*p*/) {
        return false;
    }
    virtual bool beginEdit(VstInt32 index);  // host: 43
    virtual bool endEdit(VstInt32 index);    // host: 44
    virtual bool getProgramNameIndexed(VstInt32 /*category*/, VstInt32 /*index*/, char* /*text*/) {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual VstInt32 beginLoadBank(VstPatchChunkInfo* /*ptr*/) { return 0; }
    virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* /*ptr*/) { return 0; }
    virtual bool ioChanged();             // host: 13
    virtual double updateSampleRate();    // host: 16, stores a positive answer
    virtual VstInt32 updateBlockSize();   // host: 17, stores a positive answer
    virtual VstInt32 getInputLatency();   // host: 18
    virtual VstInt32 getOutputLatency();  // host: 19
    virtual bool getInputProperties(VstInt32 /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool getOutputProperties(VstInt32 /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*pluginInput*/,
                                       VstSpeakerArrangement* /*pluginOutput*/) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput) {
        *pluginInput = nullptr;
        *pluginOutput = nullptr;
        return false;
    }
    virtual bool setBypass(bool /*onOff*/) { return false; }
    virtual bool setPanLaw(VstInt32 /*type*/, float /*val*/) { return false; }
    virtual bool setProcessPrecision(VstInt32 /*precision*/) { return false; }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);  // host: 7
    virtual VstInt32 getCurrentProcessLevel();          // host: 23
    virtual VstInt32 getAutomationState();              // host: 24
    virtual VstInt32 processEvents(VstEvents* /*events*/) { return 0; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo* /*varIo*/) { return false; }
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
    virtual bool getHostVendorString(char* text);   // host: 32
    virtual bool getHostProductString(char* text);  // host: 33
    virtual VstInt32 getHostVendorVersion();        // host: 34
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                         float floatArg);  // host: 35
    virtual VstInt32 canHostDo(char* text);                // host: 37, 1 for any non-zero answer
    virtual VstInt32 getHostLanguage();                    // host: 38
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual void* getDirectory();  // host: 41
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 /*lArg*/, VstIntPtr /*lArg2*/, void* /*ptrArg*/,
                                     float /*floatArg*/) {
        return 0;
    }
    virtual VstInt32 canDo(char* /*text*/) { return 0; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getPlugCategory() {
        return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
    }
    virtual VstInt32 getMidiProgramName(VstInt32 /*channel*/, MidiProgramName* /*name*/) {
        return 0;
    }
    virtual VstInt32 getCurrentMidiProgram(VstInt32 /*channel*/, MidiProgramName* /*current*/) {
        return -1;
    }
    virtual VstInt32 getMidiProgramCategory(VstInt32 /*channel*/,
                                            MidiProgramCategory* /*category*/) {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(VstInt32 /*channel*/) { return false; }
    virtual bool getMidiKeyName(VstInt32 /*channel*/, MidiKeyName* /*keyName*/) { return false; }
    virtual bool updateDisplay();                              // host: 42
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);  // host: 15
    virtual bool openFileSelector(VstFileSelect* ptr);         // host: 45, refuses null
    virtual bool closeFileSelector(VstFileSelect* ptr);        // host: 46, refuses null
    virtual VstInt32 getNextShellPlugin(char* /*name*/) { return 0; }
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                             bool readSource = true);                             // host: 26
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);  // host: 27
    virtual bool offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles,
                              VstInt32 numNewAudioFiles);  // host: 25
    virtual VstInt32 offlineGetCurrentPass();              // host: 28, 1/0
    virtual VstInt32 offlineGetCurrentMetaPass();          // host: 29, 1/0
    virtual bool offlineNotify(VstAudioFile* /*ptr*/, VstInt32 /*numAudioFiles*/, bool /*start*/) {
        return false;
    }
    virtual bool offlinePrepare(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return false; }
    virtual bool offlineRun(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return false; }
    virtual VstInt32 offlineGetNumPasses() { return 0; }
    virtual VstInt32 offlineGetNumMetaPasses() { return 0; }
    virtual void wantEvents(VstInt32 filter = 1);    // host: 6
    virtual VstInt32 tempoAt(VstInt32 pos);          // host: 10
    virtual VstInt32 getNumAutomatableParameters();  // host: 11
    virtual VstInt32 getParameterQuantization();     // host: 12
    virtual VstInt32 getNumCategories() { return 1; }
    virtual bool copyProgram(VstInt32 /*destination*/) { return false; }
    virtual bool needIdle();                           // host: 14
    virtual AEffect* getPreviousPlug(VstInt32 input);  // host: 20, the pin is not sent
    virtual AEffect* getNextPlug(VstInt32 output);     // host: 21, the pin is not sent
    virtual void inputConnected(VstInt32 /*index*/, bool /*state*/) {}
    virtual void outputConnected(VstInt32 /*index*/, bool /*state*/) {}
    virtual VstInt32 willProcessReplacing();  // host: 22
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    virtual VstInt32 reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual void setOutputSamplerate(float samplerate);            // host: 30
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();   // host: 49
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();  // host: 31
    virtual void* openWindow(VstWindow* window);                   // host: 39
    virtual bool closeWindow(VstWindow* window);                   // host: 40
    virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate) {
        this->blockSize = blockSize;
        this->sampleRate = sampleRate;
    }
    virtual bool getErrorText(char* /*text*/) { return false; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(VstInt32 /*x*/, VstInt32 /*y*/) { return false; }
    virtual VstInt32 fxIdle() { return 0; }
    virtual bool keysRequired() { return false; }
    virtual bool getChunkFile(void* nativePath);  // host: 48, refuses null
};
