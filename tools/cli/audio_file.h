#pragma once
// Sound files through libsndfile: reading any format it reads, choosing the output format,
// and writing without silent damage (integer formats clip at full scale, and say so).

#include <sndfile.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quantiser.h"

namespace varic {

class OutputFile;

// Title, artist, album, comment, date and the like: libsndfile's SF_STR_* with their texts.
using SoundStrings = std::vector<std::pair<int, std::string>>;

class SoundReader {
public:
    // "-" reads standard input. Throws Failure, naming the file and the problem, when it
    // cannot be read as sound.
    explicit SoundReader(const std::string& path);
    ~SoundReader();
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    sf_count_t frames() const { return info_.frames; }
    int format() const { return info_.format; }
    const std::string& name() const { return name_; }
    SoundStrings strings() const;
    // The frame count the header promises, where it can be told: a file cut short holds fewer.
    // Nothing for a pipe, whose header may not know its length.
    std::optional<sf_count_t> promisedFrames() const;

    // Reads up to `frames` interleaved frames; fewer only at the end. Throws on a read error.
    sf_count_t read(float* interleaved, sf_count_t frames);
    sf_count_t read(double* interleaved, sf_count_t frames);

private:
    void checkRead(sf_count_t got, sf_count_t wanted);
    std::string name_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    bool seekable_ = true;
};

// The options that choose an output's sample type, as the command line spells them.
struct SampleTypeOption {
    const char* name;
    int type;  // libsndfile's SF_FORMAT_*
};
inline constexpr SampleTypeOption kSampleTypeOptions[] = {
    {"--pcm16", SF_FORMAT_PCM_16}, {"--pcm24", SF_FORMAT_PCM_24},  {"--pcm32", SF_FORMAT_PCM_32},
    {"--float", SF_FORMAT_FLOAT},  {"--double", SF_FORMAT_DOUBLE},
};

// The format for an output: the container that the output's extension names (the input's
// when it has none; for "-" WAV, or AU, which streams, when `seekable` is false), holding
// `sampleType` samples. With `sampleType` 0: the input's sample type where the container holds
// it, else the container's own codec (Vorbis for .ogg, Opus for .opus, MP3 for .mp3), else
// 16-bit from lossy input and 24-bit from lossless. Throws UsageError for an extension that
// names no container, and Failure when the container cannot hold the requested samples.
int chooseOutputFormat(int inputFormat, const std::string& outputPath, int sampleType,
                       bool seekable);
// "WAV (Microsoft), Signed 16 bit PCM".
std::string describeFormat(int format);
// True for sample types with a full scale (integer PCM and the codecs built on it).
bool hasFullScale(int format);
// True for sample types finer than a 32-bit float's 24 bits (32-bit integers, 64-bit floats).
bool finerThanFloat(int format);

class SoundWriter {
public:
    // Writes into `file`, whose owner commits it after close(). The strings are copied where
    // the format holds them. Integer samples are quantised here (see quantiser.h), with the
    // dither asked for where the format has 16 bits or fewer.
    SoundWriter(OutputFile& file, int format, int sampleRate, int channels,
                const SoundStrings& strings = {}, Dither dither = Dither::tpdf);
    ~SoundWriter();
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    // Writes interleaved frames. In a format with a full scale, samples beyond it are clipped
    // to it and counted; samples that are not finite are counted apart and, in such a format,
    // written as 0 (NaN) or full scale (infinities). The buffer is changed accordingly.
    // Integer formats get each sample rounded to the nearest step, or dithered and rounded.
    void write(float* interleaved, sf_count_t frames);
    void write(double* interleaved, sf_count_t frames);
    void close();  // throws when the file could not be finished

    long long clippedSamples() const { return clipped_; }
    long long nonFiniteSamples() const { return nonFinite_; }
    double peak() const { return peak_; }  // largest finite magnitude offered, before clipping

private:
    template <class Sample>
    void inspect(Sample* samples, std::size_t count);
    template <class Sample>
    sf_count_t writeIntegers(const Sample* interleaved, sf_count_t frames);
    void checkWrite(sf_count_t written, sf_count_t wanted);
    std::string path_;
    SNDFILE* file_ = nullptr;
    int channels_;
    bool fullScale_;
    int integerBits_;  // 0: libsndfile converts the samples itself
    Quantiser quantiser_;
    std::vector<std::int32_t> integers_;  // one block
    long long clipped_ = 0;
    long long nonFinite_ = 0;
    double peak_ = 0.0;
};

}  // namespace varic
