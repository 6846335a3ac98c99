// varic render: a sound file through a stereo effect, block by block, into a new file.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "tools/cli/audio_file.h"
#include "tools/cli/binary_and_instance.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/response.h"
#include "tools/host/stereo_buffer.h"

namespace varic {
namespace {

// A one-line progress bar on stderr, only when a person is watching (stderr is a terminal)
// and only for work that takes a while: it appears after a quarter of a second, shows the
// speed and the time left, ends at 100 %, and gives way to a one-line summary.
class ProgressBar {
public:
    // `total` frames, or 0 when the length is not known (a pipe).
    ProgressBar(const std::string& label, long long total, int sampleRate)
        : label_(label),
          total_(total),
          sampleRate_(sampleRate),
          terminal_(::isatty(STDERR_FILENO) == 1 && verbosity() != Verbosity::quiet),
          started_(Clock::now()),
          lastDrawn_(started_) {}
    ~ProgressBar() { clear(); }

    void advance(long long frames) {
        done_ += frames;
        if (!terminal_) return;
        const auto now = Clock::now();
        if (now - started_ < std::chrono::milliseconds(250) ||
            (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100))) {
            return;
        }
        lastDrawn_ = now;
        draw();
    }

    // The finished work: the bar at 100 %, then the summary in its place.
    void finish() {
        if (drawn_) {
            total_ = done_;
            draw();
        }
        clear();
        if (terminal_ || verbosity() == Verbosity::verbose) {
            std::fprintf(stderr, "varic: %s: %s of audio in %s\n", label_.c_str(),
                         duration(audioSeconds()).c_str(), speed().c_str());
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    double elapsed() const {
        return std::chrono::duration<double>(Clock::now() - started_).count();
    }
    double audioSeconds() const { return static_cast<double>(done_) / sampleRate_; }
    std::string speed() const {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f s, %.0fx real time", elapsed(),
                      audioSeconds() / std::max(elapsed(), 1e-6));
        return text;
    }
    static std::string duration(double seconds) {
        char text[32];
        const long whole = std::lround(seconds);
        if (whole < 60) {
            std::snprintf(text, sizeof text, "%.1f s", seconds);
        } else {
            std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
        }
        return text;
    }
    void draw() {
        drawn_ = true;
        if (total_ <= 0) {
            std::fprintf(stderr, "\r\033[K%s  %s of audio, %s", label_.c_str(),
                         duration(audioSeconds()).c_str(), speed().c_str());
        } else {
            const double part =
                std::min(1.0, static_cast<double>(done_) / static_cast<double>(total_));
            constexpr int kWidth = 30;
            const int filled = static_cast<int>(part * kWidth);
            const double left = part > 0.0 ? elapsed() * (1.0 - part) / part : 0.0;
            std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %3d%%  %s, %s left", label_.c_str(), filled,
                         "##############################", kWidth - filled, "",
                         static_cast<int>(part * 100.0), speed().c_str(), duration(left).c_str());
        }
        std::fflush(stderr);
    }
    void clear() {
        if (!drawn_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn_ = false;
    }

    std::string label_;
    long long total_;
    int sampleRate_;
    long long done_ = 0;
    bool terminal_;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

// Returns the number of frames rendered.
template <class Sample>
long long renderFrames(SoundReader& reader, SoundWriter& writer, EffectInstance& effect,
                       int blockSize, ProgressBar& progress) {
    const int channels = reader.channels();  // 1 or 2
    std::vector<Sample> fromFile(static_cast<std::size_t>(blockSize) * channels);
    std::vector<Sample> toFile(static_cast<std::size_t>(blockSize) * 2);
    vsthost::StereoBuffer<Sample> in(blockSize);
    vsthost::StereoBuffer<Sample> out(blockSize);
    long long total = 0;
    effect.start();
    for (;;) {
        stopIfInterrupted();
        const auto frames = static_cast<int>(reader.read(fromFile.data(), blockSize));
        if (frames <= 0) break;
        total += frames;
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
    return total;
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
    const std::string& in = reader.name();
    if (reader.channels() == 1 && !job.monoToStereo) {
        throw Failure(in +
                      " is mono; varic renders stereo (add --mono-to-stereo to feed its one "
                      "channel to both inputs)");
    }
    if (reader.channels() != 2 && !(reader.channels() == 1 && job.monoToStereo)) {
        throw Failure(in + " has " + std::to_string(reader.channels()) +
                      " channels; varic renders stereo files only");
    }
    if (job.input != "-" && job.output != "-" && sameFile(job.input, job.output)) {
        throw Failure(job.output + " is the input file itself; choose another output");
    }
    if (job.output == "-" && ::isatty(STDOUT_FILENO) == 1) {
        throw Failure("standard output is a terminal; redirect it to a file or a pipe");
    }
    if (isDirectory(job.output)) throw Failure(job.output + " is a directory");
    // A file type that cannot be written is a mistake to report before any work.
    int format = chooseOutputFormat(reader.format(), job.output, job.sampleType, true);

    PluginBinary binary(job.plugin);
    HostSettings settings;
    settings.sampleRate = static_cast<float>(reader.sampleRate());
    settings.blockSize = job.blockSize;
    EffectInstance effect(binary, settings);
    effect.requireStereo();
    // Finer samples than a float's would be rounded by 32-bit processing.
    const bool fineInput = finerThanFloat(reader.format());
    settings.precision = job.precision
                             ? (*job.precision == 64 ? Precision::float64 : Precision::float32)
                         : fineInput && effect.canProcess(Precision::float64) ? Precision::float64
                                                                              : Precision::float32;
    effect.requireProcessing(settings.precision);
    effect.setSettings(settings);
    if (job.strength) effect.setStrength(*job.strength);
    for (const std::string& spec : job.params) effect.setParameterSpec(spec);

    RenderResult result;
    result.effectName = effect.displayName();
    const int strengthIndex = effect.findParameter("Strength");
    if (strengthIndex >= 0) result.strengthDisplay = effect.parameterDisplay(strengthIndex);

    // What the settings do at this rate, measured before any file is touched. An effect that
    // cannot be measured may still render.
    try {
        const Response response =
            measureResponse(binary, reader.sampleRate(), {EffectSetting{job.strength, job.params}});
        const std::string warning = responseWarning(response, response.curves.front());
        if (!warning.empty()) warn(warning);
    } catch (const Interrupted&) {
        throw;
    } catch (const Failure& e) {
        warn(std::string("the response could not be measured: ") + e.what());
    }

    OutputFile output(job.output);
    if (!output.seekable()) {
        format = chooseOutputFormat(reader.format(), job.output, job.sampleType, false);
    }
    note(in + ": " + describeFormat(reader.format()) + ", " + std::to_string(reader.sampleRate()) +
         " Hz; " + (settings.precision == Precision::float64 ? "64" : "32") + "-bit processing; " +
         (job.output == "-" ? std::string("standard output") : job.output) + ": " +
         describeFormat(format));
    SoundWriter writer(output, format, reader.sampleRate(), 2, reader.strings());
    long long frames = 0;
    {
        const std::string label =
            job.output == "-" ? in : std::filesystem::path(job.output).filename().string();
        const std::optional<sf_count_t> promised = reader.promisedFrames();
        ProgressBar progress(label, promised.value_or(0), reader.sampleRate());
        if (settings.precision == Precision::float64) {
            frames = renderFrames<double>(reader, writer, effect, job.blockSize, progress);
        } else {
            frames = renderFrames<float>(reader, writer, effect, job.blockSize, progress);
        }
        writer.close();
        output.commit();
        progress.finish();
        if (promised && *promised > frames) {
            warn(in + " is cut short: its header promises " + counted(*promised, "frame") +
                 ", the file holds " + std::to_string(frames) + "; all of them were rendered");
        }
    }

    const std::string out = job.output == "-" ? std::string("standard output") : job.output;
    result.seconds = static_cast<double>(frames) / reader.sampleRate();
    result.clippedSamples = writer.clippedSamples();
    if (writer.clippedSamples() > 0) {
        char peak[32];
        std::snprintf(peak, sizeof peak, "%+.2f dBFS", 20.0 * std::log10(writer.peak()));
        const bool one = writer.clippedSamples() == 1;
        warn(counted(writer.clippedSamples(), "sample") + " of " + out +
             " exceeded full scale (peak " + peak + ") and " + (one ? "was" : "were") +
             " clipped; add --float to keep them");
    }
    if (writer.nonFiniteSamples() > 0) {
        const bool one = writer.nonFiniteSamples() == 1;
        warn(counted(writer.nonFiniteSamples(), "sample") + " from the plug-in " +
             (one ? "was" : "were") + " not finite (NaN or infinite)" +
             (hasFullScale(format) ? "; written as 0 (NaN) or full scale (infinite)" : ""));
    }
    return result;
}

namespace {

// Several inputs into one folder, each under its own name. Everything that would stop the
// batch is checked before the first file; a file that fails is reported and the rest go on.
int renderBatch(const RenderJob& common, const std::vector<std::string>& inputs,
                const std::string& folder, bool force) {
    if (!isDirectory(folder)) throw Failure(folder + " is not a folder");
    std::vector<RenderJob> jobs;
    for (const std::string& input : inputs) {
        if (input == "-") throw UsageError("- (standard input) cannot go with --output-dir");
        RenderJob job = common;
        job.input = input;
        job.output =
            (std::filesystem::path(folder) / std::filesystem::path(input).filename()).string();
        for (const RenderJob& earlier : jobs) {
            if (earlier.output == job.output) {
                throw Failure(earlier.input + " and " + input + " would both be written to " +
                              job.output);
            }
        }
        if (sameFile(input, job.output)) {
            throw Failure(job.output + " is the input file itself; choose another --output-dir");
        }
        if (fileExists(job.output) && !force) {
            throw Failure(job.output + " exists; add --force to replace it");
        }
        jobs.push_back(job);
    }
    int failed = 0;
    for (const RenderJob& job : jobs) {
        try {
            render(job);
        } catch (const Interrupted&) {
            throw;
        } catch (const UsageError&) {
            throw;
        } catch (const Failure& e) {
            if (caughtSignal() != 0) throw;
            std::fprintf(stderr, "varic: %s\n", e.what());
            ++failed;
        }
    }
    if (failed > 0) {
        throw Failure(std::to_string(failed) + " of " +
                      counted(static_cast<long long>(jobs.size()), "file") + " failed");
    }
    return 0;
}

}  // namespace

int runRender(const std::vector<std::string>& words) {
    const Arguments args(
        "render", words,
        {"--plugin", "--strength", "--param", "--precision", "--block", "--output-dir"},
        {"--float", "--double", "--pcm16", "--pcm24", "--pcm32", "--mono-to-stereo", "--force"});
    const auto folder = args.value("--output-dir");
    if (folder) {
        args.expectOperands(1, static_cast<std::size_t>(-1), "one IN or more");
    } else {
        args.expectOperands(2, 2, "IN and OUT (or IN... --output-dir DIR)");
        if (args.flag("--force")) throw UsageError("--force goes with --output-dir");
    }
    RenderJob job;
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
            throw UsageError("--precision " + *precision + " is not valid: use 32 or 64");
        }
        job.precision = std::stoi(*precision);
    }
    if (const auto block = args.value("--block")) {
        job.blockSize = static_cast<int>(parseIntegerInRange(*block, "--block", 1, 1 << 20));
    }
    job.sampleType = sampleTypeOption(args);
    job.monoToStereo = args.flag("--mono-to-stereo");
    if (folder) return renderBatch(job, args.operands(), *folder, args.flag("--force"));
    job.input = args.operands()[0];
    job.output = args.operands()[1];
    render(job);
    return 0;
}

}  // namespace varic
