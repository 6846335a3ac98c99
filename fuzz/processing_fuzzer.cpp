// Fuzz target: the audio path with any sample rate (float bit patterns), strength, block size
// (0 and negative too), precision, buffers in place or apart, and samples that include NaN,
// infinities, subnormals and the extremes.
//
// Every channel buffer is its own allocation of exactly the block's length, so the sanitizers
// see any access outside it; a block of 0 or fewer frames must leave a one-sample buffer alone.
// While the filter's history holds only moderate finite input:
//   - at a setting the recursion is stable for (2 x strength below the whole-hertz rate), every
//     output is finite;
//   - the channel sum passes: yL + yR equals xL + xR within the rounding of the two outputs.
// After a block with a non-finite sample, the next block equals a fresh instance's at the same
// rate and strength, bit for bit.
//
// Input, repeated: a step byte (bits 0-1: set the rate, set the strength, process; bit 2:
// 64-bit; bit 3: in place), then its arguments. Samples are chosen by a code byte: one of the
// special values, or 16 bits of audio, or a raw bit pattern; a used-up input reads as silence.

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fuzz_support.h"

using fuzzing::bitCast;
using fuzzing::Input;
using fuzzing::require;

namespace {

constexpr VstInt32 kMaxFrames = 2048;
// Input at or below this magnitude counts as moderate: even at the edge of stability the
// recursion cannot amplify it past the range of a 32-bit float.
constexpr double kModerate = 1e20;

template <class Sample>
Sample nextSample(Input& input) {
    using Limits = std::numeric_limits<Sample>;
    const Sample special[] = {Limits::quiet_NaN(),
                              Limits::infinity(),
                              -Limits::infinity(),
                              Limits::denorm_min(),
                              -Limits::denorm_min(),
                              Limits::min(),
                              Limits::max(),
                              -Limits::max(),
                              Sample(0),
                              -Sample(0),
                              Sample(1),
                              Sample(-1),
                              Limits::min() / 3,
                              Sample(1e-30),
                              Sample(0.5),
                              -Limits::signaling_NaN()};
    const auto code = input.take<std::uint8_t>();
    if (code < 16) return special[code];
    if (code < 255) return static_cast<Sample>(input.take<std::int16_t>()) / Sample(32768);
    if constexpr (sizeof(Sample) == 4) {
        return bitCast<float>(input.take<std::uint32_t>());
    } else {
        return bitCast<double>(input.take<std::uint64_t>());
    }
}

// The whole-hertz rate the filter works at: truncated through a 64-bit integer, low 32 bits;
// NaN and rates outside the 64-bit range give 0.
std::uint32_t wholeHertz(float rate) {
    if (!(rate >= -9223372036854775808.0f && rate < 9223372036854775808.0f)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(rate));
}

int storedStrength(AEffect* e) {
    return static_cast<int>(std::lround(static_cast<double>(e->getParameter(e, 0)) * 10000.0));
}

struct Block {
    bool wide = false;
    bool inPlace = false;
    VstInt32 frames = 0;
    std::vector<float> in32[2], out32[2];
    std::vector<double> in64[2], out64[2];
};

// Runs one block through an instance, from the block's inputs into fresh output buffers.
void run(AEffect* e, Block& block) {
    const std::size_t length = block.frames > 0 ? static_cast<std::size_t>(block.frames) : 1;
    if (block.wide) {
        double* ins[2];
        double* outs[2];
        for (int c = 0; c < 2; ++c) {
            block.out64[c] = block.inPlace ? block.in64[c] : std::vector<double>(length, 7.0);
            ins[c] = block.inPlace ? block.out64[c].data() : block.in64[c].data();
            outs[c] = block.out64[c].data();
        }
        e->processDoubleReplacing(e, ins, outs, block.frames);
    } else {
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < 2; ++c) {
            block.out32[c] = block.inPlace ? block.in32[c] : std::vector<float>(length, 7.0f);
            ins[c] = block.inPlace ? block.out32[c].data() : block.in32[c].data();
            outs[c] = block.out32[c].data();
        }
        e->processReplacing(e, ins, outs, block.frames);
    }
}

template <class Sample>
void checkBlock(const std::vector<Sample>* in, const std::vector<Sample>* out, VstInt32 frames,
                bool inPlace, bool moderateHistory, bool stable) {
    constexpr long double eps = std::numeric_limits<Sample>::epsilon();
    // Among the subnormal numbers rounding has a fixed step instead of a relative one.
    constexpr long double tiny = std::numeric_limits<Sample>::denorm_min();
    if (frames <= 0) {
        // In place the buffer still holds its input sample; apart, the 7 it was filled with.
        for (int c = 0; c < 2; ++c) {
            const Sample expected = inPlace ? in[c][0] : Sample(7);
            require(std::memcmp(out[c].data(), &expected, sizeof(Sample)) == 0,
                    "an empty block touches no sample", frames);
        }
        return;
    }
    for (VstInt32 n = 0; n < frames; ++n) {
        const long double xl = in[0][n], xr = in[1][n], yl = out[0][n], yr = out[1][n];
        const bool finiteOut = std::isfinite(out[0][n]) && std::isfinite(out[1][n]);
        if (moderateHistory && stable) require(finiteOut, "finite input gives finite output", n);
        if (moderateHistory && finiteOut) {
            const long double error = std::fabs((yl + yr) - (xl + xr));
            const long double bound =
                2 * eps * (std::fabs(yl) + std::fabs(yr) + std::fabs(xl) + std::fabs(xr)) +
                4 * tiny;
            require(error <= bound, "the channel sum passes within rounding", n);
        }
    }
}

bool allModerate(const Block& block) {
    const std::size_t frames = block.frames > 0 ? static_cast<std::size_t>(block.frames) : 0;
    for (int c = 0; c < 2; ++c) {
        for (std::size_t n = 0; n < frames; ++n) {
            const double x = block.wide ? block.in64[c][n] : block.in32[c][n];
            if (!(std::fabs(x) <= kModerate)) return false;
        }
    }
    return true;
}

bool anyNonFinite(const Block& block) {
    const std::size_t frames = block.frames > 0 ? static_cast<std::size_t>(block.frames) : 0;
    for (int c = 0; c < 2; ++c) {
        for (std::size_t n = 0; n < frames; ++n) {
            const double x = block.wide ? block.in64[c][n] : block.in32[c][n];
            if (!std::isfinite(x)) return true;
        }
    }
    return false;
}

bool sameOutputs(const Block& a, const Block& b) {
    for (int c = 0; c < 2; ++c) {
        const bool same = a.wide ? std::memcmp(a.out64[c].data(), b.out64[c].data(),
                                               a.out64[c].size() * sizeof(double)) == 0
                                 : std::memcmp(a.out32[c].data(), b.out32[c].data(),
                                               a.out32[c].size() * sizeof(float)) == 0;
        if (!same) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    AEffect* const effect = fuzzing::openInstance();
    float rate = 44100.0f;
    std::uint32_t filterRate = 0;  // the whole-hertz rate of the last block
    // True while everything the filter has seen since its state was last zeroed was finite
    // and moderate; only then do the finiteness and sum properties apply.
    bool moderateHistory = true;
    bool afterNonFinite = false;

    while (!input.empty()) {
        const auto step = input.take<std::uint8_t>();
        switch (step & 3) {
            case 0:
                rate = input.take<float>();
                effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
                break;
            case 1: {
                const int before = storedStrength(effect);
                effect->setParameter(effect, 0, input.take<float>());
                if (storedStrength(effect) != before) moderateHistory = true;  // reset
                break;
            }
            default: {
                Block block;
                block.wide = (step & 4) != 0;
                block.inPlace = (step & 8) != 0;
                const auto frames = input.take<VstInt32>();
                block.frames = frames > 0 ? frames % (kMaxFrames + 1) : frames;
                const std::size_t length =
                    block.frames > 0 ? static_cast<std::size_t>(block.frames) : 1;
                for (int c = 0; c < 2; ++c) {
                    if (block.wide) {
                        block.in64[c].resize(length);
                    } else {
                        block.in32[c].resize(length);
                    }
                }
                for (std::size_t n = 0; n < length; ++n) {
                    for (int c = 0; c < 2; ++c) {
                        if (block.wide) {
                            block.in64[c][n] = nextSample<double>(input);
                        } else {
                            block.in32[c][n] = nextSample<float>(input);
                        }
                    }
                }
                const std::uint32_t blockRate = wholeHertz(rate);
                if (blockRate != filterRate) moderateHistory = true;  // a new rate zeroes the state
                filterRate = blockRate;
                moderateHistory = moderateHistory && allModerate(block);
                const int strength = storedStrength(effect);
                const bool stable = 2 * static_cast<std::int64_t>(strength) < blockRate;

                run(effect, block);
                if (block.wide) {
                    checkBlock(block.in64, block.out64, block.frames, block.inPlace,
                               moderateHistory, stable);
                } else {
                    checkBlock(block.in32, block.out32, block.frames, block.inPlace,
                               moderateHistory, stable);
                }
                if (afterNonFinite) {
                    // The state was zeroed after the bad block: a fresh instance at the same
                    // rate and strength gives the same bits.
                    AEffect* const fresh = fuzzing::openInstance();
                    fresh->dispatcher(fresh, effSetSampleRate, 0, 0, nullptr, rate);
                    fresh->setParameter(fresh, 0, effect->getParameter(effect, 0));
                    Block again = block;
                    run(fresh, again);
                    fuzzing::closeInstance(fresh);
                    require(sameOutputs(block, again),
                            "after a non-finite sample the next block equals a fresh instance's",
                            block.frames);
                }
                afterNonFinite = anyNonFinite(block);
                if (afterNonFinite) moderateHistory = true;  // the bad state was zeroed
                break;
            }
        }
    }
    fuzzing::closeInstance(effect);
    return 0;
}
