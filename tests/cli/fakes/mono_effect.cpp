// A well-formed effect with one input and one output: fine for a host, wrong for varic.

#include <new>

#include "audio_effect_x.h"

namespace {

class MonoEffect : public AudioEffectX {
public:
    explicit MonoEffect(audioMasterCallback host) : AudioEffectX(host, 1, 0) {
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(fourCharCode('M', 'o', 'n', 'o'));
        canProcessReplacing();
    }
    void processReplacing(float** in, float** out, VstInt32 frames) override {
        for (VstInt32 n = 0; n < frames; ++n) out[0][n] = in[0][n];
    }
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) MonoEffect(host);
}
