#include "audio_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "command_line.h"
#include "files.h"

namespace varic {
namespace {

std::string formatInfoName(int format, int command) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, command, &info, sizeof info) != 0 || info.name == nullptr) {
        return "format 0x" + [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(format));
            return std::string(hex);
        }();
    }
    return info.name;
}

std::string containerName(int format) {
    return formatInfoName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO);
}

std::string sampleTypeName(int format) {
    return formatInfoName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

// The containers libsndfile writes, by the extension it gives them, plus common spellings.
int containerForExtension(const std::string& extension) {
    static const std::pair<const char*, int> aliases[] = {
        {"aif", SF_FORMAT_AIFF}, {"aifc", SF_FORMAT_AIFF}, {"wave", SF_FORMAT_WAV},
        {"ogg", SF_FORMAT_OGG},  {"opus", SF_FORMAT_OGG},  {"mp3", SF_FORMAT_MPEG},
    };
    for (const auto& [name, container] : aliases) {
        if (extension == name) return container;
    }
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        if (info.extension != nullptr && extension == info.extension) return info.format;
    }
    return 0;
}

bool sameExtension(int container, const std::string& extension) {
    SF_FORMAT_INFO info{};
    info.format = container;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0) return false;
    return (info.extension != nullptr && extension == info.extension) ||
           containerForExtension(extension) == (container & SF_FORMAT_TYPEMASK);
}

// libsndfile keeps the error of a failed open in one global: files are opened one at a time,
// so that each reads its own reason (a batch opens files on several threads).
std::mutex opening;

bool canHold(int format) {
    SF_INFO probe{};
    probe.samplerate = 44100;
    probe.channels = 2;
    probe.format = format;
    return sf_format_check(&probe) != 0;
}

}  // namespace

// ---- Reading ---------------------------------------------------------------------------------

SoundReader::SoundReader(const std::string& path) : name_(path == "-" ? "standard input" : path) {
    int descriptor = STDIN_FILENO;
    if (path == "-") {
        if (::isatty(STDIN_FILENO) == 1) {
            throw Failure("standard input is a terminal; pipe a sound file into varic or name one");
        }
    } else {
        if (!fileExists(path)) throw Failure(path + ": no such file");
        if (isDirectory(path)) throw Failure(path + " is a directory, not a sound file");
        // Open it ourselves first: the reason it cannot be read is then the system's, not a
        // guess.
        descriptor = ::open(path.c_str(), O_RDONLY);
        if (descriptor < 0) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    }
    seekable_ = ::lseek(descriptor, 0, SEEK_CUR) >= 0;
    const std::lock_guard<std::mutex> lock(opening);
    file_ = sf_open_fd(descriptor, SFM_READ, &info_, path == "-" ? SF_FALSE : SF_TRUE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        throw Failure(name_ + ": not a sound file in a format varic reads" +
                      (seekable_ ? " (" + reason + ")"
                                 : " from a pipe (" + reason +
                                       "); WAV, AU and OGG can be piped, give FLAC and the "
                                       "others by file name"));
    }
}

SoundReader::~SoundReader() {
    if (file_ != nullptr) sf_close(file_);
}

SoundStrings SoundReader::strings() const {
    SoundStrings found;
    for (int type = SF_STR_FIRST; type <= SF_STR_LAST; ++type) {
        const char* text = sf_get_string(file_, type);
        if (text != nullptr && *text != '\0') found.emplace_back(type, text);
    }
    return found;
}

std::optional<sf_count_t> SoundReader::promisedFrames() const {
    if (!seekable_) return std::nullopt;
    // For WAV and AIFF, libsndfile trims a data chunk longer than the file and only logs it
    // ("data : 529200 (should be 300000)"); other formats keep the header's count in frames.
    static const std::pair<int, int> bytesPerSample[] = {
        {SF_FORMAT_PCM_S8, 1}, {SF_FORMAT_PCM_U8, 1}, {SF_FORMAT_PCM_16, 2},
        {SF_FORMAT_PCM_24, 3}, {SF_FORMAT_PCM_32, 4}, {SF_FORMAT_FLOAT, 4},
        {SF_FORMAT_DOUBLE, 8}, {SF_FORMAT_ULAW, 1},   {SF_FORMAT_ALAW, 1},
    };
    int sampleBytes = 0;
    for (const auto& [type, bytes] : bytesPerSample) {
        if ((info_.format & SF_FORMAT_SUBMASK) == type) sampleBytes = bytes;
    }
    std::vector<char> log(16384, '\0');
    sf_command(file_, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()) - 1);
    std::istringstream lines(log.data());
    std::string line;
    while (sampleBytes > 0 && std::getline(lines, line)) {
        char chunk[8] = {};
        long long claimed = 0;
        long long actual = 0;
        if (std::sscanf(line.c_str(), " %4s : %lld (should be %lld)", chunk, &claimed, &actual) ==
                3 &&
            (std::strcmp(chunk, "data") == 0 || std::strcmp(chunk, "SSND") == 0) &&
            claimed > actual) {
            return info_.frames + (claimed - actual) / (sampleBytes * info_.channels);
        }
    }
    return info_.frames;
}

void SoundReader::checkRead(sf_count_t got, sf_count_t wanted) {
    if (got < wanted && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw Failure("cannot read " + name_ + ": " + sf_strerror(file_));
    }
}

sf_count_t SoundReader::read(float* interleaved, sf_count_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    checkRead(got, frames);
    return got;
}

sf_count_t SoundReader::read(double* interleaved, sf_count_t frames) {
    const sf_count_t got = sf_readf_double(file_, interleaved, frames);
    checkRead(got, frames);
    return got;
}

// ---- Formats ---------------------------------------------------------------------------------

namespace {

// The samples a container is written with when the input's do not fit and none were asked
// for: its own codec, else 16-bit from lossy input, else the finest integer it holds.
int defaultSampleType(int container, const std::string& extension, int inputFormat) {
    if (extension == "opus") return SF_FORMAT_OPUS;
    if (container == SF_FORMAT_OGG) return SF_FORMAT_VORBIS;
    if (container == SF_FORMAT_MPEG) return SF_FORMAT_MPEG_LAYER_III;
    const int input = inputFormat & SF_FORMAT_SUBMASK;
    const bool lossless = (input >= SF_FORMAT_PCM_S8 && input <= SF_FORMAT_DOUBLE) ||
                          (input >= SF_FORMAT_ALAC_16 && input <= SF_FORMAT_ALAC_32);
    const int order[] = {lossless ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16,
                         lossless ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24, SF_FORMAT_FLOAT,
                         SF_FORMAT_PCM_U8, SF_FORMAT_PCM_S8};
    for (const int type : order) {
        if (canHold(container | type)) return type;
    }
    return input;
}

}  // namespace

int chooseOutputFormat(int inputFormat, const std::string& outputPath, int sampleType,
                       bool seekable) {
    const int inputContainer = inputFormat & SF_FORMAT_TYPEMASK;
    const std::string extension = outputPath == "-" ? "" : extensionOf(outputPath);
    int container = inputContainer;
    if (outputPath == "-") {
        container = seekable ? SF_FORMAT_WAV : SF_FORMAT_AU;
    } else if (!extension.empty() && !sameExtension(container, extension)) {
        container = containerForExtension(extension);
        if (container == 0) {
            throw UsageError(outputPath + ": varic does not know the file type ." + extension +
                             " (try .wav, .flac, .aiff, .ogg, .opus, .mp3, .au)");
        }
    }
    int samples = sampleType;
    if (samples == 0) {
        const int input = inputFormat & SF_FORMAT_SUBMASK;
        const bool opusNamed = extension == "opus" && input != SF_FORMAT_OPUS;
        samples = canHold(container | input) && !opusNamed
                      ? input
                      : defaultSampleType(container, extension, inputFormat);
    }
    const int endian = container == inputContainer ? (inputFormat & SF_FORMAT_ENDMASK) : 0;
    const int format = container | samples | endian;
    if (canHold(format)) return format;
    if (canHold(container | samples)) return container | samples;

    std::string offered;
    for (const SampleTypeOption& option : kSampleTypeOptions) {
        if (canHold(container | option.type))
            offered += (offered.empty() ? "" : ", ") + std::string(option.name);
    }
    std::string message = (outputPath == "-" ? std::string("standard output") : outputPath) + ": " +
                          containerName(container) + " files cannot hold " +
                          sampleTypeName(samples) + " samples";
    message += offered.empty() ? "; choose another file type" : "; choose one of " + offered;
    throw Failure(message);
}

std::string describeFormat(int format) {
    return containerName(format) + ", " + sampleTypeName(format);
}

bool hasFullScale(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS: return false;
        default: return true;
    }
}

bool finerThanFloat(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_ALAC_32: return true;
        default: return false;
    }
}

// ---- Writing ---------------------------------------------------------------------------------

SoundWriter::SoundWriter(OutputFile& file, int format, int sampleRate, int channels,
                         const SoundStrings& strings, Dither dither)
    : path_(file.name() == "-" ? "standard output" : file.name()),
      channels_(channels),
      fullScale_(hasFullScale(format)),
      integerBits_(integerBits(format)),
      quantiser_(integerBits_, dither, channels) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    const std::lock_guard<std::mutex> lock(opening);
    file_ = sf_open_fd(file.takeDescriptor(), SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        throw Failure("cannot write " + path_ + ": " +
                      (file.seekable()
                           ? reason
                           : containerName(format) + " cannot be written to a pipe; AU (.au) can"));
    }
    // Without this, libsndfile wraps a sample beyond full scale around to the other sign (in
    // the codecs it converts itself).
    if (fullScale_) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The PEAK chunk of floating-point WAV, W64 and RF64 files carries the time it was
    // written: without it the same render gives the same bytes, whenever it runs.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    // Before any audio: some formats write their strings into the header. A string the
    // format cannot hold is left out.
    for (const auto& [type, text] : strings) sf_set_string(file_, type, text.c_str());
}

SoundWriter::~SoundWriter() {
    if (file_ != nullptr) sf_close(file_);
}

template <class Sample>
void SoundWriter::inspect(Sample* samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Sample x = samples[i];
        if (!std::isfinite(x)) {
            ++nonFinite_;
            if (fullScale_)
                samples[i] = std::isnan(x) ? Sample(0) : (x > 0 ? Sample(1) : Sample(-1));
            continue;
        }
        const double magnitude = std::fabs(static_cast<double>(x));
        if (magnitude > peak_) peak_ = magnitude;
        if (fullScale_ && magnitude > 1.0) ++clipped_;  // clipped where it is converted
    }
}

void SoundWriter::checkWrite(sf_count_t written, sf_count_t wanted) {
    if (written != wanted) throw Failure("cannot write " + path_ + ": " + sf_strerror(file_));
}

template <class Sample>
sf_count_t SoundWriter::writeIntegers(const Sample* interleaved, sf_count_t frames) {
    integers_.resize(static_cast<std::size_t>(frames) * channels_);
    quantiser_.convert(interleaved, integers_.data(), static_cast<std::size_t>(frames));
    return sf_writef_int(file_, integers_.data(), frames);
}

void SoundWriter::write(float* interleaved, sf_count_t frames) {
    inspect(interleaved, static_cast<std::size_t>(frames) * channels_);
    checkWrite(integerBits_ > 0 ? writeIntegers(interleaved, frames)
                                : sf_writef_float(file_, interleaved, frames),
               frames);
}

void SoundWriter::write(double* interleaved, sf_count_t frames) {
    inspect(interleaved, static_cast<std::size_t>(frames) * channels_);
    checkWrite(integerBits_ > 0 ? writeIntegers(interleaved, frames)
                                : sf_writef_double(file_, interleaved, frames),
               frames);
}

void SoundWriter::close() {
    SNDFILE* const file = file_;
    file_ = nullptr;
    const int status = sf_close(file);
    if (status != 0) throw Failure("cannot finish " + path_ + ": " + sf_error_number(status));
}

}  // namespace varic
