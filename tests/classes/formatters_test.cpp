// The value-to-text formatters of AudioEffect, in a buffer whose bytes beyond text[maxLen] are
// sentinels that must survive.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "probe_effect.h"

#if defined(__linux__) && !defined(__SANITIZE_THREAD__)
#include <sys/mman.h>
#include <unistd.h>
#define VARIC_HUGE_BUFFER 1
#endif

using probes::attach;
using probes::ProbeEffect;

namespace {

enum class Formatter { dB, Hz, ms, Float, Int };

const char* nameOf(Formatter f) {
    switch (f) {
        case Formatter::dB: return "dB2string";
        case Formatter::Hz: return "Hz2string";
        case Formatter::ms: return "ms2string";
        case Formatter::Float: return "float2string";
        case Formatter::Int: return "int2string";
    }
    return "?";
}

constexpr char kSentinel = '\x5A';
constexpr int kSlack = 8;

// Runs one formatter into a sentinel-filled buffer, checks the placing rule (NUL after the
// text up to and including text[maxLen], nothing written beyond) and returns the text.
std::string format(AudioEffect& effect, Formatter f, double value, VstInt32 maxLen,
                   const std::string& row) {
    std::string buffer(static_cast<std::size_t>(maxLen) + 1 + kSlack, kSentinel);
    char* text = buffer.data();
    switch (f) {
        case Formatter::dB: effect.dB2string(static_cast<float>(value), text, maxLen); break;
        case Formatter::Hz: effect.Hz2string(static_cast<float>(value), text, maxLen); break;
        case Formatter::ms: effect.ms2string(static_cast<float>(value), text, maxLen); break;
        case Formatter::Float: effect.float2string(static_cast<float>(value), text, maxLen); break;
        case Formatter::Int: effect.int2string(static_cast<VstInt32>(value), text, maxLen); break;
    }
    const std::size_t length = std::strlen(text);
    EXPECT_LE(length, static_cast<std::size_t>(maxLen)) << row;
    for (std::size_t i = length; i <= static_cast<std::size_t>(maxLen); ++i) {
        EXPECT_EQ(text[i], '\0') << row << ": byte " << i;
    }
    for (std::size_t i = static_cast<std::size_t>(maxLen) + 1; i < buffer.size(); ++i) {
        EXPECT_EQ(text[i], kSentinel) << row << ": byte " << i << " beyond text[maxLen]";
    }
    return std::string(text, length);
}

struct Row {
    Formatter f;
    double value;
    VstInt32 maxLen;
    const char* text;
    float sampleRate = 44100.0f;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const Row kRows[] = {
    // The worked examples.
    {Formatter::Float, 0.0, 10, "0.000000"},
    {Formatter::Float, -0.0, 10, "0.000000"},
    {Formatter::Float, 1.5, 10, "1.500000"},
    {Formatter::Float, 0.7, 10, "0.699999"},
    {Formatter::Float, 3.14159265, 10, "3.141592"},
    {Formatter::Float, -3.14159265, 10, "-3.14159"},
    {Formatter::Float, -0.5, 10, "-0.50000"},
    {Formatter::Float, 123.456, 10, "123.4560"},
    {Formatter::Float, -123.456, 10, "-123.456"},
    {Formatter::Float, 1234567, 10, "1234567."},
    {Formatter::Float, -123456, 10, "-123456."},
    {Formatter::Float, 100000000, 10, "Huge!"},
    {Formatter::Float, -10000000, 10, "Huge!"},
    {Formatter::Int, 0, 10, "0"},
    {Formatter::Int, -7, 10, "-7"},
    {Formatter::Int, 99999999, 10, "99999999"},
    {Formatter::Int, 100000000, 10, "Huge!"},
    {Formatter::Int, -123456789, 10, "-123456789"},
    {Formatter::dB, 1.0, 10, "0.000000"},
    {Formatter::dB, 10.0, 10, "20.00000"},
    {Formatter::dB, 0.5, 10, "-6.02059"},
    {Formatter::dB, 0.0, 10, "-oo"},
    {Formatter::Hz, 100, 10, "441.0000"},
    {Formatter::Hz, 48000, 10, "0.918749"},
    {Formatter::Hz, 0, 10, "0.000000"},
    {Formatter::ms, 441, 10, "10.00000"},
    {Formatter::ms, 1, 10, "0.022675"},
    {Formatter::ms, 44100, 10, "1000.000"},
    // Short buffers: cut to maxLen.
    {Formatter::Float, 1.5, 4, "1.50"},
    {Formatter::Float, -3.14159265, 4, "-3.1"},
    {Formatter::Float, 1234567, 4, "1234"},
    {Formatter::Int, 1000, 4, "1000"},
    {Formatter::Int, 1000, 3, "100"},
    {Formatter::Int, 100000000, 3, "Hug"},
    {Formatter::Int, -5, 1, "-"},
    {Formatter::Float, 1.5, 0, ""},
    {Formatter::Float, 1e9, 0, ""},
    {Formatter::Int, 100000000, 0, ""},
    {Formatter::Int, -5, 0, ""},
    {Formatter::dB, 0.0, 0, ""},
    {Formatter::dB, 10.0, 0, ""},
    {Formatter::Hz, 100, 0, ""},
    {Formatter::ms, 441, 0, ""},
    {Formatter::Float, 1.5, 30, "1.500000"},  // a long buffer is NUL to its end
    // Edges: sign, truncation, the range bounds, values that are not numbers.
    {Formatter::Float, -0.0000001, 10, "-0.00000"},
    {Formatter::Float, kNaN, 10, "-0.00000"},
    {Formatter::Float, kInf, 10, "Huge!"},
    {Formatter::Float, -kInf, 10, "Huge!"},
    {Formatter::Float, 9999999, 10, "9999999."},
    {Formatter::Float, -999999, 10, "-999999."},
    {Formatter::Float, 0.001, 10, "0.001000"},  // the float 0.0010000000475 keeps its zeros
    {Formatter::dB, kNaN, 10, "-oo"},
    {Formatter::dB, -1.0, 10, "-oo"},
    {Formatter::Hz, kNaN, 10, "0.000000"},
    {Formatter::Hz, -100, 10, "-441.000"},
    {Formatter::Hz, 48000, 10, "1.000000", 48000.0f},
    {Formatter::ms, 1, 10, "Huge!", 0.0f},     // no test of the rate: infinite
    {Formatter::ms, 0, 10, "-0.00000", 0.0f},  // 0 / 0 is not a number
    // The order of the operations shows: (samples * 1000) / rate and rate / samples, each
    // step in single precision. The texts of the other orders are in the comments.
    {Formatter::ms, 251, 10, "31.37500", 8000.0f},      // samples / rate * 1000: "31.37499"
    {Formatter::ms, 20, 10, "1.814058", 11025.0f},      // samples * (1000 / rate): "1.814059"
    {Formatter::ms, 134221, 10, "3043.559", 44100.0f},  // in double: "3043.560"
    {Formatter::Hz, 120, 10, "66.66666", 8000.0f},      // rate * (1 / samples): "66.66667"
    {Formatter::Hz, 101, 10, "79.20792", 8000.0f},      // likewise: "79.20791"
    {Formatter::Int, -999999999, 20, "-999999999"},
    {Formatter::Int, 2147483647, 20, "Huge!"},
    // Integer parts longer than the budget has room for with the point: all the integer
    // digits and no point, never a cut number that reads as another one.
    {Formatter::Float, 99999992, 10, "99999992"},
    {Formatter::Float, 12345678, 10, "12345678"},
    {Formatter::Float, 10000000, 10, "10000000"},
    {Formatter::Float, -9999999, 10, "-9999999"},
    {Formatter::Float, -1234567, 10, "-1234567"},
    {Formatter::Float, -1000000, 10, "-1000000"},
    // Negative integers beyond nine digits: all the digits.
    {Formatter::Int, -1000000000, 20, "-1000000000"},
    {Formatter::Int, -2147483648.0, 20, "-2147483648"},
};

// Has a sample rate of its own, and with ownFloatText logs float2string instead of rendering:
// the other formatters reach both through the object.
class OwnFormatsEffect : public ProbeEffect {
public:
    using ProbeEffect::ProbeEffect;
    float getSampleRate() override { return 1000.0f; }
    void float2string(float value, char* text, VstInt32 maxLen) override {
        if (!ownFloatText) return ProbeEffect::float2string(value, text, maxLen);
        record("float2string", value);
        text[0] = '\0';
    }
    bool ownFloatText = true;
};

}  // namespace

TEST(Formatters, EveryRowGivesItsTextUnderThePlacingRule) {
    for (const Row& row : kRows) {
        auto [effect, plugin] = attach<ProbeEffect>(nullptr);
        effect->setSampleRate(row.sampleRate);
        const std::string name = std::string(nameOf(row.f)) + "(" + std::to_string(row.value) +
                                 ", maxLen " + std::to_string(row.maxLen) + ") at " +
                                 std::to_string(row.sampleRate) + " Hz";
        EXPECT_EQ(format(*effect, row.f, row.value, row.maxLen, name), row.text) << name;
    }
}

TEST(Formatters, ConvertersReachFloatToStringAndTheSampleRateThroughTheObject) {
    auto [own, plugin] = attach<OwnFormatsEffect>(nullptr);
    char text[16];
    own->dB2string(10.0f, text, 15);
    own->Hz2string(4.0f, text, 15);
    own->ms2string(3.0f, text, 15);
    EXPECT_EQ(own->log, (probes::Log{"float2string(20)", "float2string(250)", "float2string(3)"}));

    own->ownFloatText = false;
    EXPECT_EQ(format(*own, Formatter::Hz, 8.0, 10, "Hz2string at its own rate"), "125.0000");
    EXPECT_EQ(format(*own, Formatter::ms, 250.0, 10, "ms2string at its own rate"), "250.0000");
}

TEST(Formatters, TheLargestMaxLenIsPlacedToItsLastByte) {
#ifdef VARIC_HUGE_BUFFER
    // 2147483647 characters need a buffer of 2 GiB and a byte. Its first MiB is memory of its
    // own; every further MiB maps one shared MiB, so the NULs cost no more than that; a page
    // of sentinels follows text[maxLen].
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    constexpr std::size_t kSize = std::size_t{2048} * kMiB;  // maxLen + 1 bytes
    const long page = sysconf(_SC_PAGESIZE);
    char* const text = static_cast<char*>(
        mmap(nullptr, kSize + page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    ASSERT_NE(text, MAP_FAILED);
    const int shared = memfd_create("formatter_nuls", 0);
    ASSERT_GE(shared, 0);
    ASSERT_EQ(ftruncate(shared, kMiB), 0);
    bool mapped = mmap(text, kMiB, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                       -1, 0) != MAP_FAILED;
    for (std::size_t at = kMiB; at < kSize; at += kMiB) {
        mapped = mapped && mmap(text + at, kMiB, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED,
                                shared, 0) != MAP_FAILED;
    }
    mapped = mapped && mmap(text + kSize, page, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED;
    close(shared);
    ASSERT_TRUE(mapped);
    std::memset(text, kSentinel, 16);
    std::memset(text + kSize - 1, kSentinel, page + 1);

    auto [effect, plugin] = attach<ProbeEffect>(nullptr);
    effect->float2string(1.5f, text, 2147483647);
    EXPECT_STREQ(text, "1.500000");
    EXPECT_EQ(text[kSize - 1], '\0') << "text[maxLen]";
    EXPECT_EQ(text[kSize], kSentinel) << "the byte beyond text[maxLen]";
    munmap(text, kSize + page);
#else
    GTEST_SKIP() << "needs Linux's memfd_create, and no ThreadSanitizer (it would shadow 2 GiB)";
#endif
}
