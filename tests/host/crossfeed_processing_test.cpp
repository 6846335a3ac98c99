// The crossfeed's audio path through the loaded binary: exact values, block splitting,
// in-place processing, the rate check, settings that would not be stable, non-finite input.

#include <cmath>
#include <limits>
#include <utility>

#include "host_test_support.h"
#include "reference_crossfeed.h"

using testing_support::bitsOf;
using testing_support::differenceOf;
using testing_support::makeInstance;
using testing_support::processInBlocks;
using testing_support::randomSignal;
using testing_support::ReferenceCrossfeed;
using testing_support::Stereo;

namespace {

void setStrength(vsthost::Instance& plugin, int strength) {
    plugin.setParameter(0, static_cast<float>(strength) * 0.0001f);
}

class Processing : public testing_support::PluginTest {};

template <class Sample>
class ProcessingInEachPrecision : public testing_support::PluginTest {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ProcessingInEachPrecision, Precisions);

}  // namespace

TEST_F(Processing, WorkedExampleIn32Bit) {
    Stereo<float> in(6), out(6);
    in.left[0] = 1.0f;
    plugin->processReplacing(in.channels(), out.channels(), 6);
    const float left[] = {1.0f,           0.0f,           -0.0226757377f,
                          -0.0215815417f, -0.0195117686f, -0.0175914951f};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(out.left[n], left[n]) << "frame " << n;
        EXPECT_EQ(out.right[n], n == 0 ? 0.0f : -left[n]) << "frame " << n;
    }
}

TEST_F(Processing, WorkedExampleIn64Bit) {
    Stereo<double> in(6), out(6);
    in.left[0] = 1.0;
    plugin->processDoubleReplacing(in.channels(), out.channels(), 6);
    const double left[] = {1.0,
                           0.0,
                           -0.022675736961451247,
                           -0.021581542669978044,
                           -0.01951176950161941,
                           -0.017591494425896005};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(out.left[n], left[n]) << "frame " << n;
        EXPECT_EQ(out.right[n], n == 0 ? 0.0 : -left[n]) << "frame " << n;
    }
}

TYPED_TEST(ProcessingInEachPrecision, MatchesTheRecursionOnLongRandomSignals) {
    // Also the guard against contraction: a fused multiply-add anywhere in the plug-in's loop
    // changes low bits within a few frames of noise.
    struct Setting {
        float rate;
        int strength;
    };
    const Setting settings[] = {{44100.0f, 1000}, {48000.0f, 0},  {96000.0f, 10000},
                                {22050.0f, 5000}, {192000.0f, 1}, {44100.9f, 2500},
                                {8000.0f, 3999},  {2128.0f, 1000}};
    std::uint32_t seed = 1;
    for (const Setting& s : settings) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        plugin->setSampleRate(s.rate);
        setStrength(*plugin, s.strength);
        auto in = randomSignal<TypeParam>(1 << 15, seed++);
        Stereo<TypeParam> expected(in.frames()), actual(in.frames());
        ReferenceCrossfeed reference(static_cast<std::uint32_t>(s.rate), s.strength);
        reference.process(in, expected);
        processInBlocks(*plugin, in, actual, {1, 512, 3, 1000, 64, 2, 4096});
        EXPECT_EQ(differenceOf(expected, actual), "")
            << "rate " + std::to_string(s.rate) + " strength " + std::to_string(s.strength);
    }
}

TYPED_TEST(ProcessingInEachPrecision, AnyBlockSplitGivesTheSameBits) {
    auto in = randomSignal<TypeParam>(20000, 7);
    Stereo<TypeParam> whole(in.frames());
    processInBlocks(*this->plugin, in, whole);
    const std::vector<std::vector<int>> splits = {{1}, {2}, {3}, {5, 1, 700, 2, 33, 4096, 13}};
    for (const auto& split : splits) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        Stereo<TypeParam> pieces(in.frames());
        processInBlocks(*plugin, in, pieces, split);
        EXPECT_EQ(differenceOf(whole, pieces), "") << "split starting " + std::to_string(split[0]);
    }
}

TYPED_TEST(ProcessingInEachPrecision, InPlaceEqualsSeparateBuffers) {
    auto in = randomSignal<TypeParam>(5000, 11);
    Stereo<TypeParam> separate(in.frames());
    processInBlocks(*this->plugin, in, separate);

    vsthost::Host host;
    auto plugin = makeInstance(host);
    Stereo<TypeParam> inPlace = in;
    processInBlocks(*plugin, inPlace, inPlace);
    EXPECT_EQ(differenceOf(separate, inPlace), "") << "in place";
}

TYPED_TEST(ProcessingInEachPrecision, ZeroOrNegativeFrameCountsTouchNoSample) {
    Stereo<TypeParam> in(8), out(8);
    for (auto& v : out.left) v = TypeParam(7);
    for (auto& v : out.right) v = TypeParam(7);
    for (VstInt32 count : {0, -1, -1000, std::numeric_limits<VstInt32>::min()}) {
        this->plugin->processSamples(in.channels(), out.channels(), count);
    }
    for (auto v : out.left) EXPECT_EQ(v, TypeParam(7));
    for (auto v : out.right) EXPECT_EQ(v, TypeParam(7));
}

TYPED_TEST(ProcessingInEachPrecision, StrengthZeroPassesTheInputThrough) {
    setStrength(*this->plugin, 0);
    auto in = randomSignal<TypeParam>(4000, 3);
    using Limits = std::numeric_limits<TypeParam>;
    in.left[5] = -TypeParam(0);
    in.right[6] = -TypeParam(0);
    in.left[7] = Limits::denorm_min();
    in.right[7] = -Limits::denorm_min() * TypeParam(3);
    in.left[8] = Limits::min() / TypeParam(3);
    in.right[8] = -(Limits::min() - Limits::denorm_min());
    Stereo<TypeParam> out(in.frames());
    processInBlocks(*this->plugin, in, out);
    // Each output is the input plus a correction of +0.0: the same bits, subnormals included,
    // except that a negative zero comes out positive.
    for (std::size_t n = 0; n < in.frames(); ++n) {
        ASSERT_EQ(bitsOf(out.left[n]), bitsOf(in.left[n] + TypeParam(0))) << n;
        ASSERT_EQ(bitsOf(out.right[n]), bitsOf(in.right[n] + TypeParam(0))) << n;
    }
    EXPECT_FALSE(std::signbit(out.left[5]));
    EXPECT_FALSE(std::signbit(out.right[6]));
}

TEST_F(Processing, A32BitTailKeepsItsSubnormalsAndNegativeZeros) {
    // After an impulse the 32-bit outputs pass through the subnormal floats, then round to
    // zeros with the sign of the state, thousands of them on one channel, until the state falls
    // below the limit at which the filter flushes it (1e-300, checked after each block). Up to
    // that frame every output is the recursion's, bit for bit.
    setStrength(*plugin, 10000);
    constexpr std::size_t kFrames = 20000;
    Stereo<float> in(kFrames), out(kFrames), one(1), expected(1);
    in.left[0] = 1.0f;
    processInBlocks(*plugin, in, out, {4096});
    ReferenceCrossfeed reference(44100, 10000);
    const auto decayed = [&reference] {
        return std::fabs(reference.sL) < 1e-300 && std::fabs(reference.sR) < 1e-300 &&
               std::fabs(reference.previous) < 1e-300;
    };
    std::size_t subnormals = 0, negativeZeros = 0, n = 0;
    for (; n < kFrames && !(n > 0 && decayed()); ++n) {
        one.left[0] = in.left[n];
        one.right[0] = in.right[n];
        reference.process(one, expected);
        for (const auto& [want, got] : {std::pair{expected.left[0], out.left[n]},
                                        std::pair{expected.right[0], out.right[n]}}) {
            ASSERT_EQ(bitsOf(got), bitsOf(want)) << "frame " << n << ": expected " << want;
            if (std::fpclassify(want) == FP_SUBNORMAL) ++subnormals;
            if (want == 0.0f && std::signbit(want)) ++negativeZeros;
        }
    }
    EXPECT_LT(n, kFrames) << "the state never decayed below the limit";
    EXPECT_GT(subnormals, 50u);
    EXPECT_GT(negativeZeros, 10000u);
}

TYPED_TEST(ProcessingInEachPrecision, TheRateIsTruncatedBeforeComparing) {
    auto in = randomSignal<TypeParam>(3000, 5);
    Stereo<TypeParam> at44100(in.frames()), atFraction(in.frames());
    processInBlocks(*this->plugin, in, at44100);

    vsthost::Host host;
    auto plugin = makeInstance(host);
    plugin->setSampleRate(44100.9f);
    processInBlocks(*plugin, in, atFraction);
    EXPECT_EQ(differenceOf(at44100, atFraction), "") << "44100.9 Hz";
}

TYPED_TEST(ProcessingInEachPrecision, ARateChangeWithinTheSameWholeHertzKeepsTheState) {
    auto in = randomSignal<TypeParam>(3000, 9);
    Stereo<TypeParam> whole(in.frames());
    processInBlocks(*this->plugin, in, whole);

    vsthost::Host host;
    auto moved = makeInstance(host);
    Stereo<TypeParam> halves(in.frames());
    moved->processSamples(in.channels(), halves.channels(), 1500);
    moved->setSampleRate(44100.5f);
    moved->processSamples(in.channelsFrom(1500), halves.channelsFrom(1500), 1500);
    EXPECT_EQ(differenceOf(whole, halves), "") << "44100 -> 44100.5 between blocks";
}

TYPED_TEST(ProcessingInEachPrecision, ANewRateZeroesTheStateAndRecomputes) {
    auto warmup = randomSignal<TypeParam>(1000, 21);
    auto in = randomSignal<TypeParam>(2000, 22);
    Stereo<TypeParam> scratch(warmup.frames()), afterChange(in.frames()), fresh(in.frames());
    processInBlocks(*this->plugin, warmup, scratch);
    this->plugin->setSampleRate(48000.0f);
    processInBlocks(*this->plugin, in, afterChange);

    vsthost::Host host;
    auto plugin = makeInstance(host);
    plugin->setSampleRate(48000.0f);
    processInBlocks(*plugin, in, fresh);
    EXPECT_EQ(differenceOf(fresh, afterChange), "") << "after 44100 -> 48000";
}

TYPED_TEST(ProcessingInEachPrecision, UnstableSettingsPassTheAudioThroughUnchanged) {
    // At these settings the recursion would divide by zero or grow without bound.
    struct Setting {
        float rate;
        int strength;
    };
    const Setting settings[] = {{16000.0f, 10000},
                                {20000.0f, 10000},
                                {0.0f, 1000},
                                {0.5f, 1000},
                                {2127.0f, 0},
                                {2127.9f, 1000},
                                {std::numeric_limits<float>::quiet_NaN(), 1000},
                                {std::numeric_limits<float>::infinity(), 1000},
                                {1e30f, 1000}};
    for (const Setting& s : settings) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        plugin->setSampleRate(s.rate);
        setStrength(*plugin, s.strength);
        auto in = randomSignal<TypeParam>(10000, 4);
        in.left[17] = -TypeParam(0);
        Stereo<TypeParam> out(in.frames());
        processInBlocks(*plugin, in, out, {100, 7});
        EXPECT_EQ(differenceOf(in, out), "")
            << "rate " + std::to_string(s.rate) + " strength " + std::to_string(s.strength);
    }
}

TYPED_TEST(ProcessingInEachPrecision, TheFilterResumesWhenTheSettingBecomesStable) {
    this->plugin->setSampleRate(16000.0f);
    setStrength(*this->plugin, 10000);
    auto in = randomSignal<TypeParam>(2000, 31);
    Stereo<TypeParam> out(in.frames()), fresh(in.frames());
    processInBlocks(*this->plugin, in, out);
    this->plugin->setSampleRate(44100.0f);
    processInBlocks(*this->plugin, in, out);

    vsthost::Host host;
    auto plugin = makeInstance(host);
    setStrength(*plugin, 10000);
    processInBlocks(*plugin, in, fresh);
    EXPECT_EQ(differenceOf(fresh, out), "") << "after moving to 44100 Hz";
}

TYPED_TEST(ProcessingInEachPrecision, StableSettingsNearTheLimitStayFinite) {
    // 2 * 10000 < 20001: poles inside the unit circle, however close.
    this->plugin->setSampleRate(20001.0f);
    setStrength(*this->plugin, 10000);
    auto in = randomSignal<TypeParam>(1 << 16, 41);
    Stereo<TypeParam> out(in.frames());
    processInBlocks(*this->plugin, in, out);
    bool filtered = false;
    for (std::size_t n = 0; n < in.frames(); ++n) {
        ASSERT_TRUE(std::isfinite(out.left[n]) && std::isfinite(out.right[n])) << n;
        filtered = filtered || out.left[n] != in.left[n];
    }
    EXPECT_TRUE(filtered);
}

TYPED_TEST(ProcessingInEachPrecision, ANonFiniteSampleSpoilsOnlyItsOwnBlock) {
    const TypeParam spoilers[] = {std::numeric_limits<TypeParam>::quiet_NaN(),
                                  std::numeric_limits<TypeParam>::infinity(),
                                  -std::numeric_limits<TypeParam>::infinity()};
    for (TypeParam spoiler : spoilers) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        auto first = randomSignal<TypeParam>(256, 51);
        first.left[100] = spoiler;
        Stereo<TypeParam> firstOut(first.frames());
        processInBlocks(*plugin, first, firstOut);
        EXPECT_TRUE(std::isnan(firstOut.right[103])) << "the block itself stays as computed";

        // The next block starts from a zeroed state: it equals a fresh instance's output.
        auto second = randomSignal<TypeParam>(512, 52);
        Stereo<TypeParam> secondOut(second.frames()), fresh(second.frames());
        processInBlocks(*plugin, second, secondOut);
        vsthost::Host freshHost;
        auto freshPlugin = makeInstance(freshHost);
        processInBlocks(*freshPlugin, second, fresh);
        EXPECT_EQ(differenceOf(fresh, secondOut), "") << "after a non-finite sample";
    }
}

TEST_F(Processing, SwitchingPrecisionContinuesTheSameRecursion) {
    // One state serves both paths: an impulse in a 32-bit block rings on in a 64-bit block.
    Stereo<float> in32(4), out32(4);
    in32.left[0] = 1.0f;
    plugin->processReplacing(in32.channels(), out32.channels(), 4);
    Stereo<double> in64(4), out64(4);
    plugin->processDoubleReplacing(in64.channels(), out64.channels(), 4);
    EXPECT_LT(out64.left[0], 0.0);
    EXPECT_EQ(out64.right[0], -out64.left[0]);
}

TEST_F(Processing, ANegativeRateWrapsToAHugeRateAndBarelyFilters) {
    plugin->setSampleRate(-44100.0f);
    auto in = randomSignal<double>(4000, 61);
    Stereo<double> out(in.frames()), expected(in.frames());
    processInBlocks(*plugin, in, out);
    ReferenceCrossfeed reference(4294923196u, 1000);
    reference.process(in, expected);
    EXPECT_EQ(differenceOf(expected, out), "") << "rate -44100";
}

TYPED_TEST(ProcessingInEachPrecision, SilenceAfterASoundBecomesDigitalSilenceWithinASecond) {
    // Without the flush of a decayed state, rounding holds it among the subnormal numbers for
    // ever. A 32-bit output rounds such a state to zero anyway, so every case ends with a
    // 64-bit block, which shows it (one state serves both precisions).
    for (const int block : {64, 512, 4096}) {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        auto sound = randomSignal<TypeParam>(22050, 81);
        Stereo<TypeParam> silence(44100), out(44100);
        processInBlocks(*plugin, sound, out, {block});
        processInBlocks(*plugin, silence, out, {block});
        Stereo<double> after(block), afterOut(block);
        plugin->processDoubleReplacing(after.channels(), afterOut.channels(), block);
        for (int n = 0; n < block; ++n) {
            ASSERT_EQ(bitsOf(afterOut.left[n]), 0u) << "block " << block << ", frame " << n;
            ASSERT_EQ(bitsOf(afterOut.right[n]), 0u) << "block " << block << ", frame " << n;
        }
    }
}
