// What Strength does to the sound in numbers, computed from the filter's own response rather
// than typed in: the README's table, and the phrases other texts quote, so that a test can hold
// every text to the filter.
//
//   strength_table            the README's Strength table, in Markdown
//   strength_table --quotes   FILE<TAB>PHRASE, one a line: each file must contain its phrase,
//                             line breaks and runs of blanks aside (quoted_numbers_test.sh)

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "crossfeed_filter.h"

namespace {

// The filter as a host sets it up for Strength 0 to 100 (`varic render --strength S`).
crossfeed::Filter filterAt(std::uint32_t rate, int strength) {
    crossfeed::Filter filter;
    filter.setup(rate, crossfeed::strengthFromParameter(static_cast<float>(strength / 100.0)));
    return filter;
}

double differenceDb(const crossfeed::Filter& filter, double hz) {
    return 20.0 * std::log10(std::abs(filter.response(hz).difference));
}

struct Peak {
    double db;
    double hz;
};

// The difference's highest gain between 0 Hz and half the rate: every hertz, then a golden-
// section search between the best one's neighbours (the gain has one maximum there).
Peak differencePeak(std::uint32_t rate, int strength) {
    const crossfeed::Filter filter = filterAt(rate, strength);
    const double nyquist = rate / 2.0;
    double best = 0.0;
    for (double hz = 1.0; hz <= nyquist; hz += 1.0) {
        if (differenceDb(filter, hz) > differenceDb(filter, best)) best = hz;
    }
    double low = std::max(0.0, best - 1.0), high = std::min(nyquist, best + 1.0);
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    while (high - low > 1e-6) {
        const double a = high - ratio * (high - low), b = low + ratio * (high - low);
        if (differenceDb(filter, a) < differenceDb(filter, b)) {
            low = a;
        } else {
            high = b;
        }
    }
    const double hz = (low + high) / 2.0;
    return {differenceDb(filter, hz), hz};
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// 8000 gives "8 kHz", 22050 "22.05 kHz".
std::string kilohertz(std::uint32_t rate) {
    return format("%g kHz", rate / 1000.0);
}

// The gain at 0 Hz as a loss: "5.8".
std::string attenuation(int strength) {
    return format("%.1f", -differenceDb(filterAt(44100, strength), 0.0));
}

// "+0.5 dB at 4.0 kHz", or "none" where nothing rises above 0 dB to a tenth of a dB.
std::string peakCell(std::uint32_t rate, int strength) {
    const Peak peak = differencePeak(rate, strength);
    if (peak.db < 0.05) return "none";
    return format("%+.1f dB", peak.db) + format(" at %.1f kHz", peak.hz / 1000.0);
}

// The highest Strength the filter runs at for a rate; above it the audio passes through.
int highestStableStrength(std::uint32_t rate) {
    int strength = 0;
    while (strength < 100 && filterAt(rate, strength + 1).stable()) ++strength;
    return strength;
}

constexpr int kStrengths[] = {0, 10, 25, 50, 100};
constexpr std::uint32_t kRates[] = {44100, 48000, 96000};

std::string table() {
    std::string out = "| Strength | difference at 0 Hz";
    for (const std::uint32_t rate : kRates) out += " | peak at " + kilohertz(rate);
    out += " |\n|---|---|";
    for (std::size_t i = 0; i < std::size(kRates); ++i) out += "---|";
    out += "\n";
    for (const int strength : kStrengths) {
        out += "| " + std::to_string(strength) + (strength == 10 ? " (default)" : "") + " | ";
        out += strength == 0 ? std::string("0 dB (no effect)")
                             : format("%.1f dB", differenceDb(filterAt(44100, strength), 0.0));
        for (const std::uint32_t rate : kRates) out += " | " + peakCell(rate, strength);
        out += " |\n";
    }
    return out;
}

// "+33 dB near 1.5 kHz at 8 kHz and Strength 39": the resonance just below the limit.
std::string resonance(std::uint32_t rate) {
    const int strength = highestStableStrength(rate);
    const Peak peak = differencePeak(rate, strength);
    return format("%+.0f dB", peak.db) + format(" near %.1f kHz", peak.hz / 1000.0) + " at " +
           kilohertz(rate) + " and Strength " + std::to_string(strength);
}

void printQuotes() {
    const auto quote = [](const char* file, const std::string& phrase) {
        std::printf("%s\t%s\n", file, phrase.c_str());
    };
    std::string flat = table();
    for (char& c : flat) c = c == '\n' ? ' ' : c;
    quote("README.md", flat.substr(0, flat.size() - 1));

    const std::string limits =
        std::to_string(highestStableStrength(8000) + 1) + " and above at 8 kHz, " +
        std::to_string(highestStableStrength(16000) + 1) + " and above at 16 kHz";
    quote("docs/crossfeed.md",
          resonance(8000) + ", " + resonance(16000) + ", " + resonance(22050) + ".");
    quote("docs/crossfeed.md", "(Strength " + limits + ",");

    const char* windows = "packaging/README-windows.txt.in";
    quote(windows, "attenuated by " + attenuation(10) + " dB at 10, " + attenuation(25) +
                       " dB at 25, " + attenuation(50) + " dB at 50 and " + attenuation(100) +
                       " dB at 100");
    const Peak low = differencePeak(44100, 10), high = differencePeak(44100, 100);
    quote(windows, "at 44.1 kHz: " + format("%+.1f dB", low.db) + " at 10, " +
                       format("%+.1f dB", high.db) + " at 100, near " +
                       format("%.0f", low.hz / 1000.0) + " to " +
                       format("%.0f kHz", high.hz / 1000.0));
    quote(windows, "(" + limits + ")");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--quotes") == 0) {
        printQuotes();
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: strength_table [--quotes]\n");
        return 2;
    }
    std::fputs(table().c_str(), stdout);
    return 0;
}
