// A stereo gain that a host would accept, built with exactly one fault: FAULT names it (see
// tests/validate/CMakeLists.txt). Without its fault it passes every check of the validator.

#include <xmmintrin.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "effect_base/audio_effect_x.h"

namespace {

enum class Fault {
    allocates_in_processing,
    locks_in_processing,
    prints_in_processing,
    writes_past_text,
    leaves_mxcsr_changed,
    denormal_after_silence,
    crashes_on_request,
    hangs_on_request,
    leaks_per_instance,
    depends_on_block_splitting,
    wrong_flags,
};
constexpr Fault kFault = Fault::FAULT;

class FaultyEffect : public AudioEffectX {
public:
    explicit FaultyEffect(audioMasterCallback host) : AudioEffectX(host, 1, 1) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('F', 'l', 't', 'y'));
        canProcessReplacing();
        canDoubleReplacing();
        if (kFault == Fault::wrong_flags) getAeffect()->processDoubleReplacing = nullptr;
        if (kFault == Fault::leaks_per_instance) leaked = new char[4096];
    }

    bool getEffectName(char* name) override { return copy(name, "Faulty Gain"); }
    bool getProductString(char* text) override { return copy(text, "Faulty Gain"); }
    bool getVendorString(char* text) override {
        return copy(text,
                    kFault == Fault::writes_past_text
                        ? "A vendor string far longer than the sixty-four bytes hosts give for it"
                        : "Varic tests");
    }
    VstInt32 getPlugCategory() override {
        if (kFault == Fault::crashes_on_request) *static_cast<volatile int*>(nullptr) = 1;
        return kPlugCategEffect;
    }
    VstInt32 getVstVersion() override {
        while (kFault == Fault::hangs_on_request)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        return kVstVersion;
    }

    void setParameter(VstInt32, float value) override { gain = value; }
    float getParameter(VstInt32) override { return gain; }
    void getParameterName(VstInt32, char* text) override { copy(text, "Gain"); }
    void getParameterDisplay(VstInt32, char* text) override { float2string(gain * 2.0f, text, 8); }

    void processReplacing(float** in, float** out, VstInt32 frames) override {
        run(in, out, frames);
    }
    void processDoubleReplacing(double** in, double** out, VstInt32 frames) override {
        run(in, out, frames);
    }

private:
    static bool copy(char* target, const char* text) {
        std::strcpy(target, text);
        return true;
    }

    template <class Sample>
    void run(Sample** in, Sample** out, VstInt32 frames) {
        if (kFault == Fault::allocates_in_processing)
            scratch = std::make_unique<std::vector<char>>(64);
        if (kFault == Fault::locks_in_processing) const std::lock_guard<std::mutex> hold(mutex);
        if (kFault == Fault::prints_in_processing) std::fputs("processing a block\n", stderr);
        if (kFault == Fault::leaves_mxcsr_changed) _mm_setcsr(_mm_getcsr() | 0x8040);
        const Sample g = static_cast<Sample>(2.0f * gain.load(std::memory_order_relaxed));
        for (VstInt32 n = 0; n < frames; ++n) {
            for (int c = 0; c < 2; ++c) {
                Sample y = in[c][n] * g;
                if (kFault == Fault::denormal_after_silence) {
                    // A leaky echo with no flush: after a sound it decays into subnormals, where
                    // rounding holds it.
                    Sample& echo = c == 0 ? echoLeft<Sample>() : echoRight<Sample>();
                    echo = Sample(0.999) * echo + Sample(0.001) * in[c][n];
                    y += echo;
                }
                if (kFault == Fault::depends_on_block_splitting && n == 0) y *= Sample(0.5);
                out[c][n] = y;
            }
        }
    }
    template <class Sample>
    Sample& echoLeft() {
        if constexpr (sizeof(Sample) == 4)
            return echo32[0];
        else
            return echo64[0];
    }
    template <class Sample>
    Sample& echoRight() {
        if constexpr (sizeof(Sample) == 4)
            return echo32[1];
        else
            return echo64[1];
    }

    std::atomic<float> gain{0.5f};
    float echo32[2] = {0.0f, 0.0f};
    double echo64[2] = {0.0, 0.0};
    std::unique_ptr<std::vector<char>> scratch;
    std::mutex mutex;
    char* leaked = nullptr;
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) FaultyEffect(host);
}
