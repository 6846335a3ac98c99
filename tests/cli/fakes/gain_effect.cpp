// A stereo effect other than the crossfeed: parameter "Gain" (host value 0..1 for gain 0 to
// 4, default 0.5 for 2), 32-bit processing only, loud enough to push audio past full scale.
// Three more parameters stand for what can happen in the middle of a render, at the 100th
// processing call of an instance (later than any measurement of it):
// - "Signal" raises the signal numbered 100 x its value, as a user's Ctrl-C (2), a closed
//   terminal (1), a closed pipe (13) or a kill (15) would;
// - "Infinity" above 0.5 makes the first left sample of that call infinite;
// - "Slow" above 0.5 makes every call take 2 ms, long enough for a progress bar to show.

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

#include "audio_effect_x.h"

namespace {

constexpr int kFaultCall = 100;

class GainEffect : public AudioEffectX {
public:
    explicit GainEffect(audioMasterCallback host) : AudioEffectX(host, 1, 4) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('G', 'a', 'i', 'n'));
        canProcessReplacing();
    }
    void setParameter(VstInt32 index, float value) override {
        if (index >= 0 && index < 4) values[index] = value;
    }
    float getParameter(VstInt32 index) override {
        return index >= 0 && index < 4 ? values[index] : 0.0f;
    }
    void getParameterName(VstInt32 index, char* text) override {
        static const char* const names[] = {"Gain", "Signal", "Infinity", "Slow"};
        std::strcpy(text, index >= 0 && index < 4 ? names[index] : "");
    }
    void processReplacing(float** in, float** out, VstInt32 frames) override {
        const float gain = 4.0f * values[0];
        for (VstInt32 n = 0; n < frames; ++n) {
            out[0][n] = in[0][n] * gain;
            out[1][n] = in[1][n] * gain;
        }
        if (values[3] > 0.5f) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (++calls != kFaultCall) return;
        if (values[2] > 0.5f && frames > 0) out[0][0] = std::numeric_limits<float>::infinity();
        const int signal = static_cast<int>(std::lround(values[1] * 100.0f));
        if (signal > 0) std::raise(signal);
    }

private:
    float values[4] = {0.5f, 0.0f, 0.0f, 0.0f};
    int calls = 0;
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) GainEffect(host);
}
