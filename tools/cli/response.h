#pragma once
// The frequency response of a stereo effect, measured through the effect itself: impulses
// into fresh instances, the channel sum and difference and each input-to-output path of what
// comes out, and the magnitude of their spectra. Written as CSV and drawn with gnuplot.

#include <optional>
#include <string>
#include <vector>

namespace varic {

class PluginBinary;

// How an instance is set up before it is measured: the Strength parameter (none: the
// effect's own setting), and parameters as "N=VALUE".
struct EffectSetting {
    std::optional<double> strength;
    std::vector<std::string> params;
};

// The largest gain of any path, and where it is.
struct Peak {
    double gainDb = 0.0;
    double frequency = 0.0;
    std::string path;  // "channel sum", "channel difference", "left in to right out", ...
};

struct ResponseCurve {
    EffectSetting setting;
    std::vector<double> sumDb;            // gain of (L + R) out over (L + R) in
    std::vector<double> differenceDb;     // gain of (L - R) out over (L - R) in
    std::vector<double> sameSideDb;       // left in to left out
    std::vector<double> oppositeSideDb;   // left in to right out
    std::vector<double> oppositeDelayUs;  // group delay of left in to right out, microseconds
    Peak peak;
    bool unchanged = false;  // every output sample equal to its input sample
};

struct Response {
    std::string effectName;
    int sampleRate = 0;
    std::vector<double> frequencies;  // 0 Hz first, half the sample rate last
    std::vector<ResponseCurve> curves;
    std::size_t longestImpulse = 0;  // samples of the longest impulse response used
};

Response measureResponse(const PluginBinary& binary, int sampleRate,
                         const std::vector<EffectSetting>& settings);

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
// Refuses a plot name that is not .png, .svg or .pdf.
void checkPlotPath(const std::string& path);
// Draws the response into `path` with gnuplot. False, with nothing written, when gnuplot is
// not installed; throws when gnuplot fails.
bool plotResponse(const Response& response, const std::string& path);
// How to get the picture once gnuplot is missing.
std::string gnuplotMissingAdvice();

}  // namespace varic
