// Several instances process on their own threads at once while one more thread moves every
// instance's Strength and renames its program. The changer and each processing thread meet at
// every block boundary, so the change meant for block k lands between blocks k-1 and k; while
// a block runs, the changer keeps calling into the same instance with requests that change
// nothing (reading the parameter and writing it back, reading the display and the name). Each
// instance's output must be exactly what the same changes give single-threaded. Under the tsan
// preset this is also the data-race check of the parameter path.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host_test_support.h"

using testing_support::makeInstance;
using testing_support::randomSignal;
using testing_support::Stereo;

namespace {

constexpr int kInstances = 3;
constexpr int kBlocks = 150;

// The host value written before block k: every third block repeats the one before, which must
// neither reset the filter nor change anything else.
float strengthBefore(int instance, int block) {
    const int k = block - block % 3;
    return static_cast<float>((k * 389 + instance * 2971) % 10001) * 0.0001f;
}

std::string nameBefore(int instance, int block) {
    return "Instance " + std::to_string(instance) + " block " + std::to_string(block);
}

int framesOf(int instance, int block) {
    return 1 + (block * 97 + instance * 13) % 700;
}
bool wideBlock(int instance, int block) {
    return (block + instance) % 2 == 1;
}

// One instance's audio: every block gets its own slice of one long signal, in the block's
// precision.
struct Track {
    explicit Track(int instance) {
        std::size_t total = 0;
        for (int k = 0; k < kBlocks; ++k) {
            offsets.push_back(total);
            total += static_cast<std::size_t>(framesOf(instance, k));
        }
        in32 = randomSignal<float>(total, 900 + instance);
        in64 = randomSignal<double>(total, 900 + instance);
        out32 = Stereo<float>(total);
        out64 = Stereo<double>(total);
    }
    void process(vsthost::Instance& plugin, int instance, int block) {
        const std::size_t at = offsets[block];
        if (wideBlock(instance, block)) {
            plugin.processDoubleReplacing(in64.channelsFrom(at), out64.channelsFrom(at),
                                          framesOf(instance, block));
        } else {
            plugin.processReplacing(in32.channelsFrom(at), out32.channelsFrom(at),
                                    framesOf(instance, block));
        }
    }
    std::vector<std::size_t> offsets;
    Stereo<float> in32{0}, out32{0};
    Stereo<double> in64{0}, out64{0};
};

// Where the changer and one processing thread meet: block k may start once the changer has
// made its change for it; the change for k + 1 waits until block k is done.
class BlockGate {
public:
    void allow(int block) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            allowed_ = block;
        }
        changed_.notify_all();
    }
    void waitAllowed(int block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return allowed_ >= block; });
    }
    void finish(int block) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = block;
        }
        changed_.notify_all();
    }
    void waitDone(int block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return done_ >= block; });
    }
    bool isDone(int block) {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_ >= block;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int allowed_ = -1;
    int done_ = -1;
};

void renameProgram(vsthost::Instance& plugin, const std::string& name) {
    std::vector<char> text(name.begin(), name.end());
    text.push_back('\0');
    plugin.dispatch(effSetProgramName, 0, 0, text.data());
}

template <class Sample>
void expectSameBits(const Stereo<Sample>& expected, const Stereo<Sample>& actual, int instance,
                    const Track& track) {
    const std::size_t n = vsthost::firstDifference(expected, actual);
    if (n == expected.frames()) return;
    int block = 0;
    while (block + 1 < kBlocks && track.offsets[block + 1] <= n) ++block;
    ADD_FAILURE() << "instance " << instance << ", block " << block << ", frame " << n
                  << ": threaded output differs from the single-threaded one";
}

}  // namespace

TEST(Concurrency, ParameterChangesBetweenBlocksGiveTheSingleThreadedOutput) {
    vsthost::Host hosts[kInstances];
    std::vector<std::unique_ptr<vsthost::Instance>> plugins;
    std::vector<Track> tracks;
    for (int i = 0; i < kInstances; ++i) {
        plugins.push_back(makeInstance(hosts[i]));
        ASSERT_NE(plugins.back(), nullptr);
        tracks.emplace_back(i);
    }
    BlockGate gates[kInstances];

    std::vector<std::thread> processors;
    for (int i = 0; i < kInstances; ++i) {
        processors.emplace_back([&, i] {
            for (int k = 0; k < kBlocks; ++k) {
                gates[i].waitAllowed(k);
                tracks[i].process(*plugins[i], i, k);
                gates[i].finish(k);
            }
        });
    }
    std::thread changer([&] {
        for (int k = 0; k < kBlocks; ++k) {
            for (int i = 0; i < kInstances; ++i) {
                gates[i].waitDone(k - 1);
                plugins[i]->setParameter(0, strengthBefore(i, k));
                renameProgram(*plugins[i], nameBefore(i, k));
                gates[i].allow(k);
            }
            // While the blocks run: requests that change nothing, into the running instances.
            for (int i = 0; i < kInstances; ++i) {
                while (!gates[i].isDone(k)) {
                    const float value = plugins[i]->getParameter(0);
                    plugins[i]->setParameter(0, value);
                    plugins[i]->setParameter(1, 0.5f);
                    (void)plugins[i]->text(effGetParamDisplay);
                    (void)plugins[i]->text(effGetProgramName);
                    std::this_thread::yield();
                }
            }
        }
    });
    changer.join();
    for (std::thread& t : processors) t.join();

    for (int i = 0; i < kInstances; ++i) {
        EXPECT_EQ(plugins[i]->text(effGetProgramName), nameBefore(i, kBlocks - 1));
        vsthost::Host host;
        auto alone = makeInstance(host);
        Track expected(i);
        for (int k = 0; k < kBlocks; ++k) {
            alone->setParameter(0, strengthBefore(i, k));
            expected.process(*alone, i, k);
        }
        expectSameBits(expected.out32, tracks[i].out32, i, tracks[i]);
        expectSameBits(expected.out64, tracks[i].out64, i, tracks[i]);
    }
}
