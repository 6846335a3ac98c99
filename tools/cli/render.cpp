// varic render: a sound file through a stereo effect, block by block, into a new file.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tools/cli/audio_file.h"
#include "tools/cli/binary_and_instance.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/host/stereo_buffer.h"

namespace varic {
namespace {

// A one-line progress bar on stderr, for long files and only when a person is watching: it
// appears once the work has taken a quarter of a second, so quick runs stay quiet.
class ProgressBar {
public:
    ProgressBar(const std::string& label, long long total, int sampleRate)
        : label_(label),
          total_(total),
          enabled_(total > 0 && sampleRate > 0 && total >= 60LL * sampleRate &&
                   ::isatty(STDERR_FILENO) == 1),
          started_(Clock::now()),
          lastDrawn_(started_) {}
    ~ProgressBar() { finish(); }

    void advance(long long frames) {
        done_ += frames;
        if (!enabled_) return;
        const auto now = Clock::now();
        if (now - started_ < std::chrono::milliseconds(250) ||
            (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100))) {
            return;
        }
        lastDrawn_ = now;
        drawn_ = true;
        const double part = std::min(1.0, static_cast<double>(done_) / static_cast<double>(total_));
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(part * kWidth);
        std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                     "##############################", kWidth - filled, "",
                     static_cast<int>(part * 100.0));
        std::fflush(stderr);
    }
    void finish() {
        if (!drawn_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    long long total_;
    long long done_ = 0;
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

template <class Sample>
void renderFrames(SoundReader& reader, SoundWriter& writer, EffectInstance& effect, int blockSize,
                  ProgressBar& progress) {
    const int channels = reader.channels();  // 1 or 2
    std::vector<Sample> fromFile(static_cast<std::size_t>(blockSize) * channels);
    std::vector<Sample> toFile(static_cast<std::size_t>(blockSize) * 2);
    vsthost::StereoBuffer<Sample> in(blockSize);
    vsthost::StereoBuffer<Sample> out(blockSize);
    effect.start();
    for (;;) {
        stopIfInterrupted();
        const auto frames = static_cast<int>(reader.read(fromFile.data(), blockSize));
        if (frames <= 0) break;
        for (int n = 0; n < frames; ++n) {
            in.left[n] = fromFile[static_cast<std::size_t>(n) * channels];
            in.right[n] = fromFile[static_cast<std::size_t>(n) * channels + channels - 1];
        }
        effect.process(in.channels(), out.channels(), frames);
        for (int n = 0; n < frames; ++n) {
            toFile[2 * static_cast<std::size_t>(n)] = out.left[n];
            toFile[2 * static_cast<std::size_t>(n) + 1] = out.right[n];
        }
        writer.write(toFile.data(), frames);
        progress.advance(frames);
    }
    effect.stop();
}

int sampleTypeOption(const Arguments& args) {
    static const std::pair<const char*, int> options[] = {
        {"--pcm16", SF_FORMAT_PCM_16},  {"--pcm24", SF_FORMAT_PCM_24},
        {"--pcm32", SF_FORMAT_PCM_32},  {"--float", SF_FORMAT_FLOAT},
        {"--double", SF_FORMAT_DOUBLE},
    };
    int chosen = 0;
    std::string chosenName;
    for (const auto& [name, type] : options) {
        if (!args.flag(name)) continue;
        if (chosen != 0) throw UsageError(chosenName + " and " + name + " cannot be combined");
        chosen = type;
        chosenName = name;
    }
    return chosen;
}

}  // namespace

RenderResult render(const RenderJob& job) {
    SoundReader reader(job.input);
    if (reader.channels() == 1 && !job.monoToStereo) {
        throw Failure(job.input +
                      " is mono; varic renders stereo (add --mono-to-stereo to feed its one "
                      "channel to both inputs)");
    }
    if (reader.channels() != 2 && !(reader.channels() == 1 && job.monoToStereo)) {
        throw Failure(job.input + " has " + std::to_string(reader.channels()) +
                      " channels; varic renders stereo files only");
    }
    if (sameFile(job.input, job.output)) {
        throw Failure(job.output + " is the input file itself; choose another output");
    }
    if (isDirectory(job.output)) throw Failure(job.output + " is a directory");
    const int format = chooseOutputFormat(reader.format(), job.output, job.sampleType);

    PluginBinary binary(job.plugin);
    HostSettings settings;
    settings.sampleRate = static_cast<float>(reader.sampleRate());
    settings.blockSize = job.blockSize;
    EffectInstance effect(binary, settings);
    effect.requireStereo();
    const bool doubleInput = (reader.format() & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
    settings.precision =
        job.precision ? (*job.precision == 64 ? Precision::float64 : Precision::float32)
        : doubleInput && effect.canProcess(Precision::float64) ? Precision::float64
                                                               : Precision::float32;
    effect.requireProcessing(settings.precision);
    effect.setSettings(settings);
    if (job.strength) effect.setStrength(*job.strength);
    for (const std::string& spec : job.params) effect.setParameterSpec(spec);

    RenderResult result;
    result.effectName = effect.displayName();
    const int strengthIndex = effect.findParameter("Strength");
    if (strengthIndex >= 0) result.strengthDisplay = effect.parameterDisplay(strengthIndex);

    PendingFile output(job.output);
    SoundWriter writer(output, format, reader.sampleRate(), 2);
    {
        ProgressBar progress("rendering " + std::filesystem::path(job.output).filename().string(),
                             reader.frames(), reader.sampleRate());
        if (settings.precision == Precision::float64) {
            renderFrames<double>(reader, writer, effect, job.blockSize, progress);
        } else {
            renderFrames<float>(reader, writer, effect, job.blockSize, progress);
        }
    }
    writer.close();
    output.commit();

    result.seconds = static_cast<double>(reader.frames()) / reader.sampleRate();
    result.clippedSamples = writer.clippedSamples();
    if (writer.clippedSamples() > 0) {
        std::fprintf(stderr,
                     "varic: warning: %lld samples of %s exceeded full scale (peak %+.2f dBFS) and "
                     "were clipped; add --float to keep them\n",
                     writer.clippedSamples(), job.output.c_str(), 20.0 * std::log10(writer.peak()));
    }
    if (writer.nonFiniteSamples() > 0) {
        std::fprintf(
            stderr, "varic: warning: the plug-in produced %lld samples that are not numbers%s\n",
            writer.nonFiniteSamples(), hasFullScale(format) ? " (written as 0 or full scale)" : "");
    }
    return result;
}

int runRender(const std::vector<std::string>& words) {
    const Arguments args(
        "render", words, {"--plugin", "--strength", "--param", "--precision", "--block"},
        {"--float", "--double", "--pcm16", "--pcm24", "--pcm32", "--mono-to-stereo"});
    args.expectOperands(2, 2, "IN and OUT");
    RenderJob job;
    job.input = args.operands()[0];
    job.output = args.operands()[1];
    job.plugin = args.value("--plugin").value_or(defaultPluginPath());
    if (const auto strength = args.value("--strength")) {
        job.strength = parseNumberInRange(*strength, "--strength", 0.0, 100.0);
    }
    job.params = args.values("--param");
    if (job.strength && !job.params.empty()) {
        throw UsageError("--strength and --param cannot be combined");
    }
    if (const auto precision = args.value("--precision")) {
        if (*precision != "32" && *precision != "64") {
            throw Failure("--precision " + *precision + " is not valid: use 32 or 64");
        }
        job.precision = std::stoi(*precision);
    }
    if (const auto block = args.value("--block")) {
        job.blockSize = static_cast<int>(parseIntegerInRange(*block, "--block", 1, 1 << 20));
    }
    job.sampleType = sampleTypeOption(args);
    job.monoToStereo = args.flag("--mono-to-stereo");
    render(job);
    return 0;
}

}  // namespace varic
