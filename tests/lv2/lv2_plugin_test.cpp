// The LV2 plug-in driven as an LV2 host drives it (its descriptor, its ports, activate and run),
// against the VST 2.4 plug-in of the same build driven as varic drives it: the same input, rate
// and Strength must give the same bits, whatever the blocks and wherever Strength changes.

#include <lv2/core/lv2.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host_test_support.h"

using testing_support::differenceOf;
using testing_support::randomSignal;
using testing_support::Stereo;

namespace {

constexpr char kUri[] = "urn:nalt:varic-crossfeed";
constexpr float kDefaultControl = 10.0f;

using Lv2Entry = const LV2_Descriptor* (*)(std::uint32_t index);

// The module's lv2_descriptor, from the module loaded once for the whole program.
Lv2Entry lv2Entry() {
    static const std::unique_ptr<vsthost::PluginLibrary> module = [] {
        std::string error;
        auto loaded = vsthost::PluginLibrary::load(VARIC_LV2_MODULE, &error);
        if (!loaded) ADD_FAILURE() << error;
        return loaded;
    }();
    return module ? reinterpret_cast<Lv2Entry>(module->symbol("lv2_descriptor")) : nullptr;
}

const LV2_Descriptor* descriptor() {
    return lv2Entry() ? lv2Entry()(0) : nullptr;
}

// One instance with its five ports connected: the two channels of a buffer in, those of
// another (or the same, in place) out, and the Strength control.
class Lv2Instance {
public:
    explicit Lv2Instance(double rate) : descriptor_(descriptor()) {
        handle_ = descriptor_->instantiate(descriptor_, rate, "", features_);
        descriptor_->connect_port(handle_, 4, &control);
        descriptor_->activate(handle_);
    }
    ~Lv2Instance() {
        deactivate();
        descriptor_->cleanup(handle_);
    }
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    // Frames from `offset` on, of the input into the output.
    void run(Stereo<float>& in, Stereo<float>& out, std::size_t offset, std::size_t frames) {
        float** inputs = in.channelsFrom(offset);
        float** outputs = out.channelsFrom(offset);
        descriptor_->connect_port(handle_, 0, inputs[0]);
        descriptor_->connect_port(handle_, 1, inputs[1]);
        descriptor_->connect_port(handle_, 2, outputs[0]);
        descriptor_->connect_port(handle_, 3, outputs[1]);
        descriptor_->run(handle_, static_cast<std::uint32_t>(frames));
    }
    void restart() {
        deactivate();
        descriptor_->activate(handle_);
    }

    float control = kDefaultControl;

private:
    void deactivate() {
        if (descriptor_->deactivate) descriptor_->deactivate(handle_);  // optional in LV2
    }

    const LV2_Descriptor* descriptor_;
    const LV2_Feature* const features_[1] = {nullptr};
    LV2_Handle handle_ = nullptr;
};

// The VST 2.4 plug-in's host value for a Strength as varic's --strength sets it.
float hostValue(double strength) {
    return static_cast<float>(strength / 100.0);
}

// Before the block that starts at `frame`, Strength becomes `value` (0 to 100).
struct StrengthChange {
    std::size_t frame;
    float value;
};

struct Scenario {
    const char* name;
    double rate;
    std::vector<int> blocks;  // cycled; empty: one block
    std::vector<StrengthChange> changes;
    bool inPlace = false;
};

// The run through the VST 2.4 plug-in, at the rate as a VST host passes it (a float), and
// through the LV2 plug-in; the same block boundaries and changes for both.
void expectSameOutputs(const Scenario& run, const Stereo<float>& input) {
    vsthost::Host host;
    auto vst = testing_support::makeInstance(host);
    ASSERT_NE(vst, nullptr);
    vst->setSampleRate(static_cast<float>(run.rate));
    vst->resume();
    Lv2Instance lv2(run.rate);
    Stereo<float> vstIn = input, vstOut(input.frames()), lv2In = input, lv2Out(input.frames());
    Stereo<float>& lv2Target = run.inPlace ? lv2In : lv2Out;
    std::size_t done = 0, block = 0, change = 0;
    while (done < input.frames()) {
        for (; change < run.changes.size() && run.changes[change].frame <= done; ++change) {
            vst->setParameter(0, hostValue(run.changes[change].value));
            lv2.control = run.changes[change].value;
        }
        std::size_t frames = input.frames() - done;
        if (!run.blocks.empty()) {
            frames = std::min<std::size_t>(frames, run.blocks[block++ % run.blocks.size()]);
        }
        if (change < run.changes.size())
            frames = std::min(frames, run.changes[change].frame - done);
        vst->processReplacing(vstIn.channelsFrom(done), vstOut.channelsFrom(done),
                              static_cast<VstInt32>(frames));
        lv2.run(lv2In, lv2Target, done, frames);
        done += frames;
    }
    EXPECT_EQ(differenceOf(vstOut, lv2Target), "") << run.name;
}

}  // namespace

TEST(Lv2Plugin, DescribesItselfByItsUriAtIndexZeroOnly) {
    ASSERT_NE(lv2Entry(), nullptr);
    ASSERT_NE(lv2Entry()(0), nullptr);
    EXPECT_STREQ(lv2Entry()(0)->URI, kUri);
    EXPECT_EQ(lv2Entry()(1), nullptr);
}

TEST(Lv2Plugin, MatchesTheVstPluginWhateverTheBlocksAndStrengthChanges) {
    const Scenario runs[] = {
        {"44100 Hz, default Strength, one block", 44100, {}, {}},
        {"48000 Hz, Strength 75, blocks of 1, 2 and 3", 48000, {1, 2, 3}, {{0, 75}}},
        {"96000 Hz, Strength 0, 100, 10 and 0 at odd boundaries",
         96000,
         {4096, 333, 1},
         {{0, 0}, {5000, 100}, {20000, 10}, {30001, 0}}},
        // 10 and 10.004 are both stored as 1000: the filter runs on, unreset, in both plug-ins.
        {"44100 Hz, a change that rounds to the same strength",
         44100,
         {512},
         {{7000, 10.004f}, {9000, 10}}},
        {"44100.9 Hz, truncated like the VST 2.4 plug-in's rate", 44100.9, {1000}, {{0, 37}}},
        {"16000 Hz, Strength 100: unstable settings pass through", 16000, {256}, {{0, 100}}},
        {"48000 Hz, in place, Strength 55", 48000, {1024, 7}, {{0, 55}}, true},
    };
    std::uint32_t seed = 1;
    for (const Scenario& run : runs) {
        expectSameOutputs(run, randomSignal<float>(40000, seed++));
    }
}

TEST(Lv2Plugin, AnyControlValueGivesTheStrengthVaricGivesTheVstPlugin) {
    // Rounding edges of the stored strength, out-of-range values and values without one.
    // 10.025 stores 1003 on the VST 2.4 plug-in's route; x 0.01, or rounding x 100, gives 1002.
    const float values[] = {0,
                            0.004f,
                            0.005f,
                            10,
                            10.025f,
                            12.345f,
                            99.994f,
                            99.995f,
                            100,
                            150,
                            -5,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            2.2e7f};
    std::uint32_t seed = 100;
    for (const float value : values) {
        const std::string name = "Strength " + std::to_string(value);
        expectSameOutputs({name.c_str(), 44100, {}, {{0, value}}},
                          randomSignal<float>(4096, seed++));
    }
}

TEST(Lv2Plugin, ActivateStartsAfresh) {
    const Stereo<float> input = randomSignal<float>(8192, 7);
    Stereo<float> in = input, fresh(input.frames()), again(input.frames());
    Lv2Instance lv2(48000);
    lv2.run(in, fresh, 0, input.frames());
    lv2.restart();
    lv2.run(in, again, 0, input.frames());
    EXPECT_EQ(differenceOf(fresh, again), "");
}

TEST(Lv2Plugin, ComputesInTheDefaultFloatModeWhateverTheHostsAndPutsTheHostsBack) {
    // 0.005 stores strength 1 only when its conversion rounds to nearest.
    for (const float control : {10.0f, 0.005f}) {
        Stereo<float> in = testing_support::modeSensitiveSignal<float>();
        Stereo<float> expected(in.frames());
        Lv2Instance reference(44100);
        reference.control = control;
        reference.run(in, expected, 0, in.frames());
        for (const testing_support::HostMode& mode : testing_support::kHostModes) {
            Stereo<float> actual(in.frames());
            Lv2Instance lv2(44100);
            lv2.control = control;
            int modeChanged = 0;
            for (std::size_t done = 0; done < in.frames(); done += 4096) {
                vsthost::setFloatMode(mode.mxcsr);
                lv2.run(in, actual, done, std::min<std::size_t>(4096, in.frames() - done));
                const unsigned after = vsthost::floatMode();
                vsthost::setFloatMode(mxcsr::kDefault);
                if (after != mode.mxcsr) ++modeChanged;
            }
            EXPECT_EQ(modeChanged, 0)
                << mode.name << ": blocks after which the mode was not the host's";
            EXPECT_EQ(differenceOf(expected, actual), "") << mode.name << ", control " << control;
        }
    }
}
