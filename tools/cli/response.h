#pragma once
// The frequency response of a stereo effect, measured through the effect itself: impulses
// into fresh instances, the channel sum and difference of what comes out, and the magnitude
// of their spectra. Written as CSV and drawn with gnuplot.

#include <optional>
#include <string>
#include <vector>

namespace varic {

class PluginBinary;

struct ResponseCurve {
    std::optional<double> strength;    // none: the effect's own setting
    std::vector<double> sumDb;         // gain of (L + R) out over (L + R) in
    std::vector<double> differenceDb;  // gain of (L - R) out over (L - R) in
};

struct Response {
    std::string effectName;
    int sampleRate = 0;
    std::vector<double> frequencies;  // 0 Hz first, half the sample rate last
    std::vector<ResponseCurve> curves;
    std::size_t longestImpulse = 0;  // samples of the longest impulse response used
};

Response measureResponse(const PluginBinary& binary, int sampleRate,
                         const std::vector<std::optional<double>>& strengths);

// One row per frequency: frequency_hz, then sum_db_* and difference_db_* for each curve.
std::string responseCsv(const Response& response);
// The gains at 0 Hz and half the sample rate, as a small table.
std::string responseSummary(const Response& response);
// Refuses a plot name that is neither .png nor .svg.
void checkPlotPath(const std::string& path);
// Draws the response into `path` with gnuplot. False, with nothing written, when gnuplot is
// not installed; throws when gnuplot fails.
bool plotResponse(const Response& response, const std::string& path);
// How to get the picture once gnuplot is missing.
std::string gnuplotMissingAdvice();

}  // namespace varic
