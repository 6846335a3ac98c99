#pragma once
// Sound files through libsndfile: reading any format it reads, choosing the output format,
// and writing without silent damage (integer formats clip at full scale, and say so).

#include <sndfile.h>

#include <string>

namespace varic {

class PendingFile;

class SoundReader {
public:
    // Throws Failure, naming the file and the problem, when it cannot be read as sound.
    explicit SoundReader(const std::string& path);
    ~SoundReader();
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    sf_count_t frames() const { return info_.frames; }
    int format() const { return info_.format; }

    // Reads up to `frames` interleaved frames; fewer only at the end. Throws on a read error.
    sf_count_t read(float* interleaved, sf_count_t frames);
    sf_count_t read(double* interleaved, sf_count_t frames);

private:
    void checkRead(sf_count_t got, sf_count_t wanted);
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

// The format for an output file: the container that the output's extension names (the
// input's when the extension names none or the same), holding `sampleType` samples, or the
// input's sample type when `sampleType` is 0. Throws when the container cannot hold them.
int chooseOutputFormat(int inputFormat, const std::string& outputPath, int sampleType);
// "WAV (Microsoft), Signed 16 bit PCM".
std::string describeFormat(int format);
// True for sample types with a full scale (integer PCM and the codecs built on it).
bool hasFullScale(int format);

class SoundWriter {
public:
    // Writes into the temporary file of `file`; the caller commits it after close().
    SoundWriter(PendingFile& file, int format, int sampleRate, int channels);
    ~SoundWriter();
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    // Writes interleaved frames. In a format with a full scale, samples beyond it are clipped
    // to it and counted, and samples that are not numbers are written as 0 and counted; the
    // buffer is changed accordingly.
    void write(float* interleaved, sf_count_t frames);
    void write(double* interleaved, sf_count_t frames);
    void close();  // throws when the file could not be finished

    long long clippedSamples() const { return clipped_; }
    long long nonFiniteSamples() const { return nonFinite_; }
    double peak() const { return peak_; }  // largest magnitude offered, before clipping

private:
    template <class Sample>
    void inspect(Sample* samples, std::size_t count);
    void checkWrite(sf_count_t written, sf_count_t wanted);
    std::string path_;
    SNDFILE* file_ = nullptr;
    int channels_;
    bool fullScale_;
    long long clipped_ = 0;
    long long nonFinite_ = 0;
    double peak_ = 0.0;
};

}  // namespace varic
