#include "response_measurement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "binary_and_instance.h"
#include "command_line.h"
#include "interrupts.h"
#include "stereo_buffer.h"

namespace varic {
namespace {

constexpr int kBlock = 4096;
// -12 dBFS: well inside any effect's linear range; a power of two, so dividing it out is exact.
constexpr double kImpulse = 0.25;
// An impulse response is complete once a whole block stays below this part of its peak.
constexpr double kQuiet = 1e-17;
constexpr std::size_t kMinimumLength = 4 * kBlock;
constexpr int kPointsPerDecade = 48;

struct ImpulseResponse {
    std::vector<double> left, right;
    bool decayed = true;
};

template <class Sample>
void runImpulse(Instance& effect, const std::string& plugin, double left, double right,
                std::size_t minimumLength, ImpulseResponse& response) {
    vsthost::StereoBuffer<Sample> in(kBlock);
    vsthost::StereoBuffer<Sample> out(kBlock);
    in.left[0] = static_cast<Sample>(left);
    in.right[0] = static_cast<Sample>(right);
    double peak = 0.0;
    effect.start();
    for (;;) {
        stopIfInterrupted();
        effect.processBlock(in.channels(), out.channels(), kBlock);
        in.left[0] = 0;
        in.right[0] = 0;
        double blockPeak = 0.0;
        for (int n = 0; n < kBlock; ++n) {
            const double l = out.left[n];
            const double r = out.right[n];
            if (!std::isfinite(l) || !std::isfinite(r)) {
                throw Failure("plug-in " + plugin +
                              " answers an impulse with samples that are not numbers");
            }
            blockPeak = std::max({blockPeak, std::fabs(l), std::fabs(r)});
            response.left.push_back(l);
            response.right.push_back(r);
        }
        peak = std::max(peak, blockPeak);
        const std::size_t length = response.left.size();
        if (length >= minimumLength && blockPeak <= peak * kQuiet) break;
        if (length >= kMaximumImpulse) {
            response.decayed = false;
            break;
        }
    }
    effect.stop();
    // Trailing samples below the threshold add nothing measurable to any gain.
    std::size_t keep = response.left.size();
    while (keep > 1 && std::fabs(response.left[keep - 1]) <= peak * kQuiet &&
           std::fabs(response.right[keep - 1]) <= peak * kQuiet) {
        --keep;
    }
    response.left.resize(keep);
    response.right.resize(keep);
}

// The response of a fresh instance to impulses of the given sizes on the two inputs.
ImpulseResponse measureImpulse(const PluginBinary& binary, int sampleRate,
                               const EffectSetting& setting, double left, double right) {
    HostSettings settings;
    settings.sampleRate = static_cast<float>(sampleRate);
    settings.blockSize = kBlock;
    const std::string& plugin = binary.path();
    const std::unique_ptr<Instance> instance = openEffect(binary, settings);
    Instance& effect = *instance;
    requireStereo(effect, plugin);
    // 64-bit when offered: the measurement then carries no rounding of 32-bit samples.
    settings.precision =
        effect.canProcess(Precision::float64) ? Precision::float64 : Precision::float32;
    requireProcessing(effect, settings.precision, plugin);
    configure(effect, settings);
    if (setting.strength) setStrength(effect, *setting.strength, plugin);
    for (const std::string& spec : setting.params) setParameterSpec(effect, spec, plugin);
    ImpulseResponse response;
    const std::size_t minimum =
        kMinimumLength + static_cast<std::size_t>(std::max(0, effect.record().initialDelay));
    vsthost::withSampleType(settings.precision, [&](auto zero) {
        runImpulse<decltype(zero)>(effect, plugin, left, right, minimum, response);
    });
    return response;
}

enum Path { kSum, kDifference, kLeftToLeft, kLeftToRight, kRightToLeft, kRightToRight, kPaths };
constexpr const char* kPathNames[kPaths] = {"channel sum",          "channel difference",
                                            "left in to left out",  "left in to right out",
                                            "right in to left out", "right in to right out"};

using PathResponses = std::array<std::vector<double>, kPaths>;

// The impulse response of every path, per unit of input, from the responses to equal and to
// opposite impulses (the effect taken as linear, as any impulse measurement does).
PathResponses pathResponses(const ImpulseResponse& same, const ImpulseResponse& opposite) {
    const std::size_t length = std::max(same.left.size(), opposite.left.size());
    const auto at = [](const std::vector<double>& h, std::size_t n) {
        return n < h.size() ? h[n] : 0.0;
    };
    PathResponses paths;
    for (std::vector<double>& h : paths) h.resize(length);
    const double scale = 1.0 / (2.0 * kImpulse);
    for (std::size_t n = 0; n < length; ++n) {
        const double sameLeft = at(same.left, n);
        const double sameRight = at(same.right, n);
        const double oppositeLeft = at(opposite.left, n);
        const double oppositeRight = at(opposite.right, n);
        paths[kSum][n] = (sameLeft + sameRight) * scale;
        paths[kDifference][n] = (oppositeLeft - oppositeRight) * scale;
        paths[kLeftToLeft][n] = (sameLeft + oppositeLeft) * scale;
        paths[kLeftToRight][n] = (sameRight + oppositeRight) * scale;
        paths[kRightToLeft][n] = (sameLeft - oppositeLeft) * scale;
        paths[kRightToRight][n] = (sameRight - oppositeRight) * scale;
    }
    return paths;
}

// True when both impulses came out exactly as they went in.
bool passedUnchanged(const ImpulseResponse& same, const ImpulseResponse& opposite) {
    const auto isImpulse = [](const std::vector<double>& h, double size) {
        return !h.empty() && h[0] == size &&
               std::all_of(h.begin() + 1, h.end(), [](double x) { return x == 0.0; });
    };
    return isImpulse(same.left, kImpulse) && isImpulse(same.right, kImpulse) &&
           isImpulse(opposite.left, kImpulse) && isImpulse(opposite.right, -kImpulse);
}

// The spectra of all paths at w radians per sample, and that of n h[n] for the left-to-right
// path, whose ratio to the path's spectrum gives its group delay.
struct Spectra {
    std::array<std::complex<double>, kPaths> path{};
    std::complex<double> weightedOpposite{};
};

Spectra spectraAt(const PathResponses& paths, double w) {
    Spectra spectra;
    for (std::size_t n = 0; n < paths[0].size(); ++n) {
        const double phase = w * static_cast<double>(n);
        const std::complex<double> turn(std::cos(phase), -std::sin(phase));
        for (int p = 0; p < kPaths; ++p) spectra.path[p] += paths[p][n] * turn;
        spectra.weightedOpposite += static_cast<double>(n) * paths[kLeftToRight][n] * turn;
    }
    return spectra;
}

// Gains closer than this are one gain computed two ways.
constexpr double kFlatToRounding = 1e-6;  // dB

double decibels(double gain) {
    return 20.0 * std::log10(std::max(gain, 1e-20));
}

// The highest gain of any path, at its frequency: the grid's highest point, refined between
// its neighbours (the grid can be coarser than a sharp resonance). A gain that is flat to
// rounding peaks everywhere; it is named at the lowest frequency where it does.
Peak findPeak(const PathResponses& paths, const std::vector<double>& frequencies,
              const std::array<std::vector<double>, kPaths>& gains, int sampleRate) {
    double highest = -HUGE_VAL;
    for (const std::vector<double>& gain : gains) {
        highest = std::max(highest, *std::max_element(gain.begin(), gain.end()));
    }
    const auto [at, path] = [&]() -> std::pair<std::size_t, int> {
        for (std::size_t i = 0; i < frequencies.size(); ++i) {
            for (int p = 0; p < kPaths; ++p) {
                if (gains[p][i] >= highest - kFlatToRounding) return {i, p};
            }
        }
        return {0, 0};
    }();
    Peak peak{gains[path][at], frequencies[at], kPathNames[path]};
    const double low = frequencies[at == 0 ? 0 : at - 1];
    const double high = frequencies[std::min(at + 1, frequencies.size() - 1)];
    constexpr int kSteps = 64;
    for (int k = 1; k < kSteps; ++k) {
        const double f = low + (high - low) * k / kSteps;
        const double gain = decibels(
            std::abs(spectraAt(paths, 2.0 * std::numbers::pi * f / sampleRate).path[path]));
        if (gain > peak.gainDb + kFlatToRounding) {
            peak.gainDb = gain;
            peak.frequency = f;
        }
    }
    return peak;
}

// 0 Hz, kPointsPerDecade points a decade from kLowestFrequency, and half the sample rate.
std::vector<double> frequencyGrid(int sampleRate) {
    const double nyquist = sampleRate / 2.0;
    std::vector<double> frequencies = {0.0};
    for (int k = 0;; ++k) {
        const double f =
            kLowestFrequency * std::pow(10.0, static_cast<double>(k) / kPointsPerDecade);
        if (f >= nyquist * 0.999) break;
        frequencies.push_back(f);
    }
    frequencies.push_back(nyquist);
    return frequencies;
}

// The gains of every path, the group delay to the opposite side and the peak of one setting.
ResponseCurve measureCurve(const PluginBinary& binary, int sampleRate, const EffectSetting& setting,
                           const std::vector<double>& frequencies, Response& response) {
    // The sum is excited alone by equal impulses, the difference by opposite ones.
    const ImpulseResponse same = measureImpulse(binary, sampleRate, setting, kImpulse, kImpulse);
    const ImpulseResponse opposite =
        measureImpulse(binary, sampleRate, setting, kImpulse, -kImpulse);
    response.decayed = response.decayed && same.decayed && opposite.decayed;
    const PathResponses paths = pathResponses(same, opposite);
    response.longestImpulse = std::max(response.longestImpulse, paths[0].size());
    std::array<std::vector<double>, kPaths> gains;
    ResponseCurve curve;
    curve.setting = setting;
    for (const double f : frequencies) {
        const Spectra spectra = spectraAt(paths, 2.0 * std::numbers::pi * f / sampleRate);
        for (int p = 0; p < kPaths; ++p) gains[p].push_back(decibels(std::abs(spectra.path[p])));
        const std::complex<double> toOpposite = spectra.path[kLeftToRight];
        const double delaySamples =
            (spectra.weightedOpposite * std::conj(toOpposite)).real() / std::norm(toOpposite);
        curve.oppositeDelayUs.push_back(delaySamples / sampleRate * 1e6);
    }
    curve.peak = findPeak(paths, frequencies, gains, sampleRate);
    curve.unchanged = passedUnchanged(same, opposite);
    curve.sumDb = gains[kSum];
    curve.differenceDb = gains[kDifference];
    curve.sameSideDb = gains[kLeftToLeft];
    curve.oppositeSideDb = gains[kLeftToRight];
    return curve;
}

}  // namespace

Response measureResponse(const PluginBinary& binary, int sampleRate,
                         const std::vector<EffectSetting>& settings) {
    Response response;
    response.sampleRate = sampleRate;
    {
        HostSettings host;
        host.sampleRate = static_cast<float>(sampleRate);
        const std::unique_ptr<Instance> effect = openEffect(binary, host);
        requireStereo(*effect, binary.path());
        response.effectName = displayName(*effect, binary.path());
        const bool strengthGiven = std::any_of(settings.begin(), settings.end(),
                                               [](const EffectSetting& s) { return s.strength; });
        if (strengthGiven && findParameter(*effect, "Strength") < 0) {
            throw Failure("plug-in " + binary.path() + " has no Strength parameter to vary");
        }
    }
    response.frequencies = frequencyGrid(sampleRate);
    for (const EffectSetting& setting : settings) {
        response.curves.push_back(
            measureCurve(binary, sampleRate, setting, response.frequencies, response));
    }
    return response;
}

}  // namespace varic
