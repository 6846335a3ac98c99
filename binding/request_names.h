#pragma once
// The names of the interface's request numbers, for what hosts and tools print. Each entry is
// made from its enumerator in aeffect.h, name and number together, so neither can be mistyped;
// the checks below hold each table to the enumeration: every number from 0 to the last, in
// order, none left out but the one the interface leaves unnamed (host request 5).

#include <cstddef>

#include "aeffect.h"

namespace request_names {

struct Named {
    VstInt32 number;
    const char* name;
};

#define VST_NAMED(enumerator) (Named{(enumerator), #enumerator})

// Requests from the host to the effect (AEffectOpcodes).
inline constexpr Named kEffectRequests[] = {
    VST_NAMED(effOpen),
    VST_NAMED(effClose),
    VST_NAMED(effSetProgram),
    VST_NAMED(effGetProgram),
    VST_NAMED(effSetProgramName),
    VST_NAMED(effGetProgramName),
    VST_NAMED(effGetParamLabel),
    VST_NAMED(effGetParamDisplay),
    VST_NAMED(effGetParamName),
    VST_NAMED(effGetVu),
    VST_NAMED(effSetSampleRate),
    VST_NAMED(effSetBlockSize),
    VST_NAMED(effMainsChanged),
    VST_NAMED(effEditGetRect),
    VST_NAMED(effEditOpen),
    VST_NAMED(effEditClose),
    VST_NAMED(effEditDraw),
    VST_NAMED(effEditMouse),
    VST_NAMED(effEditKey),
    VST_NAMED(effEditIdle),
    VST_NAMED(effEditTop),
    VST_NAMED(effEditSleep),
    VST_NAMED(effIdentify),
    VST_NAMED(effGetChunk),
    VST_NAMED(effSetChunk),
    VST_NAMED(effProcessEvents),
    VST_NAMED(effCanBeAutomated),
    VST_NAMED(effString2Parameter),
    VST_NAMED(effGetNumProgramCategories),
    VST_NAMED(effGetProgramNameIndexed),
    VST_NAMED(effCopyProgram),
    VST_NAMED(effConnectInput),
    VST_NAMED(effConnectOutput),
    VST_NAMED(effGetInputProperties),
    VST_NAMED(effGetOutputProperties),
    VST_NAMED(effGetPlugCategory),
    VST_NAMED(effGetCurrentPosition),
    VST_NAMED(effGetDestinationBuffer),
    VST_NAMED(effOfflineNotify),
    VST_NAMED(effOfflinePrepare),
    VST_NAMED(effOfflineRun),
    VST_NAMED(effProcessVarIo),
    VST_NAMED(effSetSpeakerArrangement),
    VST_NAMED(effSetBlockSizeAndSampleRate),
    VST_NAMED(effSetBypass),
    VST_NAMED(effGetEffectName),
    VST_NAMED(effGetErrorText),
    VST_NAMED(effGetVendorString),
    VST_NAMED(effGetProductString),
    VST_NAMED(effGetVendorVersion),
    VST_NAMED(effVendorSpecific),
    VST_NAMED(effCanDo),
    VST_NAMED(effGetTailSize),
    VST_NAMED(effIdle),
    VST_NAMED(effGetIcon),
    VST_NAMED(effSetViewPosition),
    VST_NAMED(effGetParameterProperties),
    VST_NAMED(effKeysRequired),
    VST_NAMED(effGetVstVersion),
    VST_NAMED(effEditKeyDown),
    VST_NAMED(effEditKeyUp),
    VST_NAMED(effSetEditKnobMode),
    VST_NAMED(effGetMidiProgramName),
    VST_NAMED(effGetCurrentMidiProgram),
    VST_NAMED(effGetMidiProgramCategory),
    VST_NAMED(effHasMidiProgramsChanged),
    VST_NAMED(effGetMidiKeyName),
    VST_NAMED(effBeginSetProgram),
    VST_NAMED(effEndSetProgram),
    VST_NAMED(effGetSpeakerArrangement),
    VST_NAMED(effShellGetNextPlugin),
    VST_NAMED(effStartProcess),
    VST_NAMED(effStopProcess),
    VST_NAMED(effSetTotalSampleToProcess),
    VST_NAMED(effSetPanLaw),
    VST_NAMED(effBeginLoadBank),
    VST_NAMED(effBeginLoadProgram),
    VST_NAMED(effSetProcessPrecision),
    VST_NAMED(effGetNumMidiInputChannels),
    VST_NAMED(effGetNumMidiOutputChannels),
};

// Requests from the effect to the host (AudioMasterOpcodes).
inline constexpr Named kHostRequests[] = {
    VST_NAMED(audioMasterAutomate),
    VST_NAMED(audioMasterVersion),
    VST_NAMED(audioMasterCurrentId),
    VST_NAMED(audioMasterIdle),
    VST_NAMED(audioMasterPinConnected),
    VST_NAMED(audioMasterWantMidi),
    VST_NAMED(audioMasterGetTime),
    VST_NAMED(audioMasterProcessEvents),
    VST_NAMED(audioMasterSetTime),
    VST_NAMED(audioMasterTempoAt),
    VST_NAMED(audioMasterGetNumAutomatableParameters),
    VST_NAMED(audioMasterGetParameterQuantization),
    VST_NAMED(audioMasterIOChanged),
    VST_NAMED(audioMasterNeedIdle),
    VST_NAMED(audioMasterSizeWindow),
    VST_NAMED(audioMasterGetSampleRate),
    VST_NAMED(audioMasterGetBlockSize),
    VST_NAMED(audioMasterGetInputLatency),
    VST_NAMED(audioMasterGetOutputLatency),
    VST_NAMED(audioMasterGetPreviousPlug),
    VST_NAMED(audioMasterGetNextPlug),
    VST_NAMED(audioMasterWillReplaceOrAccumulate),
    VST_NAMED(audioMasterGetCurrentProcessLevel),
    VST_NAMED(audioMasterGetAutomationState),
    VST_NAMED(audioMasterOfflineStart),
    VST_NAMED(audioMasterOfflineRead),
    VST_NAMED(audioMasterOfflineWrite),
    VST_NAMED(audioMasterOfflineGetCurrentPass),
    VST_NAMED(audioMasterOfflineGetCurrentMetaPass),
    VST_NAMED(audioMasterSetOutputSampleRate),
    VST_NAMED(audioMasterGetOutputSpeakerArrangement),
    VST_NAMED(audioMasterGetVendorString),
    VST_NAMED(audioMasterGetProductString),
    VST_NAMED(audioMasterGetVendorVersion),
    VST_NAMED(audioMasterVendorSpecific),
    VST_NAMED(audioMasterSetIcon),
    VST_NAMED(audioMasterCanDo),
    VST_NAMED(audioMasterGetLanguage),
    VST_NAMED(audioMasterOpenWindow),
    VST_NAMED(audioMasterCloseWindow),
    VST_NAMED(audioMasterGetDirectory),
    VST_NAMED(audioMasterUpdateDisplay),
    VST_NAMED(audioMasterBeginEdit),
    VST_NAMED(audioMasterEndEdit),
    VST_NAMED(audioMasterOpenFileSelector),
    VST_NAMED(audioMasterCloseFileSelector),
    VST_NAMED(audioMasterEditFile),
    VST_NAMED(audioMasterGetChunkFile),
    VST_NAMED(audioMasterGetInputSpeakerArrangement),
};

#undef VST_NAMED

// True when the table holds 0 to `last` in order, skipping only `gap` (-1: none).
template <std::size_t N>
constexpr bool covers(const Named (&table)[N], VstInt32 last, VstInt32 gap = -1) {
    VstInt32 expected = 0;
    for (const Named& entry : table) {
        if (expected == gap) ++expected;
        if (entry.number != expected++) return false;
    }
    return expected == last + 1;
}
static_assert(covers(kEffectRequests, effGetNumMidiOutputChannels));
static_assert(covers(kHostRequests, audioMasterGetInputSpeakerArrangement, 5));

// The name of a request number of the table; null for a number the interface does not name.
template <std::size_t N>
constexpr const char* nameIn(const Named (&table)[N], VstInt32 number) {
    for (const Named& entry : table) {
        if (entry.number == number) return entry.name;
    }
    return nullptr;
}

constexpr const char* effectRequestName(VstInt32 opcode) {
    return nameIn(kEffectRequests, opcode);
}
constexpr const char* hostRequestName(VstInt32 opcode) {
    return nameIn(kHostRequests, opcode);
}

}  // namespace request_names
