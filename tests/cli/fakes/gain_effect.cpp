// A stereo effect other than the crossfeed: parameter "Gain" (host value 0..1 for gain 0 to
// 4, default 0.5 for 2), 32-bit processing only, loud enough to push audio past full scale.
// Parameter "Interrupt" above 0.5 makes each processing call raise SIGINT, as a user's Ctrl-C
// in the middle of a render would.

#include <csignal>
#include <cstring>
#include <new>

#include "effect_base/audio_effect_x.h"

namespace {

class GainEffect : public AudioEffectX {
public:
    explicit GainEffect(audioMasterCallback host) : AudioEffectX(host, 1, 2) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('G', 'a', 'i', 'n'));
        canProcessReplacing();
    }
    void setParameter(VstInt32 index, float value) override {
        if (index == 0) gain = 4.0f * value;
        if (index == 1) interrupt = value > 0.5f;
    }
    float getParameter(VstInt32 index) override {
        return index == 0 ? gain / 4.0f : interrupt ? 1.0f : 0.0f;
    }
    void getParameterName(VstInt32 index, char* text) override {
        std::strcpy(text, index == 0 ? "Gain" : "Interrupt");
    }
    void processReplacing(float** in, float** out, VstInt32 frames) override {
        if (interrupt) std::raise(SIGINT);
        for (VstInt32 n = 0; n < frames; ++n) {
            out[0][n] = in[0][n] * gain;
            out[1][n] = in[1][n] * gain;
        }
    }

private:
    float gain = 2.0f;
    bool interrupt = false;
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) GainEffect(host);
}
