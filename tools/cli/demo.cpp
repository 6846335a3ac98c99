// varic demo: the main job on a built-in example. A short piece of hard-panned stereo (the
// material where crossfeed is most audible on headphones) is synthesised, rendered through
// the crossfeed at its default strength, and its response is measured and drawn.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <vector>

#include "audio_file.h"
#include "binary_and_instance.h"
#include "commands.h"
#include "files.h"
#include "plugin_location.h"
#include "response.h"
#include "response_plot.h"

namespace varic {
namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 8.0;
constexpr double kBeat = 0.25;  // seconds: 120 beats per minute, in eighths

// A plucked note: a few harmonics under a fast attack and an exponential decay.
double pluck(double t, double frequency, double decay) {
    if (t < 0.0) return 0.0;
    const double attack = std::min(1.0, t / 0.004);
    double tone = 0.0;
    for (int h = 1; h <= 4; ++h) {
        tone += std::sin(2.0 * std::numbers::pi * frequency * h * t) / (h * h);
    }
    return attack * std::exp(-t * decay) * tone;
}

double midiFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Left: a guitar-like arpeggio. Right: a hi-hat and a high counter-melody. Both: a bass line,
// so the picture has a centre too. Deterministic, so every run writes the same file.
void synthesise(std::vector<float>& interleaved) {
    static const int arpeggio[] = {57, 60, 64, 69, 64, 60, 55, 59, 62, 67, 62, 59,
                                   53, 57, 60, 65, 60, 57, 52, 56, 59, 64, 59, 56};
    static const int counter[] = {76, 0, 79, 0, 81, 0, 79, 76, 74, 0, 72, 0, 74, 0, 76, 0};
    static const int bass[] = {45, 43, 41, 40};
    const auto frames = static_cast<std::size_t>(kSeconds * kRate);
    interleaved.assign(2 * frames, 0.0f);
    std::uint32_t noise = 12345;
    double hatEnvelope = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const int step = static_cast<int>(t / kBeat);
        const double inStep = t - step * kBeat;
        const double inBar = std::fmod(t, 2.0);

        const double guitar = 0.30 * pluck(inStep, midiFrequency(arpeggio[step % 24]), 5.0);
        double melody = 0.0;
        const int note = counter[(step / 2) % 16];
        if (note != 0) melody = 0.16 * pluck(t - (step / 2) * 2 * kBeat, midiFrequency(note), 2.5);
        if (inStep < 1.0 / kRate) hatEnvelope = step % 2 == 0 ? 1.0 : 0.5;
        hatEnvelope *= 0.9993;
        noise = noise * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
        const double hat = 0.10 * hatEnvelope * white;
        const double bassTone =
            0.20 * pluck(inBar, midiFrequency(bass[static_cast<int>(t / 2.0) % 4]), 1.2);

        // Short fades at both ends, so the file starts and ends in silence.
        const double fade = std::min({1.0, t / 0.01, (kSeconds - t) / 0.05});
        interleaved[2 * n] = static_cast<float>(fade * (guitar + bassTone));
        interleaved[2 * n + 1] = static_cast<float>(fade * (melody + hat + bassTone));
    }
}

void writeDemoInput(const std::string& path, const Messages& messages) {
    std::vector<float> samples;
    synthesise(samples);
    OutputFile file(path, messages);
    SoundWriter writer(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2);
    writer.write(samples.data(), static_cast<sf_count_t>(samples.size() / 2));
    writer.close();
    file.commit();
}

}  // namespace

const CommandHelp& demoHelp() {
    static const CommandHelp help{
        "demo",
        {"[--out DIR]"},
        "Synthesises eight seconds of hard-panned stereo, renders it through the crossfeed at "
        "its default strength and draws its response: input.wav, output.wav, response.png and "
        "response.csv in DIR.",
        {{"--out", "DIR", "the folder to write into (default out/demo)"}}};
    return help;
}

int runDemo(const std::vector<std::string>& words, Verbosity verbosity) {
    const Arguments args(demoHelp(), words, verbosity);
    const Messages messages("varic", args.verbosity());
    args.expectOperands(0, 0, "no operands, only --out DIR");
    const std::string folder = args.value("--out").value_or("out/demo");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !isDirectory(folder)) {
        throw Failure("cannot make the folder " + folder + ": " + error.message());
    }
    const std::string input = folder + "/input.wav";
    const std::string output = folder + "/output.wav";
    const std::string plot = folder + "/response.png";
    const std::string csv = folder + "/response.csv";

    writeDemoInput(input, messages);
    RenderJob job;
    job.plugin = defaultPluginPath();
    job.input = input;
    job.output = output;
    const RenderResult rendered = render(job, messages);

    const std::vector<EffectSetting> strengths = {{10.0, {}}, {25.0, {}}, {50.0, {}}, {100.0, {}}};
    const Response response = measure(PluginBinary(job.plugin), kRate, strengths, messages);
    writeTextFile(csv, responseCsv(response), messages);
    const bool plotted = plotResponse(response, plot, messages);

    std::printf("varic demo: %s of hard-panned stereo through %s%s\n",
                (formatNumber(rendered.seconds) + " s").c_str(), rendered.effectName.c_str(),
                rendered.strengthDisplay.empty()
                    ? ""
                    : (" at Strength " + rendered.strengthDisplay).c_str());
    std::printf(
        "  %-28s the test signal: guitar left, hi-hat and melody right, bass in the centre\n",
        input.c_str());
    std::printf("  %-28s the same through the crossfeed; compare the two on headphones\n",
                output.c_str());
    if (plotted) {
        std::printf("  %-28s gain of the channel sum and difference, strengths 10, 25, 50, 100\n",
                    plot.c_str());
    }
    std::printf("  %-28s the measured gains%s\n", csv.c_str(), plotted ? " behind the plot" : "");
    std::fputs(responseSummary(response).c_str(), stdout);
    if (!plotted) std::fprintf(stderr, "varic: %s (varic demo)\n", gnuplotMissingAdvice().c_str());
    return 0;
}

}  // namespace varic
