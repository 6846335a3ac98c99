// The checks of processing, real-time safety, the floating-point mode, threads and speed.
// Each runs in every precision the binary offers, on fresh instances.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <random>
#include <thread>

#include "check_support.h"
#include "host_float_mode.h"

namespace validate {
namespace {

constexpr float kRate = 44100.0f;
constexpr int kMaxBlock = 8192;

// Processes frames [0, total) of `in` into `out` in blocks of the given sizes, cycled.
template <class Sample>
void processSplit(Instance& instance, Channels<Sample>& in, Channels<Sample>& out, int total,
                  const std::vector<int>& sizes) {
    int done = 0;
    for (std::size_t which = 0; done < total; ++which) {
        const int frames = std::min(sizes[which % sizes.size()], total - done);
        instance.processSamples(in.at(done), out.at(done), frames);
        done += frames;
    }
}

std::vector<int> randomSizes(unsigned seed, int count, int most) {
    std::mt19937 random(seed);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i)
        sizes.push_back(1 + static_cast<int>(random() % static_cast<unsigned>(most)));
    return sizes;
}

void setAllParameters(Instance& instance, float value) {
    for (int p = 0; p < instance.record().numParams; ++p) instance.setParameter(p, value);
}

template <class Sample>
std::string firstDifference(const Channels<Sample>& a, const Channels<Sample>& b, int frames) {
    for (int n = 0; n < frames; ++n) {
        for (int c = 0; c < a.count(); ++c) {
            if (a.channel(c)[n] != b.channel(c)[n] &&
                !(a.channel(c)[n] != a.channel(c)[n] && b.channel(c)[n] != b.channel(c)[n])) {
                return format("output %d at frame %d: %.9g against %.9g", c, n,
                              static_cast<double>(a.channel(c)[n]),
                              static_cast<double>(b.channel(c)[n]));
            }
        }
    }
    return "";
}

// "32-bit and 64-bit" or the one offered.
std::string offeredPrecisions(Context& context) {
    std::string text;
    for (Precision p : openInstance(context).precisions())
        text += std::string(text.empty() ? "" : " and ") + precisionName(p);
    return text;
}

// Two fresh instances process the same signal, the second in blocks of other sizes or in
// another floating-point mode; `compare` gets both outputs.
template <class Sample, class Compare>
void runTwice(Context& context, Precision precision, int total, unsigned seed,
              const std::vector<int>& firstSizes, const std::vector<int>& secondSizes,
              unsigned secondMode, Compare compare) {
    Instance first = openInstance(context);
    Instance second = openInstance(context);
    first.start(kRate, 4096, precision);
    second.start(kRate, 4096, precision);
    Channels<Sample> in(first.inputs(), total), out1(first.outputs(), total),
        out2(first.outputs(), total);
    fillSignal(in, total, seed);
    context.at(format("%s, the first instance", precisionName(precision)));
    processSplit(first, in, out1, total, firstSizes);
    context.at(format("%s, the second instance", precisionName(precision)));
    {
        const vsthost::ScopedFloatMode mode(secondMode);
        processSplit(second, in, out2, total, secondSizes);
    }
    compare(out1, out2);
}

// ---- processing -------------------------------------------------------------------------------

Outcome blockSizes(Context& context) {
    // Hosts send blocks of 0 frames too.
    std::vector<int> sizes = {0, 1, 2, 3, 7, 16, 64, 511, 512, 1024, 4096, 8192, 0};
    const std::vector<int> changing = randomSizes(11, context.quick() ? 50 : 400, kMaxBlock);
    sizes.insert(sizes.end(), changing.begin(), changing.end());
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance instance = openInstance(context);
        instance.start(kRate, kMaxBlock, precision);
        long position = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const int frames = sizes[i];
            const std::string where = format("%s, call %zu, a block of %d frames",
                                             precisionName(precision), i + 1, frames);
            context.at(where);
            Channels<Sample> source(instance.inputs(), frames), out(instance.outputs(), frames);
            fillSignal(source, frames, 5, position);
            ReadOnlyInputs<Sample> in(source);
            instance.processSamples(in.pointers(), out.at(), frames);
            position += frames;
            if (out.overwrittenGuard() >= 0) {
                throw CheckFailed(format("%s: wrote past the block's end in output %d",
                                         where.c_str(), out.overwrittenGuard()));
            }
            const std::string bad = firstBadSample(out, frames, false);
            if (!bad.empty()) throw CheckFailed(where + ": " + bad);
        }
    });
    return {Verdict::pass,
            format("%zu calls of 0 to 8192 frames, changing from call to call (%s): nothing "
                   "written past a block, read-only inputs untouched, output finite",
                   sizes.size(), offeredPrecisions(context).c_str())};
}

Outcome inPlace(Context& context) {
    {
        Instance probe = openInstance(context);
        if (probe.inputs() != probe.outputs()) {
            return {Verdict::info, format("not applicable: %d inputs, %d outputs", probe.inputs(),
                                          probe.outputs())};
        }
    }
    const int total = context.quick() ? 8192 : 65536;
    const std::vector<int> sizes = randomSizes(13, 64, 2048);
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance apart = openInstance(context);
        Instance inPlace = openInstance(context);
        apart.start(kRate, kMaxBlock, precision);
        inPlace.start(kRate, kMaxBlock, precision);
        Channels<Sample> in(apart.inputs(), total), out(apart.outputs(), total);
        fillSignal(in, total, 17);
        Channels<Sample> shared = in;
        context.at(format("%s, separate buffers", precisionName(precision)));
        processSplit(apart, in, out, total, sizes);
        context.at(format("%s, in place", precisionName(precision)));
        processSplit(inPlace, shared, shared, total, sizes);
        const std::string difference = firstDifference(out, shared, total);
        if (!difference.empty()) {
            throw CheckFailed(format("%s: in place differs from separate buffers, %s",
                                     precisionName(precision), difference.c_str()));
        }
    });
    return {Verdict::pass, "in place gives the same bits as separate buffers (" +
                               offeredPrecisions(context) + ")"};
}

Outcome finiteOutput(Context& context) {
    struct Input {
        const char* name;
        double (*sample)(int channel, long n, double noise);
    };
    const Input inputs[] = {
        {"sine and noise",
         [](int c, long n, double noise) { return 0.3 * std::sin(0.0113 * (c + 1) * n) + noise; }},
        {"a full-scale square wave",
         [](int c, long n, double) { return ((n + 13 * c) / 50) % 2 == 0 ? 1.0 : -1.0; }},
        {"full-scale DC", [](int c, long, double) { return c % 2 == 0 ? 1.0 : -1.0; }},
        {"noise at 8 times full scale", [](int, long, double noise) { return 40.0 * noise; }},
        {"a sine near half the sample rate",
         [](int c, long n, double) { return std::sin(3.1 * n + c); }},
    };
    const float settings[] = {-1.0f, 0.0f, 1.0f};  // -1: the parameters as they start
    const int frames = context.quick() ? 4096 : 32768;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        for (float setting : settings) {
            for (const Input& input : inputs) {
                const std::string where =
                    format("%s, %s, parameters %s", precisionName(precision), input.name,
                           setting < 0    ? "as they start"
                           : setting == 0 ? "at 0"
                                          : "at 1");
                context.at(where);
                Instance instance = openInstance(context);
                if (setting >= 0) setAllParameters(instance, setting);
                instance.start(kRate, 512, precision);
                Channels<Sample> in(instance.inputs(), frames), out(instance.outputs(), frames);
                std::mt19937 random(3);
                std::uniform_real_distribution<double> noise(-0.2, 0.2);
                for (int c = 0; c < in.count(); ++c) {
                    for (int n = 0; n < frames; ++n)
                        in.channel(c)[n] = static_cast<Sample>(input.sample(c, n, noise(random)));
                }
                processSplit(instance, in, out, frames, {512});
                const std::string bad = firstBadSample(out, frames, false);
                if (!bad.empty()) throw CheckFailed(where + ": " + bad);
            }
        }
    });
    return {Verdict::pass,
            format("5 kinds of finite input, parameters as they start, at 0 and at 1 (%s): no NaN "
                   "or infinity out",
                   offeredPrecisions(context).c_str())};
}

Outcome silence(Context& context) {
    std::string report;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance instance = openInstance(context);
        const VstIntPtr tail = instance.dispatch(effGetTailSize);
        const long bound = std::max<long>(10 * static_cast<long>(kRate),
                                          tail > 1 && tail < 600 * kRate ? tail : 0);
        instance.start(kRate, 512, precision);
        Channels<Sample> in(instance.inputs(), 512), out(instance.outputs(), 512);
        context.at(format("%s, one second of sound", precisionName(precision)));
        for (long position = 0; position < static_cast<long>(kRate); position += 512) {
            fillSignal(in, 512, 23, position);
            instance.processSamples(in.at(), out.at(), 512);
        }
        in.silence();
        long lastSound = -1;  // the last frame, counted from the end of the sound, that was not 0
        long frame = 0;
        context.at(format("%s, silence after the sound", precisionName(precision)));
        // Subnormal samples on the way are no fault: processing/subnormals reports them.
        for (; frame < bound + static_cast<long>(kRate) &&
               frame - lastSound < static_cast<long>(kRate);
             frame += 512) {
            instance.processSamples(in.at(), out.at(), 512);
            const std::string bad = firstBadSample(out, 512, false);
            if (!bad.empty()) {
                throw CheckFailed(format("%s: %s, %.2f s after the sound stopped",
                                         precisionName(precision), bad.c_str(), frame / kRate));
            }
            for (int c = 0; c < out.count(); ++c) {
                for (int n = 0; n < 512; ++n) {
                    if (out.channel(c)[n] != 0) lastSound = std::max(lastSound, frame + n);
                }
            }
        }
        if (lastSound >= bound) {
            throw CheckFailed(format("%s: still not digital silence %.0f s after the sound stopped",
                                     precisionName(precision), bound / kRate));
        }
        report += format("%s%s: %.3f s", report.empty() ? "" : ", ", precisionName(precision),
                         (lastSound + 1) / kRate);
    });
    return {Verdict::pass, "digital silence after the sound stops, " + report};
}

// ---- subnormals --------------------------------------------------------------------------------

// Processing may cost this many times as much per frame on subnormal values (a decaying tail,
// subnormal input) as on sound before it counts as slowing down. Processors that take a slow
// path for subnormal arithmetic pay 10 to 100 times. On the AMD machine the project is tested
// on, the crossfeed's tails cost 1.0 times its sound, and 64-bit subnormal input up to 2.2
// times (some of its arithmetic on subnormals is slower there); the fake that stands for a
// slow path costs over 20 times in its tail.
constexpr double kSubnormalCostLimit = 5.0;

// Seconds per frame of a run of blocks.
struct Cost {
    double seconds = 0.0;
    long frames = 0;
    double perFrame() const { return frames > 0 ? seconds / static_cast<double>(frames) : 0.0; }
};

// Processes one block and says how long it took, in the thread's processor time.
template <class Sample>
double timedBlock(Instance& instance, Channels<Sample>& in, Channels<Sample>& out, int frames) {
    const double started = threadSeconds();
    instance.processSamples(in.at(), out.at(), frames);
    return threadSeconds() - started;
}

// Sounds that stop, each followed by silence until the output is digital silence (at most
// 10 s): the cheapest sound and the cheapest tail of the repetitions, per frame, and where the
// first tail held subnormal samples.
struct Tails {
    Cost sound;
    Cost tail;
    long subnormals = 0;
    long firstSubnormal = -1;  // frames after the sound stopped
    long lastSubnormal = -1;
};

template <class Sample>
Tails decayingTails(Context& context, Precision precision, int repetitions) {
    constexpr int kBlock = 512;
    Instance instance = openInstance(context);
    instance.start(kRate, kBlock, precision);
    Channels<Sample> in(instance.inputs(), kBlock), out(instance.outputs(), kBlock);
    Tails tails;
    for (int r = 0; r < repetitions; ++r) {
        context.at(format("%s, sound %d of %d", precisionName(precision), r + 1, repetitions));
        Cost sound, tail;
        for (long position = 0; position < static_cast<long>(kRate / 4); position += kBlock) {
            fillSignal(in, kBlock, 79, position);
            sound.seconds += timedBlock(instance, in, out, kBlock);
            sound.frames += kBlock;
        }
        in.silence();
        context.at(format("%s, the tail after sound %d", precisionName(precision), r + 1));
        for (bool silent = false; !silent && tail.frames < 10 * static_cast<long>(kRate);) {
            tail.seconds += timedBlock(instance, in, out, kBlock);
            silent = true;
            for (int c = 0; c < out.count(); ++c) {
                for (int n = 0; n < kBlock; ++n) {
                    const Sample value = out.channel(c)[n];
                    silent = silent && value == 0;
                    if (r > 0 || std::fpclassify(value) != FP_SUBNORMAL) continue;
                    ++tails.subnormals;
                    if (tails.firstSubnormal < 0) tails.firstSubnormal = tail.frames + n;
                    tails.lastSubnormal = std::max(tails.lastSubnormal, tail.frames + n);
                }
            }
            tail.frames += kBlock;
        }
        if (r == 0 || sound.perFrame() < tails.sound.perFrame()) tails.sound = sound;
        if (r == 0 || tail.perFrame() < tails.tail.perFrame()) tails.tail = tail;
    }
    return tails;
}

// Time per block on sound against time per block on subnormal input, two instances taking
// blocks in turn, so that the machine's load falls on both alike: medians, per frame.
template <class Sample>
void subnormalInputCost(Context& context, Precision precision, int blocks, Cost* sound,
                        Cost* subnormal) {
    constexpr int kBlock = 512;
    Instance onSound = openInstance(context);
    Instance onSubnormals = openInstance(context);
    onSound.start(kRate, kBlock, precision);
    onSubnormals.start(kRate, kBlock, precision);
    Channels<Sample> in(onSound.inputs(), kBlock), tiny(onSound.inputs(), kBlock),
        out(onSound.outputs(), kBlock);
    std::mt19937 random(83);
    const Sample smallest = std::numeric_limits<Sample>::denorm_min();
    for (int c = 0; c < tiny.count(); ++c) {
        for (int n = 0; n < kBlock; ++n) {
            const Sample value = smallest * static_cast<Sample>(1 + random() % 1000000);
            tiny.channel(c)[n] = random() % 2 == 0 ? value : -value;
        }
    }
    context.at(
        format("%s, blocks of sound and of subnormal input in turn", precisionName(precision)));
    std::vector<double> soundTimes, subnormalTimes;
    for (int block = 0; block < blocks; ++block) {
        fillSignal(in, kBlock, 89, static_cast<long>(block) * kBlock);
        soundTimes.push_back(timedBlock(onSound, in, out, kBlock));
        subnormalTimes.push_back(timedBlock(onSubnormals, tiny, out, kBlock));
    }
    const auto median = [](std::vector<double> times) {
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        return times[times.size() / 2];
    };
    *sound = {median(soundTimes), kBlock};
    *subnormal = {median(subnormalTimes), kBlock};
}

// Subnormal output is reported, with where it occurs: a host without flush-to-zero passes it
// on. What fails is processing that slows down on such values.
Outcome subnormals(Context& context) {
    std::string found, costs, slower;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        const Tails tails = decayingTails<Sample>(context, precision, context.quick() ? 4 : 8);
        Cost sound, subnormal;
        subnormalInputCost<Sample>(context, precision, context.quick() ? 32 : 128, &sound,
                                   &subnormal);
        const double tailRatio = tails.tail.perFrame() / std::max(tails.sound.perFrame(), 1e-15);
        const double inputRatio = subnormal.perFrame() / std::max(sound.perFrame(), 1e-15);
        const char* name = precisionName(precision);
        costs += format("%s%s %.1f and %.1f times", costs.empty() ? "" : ", ", name, tailRatio,
                        inputRatio);
        if (slower.empty() && tailRatio > kSubnormalCostLimit) {
            slower = format(
                "%s: a frame of the tail after sound costs %.1f times a frame of "
                "sound (%.1f ns against %.1f ns)",
                name, tailRatio, 1e9 * tails.tail.perFrame(), 1e9 * tails.sound.perFrame());
        }
        if (slower.empty() && inputRatio > kSubnormalCostLimit) {
            slower = format(
                "%s: a frame of subnormal input costs %.1f times a frame of sound "
                "(%.1f ns against %.1f ns)",
                name, inputRatio, 1e9 * subnormal.perFrame(), 1e9 * sound.perFrame());
        }
        if (tails.subnormals > 0) {
            found += format(
                "%s%s: %ld subnormal samples in the tail after sound, %.3f s to "
                "%.3f s after it stopped",
                found.empty() ? "" : "; ", name, tails.subnormals, tails.firstSubnormal / kRate,
                tails.lastSubnormal / kRate);
        }
    });
    const std::string measured =
        "time per frame in the tail and on subnormal input against sound: " + costs;
    if (!slower.empty()) {
        throw CheckFailed("processing slows down on subnormal values, " + slower +
                          format(" (more than %.0f times fails)", kSubnormalCostLimit));
    }
    if (!found.empty()) {
        return {Verdict::info,
                found + "; a host without flush-to-zero passes them on (" + measured + ")"};
    }
    return {Verdict::pass, "no subnormal samples in the tail after sound; " + measured};
}

Outcome identicalInstances(Context& context) {
    const int total = context.quick() ? 16384 : 131072;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        runTwice<decltype(zero)>(
            context, precision, total, 29, {1024}, {1024}, mxcsr::kDefault,
            [&](const auto& one, const auto& other) {
                const std::string difference = firstDifference(one, other, total);
                if (!difference.empty()) {
                    throw CheckFailed(format(
                        "%s: two instances given the same input differ, %s (uninitialised state?)",
                        precisionName(precision), difference.c_str()));
                }
            });
    });
    return {Verdict::pass, "two instances give the same bits (" + offeredPrecisions(context) + ")"};
}

Outcome blockSplitting(Context& context) {
    const int total = context.quick() ? 16384 : 131072;
    std::string warning;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        runTwice<decltype(zero)>(
            context, precision, total, 31, {4096}, randomSizes(37, 256, 700), mxcsr::kDefault,
            [&](const auto& whole, const auto& split) {
                const std::string difference = firstDifference(whole, split, total);
                if (!difference.empty() && warning.empty()) {
                    warning =
                        format("%s: splitting the audio into other blocks changes the output, %s",
                               precisionName(precision), difference.c_str());
                }
            });
    });
    if (!warning.empty()) return {Verdict::warn, warning};
    return {Verdict::pass, "blocks of 4096 and random blocks give the same bits (" +
                               offeredPrecisions(context) + ")"};
}

Outcome parameterSweep(Context& context) {
    int params = 0;
    const int steps = context.quick() ? 10 : 50;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance instance = openInstance(context);
        params = std::min(instance.record().numParams, 256);
        instance.start(kRate, 256, precision);
        Channels<Sample> in(instance.inputs(), 256), out(instance.outputs(), 256);
        long position = 0;
        for (int p = 0; p < params; ++p) {
            for (int step = 0; step <= steps; ++step) {
                const float value = static_cast<float>(step) / static_cast<float>(steps);
                const std::string where =
                    format("%s, parameter %d at %g", precisionName(precision), p, value);
                context.at(where);
                instance.setParameter(p, value);
                fillSignal(in, 256, 41, position);
                position += 256;
                instance.processSamples(in.at(), out.at(), 256);
                const std::string bad = firstBadSample(out, 256, false);
                if (!bad.empty()) throw CheckFailed(where + ": " + bad);
            }
        }
    });
    return {
        Verdict::pass,
        format("%d parameter%s swept from 0 to 1 in %d steps between blocks (%s): output finite",
               params, params == 1 ? "" : "s", steps, offeredPrecisions(context).c_str())};
}

// Whether the values read back follow the values set: a parameter may keep steps of its own
// (a switch reads 0 or 1, a choice of n reads one of n values), but it must move, reach both
// ends and never move against the value set. Returns the reason to fail, or "".
std::string readBackFault(int p, const float (&set)[5], const float (&read)[5]) {
    constexpr float kFine = 1e-3f;  // finer than any step a display shows
    if (std::all_of(read, read + 5, [&](float r) { return r == read[0]; })) {
        return format(
            "parameter %d ignores setParameter: it reads back %g whether set to 0 "
            "or to 1",
            p, read[0]);
    }
    for (int i = 0; i < 5; ++i) {
        const bool stepped = std::abs(read[i] - set[i]) > kFine;
        const bool wrong = (stepped && std::abs(read[i] - set[i]) > 0.5f) ||
                           ((i == 0 || i == 4) && stepped) || (i > 0 && read[i] < read[i - 1]);
        if (wrong) {
            return format("parameter %d set to %g reads back %g (set to %g it read %g)", p, set[i],
                          read[i], set[i > 0 ? i - 1 : 1], read[i > 0 ? i - 1 : 1]);
        }
    }
    return "";
}

// The value and display of each parameter after it is set, written back and given as text.
Outcome parameterRoundTrip(Context& context) {
    Instance instance = openInstance(context);
    Instance& plugin = instance;
    const int params = std::min(instance.record().numParams, 1024);
    int textToValue = 0;
    for (int p = 0; p < params; ++p) {
        const float values[5] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
        float reads[5];
        for (int i = 0; i < 5; ++i) {
            const float value = values[i];
            const std::string where = format("parameter %d set to %g", p, value);
            context.at(where);
            plugin.setParameter(p, value);
            const float read = reads[i] = plugin.getParameter(p);
            if (!(read >= 0.0f && read <= 1.0f))
                throw CheckFailed(
                    format("%s: reads back as %g, outside 0..1", where.c_str(), read));
            const std::string display = plugin.text(effGetParamDisplay, p);
            plugin.setParameter(p, read);
            if (plugin.getParameter(p) != read || plugin.text(effGetParamDisplay, p) != display) {
                throw CheckFailed(
                    format("%s: writing back the value read (%.9g) changes it to %.9g, display "
                           "\"%s\" to \"%s\"",
                           where.c_str(), read, plugin.getParameter(p), display.c_str(),
                           plugin.text(effGetParamDisplay, p).c_str()));
            }
            std::vector<char> text(display.begin(), display.end());
            text.resize(256, '\0');
            if (plugin.dispatch(effString2Parameter, p, 0, text.data()) != 0) {
                ++textToValue;
                if (plugin.text(effGetParamDisplay, p) != display) {
                    throw CheckFailed(format(
                        "%s: its display \"%s\" given back as text gives \"%s\"", where.c_str(),
                        display.c_str(), plugin.text(effGetParamDisplay, p).c_str()));
                }
            }
        }
        const std::string fault = readBackFault(p, values, reads);
        if (!fault.empty()) throw CheckFailed(fault);
    }
    return {Verdict::pass,
            format("%d parameter%s at 5 values: each reads back what was set (within its "
                   "steps), value and display stable when written back; %s",
                   params, params == 1 ? "" : "s",
                   textToValue > 0 ? "display text back to value keeps the display"
                                   : "text to value not offered")};
}

// ---- realtime ---------------------------------------------------------------------------------

Outcome watchProcessing(Context& context, WatchKind kind, const char* what) {
    context.library();  // hooked as it loads, where the hooks are per library
    if (!watchAvailable(kind))
        return {Verdict::info, std::string(what) + " " + watchUnavailableReason(kind)};
    long calls = 0;
    std::vector<int> sizes = {1, 64, 512, 4096};
    const std::vector<int> changing = randomSizes(43, context.quick() ? 40 : 400, 4096);
    sizes.insert(sizes.end(), changing.begin(), changing.end());
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance instance = openInstance(context);
        instance.start(kRate, 4096, precision);
        Channels<Sample> in(instance.inputs(), 4096), out(instance.outputs(), 4096);
        fillSignal(in, 4096, 47);
        context.at(format("%s processing calls, watched", precisionName(precision)));
        resetWatch();
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            if (instance.record().numParams > 0 && i % 8 == 7) {
                instance.setParameter(static_cast<int>(i / 8) % instance.record().numParams,
                                      (i % 3) / 2.0f);
            }
            instance.processSamples(in.at(), out.at(), sizes[i]);
            ++calls;
        }
        const WatchedCalls seen = watchedCalls(kind);
        if (seen.count > 0) {
            throw CheckFailed(
                format("%ld call%s of %s in %s processing calls, the first %s%s", seen.count,
                       seen.count == 1 ? "" : "s", what, precisionName(precision), seen.first,
                       seen.firstSize > 0 ? format(" of %zu bytes", seen.firstSize).c_str() : ""));
        }
    });
    return {Verdict::pass, format("none in %ld processing calls of 1 to 4096 frames%s", calls,
                                  watchBlindSpot(kind))};
}

Outcome allocation(Context& context) {
    return watchProcessing(context, WatchKind::allocation, "heap allocation or release");
}
Outcome locks(Context& context) {
    return watchProcessing(context, WatchKind::lock, "locking");
}
Outcome io(Context& context) {
    return watchProcessing(context, WatchKind::io, "file or console I/O");
}
Outcome sleeping(Context& context) {
    return watchProcessing(context, WatchKind::sleep, "sleeping");
}
Outcome spawning(Context& context) {
    return watchProcessing(context, WatchKind::spawn, "starting a thread or a process");
}

// ---- float-mode -------------------------------------------------------------------------------

Outcome mxcsrPreserved(Context& context) {
    using namespace vsthost;
    const unsigned modes[] = {mxcsr::kDefault,
                              mxcsr::kDefault | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero,
                              mxcsr::kDefault | mxcsr::kRoundDown,
                              mxcsr::kDefault | mxcsr::kRoundTowardZero | mxcsr::kFlushToZero};
    for (unsigned mode : modes) {
        // Runs one call in `mode` and checks that the caller gets its mode back.
        const auto call = [&](const char* what, const auto& body) {
            context.at(format("%s with MXCSR 0x%04X", what, mode));
            setFloatMode(mode);
            body();
            const unsigned after = floatMode();
            setFloatMode(mxcsr::kDefault);
            if ((after & mxcsr::kControlBits) != (mode & mxcsr::kControlBits)) {
                throw CheckFailed(format("%s changed the caller's MXCSR from 0x%04X to 0x%04X",
                                         what, mode, after & mxcsr::kControlBits));
            }
        };
        std::unique_ptr<Instance> instance;
        call("the entry", [&] { instance = std::make_unique<Instance>(openInstance(context)); });
        call("effSetSampleRate", [&] { instance->setSampleRate(48000.0f); });
        call("effMainsChanged (on)",
             [&] { instance->start(48000.0f, 512, firstPrecision(*instance)); });
        if (instance->record().numParams > 0) {
            call("setParameter", [&] { instance->setParameter(0, 0.7f); });
            call("getParameter", [&] { instance->getParameter(0); });
            call("effGetParamDisplay", [&] { instance->text(effGetParamDisplay, 0); });
        }
        Channels<float> in32(instance->inputs(), 512), out32(instance->outputs(), 512);
        Channels<double> in64(instance->inputs(), 512), out64(instance->outputs(), 512);
        fillSignal(in32, 512, 53);
        fillSignal(in64, 512, 53);
        if (instance->offers(Precision::float32))
            call("processReplacing", [&] { instance->processSamples(in32.at(), out32.at(), 512); });
        if (instance->offers(Precision::float64))
            call("processDoubleReplacing",
                 [&] { instance->processSamples(in64.at(), out64.at(), 512); });
        call("effMainsChanged (off)", [&] { instance->stop(); });
        call("effClose", [&] { instance.reset(); });
    }
    return {Verdict::pass, "every kind of call gives the caller back its MXCSR, in 4 modes"};
}

Outcome flushToZero(Context& context) {
    using namespace vsthost;
    const int total = context.quick() ? 16384 : 131072;
    double largest = 0.0;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        runTwice<decltype(zero)>(
            context, precision, total, 59, {512}, {512},
            mxcsr::kDefault | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero,
            [&](const auto& plain, const auto& flushing) {
                const std::string bad = firstBadSample(flushing, total, false);
                if (!bad.empty())
                    throw CheckFailed(
                        format("%s with flush-to-zero: %s", precisionName(precision), bad.c_str()));
                for (int c = 0; c < plain.count(); ++c) {
                    for (int n = 0; n < total; ++n) {
                        largest =
                            std::max(largest, std::abs(static_cast<double>(plain.channel(c)[n]) -
                                                       flushing.channel(c)[n]));
                    }
                }
            });
    });
    if (largest > 1e-6) {
        return {Verdict::warn,
                format("with flush-to-zero and denormals-are-zero the output differs by up to %.3g",
                       largest)};
    }
    return {Verdict::pass,
            largest == 0
                ? "with flush-to-zero and denormals-are-zero on: the same bits"
                : format("with flush-to-zero and denormals-are-zero on: within %.3g", largest)};
}

// ---- threads ----------------------------------------------------------------------------------

Outcome parameterThreads(Context& context) {
    const int blocks = context.quick() ? 200 : 2000;
    long moves = 0;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        Instance instance = openInstance(context);
        if (instance.record().numParams == 0) return;
        instance.start(kRate, 256, precision);
        std::atomic<bool> done{false};
        context.at(format("%s processing while a second thread moves the parameters",
                          precisionName(precision)));
        std::thread mover([&] {
            std::mt19937 random(61);
            const int params = instance.record().numParams;
            while (!done.load()) {
                const int p = static_cast<int>(random() % static_cast<unsigned>(params));
                instance.setParameter(p, static_cast<float>(random() % 1001) / 1000.0f);
                instance.getParameter(p);
                ++moves;
            }
        });
        Channels<Sample> in(instance.inputs(), 256), out(instance.outputs(), 256);
        std::string bad;
        for (int block = 0; block < blocks && bad.empty(); ++block) {
            fillSignal(in, 256, 67, block * 256L);
            instance.processSamples(in.at(), out.at(), 256);
            bad = firstBadSample(out, 256, false);
            if (!bad.empty())
                bad = format("%s, block %d: %s", precisionName(precision), block, bad.c_str());
        }
        done = true;
        mover.join();
        if (!bad.empty()) throw CheckFailed(bad + " while a second thread moved the parameters");
    });
    if (moves == 0) return {Verdict::pass, "no parameters to move"};
    return {
        Verdict::pass,
        format("%ld parameter changes from a second thread during %d blocks (%s): output finite",
               moves, blocks, offeredPrecisions(context).c_str())};
}

// ---- speed ------------------------------------------------------------------------------------

Outcome speed(Context& context) {
    std::string report;
    const long frames = context.quick() ? 44100 : 441000;
    forEachPrecision(context, [&](Precision precision, auto zero) {
        using Sample = decltype(zero);
        report += std::string(report.empty() ? "" : "; ") + precisionName(precision) + ":";
        for (int block : {32, 512, 4096}) {
            Instance instance = openInstance(context);
            instance.start(kRate, block, precision);
            Channels<Sample> in(instance.inputs(), block), out(instance.outputs(), block);
            fillSignal(in, block, 71);
            context.at(format("%s, blocks of %d", precisionName(precision), block));
            const auto started = std::chrono::steady_clock::now();
            for (long done = 0; done < frames; done += block)
                instance.processSamples(in.at(), out.at(), block);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const long processed = (frames + block - 1) / block * block;
            report += format(" %.1f ns/frame at %d (%.0fx real time)", 1e9 * seconds / processed,
                             block, processed / kRate / std::max(seconds, 1e-9));
        }
    });
    return {Verdict::info, report};
}

}  // namespace

void addAudioChecks(std::vector<Check>& checks) {
    checks.insert(checks.end(), {
                                    {"processing", "block-sizes", blockSizes},
                                    {"processing", "in-place", inPlace},
                                    {"processing", "finite-output", finiteOutput},
                                    {"processing", "silence", silence},
                                    {"processing", "subnormals", subnormals},
                                    {"processing", "identical-instances", identicalInstances},
                                    {"processing", "block-splitting", blockSplitting},
                                    {"processing", "parameter-sweep", parameterSweep},
                                    {"processing", "parameter-round-trip", parameterRoundTrip},
                                    {"realtime", "allocation", allocation},
                                    {"realtime", "locks", locks},
                                    {"realtime", "io", io},
                                    {"realtime", "sleep", sleeping},
                                    {"realtime", "spawn", spawning},
                                    {"float-mode", "mxcsr-preserved", mxcsrPreserved},
                                    {"float-mode", "flush-to-zero", flushToZero},
                                    {"threads", "parameter-threads", parameterThreads},
                                    {"speed", "speed", speed},
                                });
}

}  // namespace validate
