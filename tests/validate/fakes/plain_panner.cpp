// A correct effect that is not built on the project's classes: a mono panner written straight
// on the record, one input and two outputs, 32-bit processing only, parameter "Pan" from left
// (0) to right (1). The validator must find nothing wrong with it.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "aeffect.h"

namespace {

struct Panner {
    AEffect record{};
    std::atomic<float> pan{0.5f};
};

Panner* panner(AEffect* effect) {
    return static_cast<Panner*>(effect->object);
}

VstIntPtr text(void* ptr, const char* value) {
    std::snprintf(static_cast<char*>(ptr), 24, "%s", value);
    return 1;
}

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float) {
    Panner* const self = panner(effect);
    switch (opcode) {
        case effClose: delete self; return 1;
        case effGetParamName: return index == 0 ? text(ptr, "Pan") : 0;
        case effGetParamLabel: return index == 0 ? text(ptr, "%") : 0;
        case effGetParamDisplay: {
            if (index != 0) return 0;
            char value[16];
            std::snprintf(value, sizeof value, "%d",
                          static_cast<int>(std::lround(200.0f * self->pan - 100.0f)));
            return text(ptr, value);
        }
        case effGetProgramName: return text(ptr, "Centre");
        case effGetEffectName: return text(ptr, "Plain Panner");
        case effGetVendorString: return text(ptr, "Varic tests");
        case effGetProductString: return text(ptr, "Plain Panner");
        case effGetVendorVersion: return 1;
        case effGetPlugCategory: return 1;  // an effect
        case effCanBeAutomated: return index == 0 ? 1 : 0;
        case effGetVstVersion: return kVstVersion;
        default: return 0;
    }
}

void setParameter(AEffect* effect, VstInt32 index, float value) {
    if (index == 0) panner(effect)->pan.store(value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value);
}

float getParameter(AEffect* effect, VstInt32 index) {
    return index == 0 ? panner(effect)->pan.load() : 0.0f;
}

void processReplacing(AEffect* effect, float** in, float** out, VstInt32 frames) {
    const float right = panner(effect)->pan.load(std::memory_order_relaxed);
    for (VstInt32 n = 0; n < frames; ++n) {
        const float x = in[0][n];  // read before writing: the host may process in place
        out[0][n] = x * (1.0f - right);
        out[1][n] = x * right;
    }
}

// The accumulating call of older hosts.
void process(AEffect* effect, float** in, float** out, VstInt32 frames) {
    const float right = panner(effect)->pan.load(std::memory_order_relaxed);
    for (VstInt32 n = 0; n < frames; ++n) {
        const float x = in[0][n];
        out[0][n] += x * (1.0f - right);
        out[1][n] += x * right;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    Panner* const self = new (std::nothrow) Panner;
    if (self == nullptr) return nullptr;
    AEffect& e = self->record;
    e.magic = kEffectMagic;
    e.dispatcher = dispatch;
    e.process = process;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = 1;
    e.numParams = 1;
    e.numInputs = 1;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing;
    e.ioRatio = 1.0f;
    e.object = self;
    e.uniqueID = fourCharCode('P', 'l', 'P', 'n');
    e.version = 1;
    return &e;
}
