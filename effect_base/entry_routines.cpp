#include "entry_routines.h"

#include "audio_effect.h"

namespace entry_routines {
namespace {

AudioEffect* effectOf(AEffect* effect) {
    return static_cast<AudioEffect*>(effect->object);
}

}  // namespace

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                   float opt) {
    AudioEffect* object = effectOf(effect);
    const VstIntPtr result = object->dispatcher(opcode, index, value, ptr, opt);
    if (opcode != effClose) return result;
    delete object;  // the record lives inside the object: it is gone from here on
    return 1;
}

void process(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames) {
    effectOf(effect)->process(inputs, outputs, sampleFrames);
}

void setParameter(AEffect* effect, VstInt32 index, float value) {
    effectOf(effect)->setParameter(index, value);
}

float getParameter(AEffect* effect, VstInt32 index) {
    return effectOf(effect)->getParameter(index);
}

void processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames) {
    effectOf(effect)->processReplacing(inputs, outputs, sampleFrames);
}

void processDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                            VstInt32 sampleFrames) {
    effectOf(effect)->processDoubleReplacing(inputs, outputs, sampleFrames);
}

}  // namespace entry_routines
