#include "tools/cli/audio_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "tools/cli/cli_support.h"

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

bool canHold(int format) {
    SF_INFO probe{};
    probe.samplerate = 44100;
    probe.channels = 2;
    probe.format = format;
    return sf_format_check(&probe) != 0;
}

}  // namespace

// ---- Reading ---------------------------------------------------------------------------------

SoundReader::SoundReader(const std::string& path) : path_(path) {
    if (!fileExists(path)) throw Failure(path + ": no such file");
    if (isDirectory(path)) throw Failure(path + " is a directory, not a sound file");
    // Open it ourselves first: the reason it cannot be read is then the system's, not a guess.
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor < 0) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    file_ = sf_open_fd(descriptor, SFM_READ, &info_, SF_TRUE);
    if (file_ == nullptr) {
        throw Failure(path + ": not a sound file in a format varic reads (" + sf_strerror(nullptr) +
                      ")");
    }
}

SoundReader::~SoundReader() {
    if (file_ != nullptr) sf_close(file_);
}

void SoundReader::checkRead(sf_count_t got, sf_count_t wanted) {
    if (got < wanted && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw Failure("cannot read " + path_ + ": " + sf_strerror(file_));
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

int chooseOutputFormat(int inputFormat, const std::string& outputPath, int sampleType) {
    const std::string extension = extensionOf(outputPath);
    int container = inputFormat & SF_FORMAT_TYPEMASK;
    if (!extension.empty() && !sameExtension(container, extension)) {
        const int named = containerForExtension(extension);
        if (named != 0) container = named;
    }
    const int samples = sampleType != 0 ? sampleType : (inputFormat & SF_FORMAT_SUBMASK);
    const int endian =
        container == (inputFormat & SF_FORMAT_TYPEMASK) ? (inputFormat & SF_FORMAT_ENDMASK) : 0;
    const int format = container | samples | endian;
    if (canHold(format)) return format;
    if (canHold(container | samples)) return container | samples;

    static const std::pair<const char*, int> choices[] = {
        {"--pcm16", SF_FORMAT_PCM_16},  {"--pcm24", SF_FORMAT_PCM_24},
        {"--pcm32", SF_FORMAT_PCM_32},  {"--float", SF_FORMAT_FLOAT},
        {"--double", SF_FORMAT_DOUBLE},
    };
    std::string offered;
    for (const auto& [option, type] : choices) {
        if (canHold(container | type))
            offered += (offered.empty() ? "" : ", ") + std::string(option);
    }
    std::string message = outputPath + ": a " + containerName(container) + " file cannot hold " +
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

// ---- Writing ---------------------------------------------------------------------------------

SoundWriter::SoundWriter(PendingFile& file, int format, int sampleRate, int channels)
    : path_(file.finalPath()), channels_(channels), fullScale_(hasFullScale(format)) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    file_ = sf_open_fd(file.takeDescriptor(), SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        throw Failure("cannot write " + path_ + ": " + sf_strerror(nullptr));
    }
    // Without this, libsndfile wraps a sample beyond full scale around to the other sign.
    if (fullScale_) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
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
            if (fullScale_) {
                samples[i] = std::isnan(x) ? Sample(0) : (x > 0 ? Sample(1) : Sample(-1));
                if (!std::isnan(x)) ++clipped_;
            }
            continue;
        }
        const double magnitude = std::fabs(static_cast<double>(x));
        if (magnitude > peak_) peak_ = magnitude;
        if (fullScale_ && magnitude > 1.0) ++clipped_;  // clipped by libsndfile
    }
}

void SoundWriter::checkWrite(sf_count_t written, sf_count_t wanted) {
    if (written != wanted) throw Failure("cannot write " + path_ + ": " + sf_strerror(file_));
}

void SoundWriter::write(float* interleaved, sf_count_t frames) {
    inspect(interleaved, static_cast<std::size_t>(frames) * channels_);
    checkWrite(sf_writef_float(file_, interleaved, frames), frames);
}

void SoundWriter::write(double* interleaved, sf_count_t frames) {
    inspect(interleaved, static_cast<std::size_t>(frames) * channels_);
    checkWrite(sf_writef_double(file_, interleaved, frames), frames);
}

void SoundWriter::close() {
    SNDFILE* const file = file_;
    file_ = nullptr;
    const int status = sf_close(file);
    if (status != 0) throw Failure("cannot finish " + path_ + ": " + sf_error_number(status));
}

}  // namespace varic
