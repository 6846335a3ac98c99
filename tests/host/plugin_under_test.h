#pragma once
// Access to the plug-in binary under test, loaded once per test program, and small helpers
// for driving instances the way a host does.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/host/plugin_host.h"

namespace testing_support {

// $VARIC_PLUGIN when set, else the binary built beside the tests.
std::string pluginPath();
// The loaded binary; the test program fails at once when it cannot be loaded.
const vsthost::PluginLibrary& pluginLibrary();

// An instance with a recording host, made through the binary's entry.
std::unique_ptr<vsthost::Plugin> makeInstance(vsthost::Host& host);

// A fixture with one instance and its recording host.
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

template <class T>
std::uint64_t bitsOf(T value) {
    static_assert(sizeof(T) <= 8);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(T));
    return bits;
}

// Two channels of samples with the channel-pointer arrays a host passes.
template <class Sample>
struct Stereo {
    explicit Stereo(std::size_t frames) : left(frames), right(frames) {}
    Sample** channels() {
        pointers[0] = left.data();
        pointers[1] = right.data();
        return pointers;
    }
    Sample** channelsFrom(std::size_t offset) {
        pointers[0] = left.data() + offset;
        pointers[1] = right.data() + offset;
        return pointers;
    }
    std::size_t frames() const { return left.size(); }
    std::vector<Sample> left;
    std::vector<Sample> right;
    Sample* pointers[2] = {nullptr, nullptr};
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

// Processes all of input through the instance in blocks of the given sizes (cycled).
void processInBlocks(vsthost::Plugin& plugin, Stereo<float>& input, Stereo<float>& output,
                     const std::vector<int>& blockSizes);
void processInBlocks(vsthost::Plugin& plugin, Stereo<double>& input, Stereo<double>& output,
                     const std::vector<int>& blockSizes);

}  // namespace testing_support
