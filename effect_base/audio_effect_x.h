#pragma once
// AudioEffectX: the extended effect. It answers the host's extended requests
// (effProcessEvents to effGetNumMidiOutputChannels), offers the requests an effect can send
// back to its host, and tools for speaker-arrangement records. Every operation has a default;
// an effect overrides only what it needs.
//
// The added operations follow AudioEffect's in this order of slots, which is part of the
// binary contract: append, never insert. Their contracts use AudioEffect's tags
// (audio_effect.h). "Not dispatched" marks an operation that no request of the host reaches:
// its request is passed on to the core dispatcher, which answers 0. An operation that sends a
// request (see host_requests.cpp) sends nothing without a host callback and answers what a
// host's 0 would give.

#include "audio_effect.h"
#include "vst_records.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    // [any thread] Each request on the thread the host sends it from: answers the extended
    // requests itself, bools as 1 or 0 and int32 results widened with their sign, and hands
    // every other one, unchanged, to the core dispatcher.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    // [main thread, suspended] effMainsChanged 1: asks the host for events (wantEvents) when
    // the effect is a synth or its canDo says it takes MIDI events.
    void resume() override;

    // [main thread] effCanBeAutomated: whether the host may automate parameter index.
    virtual bool canParameterBeAutomated(VstInt32 /*index*/) { return true; }
    // [main thread] effString2Parameter: sets parameter index from the host's terminated text;
    // true when the text was taken.
    virtual bool string2parameter(VstInt32 /*index*/, char* /*text*/) { return false; }
    // [main thread] effGetParameterProperties: fills the host's record for parameter index:
    // label kVstMaxLabelLen (64), shortLabel kVstMaxShortLabelLen (8) and categoryLabel
    // kVstMaxCategLabelLen (24) bytes with the NUL.
    virtual bool getParameterProperties(VstInt32 /*index*/, VstParameterProperties* /*p*/) {
        return false;
    }
    // [main thread] audioMasterBeginEdit: the editor starts changing parameter index.
    virtual bool beginEdit(VstInt32 index);
    // [main thread] audioMasterEndEdit: the editor is done changing parameter index.
    virtual bool endEdit(VstInt32 index);
    // [main thread] effGetProgramNameIndexed: the name of program index (of category) into
    // the host's buffer, kVstMaxProgNameLen (24) bytes with the NUL; false when there is no
    // such program.
    virtual bool getProgramNameIndexed(VstInt32 /*category*/, VstInt32 /*index*/, char* /*text*/) {
        return false;
    }
    // [main thread] effBeginSetProgram: a program change follows.
    virtual bool beginSetProgram() { return false; }
    // [main thread] effEndSetProgram: the program change is done.
    virtual bool endSetProgram() { return false; }
    // [main thread] effBeginLoadBank: whether the bank described can be loaded.
    virtual VstInt32 beginLoadBank(VstPatchChunkInfo* /*ptr*/) { return 0; }
    // [main thread] effBeginLoadProgram: whether the program described can be loaded.
    virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* /*ptr*/) { return 0; }
    // [main thread] audioMasterIOChanged: the host should read the record again (channels,
    // latency, flags).
    virtual bool ioChanged();
    // [main thread] audioMasterGetSampleRate: a positive answer becomes sampleRate; answers the
    // stored rate.
    virtual double updateSampleRate();
    // [main thread] audioMasterGetBlockSize: a positive answer (low 32 bits) becomes
    // blockSize; answers the stored size.
    virtual VstInt32 updateBlockSize();
    // [main thread] audioMasterGetInputLatency: the host's input latency in samples.
    virtual VstInt32 getInputLatency();
    // [main thread] audioMasterGetOutputLatency: the host's output latency in samples.
    virtual VstInt32 getOutputLatency();
    // [main thread] effGetInputProperties: fills the host's record for input pin index: label
    // kVstMaxLabelLen (64) and shortLabel kVstMaxShortLabelLen (8) bytes with the NUL.
    virtual bool getInputProperties(VstInt32 /*index*/, VstPinProperties* /*p*/) { return false; }
    // [main thread] effGetOutputProperties: fills the host's record for output pin index,
    // likewise.
    virtual bool getOutputProperties(VstInt32 /*index*/, VstPinProperties* /*p*/) { return false; }
    // [main thread, suspended] effSetSpeakerArrangement: the host proposes arrangements;
    // true when the effect takes them. The records stay the host's.
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*pluginInput*/,
                                       VstSpeakerArrangement* /*pluginOutput*/) {
        return false;
    }
    // [main thread] effGetSpeakerArrangement: stores the effect's own records (or null)
    // through both pointers; the records stay the effect's.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput) {
        *pluginInput = nullptr;
        *pluginOutput = nullptr;
        return false;
    }
    // [any thread] effSetBypass: soft bypass on or off; may come from the audio thread.
    virtual bool setBypass(bool /*onOff*/) { return false; }
    // [main thread] effSetPanLaw: the pan law of type and gain val.
    virtual bool setPanLaw(VstInt32 /*type*/, float /*val*/) { return false; }
    // [main thread, suspended] effSetProcessPrecision: which processing call, 32-bit or
    // 64-bit, is to come.
    virtual bool setProcessPrecision(VstInt32 /*precision*/) { return false; }
    // [main thread] effGetNumMidiInputChannels: MIDI channels the effect takes.
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    // [main thread] effGetNumMidiOutputChannels: MIDI channels the effect sends.
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    // [audio thread] audioMasterGetTime with filter in value: the host's time record, or null.
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    // [any thread] audioMasterGetCurrentProcessLevel: what kind of thread the caller is on.
    virtual VstInt32 getCurrentProcessLevel();
    // [any thread] audioMasterGetAutomationState: whether the host reads or writes automation.
    virtual VstInt32 getAutomationState();
    // [audio thread] effProcessEvents: events for the next processing call; the record stays
    // the host's and is valid during this call only.
    virtual VstInt32 processEvents(VstEvents* /*events*/) { return 0; }
    // [main thread] effStartProcess: processing calls follow.
    virtual VstInt32 startProcess() { return 0; }
    // [main thread] effStopProcess: processing calls stop.
    virtual VstInt32 stopProcess() { return 0; }
    // [audio thread] effProcessVarIo: offline processing with differing input and output
    // lengths.
    virtual bool processVariableIo(VstVariableIo* /*varIo*/) { return false; }
    // [main thread] effSetTotalSampleToProcess: the length of an offline pass; answers the
    // length the effect will process.
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
    // [main thread] audioMasterGetVendorString: the host's vendor into text, which must hold
    // kVstMaxVendorStrLen (64) bytes.
    virtual bool getHostVendorString(char* text);
    // [main thread] audioMasterGetProductString: the host's product name into text, which
    // must hold kVstMaxProductStrLen (64) bytes.
    virtual bool getHostProductString(char* text);
    // [main thread] audioMasterGetVendorVersion: the host's version.
    virtual VstInt32 getHostVendorVersion();
    // [any thread] audioMasterVendorSpecific with every argument as given; the answer as it
    // comes.
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                         float floatArg);
    // [main thread] audioMasterCanDo: 1 when the host says it can do text (terminated), else 0.
    virtual VstInt32 canHostDo(char* text);
    // [main thread] audioMasterGetLanguage: the host's language.
    virtual VstInt32 getHostLanguage();
    // [main thread] effFlagsIsSynth, a record flag (audio_effect.h).
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    // [main thread] effFlagsNoSoundInStop: silence in gives silence out, so the host may stop
    // calling when the input is silent.
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    // [main thread] effGetTailSize: how many samples the output rings on after the input
    // stops.
    virtual VstInt32 getGetTailSize() { return 0; }
    // [main thread] audioMasterGetDirectory: the folder the plug-in was loaded from.
    virtual void* getDirectory();
    // [main thread] effGetEffectName: the effect's name into the host's buffer,
    // kVstMaxEffectNameLen (32) bytes with the NUL.
    virtual bool getEffectName(char* /*name*/) { return false; }
    // [main thread] effGetVendorString: the vendor's name into the host's buffer,
    // kVstMaxVendorStrLen (64) bytes with the NUL.
    virtual bool getVendorString(char* /*text*/) { return false; }
    // [main thread] effGetProductString: the product's name into the host's buffer,
    // kVstMaxProductStrLen (64) bytes with the NUL.
    virtual bool getProductString(char* /*text*/) { return false; }
    // [main thread] effGetVendorVersion: the effect's version.
    virtual VstInt32 getVendorVersion() { return 0; }
    // [any thread] effVendorSpecific: an extension the effect knows by its arguments; the
    // answer goes back unchanged.
    virtual VstIntPtr vendorSpecific(VstInt32 /*lArg*/, VstIntPtr /*lArg2*/, void* /*ptrArg*/,
                                     float /*floatArg*/) {
        return 0;
    }
    // [main thread] effCanDo: 1 when the effect can do text (terminated), -1 when it cannot, 0
    // when it does not know. resume asks it about "receiveVstMidiEvent".
    virtual VstInt32 canDo(char* /*text*/) { return 0; }
    // [main thread] effGetVstVersion: the interface version the effect implements.
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    // [main thread] effGetPlugCategory: kPlugCategSynth for a synth, else kPlugCategUnknown.
    virtual VstInt32 getPlugCategory() {
        return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
    }
    // [main thread] effGetMidiProgramName: fills the host's record for MIDI channel channel;
    // its name, like every name in the MIDI records below, kVstMaxNameLen (64) bytes.
    virtual VstInt32 getMidiProgramName(VstInt32 /*channel*/, MidiProgramName* /*name*/) {
        return 0;
    }
    // [main thread] effGetCurrentMidiProgram: the current MIDI program of channel; -1 when
    // there are none.
    virtual VstInt32 getCurrentMidiProgram(VstInt32 /*channel*/, MidiProgramName* /*current*/) {
        return -1;
    }
    // [main thread] effGetMidiProgramCategory: fills the host's record for channel.
    virtual VstInt32 getMidiProgramCategory(VstInt32 /*channel*/,
                                            MidiProgramCategory* /*category*/) {
        return 0;
    }
    // [main thread] effHasMidiProgramsChanged: whether channel's MIDI programs changed.
    virtual bool hasMidiProgramsChanged(VstInt32 /*channel*/) { return false; }
    // [main thread] effGetMidiKeyName: fills the host's record with a key's name.
    virtual bool getMidiKeyName(VstInt32 /*channel*/, MidiKeyName* /*keyName*/) { return false; }
    // [main thread] audioMasterUpdateDisplay: the host should read names and values again.
    virtual bool updateDisplay();
    // [main thread] audioMasterSizeWindow: asks the host for an editor window of this size.
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    // [main thread] audioMasterOpenFileSelector: the host's file dialog; false for null.
    virtual bool openFileSelector(VstFileSelect* ptr);
    // [main thread] audioMasterCloseFileSelector: releases what the dialog returned; false
    // for null.
    virtual bool closeFileSelector(VstFileSelect* ptr);
    // [main thread] effShellGetNextPlugin: a shell's next effect: its name into name,
    // kVstMaxProductStrLen (64) bytes with the NUL, its identifier as the answer; 0 when there
    // are no more.
    virtual VstInt32 getNextShellPlugin(char* /*name*/) { return 0; }
    // [any thread] Speaker tools (speaker_arrangement.cpp). Nothing else may use a record
    // while one of them works on it. A record made here is one block from the general heap,
    // owned by whoever holds the pointer.
    // [any thread] Replaces *arrangement (released if not null) with a zeroed record for
    // nbChannels channels, 0 to 19173961; false, with *arrangement null, when refused.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels);
    // [any thread] Releases *arrangement, if any, and sets it to null; always true.
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    // [any thread] Copies one speaker, the name cut to 63 characters; false for a null address.
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    // [any thread] Makes *to an exact copy of from in a new record, through the three tools
    // above; false for a null from, or when one of them fails.
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
    // [main thread] audioMasterOfflineRead: the host reads for an offline task (its source
    // when readSource).
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                             bool readSource = true);
    // [main thread] audioMasterOfflineWrite: the host writes for an offline task.
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
    // [main thread] audioMasterOfflineStart: starts an offline pass over the host's files.
    virtual bool offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
    // [main thread] audioMasterOfflineGetCurrentPass: 1 or 0.
    virtual VstInt32 offlineGetCurrentPass();
    // [main thread] audioMasterOfflineGetCurrentMetaPass: 1 or 0.
    virtual VstInt32 offlineGetCurrentMetaPass();
    // [main thread] effOfflineNotify: the host's files changed (start: a new pass).
    virtual bool offlineNotify(VstAudioFile* /*ptr*/, VstInt32 /*numAudioFiles*/, bool /*start*/) {
        return false;
    }
    // [main thread] effOfflinePrepare: prepares count offline tasks.
    virtual bool offlinePrepare(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return false; }
    // [main thread] effOfflineRun: runs count offline tasks.
    virtual bool offlineRun(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return false; }
    // [main thread] Not dispatched: the number of offline passes.
    virtual VstInt32 offlineGetNumPasses() { return 0; }
    // [main thread] Not dispatched: the number of offline meta passes.
    virtual VstInt32 offlineGetNumMetaPasses() { return 0; }
    // [main thread] audioMasterWantMidi with filter in value: asks for events (resume sends it).
    virtual void wantEvents(VstInt32 filter = 1);
    // [any thread] audioMasterTempoAt with pos in value: the tempo at a sample position.
    virtual VstInt32 tempoAt(VstInt32 pos);
    // [main thread] audioMasterGetNumAutomatableParameters.
    virtual VstInt32 getNumAutomatableParameters();
    // [main thread] audioMasterGetParameterQuantization.
    virtual VstInt32 getParameterQuantization();
    // [main thread] Not dispatched (effGetNumProgramCategories is passed on): the number of
    // program categories.
    virtual VstInt32 getNumCategories() { return 1; }
    // [main thread] Not dispatched (effCopyProgram): copies the current program to
    // destination.
    virtual bool copyProgram(VstInt32 /*destination*/) { return false; }
    // [main thread] audioMasterNeedIdle: asks the host for effIdle calls.
    virtual bool needIdle();
    // [main thread] audioMasterGetPreviousPlug: the effect before this one; the pin is not
    // sent.
    virtual AEffect* getPreviousPlug(VstInt32 input);
    // [main thread] audioMasterGetNextPlug: the effect after this one; the pin is not sent.
    virtual AEffect* getNextPlug(VstInt32 output);
    // [main thread] Not dispatched (effConnectInput): input pin index connected or not.
    virtual void inputConnected(VstInt32 /*index*/, bool /*state*/) {}
    // [main thread] Not dispatched (effConnectOutput): output pin index connected or not.
    virtual void outputConnected(VstInt32 /*index*/, bool /*state*/) {}
    // [main thread] audioMasterWillReplaceOrAccumulate: which processing call the host uses.
    virtual VstInt32 willProcessReplacing();
    // [main thread] effFlagsExtIsAsync, a record flag.
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    // [main thread] effFlagsExtHasBuffer, a record flag.
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    // [audio thread] Not dispatched (effGetCurrentPosition): the position of asynchronous
    // processing.
    virtual VstInt32 reportCurrentPosition() { return 0; }
    // [audio thread] Not dispatched (effGetDestinationBuffer): the buffer of asynchronous
    // processing.
    virtual float* reportDestinationBuffer() { return nullptr; }
    // [main thread] audioMasterSetOutputSampleRate with samplerate in opt.
    virtual void setOutputSamplerate(float samplerate);
    // [main thread] audioMasterGetInputSpeakerArrangement: the host's record, or null.
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    // [main thread] audioMasterGetOutputSpeakerArrangement: the host's record, or null.
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    // [main thread] audioMasterOpenWindow: asks the host for a window.
    virtual void* openWindow(VstWindow* window);
    // [main thread] audioMasterCloseWindow: gives the window back.
    virtual bool closeWindow(VstWindow* window);
    // [main thread, suspended] Not dispatched (effSetBlockSizeAndSampleRate): stores both
    // values, without calling setBlockSize or setSampleRate.
    virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate) {
        this->blockSize = blockSize;
        this->sampleRate = sampleRate;
    }
    // [main thread] Not dispatched (effGetErrorText): the last error as text,
    // kVstMaxErrorTextLen (256) bytes with the NUL.
    virtual bool getErrorText(char* /*text*/) { return false; }
    // [main thread] Not dispatched (effGetIcon): the effect's icon.
    virtual void* getIcon() { return nullptr; }
    // [main thread] Not dispatched (effSetViewPosition): moves the editor's view.
    virtual bool setViewPosition(VstInt32 /*x*/, VstInt32 /*y*/) { return false; }
    // [main thread] Not dispatched (effIdle): idle work the effect asked for with needIdle.
    virtual VstInt32 fxIdle() { return 0; }
    // [main thread] Not dispatched (effKeysRequired): whether the editor wants every key.
    virtual bool keysRequired() { return false; }
    // [main thread] audioMasterGetChunkFile: the file of the chunk being loaded; false for
    // null.
    virtual bool getChunkFile(void* nativePath);
};
