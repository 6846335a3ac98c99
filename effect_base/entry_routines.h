#pragma once
// The six routines stored in every AEffect record. Each finds its effect object through the
// record's `object` field and forwards to the virtual operation of the same name; they check
// nothing themselves (a null or stale record is the host's error).

#include "aeffect.h"

namespace entry_routines {

// Forwards to the effect's dispatcher. effClose also destroys the effect and answers 1.
VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                   float opt);
void process(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
void setParameter(AEffect* effect, VstInt32 index, float value);
float getParameter(AEffect* effect, VstInt32 index);
void processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
void processDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                            VstInt32 sampleFrames);

}  // namespace entry_routines
