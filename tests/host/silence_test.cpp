// Silence in gives silence out: after a sound ends, the filter's decaying state is flushed to
// zero instead of lingering in subnormal numbers for ever. And the flush changes nothing else:
// outputs outside such a decayed tail stay bit for bit those of the plain recursion.

#include <cmath>
#include <random>
#include <string>

#include "host_test_support.h"
#include "reference_crossfeed.h"

using testing_support::bitsOf;
using testing_support::makeInstance;
using testing_support::processInBlocks;
using testing_support::ReferenceCrossfeed;
using testing_support::Stereo;

namespace {

constexpr std::size_t kOneSecond = 44100;
// Where a flush lands depends on block boundaries; outputs may differ only where the plain
// recursion is below this and the plug-in's output is zero.
constexpr double kTail = 1e-20;

template <class Sample>
class Silence : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Silence, Precisions);

void setStrength(vsthost::Instance& plugin, int strength) {
    plugin.setParameter(0, static_cast<float>(strength) * 0.0001f);
}

// Noise of the given amplitude in [from, to), silence elsewhere.
template <class Sample>
void addNoise(Stereo<Sample>& signal, std::size_t from, std::size_t to, double amplitude,
              std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> sample(-amplitude, amplitude);
    for (std::size_t n = from; n < to; ++n) {
        signal.left[n] = static_cast<Sample>(sample(random));
        signal.right[n] = static_cast<Sample>(sample(random));
    }
}

// Same bits, or the plug-in gives zero where the plain recursion is a negligible tail.
template <class Sample>
bool sameOrFlushedTail(Sample expected, Sample actual) {
    return bitsOf(expected) == bitsOf(actual) ||
           (actual == Sample(0) && std::fabs(static_cast<double>(expected)) < kTail);
}

template <class Sample>
bool bothNegligible(Sample a, Sample b) {
    return std::fabs(static_cast<double>(a)) < kTail && std::fabs(static_cast<double>(b)) < kTail &&
           (a == Sample(0) || b == Sample(0));
}

}  // namespace

TYPED_TEST(Silence, DigitalSilenceFollowsASoundWithinOneSecondAt44100) {
    const int strengths[] = {0, 1, 100, 1000, 5000, 9999, 10000};
    const int blockSizes[] = {1, 64, 4096};
    // Loud, and so quiet that a 32-bit output rounds the state's effect away early.
    const double amplitudes[] = {1.0, 1e-37};
    constexpr std::size_t kSound = 4096;
    const std::size_t total = kSound + kOneSecond + kOneSecond / 2;
    std::uint32_t seed = 100;
    for (int strength : strengths) {
        for (int blockSize : blockSizes) {
            for (double amplitude : amplitudes) {
                vsthost::Host host;
                auto plugin = makeInstance(host);
                setStrength(*plugin, strength);
                Stereo<TypeParam> in(total), out(total);
                addNoise(in, 0, kSound, amplitude, seed++);
                processInBlocks(*plugin, in, out, {blockSize});
                for (std::size_t n = kSound + kOneSecond; n < total; ++n) {
                    ASSERT_TRUE(out.left[n] == TypeParam(0) && out.right[n] == TypeParam(0))
                        << "strength " << strength << ", blocks of " << blockSize << ", amplitude "
                        << amplitude << ": frame " << n - kSound << " after the sound is "
                        << out.left[n];
                }
            }
        }
    }
}

TYPED_TEST(Silence, OutputsOutsideTheFlushedTailMatchThePlainRecursion) {
    // Silences long enough for the state to decay far below 1e-300 and be flushed, then sound
    // again: the new sound must come out exactly as if nothing had been flushed.
    const std::size_t total = 70000;
    Stereo<TypeParam> in(total);
    addNoise(in, 0, 3000, 1.0, 7);
    addNoise(in, 33000, 36000, 0.25, 8);
    addNoise(in, 56000, 58000, 1e-3, 9);
    for (int strength : {0, 1000, 10000}) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        setStrength(*plugin, strength);
        Stereo<TypeParam> expected(total), actual(total);
        ReferenceCrossfeed reference(44100, strength);
        reference.process(in, expected);
        processInBlocks(*plugin, in, actual, {512, 3, 1000, 64});
        std::size_t flushed = 0;
        for (std::size_t n = 0; n < total; ++n) {
            ASSERT_TRUE(sameOrFlushedTail(expected.left[n], actual.left[n]) &&
                        sameOrFlushedTail(expected.right[n], actual.right[n]))
                << "strength " << strength << ", frame " << n << ": expected " << expected.left[n]
                << ", got " << actual.left[n];
            if (bitsOf(expected.left[n]) != bitsOf(actual.left[n])) ++flushed;
        }
        if (std::is_same_v<TypeParam, double> && strength > 0) {
            // At strength 0 the state never leaves zero; otherwise the 64-bit tail shows.
            EXPECT_GT(flushed, 0u) << "strength " << strength << ": the flush never fired";
        }
    }
}

TYPED_TEST(Silence, BlockSplitsDifferOnlyInTheFlushedTail) {
    const std::size_t total = 60000;
    Stereo<TypeParam> in(total);
    addNoise(in, 0, 2000, 1.0, 11);
    addNoise(in, 40000, 41000, 0.5, 12);
    vsthost::Host host;
    auto whole = makeInstance(host);
    Stereo<TypeParam> reference(total);
    processInBlocks(*whole, in, reference, {static_cast<int>(total)});
    const std::vector<std::vector<int>> splits = {{1}, {7, 4096, 33}, {20000, 1, 19999}};
    for (const auto& split : splits) {
        vsthost::Host splitHost;
        auto plugin = makeInstance(splitHost);
        Stereo<TypeParam> pieces(total);
        processInBlocks(*plugin, in, pieces, split);
        for (std::size_t n = 0; n < total; ++n) {
            const bool left = bitsOf(reference.left[n]) == bitsOf(pieces.left[n]) ||
                              bothNegligible(reference.left[n], pieces.left[n]);
            const bool right = bitsOf(reference.right[n]) == bitsOf(pieces.right[n]) ||
                               bothNegligible(reference.right[n], pieces.right[n]);
            ASSERT_TRUE(left && right) << "split starting " << split[0] << ", frame " << n;
        }
    }
}
