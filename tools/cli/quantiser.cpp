#include "quantiser.h"

#include <sndfile.h>

#include <cmath>

namespace varic {
namespace {

// A bijection on 32-bit words that maps only 0 to 0: distinct channels get unrelated generator
// states, never all zero.
std::uint32_t lowbias32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

std::uint32_t rotateLeft(std::uint32_t x, int k) {
    return (x << k) | (x >> (32 - k));
}

}  // namespace

int integerBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return 8;
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_ALAC_16: return 16;
        case SF_FORMAT_ALAC_20: return 20;
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_ALAC_24: return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32: return 32;
        default: return 0;
    }
}

DitherNoise::DitherNoise(std::uint32_t channel) {
    for (std::uint32_t i = 0; i < 4; ++i) state_[i] = lowbias32(4 * channel + i + 1);
}

std::uint32_t DitherNoise::uniformBits() {
    std::uint32_t* const s = state_;
    const std::uint32_t result = s[0] + s[3];
    const std::uint32_t t = s[1] << 9;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotateLeft(s[3], 11);
    return result;
}

double DitherNoise::next() {
    // xoshiro128+'s low bits are its weakest: only the top 24 are used.
    constexpr double kStep = 1.0 / 16777216.0;
    const double first = static_cast<double>(uniformBits() >> 8) * kStep - 0.5;
    const double second = static_cast<double>(uniformBits() >> 8) * kStep - 0.5;
    return first + second;
}

Quantiser::Quantiser(int bits, Dither dither, int channels)
    : bits_(bits), dithered_(dither == Dither::tpdf && dithers(bits)) {
    for (int c = 0; c < channels; ++c) noise_.emplace_back(static_cast<std::uint32_t>(c));
}

template <class Sample>
void Quantiser::run(const Sample* samples, std::int32_t* integers, std::size_t frames) {
    // Scaling by a power of two is exact, in double for every sample type.
    const double scale = std::ldexp(1.0, bits_ - 1);
    const double high = scale - 1.0;
    const double low = -scale;
    const int shift = 32 - bits_;
    const std::size_t channels = noise_.size();
    for (std::size_t i = 0; i < frames * channels;) {
        for (DitherNoise& noise : noise_) {
            const double dither = dithered_ ? noise.next() : 0.0;
            const double scaled = static_cast<double>(samples[i]) * scale;
            std::int64_t value = 0;  // NaN
            if (!std::isnan(scaled)) {
                double rounded = std::nearbyint(scaled);
                const bool exact = rounded == scaled && scaled >= low && scaled <= high;
                if (dithered_ && !exact) rounded = std::nearbyint(scaled + dither);
                // Compared as doubles first: the conversion is defined only within range.
                value = rounded >= high  ? static_cast<std::int64_t>(high)
                        : rounded <= low ? static_cast<std::int64_t>(low)
                                         : static_cast<std::int64_t>(rounded);
            }
            integers[i++] = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << shift);
        }
    }
}

void Quantiser::convert(const float* samples, std::int32_t* integers, std::size_t frames) {
    run(samples, integers, frames);
}

void Quantiser::convert(const double* samples, std::int32_t* integers, std::size_t frames) {
    run(samples, integers, frames);
}

}  // namespace varic
