// A library whose entry returns a record that is not a VST effect: the magic is missing, and
// so are all routines. A host must not call into it.

#include "aeffect.h"

namespace {
AEffect notAnEffect{};
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    notAnEffect.numInputs = 2;
    notAnEffect.numOutputs = 2;
    return &notAnEffect;
}
