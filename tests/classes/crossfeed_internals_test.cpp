// What no host can see of the crossfeed: its filter on its own, and how the effect drives it
// (how often it asks for the sample rate, when a reset takes effect).

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "crossfeed_filter.h"
#include "probe_effect.h"
#include "varic_crossfeed.h"

namespace {

bool isZero(const crossfeed::Filter::State& s) {
    return s.left == 0.0 && s.right == 0.0 && s.previousDifference == 0.0;
}

// A filter configured at 44100 Hz and strength 1000 whose state an impulse has set ringing.
crossfeed::Filter ringingFilter() {
    crossfeed::Filter filter;
    filter.setup(44100, 1000);
    const float left[4] = {1, 0, 0, 0};
    const float right[4] = {};
    float out[2][4];
    filter.process(left, right, out[0], out[1], 4);
    return filter;
}

// Logs its rate queries as the probes do, and shows its filter.
class InspectedCrossfeed : public VaricCrossfeed {
public:
    using VaricCrossfeed::VaricCrossfeed;
    float getSampleRate() override {
        log.push_back("getSampleRate()");
        return VaricCrossfeed::getSampleRate();
    }
    const crossfeed::Filter& inspectFilter() const { return filter; }
    probes::Log log;
};

struct Block {
    float left[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    float right[8] = {};
    float* channels[2] = {left, right};
};

}  // namespace

TEST(CrossfeedFilter, TruncatedRatesFollowTheInt64Route) {
    using crossfeed::truncatedRate;
    EXPECT_EQ(truncatedRate(44100.9f), 44100u);
    EXPECT_EQ(truncatedRate(-44100.0f), 4294923196u);
    EXPECT_EQ(truncatedRate(0.99f), 0u);
    EXPECT_EQ(truncatedRate(4294967296.0f), 0u);                // 2^32: low half 0
    EXPECT_EQ(truncatedRate(4294967296.0f * 2 + 1024), 1024u);  // 2^33 + 1024
    EXPECT_EQ(truncatedRate(9.3e18f), 0u);                      // beyond int64
    EXPECT_EQ(truncatedRate(-9.3e18f), 0u);
    EXPECT_EQ(truncatedRate(std::numeric_limits<float>::quiet_NaN()), 0u);
}

TEST(CrossfeedFilter, SetupForNewSettingsZeroesTheStateAndTellsWhetherTheyAreStable) {
    struct Row {
        std::uint32_t rate;
        std::int32_t strength;
        bool stable;
    };
    const Row rows[] = {
        {48000, 1000, true},
        {44100, 22049, true},
        {44100, 22050, false},  // 2s reaches the rate
        {2128, 0, true},
        {2127, 0, false},
        {0, 0, false},
        {16000, 10000, false},
        {4294923196u, 10000, true},
    };
    for (const Row& row : rows) {
        crossfeed::Filter filter = ringingFilter();
        ASSERT_FALSE(isZero(filter.state()));
        filter.setup(row.rate, row.strength);
        EXPECT_EQ(filter.stable(), row.stable) << row.rate << ", " << row.strength;
        EXPECT_EQ(filter.coefficientRate(), row.rate);
        EXPECT_TRUE(isZero(filter.state())) << row.rate << ", " << row.strength;
    }
}

TEST(CrossfeedFilter, SetupRecomputesOnlyForANewRateOrStrengthAndResetKeepsTheCoefficients) {
    crossfeed::Filter filter = ringingFilter();
    filter.setup(44100, 1000);  // the same settings: the state runs on
    EXPECT_FALSE(isZero(filter.state()));
    filter.setup(44100, 5000);
    EXPECT_TRUE(isZero(filter.state()));
    EXPECT_EQ(filter.feedCoefficient(), 5000.0 * (1.0 / 44100.0));

    filter = ringingFilter();
    filter.setup(48000, 1000);
    EXPECT_TRUE(isZero(filter.state()));
    EXPECT_EQ(filter.coefficientRate(), 48000u);
    EXPECT_EQ(filter.decayCoefficient(), (1.0 / 48000.0) * 2128.0);

    filter = ringingFilter();
    const double feed = filter.feedCoefficient();
    filter.reset();
    EXPECT_TRUE(isZero(filter.state()));
    EXPECT_EQ(filter.feedCoefficient(), feed);
    EXPECT_TRUE(filter.stable());
}

TEST(CrossfeedEffect, AsksForTheSampleRateOncePerCallWhateverTheLength) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    double dl[8] = {}, dr[8] = {};
    double* d[2] = {dl, dr};
    for (VstInt32 frames : {8, 1, 0, -3}) {
        effect->log.clear();
        plugin->processReplacing(in.channels, out.channels, frames);
        plugin->processDoubleReplacing(d, d, frames);
        EXPECT_EQ(effect->log, (probes::Log{"getSampleRate()", "getSampleRate()"})) << frames;
    }
}

TEST(CrossfeedEffect, AnEmptyBlockStillAppliesARateChange) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    plugin->processReplacing(in.channels, out.channels, 8);
    plugin->setSampleRate(48000.0f);
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_TRUE(isZero(effect->inspectFilter().state()));
    EXPECT_EQ(effect->inspectFilter().coefficientRate(), 48000u);
}

TEST(CrossfeedEffect, AStrengthChangeResetsBeforeTheNextBlockNotDuringOne) {
    vsthost::Host host;
    auto [effect, plugin] = probes::attach<InspectedCrossfeed>(&host);
    Block in, out;
    plugin->processReplacing(in.channels, out.channels, 8);
    plugin->setParameter(0, 0.5f);
    EXPECT_FALSE(isZero(effect->inspectFilter().state()))
        << "the processing thread applies the reset";
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_TRUE(isZero(effect->inspectFilter().state()));
    EXPECT_EQ(effect->inspectFilter().feedCoefficient(), 5000.0 * (1.0 / 44100.0));

    // A change undone before the next block resets all the same.
    plugin->processReplacing(in.channels, out.channels, 8);
    plugin->setParameter(0, 0.7f);
    plugin->setParameter(0, 0.5f);
    plugin->processReplacing(in.channels, out.channels, 0);
    EXPECT_TRUE(isZero(effect->inspectFilter().state()));
}

TEST(CrossfeedFilter, AnalyticResponseMatchesTheImpulseResponsesSpectrum) {
    struct Row {
        std::uint32_t rate;
        std::int32_t strength;
    };
    const Row rows[] = {{44100, 0}, {44100, 1000}, {48000, 10000}, {96000, 2500}, {16000, 10000}};
    constexpr int kLength = 4096;
    for (const Row& row : rows) {
        crossfeed::Filter filter;
        filter.setup(row.rate, row.strength);
        std::vector<double> left(kLength), right(kLength, 0.0), outL(kLength), outR(kLength);
        left[0] = 1.0;
        filter.process(left.data(), right.data(), outL.data(), outR.data(), kLength);
        for (double hz : {0.0, 100.0, 1000.0, 5000.0, 0.45 * row.rate}) {
            std::complex<double> same, opposite;
            for (int n = 0; n < kLength; ++n) {
                const std::complex<double> w =
                    std::polar(1.0, -2 * 3.141592653589793 * hz * n / row.rate);
                same += outL[n] * w;
                opposite += outR[n] * w;
            }
            const crossfeed::Filter::Response r = filter.response(hz);
            EXPECT_LT(std::abs(r.sameSide - same), 1e-9)
                << row.rate << " " << row.strength << " " << hz;
            EXPECT_LT(std::abs(r.oppositeSide - opposite), 1e-9) << row.rate << " " << row.strength;
            EXPECT_EQ(r.sum, 1.0);
        }
    }
    crossfeed::Filter filter;
    filter.setup(44100, 1000);
    EXPECT_DOUBLE_EQ(filter.response(0.0).difference.real(), 2128.0 / 4128.0);
    filter.setup(16000, 10000);  // passed through
    EXPECT_EQ(filter.response(0.0).difference, 1.0);
}
