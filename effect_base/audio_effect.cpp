#include "audio_effect.h"

#include <cstring>

#include "conversions.h"
#include "entry_routines.h"

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = entry_routines::dispatch;
    cEffect.process = entry_routines::process;
    cEffect.setParameter = entry_routines::setParameter;
    cEffect.getParameter = entry_routines::getParameter;
    cEffect.processReplacing = entry_routines::processReplacing;
    cEffect.processDoubleReplacing = entry_routines::processDoubleReplacing;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.version = 1;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    // Values that an operation takes as int32 are cut to their low 32 bits; on/off tests and
    // the program bound look at the whole pointer-sized value.
    const auto low32 = static_cast<VstInt32>(value);
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value < static_cast<VstIntPtr>(numPrograms)) setProgram(low32);
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName: setProgramName(text); return 0;
        case effGetProgramName: getProgramName(text); return 0;
        case effGetParamLabel: getParameterLabel(index, text); return 0;
        case effGetParamDisplay: getParameterDisplay(index, text); return 0;
        case effGetParamName: getParameterName(index, text); return 0;
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(low32); return 0;
        case effMainsChanged:
            if (value != 0) {
                resume();
            } else {
                suspend();
            }
            return 0;
        case effEditGetRect: return conversions::oneOrZero(editor && editor->getRect(ptr));
        case effEditOpen: return conversions::oneOrZero(editor && editor->open(ptr));
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effIdentify: return kEffectIdentify;
        case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return setChunk(ptr, low32, index != 0);
        default: return 0;  // effGetVu, the editor requests without action, unknown opcodes
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    const auto version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(VstInt32 input) {
    return static_cast<VstInt32>(callHost(audioMasterPinConnected, input, 0)) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return static_cast<VstInt32>(callHost(audioMasterPinConnected, output, 1)) == 0;
}
