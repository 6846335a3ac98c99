// A stereo gain that a host would accept, built with exactly one fault, or one quirk that a
// correct effect may have: FAULT names it (see tests/validate/CMakeLists.txt). Without either
// it passes every check of the validator.

#include <pthread.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "audio_effect_x.h"
#include "mxcsr.h"

namespace {

enum class Fault {
    // Faults, each with its verdict.
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
    copies_past_block,     // out[n] = in[n] one frame too far, at gain 1
    writes_into_inputs,    // uses its inputs as scratch, and restores them
    loops_on_empty_block,  // n <= frames - 1 in unsigned arithmetic
    ignores_parameter,
    crashes_closed_while_on,  // a worker that only switching off ends
    sleeps_in_processing,
    starts_thread_in_processing,
    forks_in_processing,  // a helper process that outlives the call
    grows_per_call,
    double_without_flag,
    slow_on_subnormals,  // stands for a processor's slow path: extra work on subnormal state
    hangs_in_open,
    no_replacing,
    // Quirks of correct effects: no FAIL, no WARN.
    subnormal_tail,
    sets_flush_to_zero,  // and gives the caller its mode back
    asks_host_in_processing,
    try_lock_in_processing,
    has_latency,
    no_parameters,
    latin1_name,
};
constexpr Fault kFault = Fault::FAULT;
constexpr bool has(Fault fault) {
    return kFault == fault;
}

constexpr int kLatency = 64;
std::atomic<long> processingCalls{0};  // in this process, for the work that grows with it

void* doNothing(void*) {
    return nullptr;
}

class FaultyEffect : public AudioEffectX {
public:
    explicit FaultyEffect(audioMasterCallback host)
        : AudioEffectX(host, has(Fault::no_parameters) ? 0 : 1, has(Fault::no_parameters) ? 0 : 1) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('F', 'l', 't', 'y'));
        if (!has(Fault::no_replacing)) canProcessReplacing();
        if (!has(Fault::double_without_flag) && !has(Fault::no_replacing)) canDoubleReplacing();
        if (has(Fault::wrong_flags)) getAeffect()->processDoubleReplacing = nullptr;
        if (has(Fault::leaks_per_instance)) leaked = new char[4096];
        if (has(Fault::has_latency)) setInitialDelay(kLatency);
    }

    void open() override {
        while (has(Fault::hangs_in_open)) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    void resume() override {
        if (has(Fault::crashes_closed_while_on) && !worker.joinable()) {
            running = true;
            worker = std::thread([this] {
                while (running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
        }
    }
    void suspend() override {
        if (worker.joinable()) {
            running = false;
            worker.join();
        }
    }

    bool getEffectName(char* name) override {
        return copy(name, has(Fault::latin1_name) ? "Caf\xE9 Gain" : "Faulty Gain");
    }
    bool getProductString(char* text) override { return copy(text, "Faulty Gain"); }
    bool getVendorString(char* text) override {
        return copy(text,
                    has(Fault::writes_past_text)
                        ? "A vendor string far longer than the sixty-four bytes hosts give for it"
                        : "Varic tests");
    }
    VstInt32 getPlugCategory() override {
        if (has(Fault::crashes_on_request)) *static_cast<volatile int*>(nullptr) = 1;
        return kPlugCategEffect;
    }
    VstInt32 getVstVersion() override {
        while (has(Fault::hangs_on_request)) std::this_thread::sleep_for(std::chrono::seconds(1));
        return kVstVersion;
    }

    void setParameter(VstInt32, float value) override {
        if (!has(Fault::ignores_parameter)) gain = value;
    }
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

    // What the fault or quirk does once per processing call.
    void perCall() {
        const long call = processingCalls.fetch_add(1);
        if (has(Fault::allocates_in_processing)) scratch = std::make_unique<std::vector<char>>(64);
        if (has(Fault::locks_in_processing)) const std::lock_guard<std::mutex> hold(mutex);
        if (has(Fault::try_lock_in_processing) && mutex.try_lock()) mutex.unlock();
        if (has(Fault::prints_in_processing)) std::fputs("processing a block\n", stderr);
        if (has(Fault::leaves_mxcsr_changed))
            _mm_setcsr(_mm_getcsr() | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero);
        if (has(Fault::sleeps_in_processing) && call % 8 == 0) usleep(1);
        if (has(Fault::starts_thread_in_processing) && call % 64 == 0) {
            pthread_t thread;
            if (pthread_create(&thread, nullptr, doNothing, nullptr) == 0)
                pthread_join(thread, nullptr);
        }
#ifndef _WIN32
        if (has(Fault::forks_in_processing) && call == 0 && fork() == 0) {
            sleep(60);
            _exit(0);
        }
#endif
        // Quadratic in the calls so far, up to a limit: a run of the validator ends.
        const long grown = std::min(call, 400L);
        for (long i = 0; has(Fault::grows_per_call) && i < 2 * grown * grown; ++i)
            spin = spin + 1.0;
        if (has(Fault::asks_host_in_processing)) {
            getTimeInfo(0);
            updateSampleRate();
            getCurrentProcessLevel();
        }
    }

    template <class Sample>
    void run(Sample** in, Sample** out, VstInt32 frames) {
        perCall();
        const unsigned mode = _mm_getcsr();
        if (has(Fault::sets_flush_to_zero))
            _mm_setcsr(mode | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero);
        const Sample g = static_cast<Sample>(2.0f * gain.load(std::memory_order_relaxed));
        for (int c = 0; c < 2; ++c) {
            if (has(Fault::loops_on_empty_block)) {
                for (unsigned n = 0; n <= static_cast<unsigned>(frames) - 1; ++n)
                    out[c][n] = in[c][n] * g;
                continue;
            }
            volatile Sample* const scratch = in[c];  // every store made, none merged
            for (VstInt32 n = 0; n < frames + (has(Fault::copies_past_block) ? 1 : 0); ++n) {
                const Sample x = in[c][n];
                if (has(Fault::writes_into_inputs)) scratch[n] = x * g;  // put back below
                Sample y = has(Fault::writes_into_inputs) ? scratch[n] : x * g;
                if (has(Fault::writes_into_inputs)) scratch[n] = x;
                y += echo(c, x);
                if (has(Fault::has_latency)) y = delayed(c, y);
                if (has(Fault::depends_on_block_splitting) && n == 0) y *= Sample(0.5);
                out[c][n] = y;
            }
        }
        if (has(Fault::sets_flush_to_zero)) _mm_setcsr(mode);
    }

    // A decaying echo of the input, for the faults and quirks of tails; 0 for the others.
    template <class Sample>
    Sample echo(int c, Sample x) {
        Sample& state = echoState<Sample>()[c];
        if (has(Fault::denormal_after_silence)) {
            // No flush at all: after a sound it decays into subnormals, where rounding holds it.
            state = Sample(0.999) * state + Sample(0.001) * x;
            return state;
        }
        if (!has(Fault::subnormal_tail) && !has(Fault::slow_on_subnormals)) return Sample(0);
        state = Sample(0.99) * state + Sample(0.01) * x;
        if (std::fpclassify(state) == FP_SUBNORMAL) {
            for (int k = 0; has(Fault::slow_on_subnormals) && k < 300; ++k) spin = spin + 1.0;
            // Deep in the subnormal range the tail ends: the output reaches digital silence.
            if (std::abs(state) < 1000 * std::numeric_limits<Sample>::denorm_min()) state = 0;
        }
        return state;
    }
    template <class Sample>
    Sample* echoState() {
        if constexpr (sizeof(Sample) == 4)
            return echo32;
        else
            return echo64;
    }
    template <class Sample>
    Sample delayed(int c, Sample y) {
        double* line = delayLine[c];
        const double out = line[delayAt[c]];
        line[delayAt[c]] = static_cast<double>(y);
        delayAt[c] = (delayAt[c] + 1) % kLatency;
        return static_cast<Sample>(out);
    }

    std::atomic<float> gain{0.5f};
    float echo32[2] = {0.0f, 0.0f};
    double echo64[2] = {0.0, 0.0};
    double delayLine[2][kLatency] = {};
    int delayAt[2] = {0, 0};
    volatile double spin = 0.0;
    std::unique_ptr<std::vector<char>> scratch;
    std::mutex mutex;
    char* leaked = nullptr;
    std::thread worker;
    std::atomic<bool> running{false};
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) FaultyEffect(host);
}
