#pragma once
// varic response: the measured response (response_measurement.h) as a report, a CSV and a
// picture (response_plot.h); and what render and demo take from it.

#include <string>
#include <vector>

#include "response_measurement.h"

namespace varic {

class Messages;

// measureResponse, with a warning when an impulse response was cut before it died away.
Response measure(const PluginBinary& binary, int sampleRate,
                 const std::vector<EffectSetting>& settings, const Messages& messages);

// A boost above this on any path is worth a warning before rendering.
constexpr double kBoostWarningDb = 6.0;
// What a user should know before rendering with the measured curve: that the effect changes
// nothing, or boosts some frequency by more than kBoostWarningDb. Empty when neither.
std::string responseWarning(const Response& response, const ResponseCurve& curve);

// One row per frequency: frequency_hz, then sum_db_* and difference_db_* for each curve, then
// same_side_db_*, opposite_side_db_* and opposite_delay_us_* for each curve.
std::string responseCsv(const Response& response);
// The gains at 0 Hz and half the sample rate and the peak, as a small table.
std::string responseSummary(const Response& response);
// "950 Hz", "6.21 kHz".
std::string formatFrequency(double hertz);
// "strength 25", or "plug-in setting" for the effect's own.
std::string strengthLabel(const EffectSetting& setting);

}  // namespace varic
