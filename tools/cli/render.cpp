// varic render: a sound file through a stereo effect, block by block, into a new file.

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "audio_file.h"
#include "binary_and_instance.h"
#include "commands.h"
#include "files.h"
#include "interrupts.h"
#include "plugin_location.h"
#include "response.h"
#include "stereo_buffer.h"

namespace varic {
namespace {

// A one-line progress bar on stderr, only when a person is watching (stderr is a terminal)
// and only for work that takes a while: it appears after a quarter of a second, shows the
// speed and the time left, ends at 100 %, and gives way to a one-line summary. A batch's
// workers share one: it counts seconds of audio, whatever the files' rates, and its calls
// may come from any thread.
class ProgressBar {
public:
    // `totalSeconds` of audio, or 0 when the length is not known (a pipe).
    ProgressBar(const std::string& label, double totalSeconds, const Messages& messages)
        : label_(label),
          total_(totalSeconds),
          terminal_(::isatty(STDERR_FILENO) == 1 && !messages.quiet()),
          verbose_(messages.verbose()),
          started_(Clock::now()),
          lastDrawn_(started_) {}
    ~ProgressBar() {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
    }

    void advance(double seconds) {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ += seconds;
        if (!terminal_) return;
        const auto now = Clock::now();
        if (now - started_ < std::chrono::milliseconds(250) ||
            (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100))) {
            return;
        }
        lastDrawn_ = now;
        draw();
    }

    // Whole lines of text, written in place of the bar, which comes back at the next advance.
    void print(const std::string& text) {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
    }

    // The finished work: the bar at 100 %, then the summary in its place.
    void finish() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (drawn_) {
            total_ = done_;
            draw();
        }
        clear();
        if (terminal_ || verbose_) {
            std::fprintf(stderr, "varic: %s: %s of audio in %s\n", label_.c_str(),
                         duration(done_).c_str(), speed().c_str());
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    double elapsed() const {
        return std::chrono::duration<double>(Clock::now() - started_).count();
    }
    std::string speed() const {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f s, %.0fx real time", elapsed(),
                      done_ / std::max(elapsed(), 1e-6));
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
        if (total_ <= 0.0) {
            std::fprintf(stderr, "\r\033[K%s  %s of audio, %s", label_.c_str(),
                         duration(done_).c_str(), speed().c_str());
        } else {
            const double part = std::min(1.0, done_ / total_);
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

    std::mutex mutex_;
    std::string label_;
    double total_;
    double done_ = 0.0;
    bool terminal_;
    bool verbose_;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

// Returns the number of frames rendered.
template <class Sample>
long long renderFrames(SoundReader& reader, SoundWriter& writer, Instance& effect, int blockSize,
                       ProgressBar& progress) {
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
        effect.processBlock(in.channels(), out.channels(), frames);
        for (int n = 0; n < frames; ++n) {
            toFile[2 * static_cast<std::size_t>(n)] = out.left[n];
            toFile[2 * static_cast<std::size_t>(n) + 1] = out.right[n];
        }
        writer.write(toFile.data(), frames);
        progress.advance(frames / static_cast<double>(reader.sampleRate()));
    }
    effect.stop();
    return total;
}

int sampleTypeOption(const Arguments& args) {
    int chosen = 0;
    std::string chosenName;
    for (const SampleTypeOption& option : kSampleTypeOptions) {
        if (!args.flag(option.name)) continue;
        if (chosen != 0)
            throw UsageError(chosenName + " and " + option.name + " cannot be combined");
        chosen = option.type;
        chosenName = option.name;
    }
    return chosen;
}

// Refuses, before any work, an input that cannot be rendered into the job's output.
void checkInput(const SoundReader& reader, const RenderJob& job) {
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
}

// Chooses the precision and gives the effect the job's settings; returns what it was told.
HostSettings setUpEffect(Instance& effect, const SoundReader& reader, const RenderJob& job,
                         HostSettings settings) {
    requireStereo(effect, job.plugin);
    // Finer samples than a float's would be rounded by 32-bit processing.
    const bool fineInput = finerThanFloat(reader.format());
    settings.precision = job.precision
                             ? (*job.precision == 64 ? Precision::float64 : Precision::float32)
                         : fineInput && effect.canProcess(Precision::float64) ? Precision::float64
                                                                              : Precision::float32;
    requireProcessing(effect, settings.precision, job.plugin);
    configure(effect, settings);
    if (job.strength) setStrength(effect, *job.strength, job.plugin);
    for (const std::string& spec : job.params) setParameterSpec(effect, spec, job.plugin);
    return settings;
}

// What the settings do at this rate, measured before any file is touched. An effect that
// cannot be measured may still render.
void warnAboutResponse(const PluginBinary& binary, int sampleRate, const RenderJob& job,
                       const Messages& messages) {
    try {
        const Response response =
            measure(binary, sampleRate, {EffectSetting{job.strength, job.params}}, messages);
        const std::string warning = responseWarning(response, response.curves.front());
        if (!warning.empty()) messages.warn(warning);
    } catch (const Interrupted&) {
        throw;
    } catch (const Failure& e) {
        messages.warn(std::string("the response could not be measured: ") + e.what());
    }
}

// "WAV (Microsoft), Signed 16 bit PCM, rounded to 16 bits with TPDF dither".
std::string describeOutput(int format, Dither dither) {
    const int bits = integerBits(format);
    std::string text = describeFormat(format);
    if (bits == 0) return text;
    text += ", rounded to " + std::to_string(bits) + " bits";
    if (dithers(bits)) text += dither == Dither::tpdf ? " with TPDF dither" : " without dither";
    return text;
}

void warnAboutSamples(const SoundWriter& writer, const std::string& out, int format,
                      const Messages& messages) {
    if (writer.clippedSamples() > 0) {
        char peak[32];
        std::snprintf(peak, sizeof peak, "%+.2f dBFS", 20.0 * std::log10(writer.peak()));
        const bool one = writer.clippedSamples() == 1;
        messages.warn(counted(writer.clippedSamples(), "sample") + " of " + out +
                      " exceeded full scale (peak " + peak + ") and " + (one ? "was" : "were") +
                      " clipped; add --float to keep them");
    }
    if (writer.nonFiniteSamples() > 0) {
        const bool one = writer.nonFiniteSamples() == 1;
        messages.warn(
            counted(writer.nonFiniteSamples(), "sample") + " from the plug-in " +
            (one ? "was" : "were") + " not finite (NaN or infinite)" +
            (hasFullScale(format) ? "; written as 0 (NaN) or full scale (infinite)" : ""));
    }
}

// The effect's name and its Strength as it shows it, for the demo's report.
RenderResult describeEffect(Instance& effect, const std::string& plugin) {
    RenderResult result;
    result.effectName = displayName(effect, plugin);
    const int strengthIndex = findParameter(effect, "Strength");
    if (strengthIndex >= 0) result.strengthDisplay = parameterDisplay(effect, strengthIndex);
    return result;
}

// Streams the reader through the set-up effect into the job's output, in `format` unless the
// output turns out to be a pipe; returns the frames rendered and the samples clipped. A batch
// passes its shared progress display; a single render shows its own.
std::pair<long long, long long> writeOutput(SoundReader& reader, Instance& effect,
                                            const RenderJob& job, Precision precision, int format,
                                            ProgressBar* batchProgress, const Messages& messages) {
    OutputFile output(job.output, messages);
    if (!output.seekable()) {
        format = chooseOutputFormat(reader.format(), job.output, job.sampleType, false);
    }
    const std::string& in = reader.name();
    const std::string out = job.output == "-" ? std::string("standard output") : job.output;
    messages.note(in + ": " + describeFormat(reader.format()) + ", " +
                  std::to_string(reader.sampleRate()) + " Hz; " +
                  vsthost::precisionName(precision) + " processing; " + out + ": " +
                  describeOutput(format, job.dither));
    SoundWriter writer(output, format, reader.sampleRate(), 2, reader.strings(), job.dither);
    const std::optional<sf_count_t> promised = reader.promisedFrames();
    std::optional<ProgressBar> ownProgress;
    if (batchProgress == nullptr) {
        const std::string label =
            job.output == "-" ? in : std::filesystem::path(job.output).filename().string();
        ownProgress.emplace(label, static_cast<double>(promised.value_or(0)) / reader.sampleRate(),
                            messages);
    }
    ProgressBar& progress = batchProgress != nullptr ? *batchProgress : *ownProgress;
    const long long frames = vsthost::withSampleType(precision, [&](auto zero) {
        return renderFrames<decltype(zero)>(reader, writer, effect, job.blockSize, progress);
    });
    writer.close();
    output.commit();
    if (ownProgress) ownProgress->finish();
    if (promised && *promised > frames) {
        messages.warn(in + " is cut short: its header promises " + counted(*promised, "frame") +
                      ", the file holds " + std::to_string(frames) + "; all of them were rendered");
    }
    warnAboutSamples(writer, out, format, messages);
    return {frames, writer.clippedSamples()};
}

// One file, from the checks before any work to the committed output. A batch passes the
// binary it loaded once for all its files (`shared`); a single file loads its own after the
// checks on its input and output.
RenderResult renderFile(const RenderJob& job, const PluginBinary* shared,
                        ProgressBar* batchProgress, const Messages& messages) {
    SoundReader reader(job.input);
    checkInput(reader, job);
    // A file type that cannot be written is a mistake to report before any work.
    const int format = chooseOutputFormat(reader.format(), job.output, job.sampleType, true);

    std::optional<PluginBinary> own;
    const PluginBinary& binary = shared != nullptr ? *shared : own.emplace(job.plugin);
    HostSettings settings;
    settings.sampleRate = static_cast<float>(reader.sampleRate());
    settings.blockSize = job.blockSize;
    const std::unique_ptr<Instance> instance = openEffect(binary, settings);
    Instance& effect = *instance;
    settings = setUpEffect(effect, reader, job, settings);
    RenderResult result = describeEffect(effect, job.plugin);
    warnAboutResponse(binary, reader.sampleRate(), job, messages);

    const auto [frames, clipped] =
        writeOutput(reader, effect, job, settings.precision, format, batchProgress, messages);
    result.seconds = static_cast<double>(frames) / reader.sampleRate();
    result.clippedSamples = clipped;
    return result;
}

// The files of a batch, rendered by one or more workers, each file by one worker with its
// own reader, instance and writer, streamed in blocks. A worker takes the next file in input
// order; each file's messages are held until those of every file before it are out, so that
// they read as a serial run's. A file that fails is reported and the rest go on; a signal or
// a wrong command line stops the batch (each worker's unfinished output removes itself).
class Batch {
public:
    Batch(std::vector<RenderJob> jobs, const PluginBinary& binary, ProgressBar& progress,
          const Messages& messages)
        : jobs_(std::move(jobs)),
          binary_(binary),
          progress_(progress),
          messages_(messages),
          held_(jobs_.size()) {}

    // One worker: renders files until none is left or the batch is stopped.
    void work() {
        for (;;) {
            if (stopped_.load()) return;
            const std::size_t index = next_++;
            if (index >= jobs_.size()) return;
            std::string messages;
            bool failed = false;
            std::exception_ptr fatal;
            try {
                renderFile(jobs_[index], &binary_, &progress_, messages_.capturedInto(messages));
            } catch (const UsageError&) {
                fatal = std::current_exception();
            } catch (const Failure& e) {
                // A failure that a signal caused (Interrupted too) stops everything.
                if (caughtSignal() != 0) {
                    fatal = std::current_exception();
                } else {
                    messages += messages_.program() + ": " + e.what() + "\n";
                    failed = true;
                }
            } catch (...) {
                fatal = std::current_exception();
            }
            finished(index, std::move(messages), failed, fatal);
        }
    }

    // After every worker has returned: the messages still held, then the exception that
    // stopped the batch, if any. Returns the number of files that failed.
    int finish() {
        for (std::optional<std::string>& messages : held_) {
            if (messages && !messages->empty()) progress_.print(*messages);
            messages.reset();
        }
        if (fatal_) std::rethrow_exception(fatal_);
        return failed_;
    }

private:
    void finished(std::size_t index, std::string messages, bool failed, std::exception_ptr fatal) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (failed) ++failed_;
        if (fatal && !fatal_) {
            fatal_ = fatal;
            stopped_.store(true);
        }
        held_[index] = std::move(messages);
        for (; printed_ < held_.size() && held_[printed_]; ++printed_) {
            if (!held_[printed_]->empty()) progress_.print(*held_[printed_]);
            held_[printed_].reset();
        }
    }

    const std::vector<RenderJob> jobs_;
    const PluginBinary& binary_;
    ProgressBar& progress_;
    const Messages& messages_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;                              // guards what follows
    std::vector<std::optional<std::string>> held_;  // finished files' messages, not yet out
    std::size_t printed_ = 0;                       // files whose messages are out
    int failed_ = 0;
    std::exception_ptr fatal_;
};

// The batch's jobs, each output checked against the others and against what exists, before
// anything is written. A folder that does not exist yet is made once the checks pass.
std::vector<RenderJob> batchJobs(const RenderJob& common, const std::vector<std::string>& inputs,
                                 const std::string& folder, bool force) {
    const bool folderExists = fileExists(folder);
    if (folderExists && !isDirectory(folder)) throw Failure(folder + " is not a folder");
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
    std::error_code error;
    if (!folderExists && !std::filesystem::create_directories(folder, error)) {
        throw Failure("cannot make the folder " + folder + ": " + error.message());
    }
    return jobs;
}

// Seconds of audio in the files that can be read (the others fail in their turn).
double batchSeconds(const std::vector<RenderJob>& jobs) {
    double seconds = 0.0;
    for (const RenderJob& job : jobs) {
        stopIfInterrupted();
        try {
            const SoundReader reader(job.input);
            seconds +=
                static_cast<double>(reader.promisedFrames().value_or(0)) / reader.sampleRate();
        } catch (const Interrupted&) {
            throw;
        } catch (const Failure&) {
            continue;  // the file fails in its turn, with its reason
        }
    }
    return seconds;
}

// Several inputs into one folder, each under its own name, on up to `workers` threads.
int renderBatch(const RenderJob& common, const std::vector<std::string>& inputs,
                const std::string& folder, bool force, int workers, const Messages& messages) {
    std::vector<RenderJob> jobs = batchJobs(common, inputs, folder, force);
    const std::size_t files = jobs.size();
    const std::size_t threads = std::min(files, static_cast<std::size_t>(workers));
    messages.note("rendering " + counted(static_cast<long long>(files), "file") + " on " +
                  counted(static_cast<long long>(threads), "thread"));
    // One load for the batch: the workers make their instances from it, and the loader is not
    // entered from several threads at once.
    const PluginBinary binary(common.plugin);
    ProgressBar progress(counted(static_cast<long long>(files), "file"), batchSeconds(jobs),
                         messages);
    Batch batch(std::move(jobs), binary, progress, messages);
    {
        std::vector<std::thread> helpers;
        for (std::size_t t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back([&batch] { batch.work(); });
            } catch (const std::system_error&) {
                break;  // no more threads to be had: the ones running share the files
            }
        }
        batch.work();
        for (std::thread& helper : helpers) helper.join();
    }
    const int failed = batch.finish();
    progress.finish();
    if (failed > 0) {
        throw Failure(std::to_string(failed) + " of " +
                      counted(static_cast<long long>(files), "file") + " failed");
    }
    return 0;
}

// The processors this process may run on.
int availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return CPU_COUNT(&set);
    }
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

Dither ditherOption(const Arguments& args) {
    const std::string dither = args.value("--dither").value_or("tpdf");
    if (dither == "tpdf") return Dither::tpdf;
    if (dither == "none") return Dither::none;
    throw UsageError("--dither " + dither + " is not valid: use none or tpdf");
}

// The settings every file of the command gets.
RenderJob jobOptions(const Arguments& args) {
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
        job.precision = *precision == "64" ? 64 : 32;
    }
    if (const auto block = args.value("--block")) {
        job.blockSize = static_cast<int>(parseIntegerInRange(*block, "--block", 1, 1 << 20));
    }
    job.sampleType = sampleTypeOption(args);
    job.monoToStereo = args.flag("--mono-to-stereo");
    job.dither = ditherOption(args);
    return job;
}

// "--pcm16 --pcm24 ...": the options that choose OUT's sample type, for the help.
std::string sampleTypeSpellings() {
    std::string names;
    for (const SampleTypeOption& option : kSampleTypeOptions)
        names += (names.empty() ? "" : " ") + std::string(option.name);
    return names;
}

}  // namespace

RenderResult render(const RenderJob& job, const Messages& messages) {
    return renderFile(job, nullptr, nullptr, messages);
}

const CommandHelp& renderHelp() {
    static const CommandHelp help{
        "render",
        {"[--plugin P] IN OUT [OPTIONS]",
         "[--plugin P] IN... --output-dir DIR [--force] [--jobs N] [OPTIONS]"},
        "Runs IN (any format libsndfile reads: WAV, FLAC, AIFF, OGG, MP3, ...; - for standard "
        "input) through the effect at IN's sample rate, in blocks, into OUT (- for standard "
        "output: WAV, or AU when it is a pipe). OUT gets IN's format and sample type unless its "
        "extension names another container (then a sample type that container holds; an "
        "extension varic does not know is an error) or an option names another sample type. "
        "Title, artist, album, date and the like are copied where both formats hold them.\n\n"
        "Before processing, the effect's response at IN's sample rate is measured, and a "
        "warning says when the effect would change nothing, or boost some frequency by more "
        "than 6 dB.\n\n"
        "Integer samples (8 to 32 bits, in every container) are rounded to the nearest step "
        "and clipped at full scale, and the clipped samples are counted; samples that are not "
        "finite are reported apart (written as 0 for NaN, full scale for infinities). At 16 "
        "bits and fewer a sample not already exact in OUT's type gets triangular (TPDF) dither "
        "first, the same noise on every run, so a render is reproducible and a file that comes "
        "through unchanged stays bit for bit the same. Companded and lossy codecs (mu-law, "
        "A-law, ADPCM, GSM, Vorbis, Opus, MP3) convert the samples themselves.",
        {
            {"--plugin", "P", "the plug-in to render through"},
            {"--strength", "S", "the parameter named Strength, 0 to 100"},
            {"--param", "N=VALUE",
             "parameter N (an index or a name) to the host value VALUE, 0 to 1"},
            {"--precision", "32|64",
             "the processing precision; by default 64-bit when IN's samples are finer than "
             "32-bit floats (32-bit integers, 64-bit floats) and the effect offers it"},
            {"--block", "FRAMES", "frames per processing call (default 4096)"},
            {sampleTypeSpellings(), "", "the sample type of OUT"},
            {"--dither", "none|tpdf",
             "for 8- and 16-bit OUT: plain rounding, or TPDF dither (the default); no effect on "
             "24- and 32-bit integers and floating point"},
            {"--mono-to-stereo", "",
             "feed a mono IN's channel to both inputs (a mono IN is "
             "refused otherwise)"},
            {"--output-dir", "DIR",
             "several INs at once, each into DIR (made if it does not exist) under its own "
             "name; an output that exists already is an error, checked before anything is "
             "written. A file that fails is reported and the others go on"},
            {"--force", "", "with --output-dir: replace outputs that exist already"},
            {"--jobs", "N",
             "with --output-dir: render N files at a time, each on its own thread with its own "
             "instance of the effect (default: one per processor core; 1 renders them one "
             "after the other). The outputs are the same, byte for byte, whatever N; one "
             "progress bar covers the batch, and each file's messages come whole, in the order "
             "of the inputs"},
        }};
    return help;
}

int runRender(const std::vector<std::string>& words, Verbosity verbosity) {
    const Arguments args(renderHelp(), words, verbosity);
    const Messages messages("varic", args.verbosity());
    const auto folder = args.value("--output-dir");
    if (folder) {
        args.expectOperands(1, static_cast<std::size_t>(-1), "one IN or more");
    } else {
        args.expectOperands(2, 2, "IN and OUT (or IN... --output-dir DIR)");
        if (args.flag("--force")) throw UsageError("--force goes with --output-dir");
        if (args.value("--jobs")) throw UsageError("--jobs goes with --output-dir");
    }
    RenderJob job = jobOptions(args);
    if (folder) {
        const auto jobs = args.value("--jobs");
        const int workers = jobs ? static_cast<int>(parseIntegerInRange(*jobs, "--jobs", 1, 1024))
                                 : availableCores();
        return renderBatch(job, args.operands(), *folder, args.flag("--force"), workers, messages);
    }
    job.input = args.operands()[0];
    job.output = args.operands()[1];
    render(job, messages);
    return 0;
}

}  // namespace varic
