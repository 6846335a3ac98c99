#pragma once
// What the host-level tests share beyond the host-support library: instances of the plug-in
// under test with a recording host, a fixture that holds one, random signals and processing
// in blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/host/plugin_host.h"
#include "tools/host/plugin_under_test.h"
#include "tools/host/stereo_buffer.h"

namespace testing_support {

using vsthost::bitsOf;
template <class Sample>
using Stereo = vsthost::StereoBuffer<Sample>;

// An instance of the plug-in under test with a recording host, made through the binary's entry.
std::unique_ptr<vsthost::Plugin> makeInstance(vsthost::Host& host);

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
    std::unique_ptr<vsthost::Plugin> plugin;
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

// Processes all of input through the instance in blocks of the given sizes (cycled); one block
// of everything when no sizes are given.
template <class Sample>
void processInBlocks(vsthost::Plugin& plugin, Stereo<Sample>& input, Stereo<Sample>& output,
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
