#pragma once
// What the host-level tests share beyond the host-support library: instances of the plug-in
// under test with a recording host, a fixture that holds one, random signals, processing in
// blocks, and the hosts' floating-point modes with a signal whose bits depend on them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host_float_mode.h"
#include "instance.h"
#include "plugin_host.h"
#include "plugin_under_test.h"
#include "stereo_buffer.h"

namespace testing_support {

using vsthost::bitsOf;
template <class Sample>
using Stereo = vsthost::StereoBuffer<Sample>;

// An instance of the plug-in under test with a recording host, made through the binary's entry.
std::unique_ptr<vsthost::Instance> makeInstance(vsthost::Host& host);

// One instance and its recording host. Each test file derives its own fixture from it, so
// that its suite carries its own name.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = makeInstance(host);
        ASSERT_NE(plugin, nullptr);
        host.clearRequests();  // the version query of the entry
    }
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;
};

// Uniform noise in [-amplitude, amplitude], with silent stretches, from a fixed seed.
template <class Sample>
Stereo<Sample> randomSignal(std::size_t frames, std::uint32_t seed, double amplitude = 1.0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> sample(-amplitude, amplitude);
    Stereo<Sample> signal(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const bool silent = (n / 4096) % 5 == 3;
        signal.left[n] = silent ? Sample(0) : static_cast<Sample>(sample(random));
        signal.right[n] = silent ? Sample(0) : static_cast<Sample>(sample(random));
    }
    return signal;
}

// Noise bursts, each followed by a long silence in which the filter state decays through the
// subnormal range and the outputs become subnormal, and subnormal input samples within the
// silences: FTZ, DAZ and every rounding direction change bits of the plain recursion here.
template <class Sample>
Stereo<Sample> modeSensitiveSignal() {
    constexpr std::size_t kSegment = 12000;
    Stereo<Sample> signal = randomSignal<Sample>(4 * kSegment, 71, 0.5);
    const Sample subnormal = std::numeric_limits<Sample>::denorm_min() * Sample(12345);
    for (std::size_t n = 0; n < signal.frames(); ++n) {
        if (n % kSegment < 1500) continue;
        const bool sprinkled = n % kSegment > 9000 && n % 97 == 0;
        signal.left[n] = sprinkled ? subnormal : Sample(0);
        signal.right[n] = sprinkled && n % 2 == 0 ? -subnormal : Sample(0);
    }
    return signal;
}

// Floating-point modes that hosts set on their audio threads.
struct HostMode {
    const char* name;
    unsigned mxcsr;
    // Whether the plain recursion computed in this mode gives other bits; the exception row
    // would trap instead.
    bool changesTheRecursion;
};

inline const HostMode kHostModes[] = {
    {"flush-to-zero and denormals-are-zero",
     mxcsr::kDefault | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero, true},
    {"flush-to-zero", mxcsr::kDefault | mxcsr::kFlushToZero, true},
    {"denormals-are-zero", mxcsr::kDefault | mxcsr::kDenormalsAreZero, true},
    {"round toward zero", mxcsr::kDefault | mxcsr::kRoundTowardZero, true},
    {"round down", mxcsr::kDefault | mxcsr::kRoundDown, true},
    {"round up, with FTZ and DAZ",
     mxcsr::kDefault | mxcsr::kRoundUp | mxcsr::kFlushToZero | mxcsr::kDenormalsAreZero, true},
    // Only inexact stays masked: the recursion's subnormal operands and results would trap.
    {"exceptions unmasked", mxcsr::kInexactMask, false},
};

// Processes all of input through the instance in blocks of the given sizes (cycled); one block
// of everything when no sizes are given.
template <class Sample>
void processInBlocks(vsthost::Instance& plugin, Stereo<Sample>& input, Stereo<Sample>& output,
                     const std::vector<int>& blockSizes = {}) {
    std::size_t done = 0;
    std::size_t which = 0;
    while (done < input.frames()) {
        const std::size_t left = input.frames() - done;
        const std::size_t size =
            blockSizes.empty()
                ? left
                : std::min<std::size_t>(blockSizes[which++ % blockSizes.size()], left);
        plugin.processSamples(input.channelsFrom(done), output.channelsFrom(done),
                              static_cast<VstInt32>(size));
        done += size;
    }
}

// The first frame at which two outputs differ in any bit, with both frames' samples, as a
// failure message; empty when they are the same bits.
template <class Sample>
std::string differenceOf(const Stereo<Sample>& expected, const Stereo<Sample>& actual) {
    if (expected.frames() != actual.frames()) {
        return std::to_string(actual.frames()) + " frames instead of " +
               std::to_string(expected.frames());
    }
    const std::size_t n = vsthost::firstDifference(expected, actual);
    if (n == expected.frames()) return "";
    std::ostringstream text;
    text.precision(17);
    text << "first difference at frame " << n << ": expected (" << expected.left[n] << ", "
         << expected.right[n] << "), got (" << actual.left[n] << ", " << actual.right[n] << ")";
    return text.str();
}

}  // namespace testing_support
