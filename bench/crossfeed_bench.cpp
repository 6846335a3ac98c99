// How fast the crossfeed runs through the loaded plug-in binary, called the way a host calls
// it (the record's processReplacing / processDoubleReplacing), beside libbs2b (another
// crossfeed, used here only as a speed baseline through its public API) and a plain copy of
// the same buffers (the memory floor). Prints one compact table: ns and cycles per frame,
// median of repeated runs.
//
// This machine has no usable cycle counters, so cycles are derived from ns with a clock
// calibrated in the same run: a chain of dependent integer adds, one cycle each.

#include <benchmark/benchmark.h>
#include <bs2b/bs2b.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host_float_mode.h"
#include "instance.h"
#include "plugin_host.h"
#include "plugin_under_test.h"
#include "stereo_buffer.h"

namespace {

constexpr int kBlockSizes[] = {32, 64, 256, 1024, 4096};
constexpr int kRates[] = {44100, 192000};
constexpr std::size_t kStreamFrames = std::size_t{1} << 20;
constexpr float kStrengthParameter = 0.1f;  // stored strength 1000, the default
// The cycle figures of the processor the targets were set on (AMD Zen 5): the latency of the
// recursion's chain of dependent double operations per frame.
constexpr double kBound64 = 8.0;
constexpr double kBound32 = 9.35;

// ---- the plug-in ----------------------------------------------------------------------------

// The host's callback with no Host behind it is the cheapest host there is: it knows its
// version and answers nothing else. What is measured is called straight through the record.
constexpr audioMasterCallback kMinimalHost = &vsthost::Host::callback;

// An instance switched on at the rate, with a host that keeps no log of its requests.
std::unique_ptr<vsthost::Instance> openInstance(int rate) {
    vsthost::HostAnswers answers;
    answers.keep = 0;
    std::string error;
    auto instance = vsthost::Instance::open(vsthost::pluginUnderTest(), answers, &error);
    if (!instance) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    instance->setSampleRate(static_cast<float>(rate));
    instance->setBlockSize(4096);
    instance->setParameter(0, kStrengthParameter);
    instance->resume();
    return instance;
}

// ---- buffers --------------------------------------------------------------------------------

// Planar stereo, as a host passes it, and the same noise interleaved for libbs2b.
template <class Sample>
struct Buffers {
    Buffers() {
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> uniform(-0.5, 0.5);
        interleaved.resize(2 * kStreamFrames);
        work.resize(2 * kStreamFrames);
        for (std::size_t n = 0; n < kStreamFrames; ++n) {
            noise.left[n] = static_cast<Sample>(uniform(random));
            noise.right[n] = static_cast<Sample>(uniform(random));
            interleaved[2 * n] = noise.left[n];
            interleaved[2 * n + 1] = noise.right[n];
        }
        work = interleaved;
    }
    vsthost::StereoBuffer<Sample> noise{kStreamFrames}, silence{kStreamFrames}, out{kStreamFrames};
    std::vector<Sample> interleaved, work;
};

template <class Sample>
Buffers<Sample>& buffers() {
    static Buffers<Sample> shared;
    return shared;
}

// One pass over `span` frames of the chosen input in blocks of `block` frames, straight
// through the record.
template <class Sample>
void processSpan(AEffect* effect, bool silent, std::size_t span, int block) {
    Buffers<Sample>& b = buffers<Sample>();
    vsthost::StereoBuffer<Sample>& in = silent ? b.silence : b.noise;
    for (std::size_t done = 0; done < span; done += static_cast<std::size_t>(block)) {
        if constexpr (sizeof(Sample) == 4) {
            effect->processReplacing(effect, in.channelsFrom(done), b.out.channelsFrom(done),
                                     block);
        } else {
            effect->processDoubleReplacing(effect, in.channelsFrom(done), b.out.channelsFrom(done),
                                           block);
        }
    }
}

// ---- what is measured -----------------------------------------------------------------------

enum class Kind {
    sound,            // noise
    silence,          // silence, after one second of silence following a sound
    tail,             // the first second of silence after a sound: the state decays to zero
    soundHostFtzDaz,  // noise, with the host's thread in flush-to-zero/denormals-are-zero mode
};

struct Setting {
    int bits;
    bool stream;  // 2^20-frame buffers walked in blocks, else one cache-resident block
    int rate;
    int block;
    std::size_t span() const { return stream ? kStreamFrames : static_cast<std::size_t>(block); }
};

std::string key(const char* what, const Setting& s) {
    return std::string(what) + "/f" + std::to_string(s.bits) + (s.stream ? "/stream/" : "/cache/") +
           std::to_string(s.rate) + "/" + std::to_string(s.block);
}

// Processes whole passes over the span until at least `frames` frames are done.
template <class Sample>
void processFrames(AEffect* effect, bool silent, std::size_t span, int block, std::size_t frames) {
    for (std::size_t done = 0; done < frames; done += span) {
        processSpan<Sample>(effect, silent, span, block);
    }
}

template <class Sample>
void benchOurs(benchmark::State& state, Setting s, Kind kind) {
    const auto instance = openInstance(s.rate);
    AEffect* effect = instance->effect();
    const std::size_t span = s.span();
    const auto second = static_cast<std::size_t>(s.rate);
    processSpan<Sample>(effect, false, span, s.block);
    if (kind == Kind::silence) {
        processFrames<Sample>(effect, false, span, s.block, second);
        processFrames<Sample>(effect, true, span, s.block, second);
    }
    const bool silent = kind == Kind::silence || kind == Kind::tail;
    std::size_t framesPerIteration = span;
    {
        // A host that runs its audio thread with flush-to-zero and denormals-are-zero.
        const unsigned mode = vsthost::floatMode();
        vsthost::ScopedFloatMode hostMode(
            kind == Kind::soundHostFtzDaz ? mode | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero
                                          : mode);
        if (kind == Kind::tail) {
            framesPerIteration = (second + span - 1) / span * span;
            for (auto _ : state) {
                state.PauseTiming();
                processFrames<Sample>(effect, false, span, s.block, second / 4);
                state.ResumeTiming();
                processFrames<Sample>(effect, true, span, s.block, second);
            }
        } else {
            for (auto _ : state) processSpan<Sample>(effect, silent, span, s.block);
        }
    }
    state.counters["frames"] = static_cast<double>(framesPerIteration);
}

// libbs2b at its defaults (700 Hz, 4.5 dB) on interleaved buffers, in place as its interface
// works. Repeated passes over the same samples would shrink them towards subnormal numbers,
// so the samples are renewed from the noise every 64 passes, a copy that costs far less than
// 1% of the filtering.
template <class Sample>
void benchBs2b(benchmark::State& state, Setting s) {
    Buffers<Sample>& b = buffers<Sample>();
    t_bs2bdp filter = bs2b_open();
    bs2b_set_level(filter, BS2B_DEFAULT_CLEVEL);
    bs2b_set_srate(filter, static_cast<std::uint32_t>(s.rate));
    const std::size_t span = s.span();
    std::copy_n(b.interleaved.begin(), 2 * span, b.work.begin());
    int passes = 0;
    for (auto _ : state) {
        if (++passes == 64) {
            passes = 0;
            std::copy_n(b.interleaved.begin(), 2 * span, b.work.begin());
        }
        for (std::size_t done = 0; done < span; done += static_cast<std::size_t>(s.block)) {
            if constexpr (sizeof(Sample) == 4) {
                bs2b_cross_feed_f(filter, b.work.data() + 2 * done, s.block);
            } else {
                bs2b_cross_feed_d(filter, b.work.data() + 2 * done, s.block);
            }
        }
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = static_cast<double>(span);
    bs2b_close(filter);
}

// The memory floor: the plug-in's reads and writes without its arithmetic.
template <class Sample>
void benchCopy(benchmark::State& state, Setting s) {
    Buffers<Sample>& b = buffers<Sample>();
    const std::size_t span = s.span();
    const std::size_t bytes = static_cast<std::size_t>(s.block) * sizeof(Sample);
    for (auto _ : state) {
        for (std::size_t done = 0; done < span; done += static_cast<std::size_t>(s.block)) {
            std::memcpy(b.out.left.data() + done, b.noise.left.data() + done, bytes);
            std::memcpy(b.out.right.data() + done, b.noise.right.data() + done, bytes);
        }
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = static_cast<double>(span);
}

// The clock: dependent integer adds of a register, one cycle each on any x86-64 core.
void benchClock(benchmark::State& state) {
    constexpr int kAddsPerRound = 32;
    constexpr int kRounds = 256;
    for (auto _ : state) {
        std::uint64_t x = 0;
        std::uint64_t step = 1;
        for (int r = 0; r < kRounds; ++r) {
            asm volatile(
                ".rept 32\n\t"
                "add %1, %0\n\t"
                ".endr"
                : "+r"(x)
                : "r"(step));
        }
        benchmark::DoNotOptimize(x);
    }
    state.counters["frames"] = kAddsPerRound * kRounds;  // "frames" are cycles here
}

// The recursion with nothing but its arithmetic: no loads, no stores, no call. Its speed is
// the latency bound of the chain of dependent operations on this processor.
void benchBound64(benchmark::State& state) {
    constexpr int kFrames = 4096;
    const double a = 2128.0 / 44100.0;
    const double b = 1000.0 / 44100.0;
    for (auto _ : state) {
        double sL = 0.0, sR = 0.0, previous = 0.0;
        double xl = 0.25, xr = -0.125;
        for (int n = 0; n < kFrames; ++n) {
            asm volatile("" : "+x"(xl), "+x"(xr));  // fresh inputs every frame
            const double yl = xl + sL;
            const double yr = xr + sR;
            const double p = b * previous;
            sL = sL - (a * sL + p);
            sR = sR - (a * sR - p);
            previous = yl - yr;
        }
        benchmark::DoNotOptimize(sL);
        benchmark::DoNotOptimize(sR);
        benchmark::DoNotOptimize(previous);
    }
    state.counters["frames"] = kFrames;
}

void benchBound32(benchmark::State& state) {
    constexpr int kFrames = 4096;
    const double a = 2128.0 / 44100.0;
    const double b = 1000.0 / 44100.0;
    for (auto _ : state) {
        double sL = 0.0, sR = 0.0, previous = 0.0;
        float xl = 0.25f, xr = -0.125f;
        for (int n = 0; n < kFrames; ++n) {
            asm volatile("" : "+x"(xl), "+x"(xr));
            const float yl = static_cast<float>(static_cast<double>(xl) + sL);
            const float yr = static_cast<float>(static_cast<double>(xr) + sR);
            const float d = yl - yr;
            const double p = b * previous;
            sL = sL - (a * sL + p);
            sR = sR - (a * sR - p);
            previous = static_cast<double>(d);
        }
        benchmark::DoNotOptimize(sL);
        benchmark::DoNotOptimize(sR);
        benchmark::DoNotOptimize(previous);
    }
    state.counters["frames"] = kFrames;
}

// ---- what a host pays besides audio ---------------------------------------------------------

void benchCreateClose(benchmark::State& state) {
    const VSTPluginMainProc entry = vsthost::pluginUnderTest().entry();
    for (auto _ : state) {
        AEffect* effect = entry(kMinimalHost);
        benchmark::DoNotOptimize(effect);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    state.counters["frames"] = 1;
}

void benchParameterPair(benchmark::State& state) {
    const auto instance = openInstance(44100);
    AEffect* effect = instance->effect();
    float value = 0.2f;
    for (auto _ : state) {
        value = value == 0.2f ? 0.3f : 0.2f;  // a changing value, as automation sends
        effect->setParameter(effect, 0, value);
        benchmark::DoNotOptimize(effect->getParameter(effect, 0));
    }
    state.counters["frames"] = 1;
}

void benchParamDisplay(benchmark::State& state) {
    const auto instance = openInstance(44100);
    AEffect* effect = instance->effect();
    char text[256];
    for (auto _ : state) {
        effect->dispatcher(effect, effGetParamDisplay, 0, 0, text, 0.0f);
        benchmark::DoNotOptimize(text);
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = 1;
}

// Heap bytes one instance holds, allocator overhead included.
double instanceFootprint() {
    constexpr int kInstances = 64;
    std::vector<AEffect*> effects;
    effects.reserve(kInstances);
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < kInstances; ++i)
        effects.push_back(vsthost::pluginUnderTest().entry()(kMinimalHost));
    const std::size_t after = mallinfo2().uordblks;
    for (AEffect* effect : effects) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return static_cast<double>(after - before) / kInstances;
}

// ---- collecting and printing ----------------------------------------------------------------

// Keeps, per benchmark, ns per frame: the median when runs are repeated, else the one run.
class TableCollector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(),
                             run.error_message.c_str());
                failed_ = true;
                continue;
            }
            const bool repeated = run.repetitions > 1;
            if (repeated &&
                !(run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")) {
                continue;
            }
            const auto frames = run.counters.find("frames");
            if (frames == run.counters.end() || frames->second.value <= 0) continue;
            nsPerFrame_[run.run_name.function_name] =
                run.GetAdjustedCPUTime() / frames->second.value;
            repetitions_ = std::max<std::int64_t>(repetitions_, run.repetitions);
        }
        std::fputc('.', stderr);
    }
    void Finalize() override { std::fputc('\n', stderr); }

    // NaN when the benchmark was not run (filtered out).
    double ns(const std::string& name) const {
        const auto found = nsPerFrame_.find(name);
        return found == nsPerFrame_.end() ? std::nan("") : found->second;
    }
    bool failed() const { return failed_; }
    std::int64_t repetitions() const { return repetitions_; }

private:
    std::map<std::string, double> nsPerFrame_;
    bool failed_ = false;
    std::int64_t repetitions_ = 1;
};

std::string processorModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

std::string formatted(const char* format, double value) {
    if (std::isnan(value)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void printTarget(const char* what, double measured, double limit) {
    const char* verdict = std::isnan(measured) ? "not run" : measured <= limit ? "met" : "MISSED";
    std::printf("  %-52s %7s  (<= %.2f)  %s\n", what, formatted("%.3f", measured).c_str(), limit,
                verdict);
}

// Cycles from ns, at the clock calibrated in this run.
struct Clock {
    double ghz;  // cycles per ns
    double cycles(double ns) const { return ns * ghz; }
};

// What was measured where, and the bound of the bare recursion.
void printHeader(const TableCollector& results, const Clock& clock) {
    const double ghz = clock.ghz;
    const auto cycles = [&](double ns) { return clock.cycles(ns); };
    std::printf("\nVaric Crossfeed speed, through the plug-in's record; median of %lld runs\n",
                static_cast<long long>(results.repetitions()));
    std::printf("processor: %s; clock %s GHz, calibrated in this run from dependent integer adds\n",
                processorModel().c_str(), formatted("%.3f", ghz).c_str());
    std::printf("(no cycle counters here: cycles = ns x calibrated clock)\n");
    std::printf(
        "latency bound of the bare recursion on this processor: 64-bit %s, 32-bit %s "
        "cycles/frame\n\n",
        formatted("%.2f", cycles(results.ns("bound/f64"))).c_str(),
        formatted("%.2f", cycles(results.ns("bound/f32"))).c_str());
}

// One row per precision, buffer, rate and block size: ours against libbs2b and a copy.
void printSpeedRows(const TableCollector& results, const Clock& clock) {
    const auto cycles = [&](double ns) { return clock.cycles(ns); };
    std::printf(
        "bits buffer  rate    block | ours ns  cycles | silence | bs2b cyc  copy cyc | "
        "ours/bs2b ours/copy silence/sound\n");
    for (int bits : {64, 32}) {
        for (bool stream : {false, true}) {
            for (int rate : kRates) {
                for (int block : kBlockSizes) {
                    const Setting s{bits, stream, rate, block};
                    const Setting copy{bits, stream, 0, block};
                    const double ours = results.ns(key("ours", s));
                    const double silence = results.ns(key("silence", s));
                    const double bs2b = results.ns(key("bs2b", s));
                    const double floor = results.ns(key("copy", copy));
                    if (std::isnan(ours) && std::isnan(bs2b)) continue;
                    std::printf("%-4d %-7s %6d %6d | %7s %7s | %7s | %8s %9s | %9s %9s %13s\n",
                                bits, stream ? "2^20" : "cache", rate, block,
                                formatted("%.3f", ours).c_str(),
                                formatted("%.2f", cycles(ours)).c_str(),
                                formatted("%.2f", cycles(silence)).c_str(),
                                formatted("%.2f", cycles(bs2b)).c_str(),
                                formatted("%.3f", cycles(floor)).c_str(),
                                formatted("%.3f", ours / bs2b).c_str(),
                                formatted("%.1f", ours / floor).c_str(),
                                formatted("%.3f", silence / ours).c_str());
                }
            }
        }
    }
}

// What a host pays besides processing, silence after a sound, and a host in FTZ/DAZ mode.
void printHostCosts(const TableCollector& results, const Clock& clock, double footprint) {
    const auto cycles = [&](double ns) { return clock.cycles(ns); };
    std::printf(
        "\nhost costs: create+close %s ns; setParameter+getParameter %s ns; "
        "effGetParamDisplay %s ns; footprint %.0f heap bytes per instance\n",
        formatted("%.1f", results.ns("host/create_close")).c_str(),
        formatted("%.1f", results.ns("host/parameter_pair")).c_str(),
        formatted("%.1f", results.ns("host/param_display")).c_str(), footprint);
    for (int bits : {64, 32}) {
        for (int rate : kRates) {
            for (int block : {1024, 4096}) {
                const Setting s{bits, false, rate, block};
                const double tail = results.ns(key("tail", s));
                if (std::isnan(tail)) continue;
                std::printf(
                    "first second of silence after a sound, %d-bit, %6d Hz, %4d-frame "
                    "blocks: %s cycles/frame (x%s of sound)\n",
                    bits, rate, block, formatted("%.2f", cycles(tail)).c_str(),
                    formatted("%.3f", tail / results.ns(key("ours", s))).c_str());
            }
        }
    }
    for (int bits : {64, 32}) {
        for (int block : {32, 1024}) {
            const Setting s{bits, false, 44100, block};
            const double normal = results.ns(key("ours", s));
            const double ftz = results.ns(key("ftzdaz", s));
            if (std::isnan(ftz)) continue;
            std::printf(
                "host in FTZ/DAZ mode, %d-bit, %4d-frame blocks: %s cycles/frame "
                "(x%s of the host in default mode)\n",
                bits, block, formatted("%.2f", cycles(ftz)).c_str(),
                formatted("%.3f", ftz / normal).c_str());
        }
    }
}

// The targets the recursion is held to, met or missed.
void printTargets(const TableCollector& results, const Clock& clock) {
    const auto cycles = [&](double ns) { return clock.cycles(ns); };
    const auto at = [&](const char* what, int bits, int block) {
        return results.ns(key(what, Setting{bits, false, 44100, block}));
    };
    std::printf("\ntargets (cache-resident blocks, 44100 Hz, strength 1000):\n");
    printTarget("64-bit, 1024 frames: cycles / 8.0-cycle bound",
                cycles(at("ours", 64, 1024)) / kBound64, 1.05);
    printTarget("64-bit, 1024 frames: cycles / this processor's bound",
                at("ours", 64, 1024) / results.ns("bound/f64"), 1.05);
    printTarget("64-bit, 1024 frames: ours / libbs2b double",
                at("ours", 64, 1024) / at("bs2b", 64, 1024), 0.50);
    printTarget("32-bit, 1024 frames: cycles / 9.35-cycle bound",
                cycles(at("ours", 32, 1024)) / kBound32, 1.20);
    printTarget("32-bit, 1024 frames: cycles / this processor's bound",
                at("ours", 32, 1024) / results.ns("bound/f32"), 1.20);
    printTarget("32-bit, 1024 frames: ours / libbs2b float",
                at("ours", 32, 1024) / at("bs2b", 32, 1024), 0.56);
    printTarget("64-bit: 32-frame / 1024-frame blocks, per frame",
                at("ours", 64, 32) / at("ours", 64, 1024), 1.15);
    printTarget("32-bit: 32-frame / 1024-frame blocks, per frame",
                at("ours", 32, 32) / at("ours", 32, 1024), 1.15);
    printTarget("64-bit, 1024 frames: silence after sound / sound",
                at("silence", 64, 1024) / at("ours", 64, 1024), 1.0);
    printTarget("32-bit, 1024 frames: silence after sound / sound",
                at("silence", 32, 1024) / at("ours", 32, 1024), 1.0);
}

void printTable(const TableCollector& results, double footprint) {
    const Clock clock{1.0 / results.ns("clock")};
    printHeader(results, clock);
    printSpeedRows(results, clock);
    printHostCosts(results, clock, footprint);
    printTargets(results, clock);
}

template <class Sample>
void registerPrecision(int bits) {
    for (bool stream : {false, true}) {
        for (int block : kBlockSizes) {
            const Setting copy{bits, stream, 0, block};
            benchmark::RegisterBenchmark(key("copy", copy).c_str(), benchCopy<Sample>, copy);
            for (int rate : kRates) {
                const Setting s{bits, stream, rate, block};
                benchmark::RegisterBenchmark(key("ours", s).c_str(), benchOurs<Sample>, s,
                                             Kind::sound);
                benchmark::RegisterBenchmark(key("silence", s).c_str(), benchOurs<Sample>, s,
                                             Kind::silence);
                benchmark::RegisterBenchmark(key("bs2b", s).c_str(), benchBs2b<Sample>, s);
                if (!stream && block >= 1024) {
                    benchmark::RegisterBenchmark(key("tail", s).c_str(), benchOurs<Sample>, s,
                                                 Kind::tail);
                }
                if (!stream && rate == 44100 && (block == 32 || block == 1024)) {
                    benchmark::RegisterBenchmark(key("ftzdaz", s).c_str(), benchOurs<Sample>, s,
                                                 Kind::soundHostFtzDaz);
                }
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Defaults for a full run; any of them can be given on the command line instead.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string minTime = "--benchmark_min_time=0.05";
    // Repetitions in random order: every median spans the whole run, clock included, so a
    // burst of load on this shared machine does not fall on one benchmark alone.
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    const auto given = [&](const char* flag) {
        return std::any_of(args.begin() + 1, args.end(), [&](const char* a) {
            return std::strncmp(a, flag, std::strlen(flag)) == 0;
        });
    };
    if (!given("--benchmark_repetitions")) args.push_back(repetitions.data());
    if (!given("--benchmark_min_time")) args.push_back(minTime.data());
    if (!given("--benchmark_enable_random_interleaving")) args.push_back(interleave.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    buffers<float>();  // filled before anything is timed
    buffers<double>();
    benchmark::RegisterBenchmark("clock", benchClock);
    benchmark::RegisterBenchmark("bound/f64", benchBound64);
    benchmark::RegisterBenchmark("bound/f32", benchBound32);
    registerPrecision<double>(64);
    registerPrecision<float>(32);
    benchmark::RegisterBenchmark("host/create_close", benchCreateClose);
    benchmark::RegisterBenchmark("host/parameter_pair", benchParameterPair);
    benchmark::RegisterBenchmark("host/param_display", benchParamDisplay);

    TableCollector results;
    benchmark::RunSpecifiedBenchmarks(&results);
    printTable(results, instanceFootprint());
    benchmark::Shutdown();
    return results.failed() ? 1 : 0;
}
