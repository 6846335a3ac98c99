// varic response: the gain of the channel sum and difference against frequency.

#include "response.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "binary_and_instance.h"
#include "cli_support.h"
#include "commands.h"
#include "stereo_buffer.h"

extern char** environ;

namespace varic {
namespace {

constexpr int kBlock = 4096;
// -12 dBFS: well inside any effect's linear range; a power of two, so dividing it out is exact.
constexpr double kImpulse = 0.25;
// An impulse response is complete once a whole block stays below this part of its peak.
constexpr double kQuiet = 1e-17;
constexpr std::size_t kMinimumLength = 4 * kBlock;
constexpr std::size_t kMaximumLength = std::size_t{1} << 21;
constexpr int kPointsPerDecade = 48;
constexpr double kLowestFrequency = 10.0;

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
        if (length >= kMaximumLength) {
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

double decibels(double gain) {
    return 20.0 * std::log10(std::max(gain, 1e-20));
}

std::string strengthLabel(const EffectSetting& setting) {
    return setting.strength ? "strength " + formatNumber(*setting.strength) : "plug-in setting";
}

std::string columnSuffix(const EffectSetting& setting) {
    return setting.strength ? "strength_" + formatNumber(*setting.strength) : "default";
}

// The highest gain of any path: at the lowest frequency where some path comes within
// 0.01 dB of it (a flat gain peaks everywhere), then refined between the neighbouring points
// of the grid, which can be coarser than a sharp resonance.
Peak findPeak(const PathResponses& paths, const std::vector<double>& frequencies,
              const std::array<std::vector<double>, kPaths>& gains, int sampleRate) {
    double highest = -HUGE_VAL;
    for (const std::vector<double>& gain : gains) {
        highest = std::max(highest, *std::max_element(gain.begin(), gain.end()));
    }
    const auto [at, path] = [&]() -> std::pair<std::size_t, int> {
        for (std::size_t i = 0; i < frequencies.size(); ++i) {
            for (int p = 0; p < kPaths; ++p) {
                if (gains[p][i] >= highest - 0.01) return {i, p};
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
        if (gain > peak.gainDb + 0.001) {
            peak.gainDb = gain;
            peak.frequency = f;
        }
    }
    return peak;
}

// A gnuplot string literal: single quotes, with a quote written twice.
std::string gnuplotString(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string firstLineOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.find_first_not_of(" \t^") != std::string::npos) return line;
    }
    return "";
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
    const double nyquist = sampleRate / 2.0;
    response.frequencies.push_back(0.0);
    for (int k = 0;; ++k) {
        const double f =
            kLowestFrequency * std::pow(10.0, static_cast<double>(k) / kPointsPerDecade);
        if (f >= nyquist * 0.999) break;
        response.frequencies.push_back(f);
    }
    response.frequencies.push_back(nyquist);

    bool allDecayed = true;
    for (const EffectSetting& setting : settings) {
        // The sum is excited alone by equal impulses, the difference by opposite ones.
        const ImpulseResponse same =
            measureImpulse(binary, sampleRate, setting, kImpulse, kImpulse);
        const ImpulseResponse opposite =
            measureImpulse(binary, sampleRate, setting, kImpulse, -kImpulse);
        allDecayed = allDecayed && same.decayed && opposite.decayed;
        const PathResponses paths = pathResponses(same, opposite);
        response.longestImpulse = std::max(response.longestImpulse, paths[0].size());
        std::array<std::vector<double>, kPaths> gains;
        ResponseCurve curve;
        curve.setting = setting;
        for (const double f : response.frequencies) {
            const Spectra spectra = spectraAt(paths, 2.0 * std::numbers::pi * f / sampleRate);
            for (int p = 0; p < kPaths; ++p)
                gains[p].push_back(decibels(std::abs(spectra.path[p])));
            const std::complex<double> opposite = spectra.path[kLeftToRight];
            const double delaySamples =
                (spectra.weightedOpposite * std::conj(opposite)).real() / std::norm(opposite);
            curve.oppositeDelayUs.push_back(delaySamples / sampleRate * 1e6);
        }
        curve.peak = findPeak(paths, response.frequencies, gains, sampleRate);
        curve.unchanged = passedUnchanged(same, opposite);
        curve.sumDb = gains[kSum];
        curve.differenceDb = gains[kDifference];
        curve.sameSideDb = gains[kLeftToLeft];
        curve.oppositeSideDb = gains[kLeftToRight];
        response.curves.push_back(std::move(curve));
    }
    if (!allDecayed) {
        warn("the impulse response had not died away after " +
             counted(static_cast<long long>(kMaximumLength), "sample") +
             "; the lowest frequencies may be off");
    }
    return response;
}

std::string formatFrequency(double hertz) {
    char text[32];
    if (hertz >= 1000.0) {
        std::snprintf(text, sizeof text, "%.3g kHz", hertz / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%.3g Hz", hertz);
    }
    return text;
}

std::string responseWarning(const Response& response, const ResponseCurve& curve) {
    const std::string where = "at " + std::to_string(response.sampleRate) + " Hz";
    if (curve.unchanged) {
        return response.effectName + " changes nothing " + where +
               " with these settings: the output will equal the input";
    }
    if (curve.peak.gainDb <= kBoostWarningDb) return "";
    char gain[32];
    std::snprintf(gain, sizeof gain, "%.1f dB", curve.peak.gainDb);
    return response.effectName + " boosts the " + curve.peak.path + " by " + gain + " at " +
           formatFrequency(curve.peak.frequency) + " (" + where +
           " with these settings); expect ringing, and clipping in integer formats";
}

std::string responseCsv(const Response& response) {
    std::string csv = "frequency_hz";
    for (const ResponseCurve& curve : response.curves) {
        csv += ",sum_db_" + columnSuffix(curve.setting) + ",difference_db_" +
               columnSuffix(curve.setting);
    }
    for (const ResponseCurve& curve : response.curves) {
        const std::string suffix = columnSuffix(curve.setting);
        csv += ",same_side_db_" + suffix + ",opposite_side_db_" + suffix + ",opposite_delay_us_" +
               suffix;
    }
    csv += "\n";
    char cell[96];
    for (std::size_t i = 0; i < response.frequencies.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%.10g", response.frequencies[i]);
        csv += cell;
        for (const ResponseCurve& curve : response.curves) {
            std::snprintf(cell, sizeof cell, ",%.6f,%.6f", curve.sumDb[i], curve.differenceDb[i]);
            csv += cell;
        }
        for (const ResponseCurve& curve : response.curves) {
            std::snprintf(cell, sizeof cell, ",%.6f,%.6f,%.3f", curve.sameSideDb[i],
                          curve.oppositeSideDb[i], curve.oppositeDelayUs[i]);
            csv += cell;
        }
        csv += "\n";
    }
    return csv;
}

std::string responseSummary(const Response& response) {
    const auto dB = [](double value) {
        char cell[32];
        std::snprintf(cell, sizeof cell, "%.3f dB", value);
        return std::string(cell);
    };
    const std::string nyquist = "difference, " + formatNumber(response.sampleRate / 2.0) + " Hz";
    char line[320];
    std::snprintf(line, sizeof line,
                  "%s at %d Hz, measured through the plug-in (impulse responses of up to %s)\n"
                  "%-16s%12s%19s%24s   %s\n",
                  response.effectName.c_str(), response.sampleRate,
                  counted(static_cast<long long>(response.longestImpulse), "sample").c_str(), "",
                  "sum, 0 Hz", "difference, 0 Hz", nyquist.c_str(), "peak");
    std::string out = line;
    for (const ResponseCurve& curve : response.curves) {
        char peak[32];
        std::snprintf(peak, sizeof peak, "%+.2f dB", curve.peak.gainDb);
        std::snprintf(line, sizeof line, "%-16s%12s%19s%24s   %s at %s (%s)\n",
                      strengthLabel(curve.setting).c_str(), dB(curve.sumDb.front()).c_str(),
                      dB(curve.differenceDb.front()).c_str(), dB(curve.differenceDb.back()).c_str(),
                      peak, formatFrequency(curve.peak.frequency).c_str(), curve.peak.path.c_str());
        out += line;
    }
    return out;
}

void checkPlotPath(const std::string& path) {
    const std::string extension = extensionOf(path);
    if (extension != "png" && extension != "svg" && extension != "pdf") {
        throw UsageError("--plot " + path + ": the picture must be a .png, .svg or .pdf file");
    }
}

std::string gnuplotMissingAdvice() {
    return "gnuplot is not installed; to get the picture, install it (apt-get install gnuplot-nox) "
           "and run the command again";
}

namespace {

// The gnuplot commands that draw the response from `dataPath` (one row per frequency above
// 0 Hz: the frequency, then sum, difference, same side, opposite side and delay per curve):
// the sum and difference on top, what crossfeed users look at below (the gain to the same
// and to the opposite side, and the opposite side's delay).
std::string plotScript(const Response& response, const std::string& dataPath) {
    static const char* const colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                          "#ff7f0e", "#8c564b", "#e377c2", "#17becf"};
    const auto column = [](std::size_t curve, int which) { return 2 + 5 * curve + which; };
    const auto colour = [](std::size_t curve) {
        return std::string(" lc rgb '") + colours[curve % std::size(colours)] + "'";
    };
    const std::string data = gnuplotString(dataPath);
    bool sumsCoincide = true;
    for (const ResponseCurve& curve : response.curves) {
        for (std::size_t i = 0; i < curve.sumDb.size(); ++i) {
            sumsCoincide =
                sumsCoincide && std::fabs(curve.sumDb[i] - response.curves[0].sumDb[i]) < 0.01;
        }
    }
    std::ostringstream script;
    script << "set multiplot title "
           << gnuplotString(response.effectName + " at " + std::to_string(response.sampleRate) +
                            " Hz, measured through the plug-in")
           << " font ',13'\n"
           << "set logscale x\n"
           << "set xrange [" << kLowestFrequency << ":" << response.sampleRate / 2.0 << "]\n"
           << "set format x '%.0s%c'\n"
           << "set grid xtics ytics mxtics lw 1 lc rgb '#d8d8d8'\n"
           << "set border lc rgb '#606060'\n"
           << "set key outside right top Left reverse samplen 3 spacing 1.2 noopaque nobox\n"
           << "set lmargin at screen 0.08\n"
           << "set rmargin at screen 0.66\n"
           << "set offsets 0, 0, 1, 1\n";

    script << "set tmargin at screen 0.93\nset bmargin at screen 0.68\n"
           << "set title 'channel sum (L+R) and difference (L-R)'\n"
           << "set ylabel 'gain (dB)'\nplot ";
    for (std::size_t i = 0; i < response.curves.size(); ++i) {
        const std::string label = strengthLabel(response.curves[i].setting);
        script << (i == 0 ? data : ", ''") << " using 1:" << column(i, 1) << " with lines lw 2"
               << colour(i) << " title " << gnuplotString("difference, " + label);
        if (!sumsCoincide || i + 1 == response.curves.size()) {
            const bool once = sumsCoincide && response.curves.size() > 1;
            script << ", '' using 1:" << column(i, 0) << " with lines lw 1.5 dt 2"
                   << (once ? std::string(" lc rgb '#404040'") : colour(i)) << " title "
                   << gnuplotString(once ? "sum, the same for all" : "sum, " + label);
        }
    }

    script << "\nset tmargin at screen 0.61\nset bmargin at screen 0.37\n"
           << "set title 'left in to left out (same side) and to right out (opposite side)'\n"
           << "plot ";
    for (std::size_t i = 0; i < response.curves.size(); ++i) {
        const std::string label = strengthLabel(response.curves[i].setting);
        script << (i == 0 ? data : ", ''") << " using 1:" << column(i, 2) << " with lines lw 2"
               << colour(i) << " title " << gnuplotString("same side, " + label)
               << ", '' using 1:" << column(i, 3) << " with lines lw 1.5 dt 2" << colour(i)
               << " title " << gnuplotString("opposite side, " + label);
    }

    script << "\nset tmargin at screen 0.30\nset bmargin at screen 0.06\n"
           << "set title 'delay of the opposite side (group delay, left in to right out)'\n"
           << "set ylabel 'delay (µs)'\nset xlabel 'frequency (Hz)'\nplot ";
    for (std::size_t i = 0; i < response.curves.size(); ++i) {
        const ResponseCurve& curve = response.curves[i];
        char atZero[48];
        std::snprintf(atZero, sizeof atZero, ": %.0f µs at 0 Hz", curve.oppositeDelayUs.front());
        script << (i == 0 ? data : ", ''") << " using 1:" << column(i, 4) << " with lines lw 2"
               << colour(i) << " title " << gnuplotString(strengthLabel(curve.setting) + atZero);
    }
    script << "\nunset multiplot\n";
    return script.str();
}

}  // namespace

bool plotResponse(const Response& response, const std::string& path) {
    checkPlotPath(path);
    const std::optional<std::string> gnuplot = findProgram("gnuplot");
    if (!gnuplot) return false;

    ScratchDirectory scratch;
    const std::string dataPath = scratch.file("response.dat");
    {
        std::ofstream data(dataPath);
        for (std::size_t i = 1; i < response.frequencies.size(); ++i) {  // no 0 Hz on a log axis
            data << formatNumber(response.frequencies[i]);
            for (const ResponseCurve& curve : response.curves) {
                data << ' ' << curve.sumDb[i] << ' ' << curve.differenceDb[i] << ' '
                     << curve.sameSideDb[i] << ' ' << curve.oppositeSideDb[i] << ' '
                     << curve.oppositeDelayUs[i];
            }
            data << '\n';
        }
        if (!data) throw Failure("cannot write the plot data in " + dataPath);
    }

    OutputFile picture(path);
    std::ostringstream script;
    const std::string extension = extensionOf(path);
    if (extension == "png") {
        script << "set terminal pngcairo size 1100,1300 noenhanced font 'Sans,11'\n";
    } else if (extension == "pdf") {
        script << "set terminal pdfcairo size 8.5in,10in noenhanced font 'Sans,8'\n";
    } else {
        script << "set terminal svg size 1100,1300 dynamic noenhanced font 'Sans,11' background "
                  "rgb 'white'\n";
    }
    script << "set output " << gnuplotString(picture.writePath()) << "\n"
           << plotScript(response, dataPath) << "unset output\n";
    const std::string scriptPath = scratch.file("response.gp");
    const std::string logPath = scratch.file("gnuplot.log");
    {
        std::ofstream file(scriptPath);
        file << script.str();
        if (!file) throw Failure("cannot write the plot script in " + scriptPath);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> words = {*gnuplot, scriptPath};
    char* argv[] = {words[0].data(), words[1].data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, gnuplot->c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw Failure("cannot run " + *gnuplot + ": " + std::strerror(spawned));
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    stopIfInterrupted();
    std::error_code noSize;
    const bool drawn = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                       (picture.direct() ||
                        (std::filesystem::file_size(picture.writePath(), noSize) > 0 && !noSize));
    if (!drawn) {
        const std::string reason = firstLineOf(logPath);
        throw Failure("gnuplot could not draw " + path + (reason.empty() ? "" : ": " + reason));
    }
    picture.commit();
    return true;
}

int runResponse(const std::vector<std::string>& words) {
    const Arguments args("response", words, {"--plugin", "--rate", "--strength", "--plot", "--csv"},
                         {});
    args.expectOperands(0, 0, "only options, no operands");
    const std::string plugin = args.value("--plugin").value_or(defaultPluginPath());
    const int rate = static_cast<int>(
        args.value("--rate") ? parseIntegerInRange(*args.value("--rate"), "--rate", 1000, 768000)
                             : 44100);
    const auto plotPath = args.value("--plot");
    const auto csvPath = args.value("--csv");
    if (plotPath) checkPlotPath(*plotPath);

    std::vector<EffectSetting> settings;
    const bool explicitStrengths = args.value("--strength").has_value();
    std::string list = args.value("--strength").value_or("10,25,50,100");
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        settings.push_back(
            {parseNumberInRange(list.substr(start, end - start), "--strength", 0.0, 100.0), {}});
        start = end + 1;
    }

    const PluginBinary binary(plugin);
    if (!explicitStrengths) {
        // Any stereo effect can be measured; without a Strength parameter, at its own setting.
        HostSettings host;
        const std::unique_ptr<Instance> probe = openEffect(binary, host);
        if (findParameter(*probe, "Strength") < 0) settings = {EffectSetting{}};
    }
    const Response response = measureResponse(binary, rate, settings);
    // With the CSV on standard output, the report goes to stderr.
    FILE* const report = csvPath == "-" ? stderr : stdout;
    const auto say = [report](const std::string& text) {
        if (verbosity() != Verbosity::quiet) std::fputs(text.c_str(), report);
    };
    say(responseSummary(response));

    std::string csvWritten;
    if (csvPath) {
        writeTextFile(*csvPath, responseCsv(response));
        csvWritten = *csvPath;
        if (*csvPath != "-") say("wrote " + *csvPath + "\n");
    }
    if (plotPath) {
        if (plotResponse(response, *plotPath)) {
            say("wrote " + *plotPath + "\n");
        } else {
            if (csvWritten.empty() || csvWritten == "-") {
                csvWritten = plotPath->substr(0, plotPath->size() - 4) + ".csv";
                writeTextFile(csvWritten, responseCsv(response));
            }
            std::fprintf(stderr, "varic: %s; the measured gains are in %s\n",
                         gnuplotMissingAdvice().c_str(), csvWritten.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace varic
