#include "response_plot.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "command_line.h"
#include "files.h"
#include "interrupts.h"
#include "response.h"
#include "scratch_directory.h"

namespace varic {
namespace {

// A gnuplot string literal: single quotes, with a quote written twice.
std::string gnuplotString(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

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

// The rows the script plots: every frequency above 0 Hz, which a log axis cannot show.
void writePlotData(const Response& response, const std::string& dataPath) {
    std::ofstream data(dataPath);
    for (std::size_t i = 1; i < response.frequencies.size(); ++i) {
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

// gnuplot's terminal for the picture's type.
std::string terminalFor(const std::string& path) {
    const std::string extension = extensionOf(path);
    if (extension == "png")
        return "set terminal pngcairo size 1100,1300 noenhanced font 'Sans,11'\n";
    if (extension == "pdf")
        return "set terminal pdfcairo size 8.5in,10in noenhanced font 'Sans,8'\n";
    return "set terminal svg size 1100,1300 dynamic noenhanced font 'Sans,11' background "
           "rgb 'white'\n";
}

// The first line of gnuplot's output that says something: its reason for failing.
std::string firstLineOf(const std::string& output) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.find_first_not_of(" \t^") != std::string::npos) return line;
    }
    return "";
}

}  // namespace

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

bool plotResponse(const Response& response, const std::string& path, const Messages& messages) {
    checkPlotPath(path);
    const std::optional<std::string> gnuplot = findProgram("gnuplot");
    if (!gnuplot) return false;

    const ScratchDirectory scratch;
    const std::string dataPath = scratch.file("response.dat");
    writePlotData(response, dataPath);
    OutputFile picture(path, messages);
    const std::string scriptPath = scratch.file("response.gp");
    {
        std::ofstream file(scriptPath);
        file << terminalFor(path) << "set output " << gnuplotString(picture.writePath()) << "\n"
             << plotScript(response, dataPath) << "unset output\n";
        if (!file) throw Failure("cannot write the plot script in " + scriptPath);
    }
    const ChildEnd end = runChild({*gnuplot, scriptPath}, {0.0, caughtSignal, false});
    if (end.stoppedBy != 0) throw Interrupted(end.stoppedBy);
    if (!end.started) throw Failure("cannot run " + *gnuplot + ": " + end.how);
    std::error_code noSize;
    const bool drawn = end.exitedCleanly &&
                       (picture.direct() ||
                        (std::filesystem::file_size(picture.writePath(), noSize) > 0 && !noSize));
    if (!drawn) {
        const std::string reason = firstLineOf(end.output);
        throw Failure("gnuplot could not draw " + path + (reason.empty() ? "" : ": " + reason));
    }
    picture.commit();
    return true;
}

}  // namespace varic
