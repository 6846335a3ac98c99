// varic response: the gain of the channel sum and difference against frequency.

#include "tools/cli/response.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "tools/cli/binary_and_instance.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/host/stereo_buffer.h"

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
void runImpulse(EffectInstance& effect, double left, double right, std::size_t minimumLength,
                ImpulseResponse& response) {
    vsthost::StereoBuffer<Sample> in(kBlock);
    vsthost::StereoBuffer<Sample> out(kBlock);
    in.left[0] = static_cast<Sample>(left);
    in.right[0] = static_cast<Sample>(right);
    double peak = 0.0;
    effect.start();
    for (;;) {
        stopIfInterrupted();
        effect.process(in.channels(), out.channels(), kBlock);
        in.left[0] = 0;
        in.right[0] = 0;
        double blockPeak = 0.0;
        for (int n = 0; n < kBlock; ++n) {
            const double l = out.left[n];
            const double r = out.right[n];
            if (!std::isfinite(l) || !std::isfinite(r)) {
                throw Failure("plug-in " + effect.path() +
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
                               const std::optional<double>& strength, double left, double right) {
    HostSettings settings;
    settings.sampleRate = static_cast<float>(sampleRate);
    settings.blockSize = kBlock;
    EffectInstance effect(binary, settings);
    effect.requireStereo();
    // 64-bit when offered: the measurement then carries no rounding of 32-bit samples.
    settings.precision =
        effect.canProcess(Precision::float64) ? Precision::float64 : Precision::float32;
    effect.requireProcessing(settings.precision);
    effect.setSettings(settings);
    if (strength) effect.setStrength(*strength);
    ImpulseResponse response;
    const std::size_t minimum =
        kMinimumLength + static_cast<std::size_t>(std::max(0, effect.record().initialDelay));
    if (settings.precision == Precision::float64) {
        runImpulse<double>(effect, left, right, minimum, response);
    } else {
        runImpulse<float>(effect, left, right, minimum, response);
    }
    return response;
}

// |sum of h[n] e^(-i w n)|, the magnitude of the spectrum of h at w radians per sample.
double spectrumMagnitude(const std::vector<double>& h, double w) {
    double re = 0.0;
    double im = 0.0;
    for (std::size_t n = 0; n < h.size(); ++n) {
        const double phase = w * static_cast<double>(n);
        re += h[n] * std::cos(phase);
        im -= h[n] * std::sin(phase);
    }
    return std::hypot(re, im);
}

double decibels(double gain) {
    return 20.0 * std::log10(std::max(gain, 1e-20));
}

std::string strengthLabel(const std::optional<double>& strength) {
    return strength ? "strength " + formatNumber(*strength) : "plug-in setting";
}

std::string columnSuffix(const std::optional<double>& strength) {
    return strength ? "strength_" + formatNumber(*strength) : "default";
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
                         const std::vector<std::optional<double>>& strengths) {
    Response response;
    response.sampleRate = sampleRate;
    {
        HostSettings settings;
        settings.sampleRate = static_cast<float>(sampleRate);
        EffectInstance effect(binary, settings);
        effect.requireStereo();
        response.effectName = effect.displayName();
        if (strengths.size() > 1 || (strengths.size() == 1 && strengths[0])) {
            if (effect.findParameter("Strength") < 0) {
                throw Failure("plug-in " + binary.path() + " has no Strength parameter to vary");
            }
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
    for (const std::optional<double>& strength : strengths) {
        // The sum is excited alone by equal impulses, the difference by opposite ones.
        const ImpulseResponse same =
            measureImpulse(binary, sampleRate, strength, kImpulse, kImpulse);
        const ImpulseResponse opposite =
            measureImpulse(binary, sampleRate, strength, kImpulse, -kImpulse);
        allDecayed = allDecayed && same.decayed && opposite.decayed;
        std::vector<double> sum(same.left.size());
        for (std::size_t n = 0; n < sum.size(); ++n) sum[n] = same.left[n] + same.right[n];
        std::vector<double> difference(opposite.left.size());
        for (std::size_t n = 0; n < difference.size(); ++n) {
            difference[n] = opposite.left[n] - opposite.right[n];
        }
        response.longestImpulse =
            std::max({response.longestImpulse, sum.size(), difference.size()});
        ResponseCurve curve;
        curve.strength = strength;
        for (const double f : response.frequencies) {
            const double w = 2.0 * std::numbers::pi * f / sampleRate;
            curve.sumDb.push_back(decibels(spectrumMagnitude(sum, w) / (2.0 * kImpulse)));
            curve.differenceDb.push_back(
                decibels(spectrumMagnitude(difference, w) / (2.0 * kImpulse)));
        }
        response.curves.push_back(std::move(curve));
    }
    if (!allDecayed) {
        std::fprintf(stderr,
                     "varic: warning: the impulse response had not died away after %zu samples; "
                     "the lowest frequencies may be off\n",
                     kMaximumLength);
    }
    return response;
}

std::string responseCsv(const Response& response) {
    std::string csv = "frequency_hz";
    for (const ResponseCurve& curve : response.curves) {
        csv += ",sum_db_" + columnSuffix(curve.strength) + ",difference_db_" +
               columnSuffix(curve.strength);
    }
    csv += "\n";
    char cell[64];
    for (std::size_t i = 0; i < response.frequencies.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%.10g", response.frequencies[i]);
        csv += cell;
        for (const ResponseCurve& curve : response.curves) {
            std::snprintf(cell, sizeof cell, ",%.6f,%.6f", curve.sumDb[i], curve.differenceDb[i]);
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
    char line[256];
    std::snprintf(
        line, sizeof line,
        "%s at %d Hz, measured through the plug-in (impulse responses of up to %zu samples)\n"
        "%-16s%14s%20s%24s\n",
        response.effectName.c_str(), response.sampleRate, response.longestImpulse, "", "sum, 0 Hz",
        "difference, 0 Hz", nyquist.c_str());
    std::string out = line;
    for (const ResponseCurve& curve : response.curves) {
        std::snprintf(line, sizeof line, "%-16s%14s%20s%24s\n",
                      strengthLabel(curve.strength).c_str(), dB(curve.sumDb.front()).c_str(),
                      dB(curve.differenceDb.front()).c_str(),
                      dB(curve.differenceDb.back()).c_str());
        out += line;
    }
    return out;
}

void checkPlotPath(const std::string& path) {
    const std::string extension = extensionOf(path);
    if (extension != "png" && extension != "svg") {
        throw Failure("--plot " + path + ": the picture must be a .png or .svg file");
    }
}

std::string gnuplotMissingAdvice() {
    return "gnuplot is not installed; to get the picture, install it (apt-get install gnuplot-nox) "
           "and run the command again";
}

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
                data << ' ' << curve.sumDb[i] << ' ' << curve.differenceDb[i];
            }
            data << '\n';
        }
        if (!data) throw Failure("cannot write the plot data in " + dataPath);
    }

    PendingFile picture(path);
    static const char* const colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                          "#ff7f0e", "#8c564b", "#e377c2", "#17becf"};
    std::ostringstream script;
    if (extensionOf(path) == "png") {
        script << "set terminal pngcairo size 1100,650 noenhanced font 'Sans,11'\n";
    } else {
        script << "set terminal svg size 1100,650 dynamic noenhanced font 'Sans,11' background rgb "
                  "'white'\n";
    }
    script << "set output " << gnuplotString(picture.temporaryPath()) << "\n"
           << "set title "
           << gnuplotString(
                  response.effectName + " at " + std::to_string(response.sampleRate) +
                  " Hz: gain of the channel sum and difference, measured through the plug-in")
           << "\n"
           << "set logscale x\n"
           << "set xrange [" << kLowestFrequency << ":" << response.sampleRate / 2.0 << "]\n"
           << "set format x '%.0s%c'\n"
           << "set xlabel 'frequency (Hz)'\n"
           << "set ylabel 'gain (dB)'\n"
           << "set offsets 0, 0, 1, 1\n"
           << "set grid xtics ytics mxtics lc rgb '#dddddd'\n"
           << "set key bottom right box opaque\n"
           << "plot ";
    for (std::size_t i = 0; i < response.curves.size(); ++i) {
        const ResponseCurve& curve = response.curves[i];
        const std::string colour = colours[i % std::size(colours)];
        const std::string label = strengthLabel(curve.strength);
        script << (i == 0 ? gnuplotString(dataPath) : ", ''") << " using 1:" << 3 + 2 * i
               << " with lines lw 2 lc rgb '" << colour << "' title "
               << gnuplotString("difference, " + label) << ", '' using 1:" << 2 + 2 * i
               << " with lines lw 1.5 dt 2 lc rgb '" << colour << "' title "
               << gnuplotString("sum, " + label);
    }
    script << "\nunset output\n";
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
    std::error_code noSize;
    const bool drawn = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                       std::filesystem::file_size(picture.temporaryPath(), noSize) > 0 && !noSize;
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
    args.expectOperands(0, 0, "no operands, only options");
    const std::string plugin = args.value("--plugin").value_or(defaultPluginPath());
    const int rate = static_cast<int>(
        args.value("--rate") ? parseIntegerInRange(*args.value("--rate"), "--rate", 1000, 768000)
                             : 44100);
    const auto plotPath = args.value("--plot");
    const auto csvPath = args.value("--csv");
    if (plotPath) checkPlotPath(*plotPath);

    std::vector<std::optional<double>> strengths;
    const bool explicitStrengths = args.value("--strength").has_value();
    std::string list = args.value("--strength").value_or("10,25,50,100");
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        strengths.emplace_back(
            parseNumberInRange(list.substr(start, end - start), "--strength", 0.0, 100.0));
        start = end + 1;
    }

    const PluginBinary binary(plugin);
    if (!explicitStrengths) {
        // Any stereo effect can be measured; without a Strength parameter, at its own setting.
        HostSettings settings;
        EffectInstance probe(binary, settings);
        if (probe.findParameter("Strength") < 0) strengths = {std::nullopt};
    }
    const Response response = measureResponse(binary, rate, strengths);
    std::fputs(responseSummary(response).c_str(), stdout);

    std::string csvWritten;
    if (csvPath) {
        writeTextFile(*csvPath, responseCsv(response));
        csvWritten = *csvPath;
        std::printf("wrote %s\n", csvPath->c_str());
    }
    if (plotPath) {
        if (plotResponse(response, *plotPath)) {
            std::printf("wrote %s\n", plotPath->c_str());
        } else {
            if (csvWritten.empty()) {
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
