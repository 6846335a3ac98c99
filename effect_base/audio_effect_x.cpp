#include "audio_effect_x.h"

#include "conversions.h"

using conversions::oneOrZero;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    // value as int32: the low 32 bits. value as a flag: the whole pointer-sized value.
    const auto low32 = static_cast<VstInt32>(value);
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return oneOrZero(canParameterBeAutomated(index));
        case effString2Parameter: return oneOrZero(string2parameter(index, text));
        case effGetProgramNameIndexed: return oneOrZero(getProgramNameIndexed(low32, index, text));
        case effGetInputProperties:
            return oneOrZero(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetOutputProperties:
            return oneOrZero(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetPlugCategory: return getPlugCategory();
        case effOfflineNotify:
            return oneOrZero(offlineNotify(static_cast<VstAudioFile*>(ptr), low32, index != 0));
        case effOfflinePrepare:
            return oneOrZero(offlinePrepare(static_cast<VstOfflineTask*>(ptr), low32));
        case effOfflineRun: return oneOrZero(offlineRun(static_cast<VstOfflineTask*>(ptr), low32));
        case effProcessVarIo: return oneOrZero(processVariableIo(static_cast<VstVariableIo*>(ptr)));
        case effSetSpeakerArrangement:
            return oneOrZero(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                                   static_cast<VstSpeakerArrangement*>(ptr)));
        case effSetBypass: return oneOrZero(setBypass(value != 0));
        case effGetEffectName: return oneOrZero(getEffectName(text));
        case effGetVendorString: return oneOrZero(getVendorString(text));
        case effGetProductString: return oneOrZero(getProductString(text));
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return canDo(text);
        case effGetTailSize: return getGetTailSize();
        case effGetParameterProperties:
            return oneOrZero(
                getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode keyCode{};
            keyCode.character = index;
            keyCode.virt = static_cast<unsigned char>(value);
            keyCode.modifier = static_cast<unsigned char>(conversions::truncateToInt32(opt));
            return oneOrZero(opcode == effEditKeyDown ? editor->onKeyDown(keyCode)
                                                      : editor->onKeyUp(keyCode));
        }
        case effSetEditKnobMode: return editor ? oneOrZero(editor->setKnobMode(low32)) : 0;
        case effGetMidiProgramName:
            return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        case effHasMidiProgramsChanged: return oneOrZero(hasMidiProgramsChanged(index));
        case effGetMidiKeyName:
            return oneOrZero(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
        case effBeginSetProgram: return oneOrZero(beginSetProgram());
        case effEndSetProgram: return oneOrZero(endSetProgram());
        case effGetSpeakerArrangement:
            return oneOrZero(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                                   static_cast<VstSpeakerArrangement**>(ptr)));
        case effShellGetNextPlugin: return getNextShellPlugin(text);
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess: return setTotalSampleToProcess(low32);
        case effSetPanLaw: return oneOrZero(setPanLaw(low32, opt));
        case effBeginLoadBank: return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case effBeginLoadProgram: return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        case effSetProcessPrecision: return oneOrZero(setProcessPrecision(low32));
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        // The twelve extended requests this class leaves to the core dispatcher, which answers
        // them with 0; the core requests; and opcodes outside the interface.
        case effGetNumProgramCategories:
        case effCopyProgram:
        case effConnectInput:
        case effConnectOutput:
        case effGetCurrentPosition:
        case effGetDestinationBuffer:
        case effSetBlockSizeAndSampleRate:
        case effGetErrorText:
        case effIdle:
        case effGetIcon:
        case effSetViewPosition:
        case effKeysRequired:
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) == 0) {
        char receiveEvents[] = "receiveVstMidiEvent";
        if (canDo(receiveEvents) != 1) return;
    }
    wantEvents(1);
}
