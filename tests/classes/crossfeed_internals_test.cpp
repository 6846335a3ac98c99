// What no host can see of the crossfeed: how often it asks for the sample rate, and the filter
// state around rate checks and resets.

#include <gtest/gtest.h>

#include "crossfeed/varic_crossfeed.h"
#include "tests/classes/probe_effect.h"

namespace {

class InspectedCrossfeed : public VaricCrossfeed {
public:
    using VaricCrossfeed::VaricCrossfeed;
    float getSampleRate() override {
        ++rateQueries;
        return VaricCrossfeed::getSampleRate();
    }
    bool stateIsZero() const {
        return stateLeft == 0.0 && stateRight == 0.0 && previousDifference == 0.0;
    }
    std::uint32_t rateOfCoefficients() const { return lastSampleRate; }
    double decay() const { return decayCoefficient; }
    double feed() const { return feedCoefficient; }
    int rateQueries = 0;
};

struct Block {
    float left[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    float right[8] = {};
    float* channels[2] = {left, right};
};

}  // namespace

TEST(CrossfeedInternals, AsksForTheSampleRateOncePerCallWhateverTheLength) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    double dl[8] = {}, dr[8] = {};
    double* d[2] = {dl, dr};
    for (VstInt32 frames : {8, 1, 0, -3}) {
        effect->rateQueries = 0;
        plugin->processReplacing(in.channels, out.channels, frames);
        EXPECT_EQ(effect->rateQueries, 1) << frames;
        effect->rateQueries = 0;
        plugin->processDoubleReplacing(d, d, frames);
        EXPECT_EQ(effect->rateQueries, 1) << frames;
    }
}

TEST(CrossfeedInternals, CoefficientsAreProductsOfTheRoundedReciprocal) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_EQ(effect->rateOfCoefficients(), 44100u);
    EXPECT_EQ(effect->decay(), 0.04825396825396826);
    EXPECT_EQ(effect->feed(), 0.022675736961451247);
    plugin->setSampleRate(48000.0f);
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_EQ(effect->decay(), 0.04433333333333333);  // not 2128.0 / 48000
    EXPECT_NE(effect->decay(), 2128.0 / 48000.0);
}

TEST(CrossfeedInternals, AnEmptyBlockStillZeroesTheStateOnARateChange) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    plugin->processReplacing(in.channels, out.channels, 8);
    ASSERT_FALSE(effect->stateIsZero());
    plugin->processReplacing(in.channels, out.channels, 0);  // same rate: state kept
    EXPECT_FALSE(effect->stateIsZero());
    plugin->setSampleRate(48000.0f);
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_TRUE(effect->stateIsZero());
    EXPECT_EQ(effect->rateOfCoefficients(), 48000u);
}

TEST(CrossfeedInternals, AStrengthChangeResetsBeforeTheNextBlockNotDuringOne) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    plugin->processReplacing(in.channels, out.channels, 8);
    plugin->setParameter(0, 0.5f);
    EXPECT_FALSE(effect->stateIsZero()) << "the processing thread applies the reset";
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_TRUE(effect->stateIsZero());
    EXPECT_EQ(effect->feed(), 5000.0 * (1.0 / 44100.0));
}

TEST(CrossfeedInternals, TruncatedRatesFollowTheInt64Route) {
    EXPECT_EQ(VaricCrossfeed::truncatedRate(44100.9f), 44100u);
    EXPECT_EQ(VaricCrossfeed::truncatedRate(-44100.0f), 4294923196u);
    EXPECT_EQ(VaricCrossfeed::truncatedRate(0.99f), 0u);
    EXPECT_EQ(VaricCrossfeed::truncatedRate(4294967296.0f), 0u);                // 2^32: low half 0
    EXPECT_EQ(VaricCrossfeed::truncatedRate(4294967296.0f * 2 + 1024), 1024u);  // 2^33 + 1024
    EXPECT_EQ(VaricCrossfeed::truncatedRate(9.3e18f), 0u);                      // beyond int64
    EXPECT_EQ(VaricCrossfeed::truncatedRate(-9.3e18f), 0u);
    EXPECT_EQ(VaricCrossfeed::truncatedRate(std::numeric_limits<float>::quiet_NaN()), 0u);
}
