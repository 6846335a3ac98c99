// The response measurement on its own, without varic's command line: impulses through fresh
// instances of the crossfeed and of a plain gain, against gains known in closed form.

#include "response_measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "binary_and_instance.h"
#include "command_line.h"
#include "plugin_under_test.h"

namespace {

using varic::EffectSetting;

double dB(double gain) {
    return 20.0 * std::log10(gain);
}

TEST(ResponseMeasurement, GainsAtZeroHertzAreTheKnownOnes) {
    const struct {
        std::string plugin;
        EffectSetting setting;
        double sumDb, differenceDb;  // at 0 Hz
        bool unchanged;
    } rows[] = {
        // The crossfeed keeps the sum and scales the difference by 2128 / (2128 + 200 S).
        {vsthost::builtPluginPath(), {50.0, {}}, 0.0, dB(2128.0 / (2128.0 + 200.0 * 50)), false},
        {vsthost::builtPluginPath(), {0.0, {}}, 0.0, 0.0, true},
        // Host value 0.5 is a gain of 2 on both channels.
        {FAKE_GAIN, {std::nullopt, {"Gain=0.5"}}, dB(2.0), dB(2.0), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.plugin + (row.setting.strength ? " strength" : " gain"));
        const varic::Response response =
            varic::measureResponse(varic::PluginBinary(row.plugin), 44100, {row.setting});
        ASSERT_EQ(response.curves.size(), 1u);
        const varic::ResponseCurve& curve = response.curves[0];
        EXPECT_EQ(response.frequencies.front(), 0.0);
        EXPECT_EQ(response.frequencies.back(), 22050.0);
        EXPECT_TRUE(response.decayed);
        EXPECT_NEAR(curve.sumDb.front(), row.sumDb, 1e-6);
        EXPECT_NEAR(curve.differenceDb.front(), row.differenceDb, 1e-6);
        EXPECT_EQ(curve.unchanged, row.unchanged);
    }
}

TEST(ResponseMeasurement, CrossfeedPeaksAboveZeroAndDelaysTheOppositeSide) {
    const varic::Response response = varic::measureResponse(
        varic::PluginBinary(vsthost::builtPluginPath()), 44100, {{50.0, {}}, {10.0, {}}});
    // The difference comes back above 0 dB at a few kHz. The filter's own response has its
    // maximum at 5447 Hz (+2.623 dB) at Strength 50, and at 4422 Hz (+0.500 dB) at Strength
    // 10, where the peak is so broad that a point within 0.01 dB of it lies at 3.98 kHz.
    EXPECT_NEAR(response.curves[0].peak.gainDb, 2.623, 0.001);
    EXPECT_NEAR(response.curves[0].peak.frequency, 5447.0, 10.0);
    EXPECT_NEAR(response.curves[1].peak.gainDb, 0.500, 0.001);
    EXPECT_NEAR(response.curves[1].peak.frequency, 4422.0, 10.0);
    // The far side's low frequencies come late, by tens of microseconds (86 at Strength 50).
    EXPECT_NEAR(response.curves[0].oppositeDelayUs.front(), 86.4, 0.5);
}

TEST(ResponseMeasurement, AStrengthForAnEffectWithoutOneIsRefused) {
    try {
        varic::measureResponse(varic::PluginBinary(FAKE_GAIN), 44100, {{50.0, {}}});
        FAIL() << "measured a Strength the effect does not have";
    } catch (const varic::Failure& e) {
        EXPECT_NE(std::string(e.what()).find("has no Strength parameter"), std::string::npos);
    }
}

}  // namespace
