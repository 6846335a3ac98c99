// Value-to-text formatters of AudioEffect. Every one renders its whole text first and then
// places it: cut to maxLen characters, and every byte after it up to and including
// text[maxLen] set to NUL, so a host's fixed-size buffer never keeps stale characters. Nothing
// beyond text[maxLen] is written.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio_effect.h"

namespace {

// Room for the longest text any formatter renders ("-2147483648" and its NUL).
constexpr int kRenderSize = 16;

// The number of characters float2string spends: sign, integer digits, point and fraction.
constexpr int kFloatBudget = 8;

void place(char* text, VstInt32 maxLen, const char* rendered) {
    if (maxLen < 0) return;  // outside the contract: nothing is written
    // Sizes, not int32 indices: the bytes run to text[maxLen], one past 2147483647 at most.
    const std::size_t last = static_cast<std::size_t>(maxLen);
    std::size_t length = 0;
    while (length < last && rendered[length] != '\0') {
        text[length] = rendered[length];
        ++length;
    }
    std::memset(text + length, 0, last + 1 - length);
}

// The digit in the whole part of fmod(x, 10). A value that is not a number yields 0, so a NaN
// renders as zeros instead of converting NaN to an integer, which C++ leaves undefined.
char digitOf(double remainder) {
    if (!(remainder >= 0.0 && remainder < 10.0)) return '0';
    return static_cast<char>('0' + static_cast<int>(remainder));
}

}  // namespace

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    if (value > 0.0f) {
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text,
                     maxLen);
    } else {
        place(text, maxLen, "-oo");  // 0, negative and NaN have no level
    }
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    const float rate = getSampleRate();
    const float hertz = (samples == 0.0f || std::isnan(samples)) ? 0.0f : rate / samples;
    float2string(hertz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    // No test of the rate: at 0 Hz the quotient is infinite (or NaN) and shows as such.
    const float rate = getSampleRate();
    const float scaled = samples * 1000.0f;
    float2string(scaled / rate, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    double v = value;
    // -0.0 counts as non-negative; NaN counts as negative and passes the range test below.
    const bool negative = !(v >= 0.0);
    if (negative) v = -v;
    if ((!negative && v > 99999999.0) || (negative && v > 9999999.0)) {
        place(text, maxLen, "Huge!");
        return;
    }

    // Integer digits, units first: each is the whole part of fmod(n, 10), then n shrinks by a
    // multiplication by 0.1 whose leftover fraction the next fmod drops.
    char integerDigits[kRenderSize];
    int numDigits = 0;
    double n = std::floor(v);
    do {
        integerDigits[numDigits++] = digitOf(std::fmod(n, 10.0));
        n = n * 0.1;
    } while (n >= 1.0);

    char rendered[kRenderSize];
    int length = 0;
    if (negative) rendered[length++] = '-';
    for (int i = numDigits - 1; i >= 0; --i) rendered[length++] = integerDigits[i];

    // Non-negative values of 8 integer digits and negative ones of 7 leave no room for the
    // point within the 8-character budget. Cutting digits to fit would show another number
    // ("2345678." for 12345678), so these show all their integer digits and no point:
    // "12345678", "-1234567". Every other value fits its digits and the point.
    if (length + 1 > kFloatBudget) {
        rendered[length] = '\0';
        place(text, maxLen, rendered);
        return;
    }
    rendered[length++] = '.';

    // Fraction digits, truncated, never rounded: the decimal digits of the whole part of
    // fmod(v, 1) * 10^k, zero-filled on the left to k digits, made from the last one.
    const int k = kFloatBudget - length;
    if (k > 0) {
        double f = std::fmod(v, 1.0) * std::pow(10.0, k);
        for (int i = k - 1; i >= 0; --i) {
            if (f > 0.0) {
                rendered[length + i] = digitOf(std::fmod(f, 10.0));
                f = f * 0.1;
            } else {
                rendered[length + i] = '0';
            }
        }
        length += k;
    }
    rendered[length] = '\0';
    place(text, maxLen, rendered);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value >= 100000000) {
        place(text, maxLen, "Huge!");
        return;
    }
    char rendered[kRenderSize];
    int length = 0;
    // The magnitude as unsigned: -2147483648 has no positive int32. Negative values have no
    // "Huge!" bound, so the divisors start at 10^9 and values below -999999999 show all their
    // digits ("-2147483648") rather than a ten-digit magnitude squeezed into one character.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        rendered[length++] = '-';
        magnitude = 0u - magnitude;
    }
    bool leading = true;
    for (std::uint32_t divisor = 1000000000u; divisor > 0; divisor /= 10) {
        const std::uint32_t digit = magnitude / divisor;
        magnitude %= divisor;
        if (digit == 0 && leading && divisor > 1) continue;
        leading = false;
        rendered[length++] = static_cast<char>('0' + digit);
    }
    rendered[length] = '\0';
    place(text, maxLen, rendered);
}
