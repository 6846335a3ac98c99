// The crossfeed's output and its parameter values do not depend on the floating-point mode of
// the host's thread, and the host finds its mode as it left it after every processing call.

#include <algorithm>
#include <limits>

#include "host_float_mode.h"
#include "host_test_support.h"
#include "reference_crossfeed.h"

using testing_support::HostMode;
using testing_support::kHostModes;
using testing_support::makeInstance;
using testing_support::modeSensitiveSignal;
using testing_support::ReferenceCrossfeed;
using testing_support::Stereo;

namespace {

// Blocks long enough for a decaying state to pass below the smallest normal number within one
// block, before the flush of a decayed state at the block's end can catch it.
constexpr VstInt32 kBlock = 4096;

// Processes the whole signal in blocks, each call made in the given mode; counts the calls
// after which the thread's mode was not the one set before it: exactly, sticky flags included,
// when the plug-in had to switch; in the default mode its own arithmetic raises flags.
template <class Sample>
int processInMode(vsthost::Instance& plugin, Stereo<Sample>& in, Stereo<Sample>& out,
                  unsigned mxcsr) {
    const unsigned own = vsthost::floatMode();
    const unsigned compared = mxcsr == mxcsr::kDefault ? mxcsr::kControlBits : ~0u;
    int modeChanged = 0;
    for (std::size_t done = 0; done < in.frames(); done += kBlock) {
        const auto frames =
            static_cast<VstInt32>(std::min<std::size_t>(kBlock, in.frames() - done));
        vsthost::setFloatMode(mxcsr);
        plugin.processSamples(in.channelsFrom(done), out.channelsFrom(done), frames);
        const unsigned after = vsthost::floatMode();
        vsthost::setFloatMode(own);
        if ((after & compared) != (mxcsr & compared)) ++modeChanged;
    }
    return modeChanged;
}

template <class Sample>
class HostFloatMode : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(HostFloatMode, Precisions);

}  // namespace

TYPED_TEST(HostFloatMode, OutputIsTheSameBitsInEveryModeAndTheModeIsRestored) {
    Stereo<TypeParam> in = modeSensitiveSignal<TypeParam>();
    Stereo<TypeParam> expected(in.frames());
    {
        vsthost::Host host;
        auto plugin = makeInstance(host);
        ASSERT_EQ(processInMode(*plugin, in, expected, mxcsr::kDefault), 0);
    }
    for (const HostMode& mode : kHostModes) {
        SCOPED_TRACE(mode.name);
        if (mode.changesTheRecursion) {
            // The signal is sensitive to this mode: computed in it, the recursion differs.
            Stereo<TypeParam> inDefault(in.frames()), inMode(in.frames());
            ReferenceCrossfeed(44100, 1000).process(in, inDefault);
            {
                vsthost::ScopedFloatMode hostMode(mode.mxcsr);
                ReferenceCrossfeed(44100, 1000).process(in, inMode);
            }
            ASSERT_LT(vsthost::firstDifference(inDefault, inMode), in.frames());
        }
        vsthost::Host host;
        auto plugin = makeInstance(host);
        Stereo<TypeParam> actual(in.frames());
        EXPECT_EQ(processInMode(*plugin, in, actual, mode.mxcsr), 0)
            << "calls after which the host's mode was not restored";
        const std::size_t n = vsthost::firstDifference(expected, actual);
        EXPECT_EQ(n, in.frames()) << "first difference from the default mode at frame " << n;
    }
}

TEST(HostFloatModeParameters, ValuesConvertAsInTheDefaultModeWhateverTheHostsMode) {
    // Each value's conversion rounds in its last step: 0.00005 stores 1 only when rounding to
    // nearest, and the strengths below read back as inexact products.
    const float values[] = {0.00005f, 0.0003f,  0.0007f,
                            0.12345f, 0.99995f, std::numeric_limits<float>::quiet_NaN()};
    vsthost::Host host;
    auto plugin = makeInstance(host);
    for (const HostMode& mode : kHostModes) {
        for (float value : values) {
            plugin->setParameter(0, value);
            const float expected = plugin->getParameter(0);
            plugin->setParameter(0, 0.5f);
            float inMode;
            {
                vsthost::ScopedFloatMode hostMode(mode.mxcsr);
                plugin->setParameter(0, value);
                inMode = plugin->getParameter(0);
            }
            EXPECT_EQ(vsthost::bitsOf(inMode), vsthost::bitsOf(expected))
                << mode.name << ", value " << value;
        }
    }
}
