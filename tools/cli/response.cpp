// varic response: the gain of the channel sum and difference against frequency.

#include "response.h"

#include <cstdio>

#include "binary_and_instance.h"
#include "command_line.h"
#include "commands.h"
#include "files.h"
#include "help.h"
#include "plugin_location.h"
#include "response_plot.h"

namespace varic {
namespace {

std::string columnSuffix(const EffectSetting& setting) {
    return setting.strength ? "strength_" + formatNumber(*setting.strength) : "default";
}

// "10,25,50" as settings of the Strength parameter.
std::vector<EffectSetting> strengthList(const std::string& list) {
    std::vector<EffectSetting> settings;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        settings.push_back(
            {parseNumberInRange(list.substr(start, end - start), "--strength", 0.0, 100.0), {}});
        start = end + 1;
    }
    return settings;
}

}  // namespace

std::string strengthLabel(const EffectSetting& setting) {
    return setting.strength ? "strength " + formatNumber(*setting.strength) : "plug-in setting";
}

Response measure(const PluginBinary& binary, int sampleRate,
                 const std::vector<EffectSetting>& settings, const Messages& messages) {
    Response response = measureResponse(binary, sampleRate, settings);
    if (!response.decayed) {
        messages.warn("the impulse response had not died away after " +
                      counted(static_cast<long long>(kMaximumImpulse), "sample") +
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

const CommandHelp& responseHelp() {
    static const CommandHelp help{
        "response",
        {"[--plugin P] [--rate R] [--strength LIST] [--plot FILE] [--csv FILE]"},
        "Feeds impulses through fresh instances of the effect and reports, for each strength in "
        "LIST, the gain of the channel sum (L+R) and difference (L-R) at 0 Hz and half the "
        "sample rate, and the peak gain of any path with its frequency. An effect without a "
        "Strength parameter is measured at its own setting.\n\n"
        "The picture has three panels: the sum and difference (the sum drawn once when all "
        "coincide), the gain from left in to left out (same side) and to right out (opposite "
        "side), and the opposite side's group delay in microseconds. Without gnuplot the CSV "
        "is written beside the picture's name, with advice on getting the picture, and the "
        "exit status is 1.",
        {
            {"--plugin", "P", "the plug-in to measure"},
            {"--rate", "R", "the sample rate, 1000 to 768000 Hz (default 44100)"},
            {"--strength", "LIST", "comma-separated strengths, 0 to 100 (default 10,25,50,100)"},
            {"--plot", "FILE", "draw the response with gnuplot into a .png, .svg or .pdf file"},
            {"--csv", "FILE",
             "the measured gains and delays, one row per frequency (- for standard output, "
             "and the report then goes to standard error)"},
        }};
    return help;
}

int runResponse(const std::vector<std::string>& words, Verbosity verbosity) {
    const Arguments args(responseHelp(), words, verbosity);
    const Messages messages("varic", args.verbosity());
    args.expectOperands(0, 0, "only options, no operands");
    const std::string plugin = args.value("--plugin").value_or(defaultPluginPath());
    const int rate = static_cast<int>(
        args.value("--rate") ? parseIntegerInRange(*args.value("--rate"), "--rate", 1000, 768000)
                             : 44100);
    const auto plotPath = args.value("--plot");
    const auto csvPath = args.value("--csv");
    if (plotPath) checkPlotPath(*plotPath);

    const bool explicitStrengths = args.value("--strength").has_value();
    std::vector<EffectSetting> settings =
        strengthList(args.value("--strength").value_or("10,25,50,100"));
    const PluginBinary binary(plugin);
    if (!explicitStrengths) {
        // Any stereo effect can be measured; without a Strength parameter, at its own setting.
        HostSettings host;
        const std::unique_ptr<Instance> probe = openEffect(binary, host);
        if (findParameter(*probe, "Strength") < 0) settings = {EffectSetting{}};
    }
    const Response response = measure(binary, rate, settings, messages);
    // With the CSV on standard output, the report goes to stderr.
    FILE* const report = csvPath == "-" ? stderr : stdout;
    const auto say = [&](const std::string& text) {
        if (!messages.quiet()) std::fputs(text.c_str(), report);
    };
    say(responseSummary(response));

    std::string csvWritten;
    if (csvPath) {
        writeTextFile(*csvPath, responseCsv(response), messages);
        csvWritten = *csvPath;
        if (*csvPath != "-") say("wrote " + *csvPath + "\n");
    }
    if (plotPath) {
        if (plotResponse(response, *plotPath, messages)) {
            say("wrote " + *plotPath + "\n");
        } else {
            if (csvWritten.empty() || csvWritten == "-") {
                csvWritten = plotPath->substr(0, plotPath->size() - 4) + ".csv";
                writeTextFile(csvWritten, responseCsv(response), messages);
            }
            std::fprintf(stderr, "varic: %s; the measured gains are in %s\n",
                         gnuplotMissingAdvice().c_str(), csvWritten.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace varic
