#pragma once
// The frequency response of a stereo effect, measured through the effect itself: impulses into
// fresh instances, the channel sum and difference and each input-to-output path of what comes
// out, the magnitude of their spectra, the peak, and the group delay to the opposite side.
// An engine alone: `varic response` reports it (response.h), `varic render` warns from it.

#include <cstddef>
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
    // False when some impulse response was cut at kMaximumImpulse samples before it died
    // away: the lowest frequencies may then be off.
    bool decayed = true;
};

// The longest impulse response taken, in samples.
constexpr std::size_t kMaximumImpulse = std::size_t{1} << 21;
// The lowest frequency of the grid above 0 Hz.
constexpr double kLowestFrequency = 10.0;

// Throws Failure when the effect cannot be measured: not stereo, no Strength parameter for a
// setting that names one, no processing, output that is not finite.
Response measureResponse(const PluginBinary& binary, int sampleRate,
                         const std::vector<EffectSetting>& settings);

}  // namespace varic
