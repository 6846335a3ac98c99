// Long sessions: instances made and closed 100 000 times, and 1 000 instances alive at once.
// Nothing may leak (LeakSanitizer under the asan preset; the heap's own count of bytes in use
// in plain builds) and every instance must keep its own settings and filter state.

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "host_test_support.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARIC_WITH_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define VARIC_WITH_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VARIC_WITH_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define VARIC_WITH_TSAN 1
#endif

#if defined(VARIC_WITH_ASAN)
#include <sanitizer/lsan_interface.h>
#elif !defined(VARIC_WITH_TSAN) && defined(__GLIBC__)
#include <malloc.h>
#define VARIC_WITH_MALLINFO 1
#endif

using testing_support::makeInstance;
using testing_support::randomSignal;
using testing_support::Stereo;

namespace {

constexpr int kCycles = 100000;
constexpr int kAlive = 1000;

// Bytes the program holds on the heap now, where the platform tells; 0 elsewhere.
long long heapInUse() {
#if defined(VARIC_WITH_MALLINFO)
    return static_cast<long long>(mallinfo2().uordblks);
#else
    return 0;
#endif
}

// One short life: made, set, a block of audio in each precision, renamed, read, closed.
void liveOnce(vsthost::Host& host, int n, Stereo<float>& in32, Stereo<double>& in64) {
    auto plugin = makeInstance(host);
    ASSERT_NE(plugin, nullptr) << "cycle " << n;
    plugin->setParameter(0, static_cast<float>(n % 10001) * 0.0001f);
    Stereo<float> out32(in32.frames());
    Stereo<double> out64(in64.frames());
    plugin->processReplacing(in32.channels(), out32.channels(),
                             static_cast<VstInt32>(in32.frames()));
    plugin->processDoubleReplacing(in64.channels(), out64.channels(),
                                   static_cast<VstInt32>(in64.frames()));
    char name[] = "Short life";
    plugin->dispatch(effSetProgramName, 0, 0, name);
    ASSERT_EQ(plugin->text(effGetProgramName), "Short life") << "cycle " << n;
    ASSERT_EQ(plugin->close(), 1) << "cycle " << n;
}

}  // namespace

TEST(LifecycleSoak, AHundredThousandCreateCloseCyclesLeakNothing) {
    vsthost::Host host;
    auto in32 = randomSignal<float>(16, 1);
    auto in64 = randomSignal<double>(16, 2);
    // A warm-up, so that everything the test itself keeps (the host's request log) has its
    // final size before the heap is counted.
    for (int n = 0; n < 1000; ++n) liveOnce(host, n, in32, in64);
    host.clearRequests();
    const long long before = heapInUse();

    for (int n = 0; n < kCycles; ++n) {
        liveOnce(host, n, in32, in64);
        if (HasFatalFailure()) return;
        if (n % 1000 == 999) {
            EXPECT_EQ(host.requests().size(), 1000u) << "one version query per instance";
            host.clearRequests();
        }
    }
    const long long after = heapInUse();
    EXPECT_LT(after - before, 64 * 1024) << "heap bytes in use grew over " << kCycles << " cycles";
#if defined(VARIC_WITH_ASAN)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found leaks";
#endif
}

TEST(LifecycleSoak, AThousandInstancesAliveAtOnceStayIndependent) {
    // Every instance its own strength and name; the audio is processed round-robin, a block
    // of every instance in turn, with the precision changing from round to round.
    vsthost::Host host;
    const int frames[] = {300, 1, 257};
    auto in = randomSignal<double>(558, 5);
    Stereo<float> in32(in.frames());
    for (std::size_t n = 0; n < in.frames(); ++n) {
        in32.left[n] = static_cast<float>(in.left[n]);
        in32.right[n] = static_cast<float>(in.right[n]);
    }
    auto strengthOf = [](int i) { return (i * 7919) % 10001; };  // all different
    auto nameOf = [](int i) { return "Instance " + std::to_string(i); };

    auto run = [&](vsthost::Instance& plugin, int round, Stereo<float>& out32,
                   Stereo<double>& out64) {
        std::size_t at = 0;
        for (int r = 0; r < round; ++r) at += static_cast<std::size_t>(frames[r]);
        if (round % 2 == 0) {
            plugin.processReplacing(in32.channelsFrom(at), out32.channelsFrom(at), frames[round]);
        } else {
            plugin.processDoubleReplacing(in.channelsFrom(at), out64.channelsFrom(at),
                                          frames[round]);
        }
    };

    std::vector<std::unique_ptr<vsthost::Instance>> alive;
    std::set<AEffect*> records;
    for (int i = 0; i < kAlive; ++i) {
        alive.push_back(makeInstance(host));
        ASSERT_NE(alive.back(), nullptr) << "instance " << i;
        records.insert(alive.back()->effect());
        alive.back()->setParameter(0, static_cast<float>(strengthOf(i)) * 0.0001f);
        std::string name = nameOf(i);
        alive.back()->dispatch(effSetProgramName, 0, 0, name.data());
    }
    EXPECT_EQ(records.size(), static_cast<std::size_t>(kAlive)) << "every record its own";

    std::vector<Stereo<float>> outs32(kAlive, Stereo<float>(in.frames()));
    std::vector<Stereo<double>> outs64(kAlive, Stereo<double>(in.frames()));
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kAlive; ++i) run(*alive[i], round, outs32[i], outs64[i]);
    }

    for (int i = 0; i < kAlive; ++i) {
        ASSERT_EQ(alive[i]->text(effGetProgramName), nameOf(i));
        ASSERT_EQ(alive[i]->text(effGetParamDisplay), std::to_string(strengthOf(i) / 100));
        vsthost::Host aloneHost;
        auto alone = makeInstance(aloneHost);
        alone->setParameter(0, static_cast<float>(strengthOf(i)) * 0.0001f);
        Stereo<float> expected32(in.frames());
        Stereo<double> expected64(in.frames());
        for (int round = 0; round < 3; ++round) run(*alone, round, expected32, expected64);
        const std::size_t n = std::min(vsthost::firstDifference(expected32, outs32[i]),
                                       vsthost::firstDifference(expected64, outs64[i]));
        ASSERT_EQ(n, in.frames()) << "instance " << i << " frame " << n
                                  << " differs from an instance alone";
    }
    for (auto& plugin : alive) EXPECT_EQ(plugin->close(), 1);
}
