#pragma once
// Integer samples for sound files: rounded to the nearest step, clipped at full scale, and
// with triangular (TPDF) dither at 16 bits and fewer. varic quantises itself instead of
// leaving it to libsndfile, whose conversions from floating point differ by container (its
// clipping conversions for WAV and AIFF truncate, FLAC's rounds); libsndfile writes the
// integers it is given exactly, by shifts, in every linear PCM container.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varic {

enum class Dither { none, tpdf };

// The bits of the integers a format's samples are written from: 8 to 32 for linear PCM and
// ALAC; 0 for floating point and for the codecs that libsndfile converts itself (mu-law,
// A-law, ADPCM, GSM, Vorbis, Opus, MP3).
int integerBits(int format);

// Whether samples of `bits` bits get dither when it is asked for: 16 bits and fewer, where
// rounding's error is audible as distortion on quiet material.
inline bool dithers(int bits) {
    return bits > 0 && bits <= 16;
}

// The dither's noise: per channel a xoshiro128+ generator whose four state words are the
// "lowbias32" hash of 4 x channel + 1 to 4, the same for every file, so that a render gives
// the same bytes every time and in any order of a batch. Each sample takes two numbers, used
// or not; the top 24 bits of each give a uniform value in [-0.5, 0.5), and their sum is the
// dither in steps of the output (triangular, from -1 to 1).
class DitherNoise {
public:
    explicit DitherNoise(std::uint32_t channel);
    double next();

private:
    std::uint32_t uniformBits();
    std::uint32_t state_[4];
};

// Converts interleaved samples of a full scale of 1.0 into integers of `bits` bits for
// libsndfile's int interface (in the top bits of an int32). A sample x becomes
// round(x * 2^(bits-1)) clipped to the integer range: +1.0 gives the largest integer, one
// step below. With dither, a value that is not already an integer in range gets the noise
// added before rounding; one that is (the samples of an input of the same or fewer bits
// that the effect left alone, digital silence) stays as it is. NaN gives 0 and infinities
// full scale.
class Quantiser {
public:
    Quantiser(int bits, Dither dither, int channels);
    void convert(const float* samples, std::int32_t* integers, std::size_t frames);
    void convert(const double* samples, std::int32_t* integers, std::size_t frames);

private:
    template <class Sample>
    void run(const Sample* samples, std::int32_t* integers, std::size_t frames);
    int bits_;
    bool dithered_;
    std::vector<DitherNoise> noise_;  // one per channel
};

}  // namespace varic
