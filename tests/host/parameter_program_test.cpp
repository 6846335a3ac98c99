// The Strength parameter, the program name and the identity texts, through the record.

#include <cmath>
#include <cstring>
#include <limits>

#include "host_test_support.h"

using testing_support::bitsOf;
using testing_support::differenceOf;
using testing_support::makeInstance;
using testing_support::processInBlocks;
using testing_support::randomSignal;
using testing_support::Stereo;

namespace {

class ParameterAndProgram : public testing_support::PluginTest {};

constexpr unsigned char kSentinel = 0xA5;

float floatFromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// What a text request wrote into a sentinel-filled buffer: the text, and how many bytes were
// touched in all (so that a stray byte past the terminator shows).
struct Written {
    std::string text;
    std::size_t touched;
};

Written textRequest(vsthost::Instance& plugin, VstInt32 opcode, VstInt32 index = 0,
                    VstIntPtr value = 0) {
    unsigned char buffer[128];
    std::memset(buffer, kSentinel, sizeof buffer);
    plugin.dispatch(opcode, index, value, buffer);
    std::size_t touched = sizeof buffer;
    while (touched > 0 && buffer[touched - 1] == kSentinel) --touched;
    const auto* end = static_cast<const unsigned char*>(std::memchr(buffer, 0, sizeof buffer));
    return {end ? std::string(reinterpret_cast<char*>(buffer), end - buffer) : "<unterminated>",
            touched};
}

}  // namespace

TEST_F(ParameterAndProgram, ParameterExamplesMapExactly) {
    struct Row {
        float written;
        float readBack;
        const char* display;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {0.0f, 0.0f, "0"},
        {0.0000499f, 0.0f, "0"},
        {0.00005f, 9.99999975e-05f, "0"},
        {0.1f, 0.099999994f, "10"},
        {0.12345f, 0.123499997f, "12"},
        {0.5f, 0.5f, "50"},
        {0.999949f, 0.999899983f, "99"},
        {0.99995f, 1.0f, "100"},
        {1.5f, 1.0f, "100"},
        {-0.3f, 0.0f, "0"},
        {nan, 0.0f, "0"},
        {inf, 0.0f, "0"},
        {-inf, 0.0f, "0"},
        {214748.34375f, 1.0f, "100"},
        {214748.359375f, 0.0f, "0"},
        {3e9f, 0.0f, "0"},
        {-3e9f, 0.0f, "0"},
        {std::numeric_limits<float>::max(), 0.0f, "0"},
        {std::numeric_limits<float>::denorm_min(), 0.0f, "0"},
    };
    for (const Row& row : rows) {
        plugin->setParameter(0, 0.5f);  // a known value between rows
        plugin->setParameter(0, row.written);
        const float read = plugin->getParameter(0);
        EXPECT_EQ(bitsOf(read), bitsOf(row.readBack))
            << "written " << row.written << " read " << read;
        EXPECT_EQ(plugin->text(effGetParamDisplay, 0), row.display) << "written " << row.written;
    }
}

TEST_F(ParameterAndProgram, DefaultStrengthReadsBackJustBelowTheFloatNearestATenth) {
    EXPECT_EQ(bitsOf(plugin->getParameter(0)), 0x3DCCCCCCu);
    EXPECT_EQ(plugin->text(effGetParamDisplay, 0), "10");
    EXPECT_EQ(bitsOf(plugin->getParameter(1)), 0x3DCCCCCDu);
    EXPECT_EQ(plugin->getParameter(1), floatFromBits(0x3DCCCCCD));
}

TEST_F(ParameterAndProgram, WritingBackWhatWasReadKeepsEveryStrength) {
    for (int strength = 0; strength <= 10000; ++strength) {
        plugin->setParameter(0, static_cast<float>(strength) * 0.0001f);
        const float read = plugin->getParameter(0);
        plugin->setParameter(0, read);
        ASSERT_EQ(bitsOf(plugin->getParameter(0)), bitsOf(read)) << strength;
        ASSERT_EQ(plugin->text(effGetParamDisplay, 0), std::to_string(strength / 100)) << strength;
    }
}

TEST_F(ParameterAndProgram, OtherParameterIndicesChangeAndWriteNothing) {
    for (VstInt32 index : {1, 2, -1}) {
        plugin->setParameter(index, 0.7f);
        EXPECT_EQ(bitsOf(plugin->getParameter(0)), 0x3DCCCCCCu) << index;
        EXPECT_EQ(textRequest(*plugin, effGetParamName, index).touched, 0u) << index;
        EXPECT_EQ(textRequest(*plugin, effGetParamDisplay, index).touched, 0u) << index;
        const Written label = textRequest(*plugin, effGetParamLabel, index);
        EXPECT_EQ(label.text, "") << index;
        EXPECT_EQ(label.touched, 1u) << index;
    }
}

TEST_F(ParameterAndProgram, TextsAreWrittenWithTheirTerminatorAndNothingMore) {
    struct Row {
        VstInt32 opcode;
        VstInt32 index;
        const char* text;
    };
    const Row rows[] = {
        {effGetParamName, 0, "Strength "},
        {effGetParamDisplay, 0, "10"},
        {effGetParamLabel, 0, ""},
        {effGetProgramName, 0, "Varic Crossfeed"},
        {effGetProgramNameIndexed, 0, "Varic Crossfeed"},
        {effGetEffectName, 0, "Varic Crossfeed"},
        {effGetProductString, 0, "Varic Crossfeed"},
        {effGetVendorString, 0, "Nalt"},
    };
    for (const Row& row : rows) {
        const Written w = textRequest(*plugin, row.opcode, row.index);
        EXPECT_EQ(w.text, row.text) << "opcode " << row.opcode;
        EXPECT_EQ(w.touched, std::strlen(row.text) + 1) << "opcode " << row.opcode;
    }
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1000);
}

TEST_F(ParameterAndProgram, ProgramNameIndexedAnswersOnlyForIndexZeroWhateverTheCategory) {
    for (VstIntPtr category : {VstIntPtr{0}, VstIntPtr{-1}, VstIntPtr{7}, VstIntPtr{1} << 40}) {
        char buffer[40];
        EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, category, buffer), 1) << category;
        EXPECT_STREQ(buffer, "Varic Crossfeed") << category;
    }
}

TEST_F(ParameterAndProgram, ProgramNameIndexedRefusesOtherIndices) {
    for (VstInt32 index : {1, -1, 2}) {
        unsigned char buffer[40];
        std::memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, index, 0, buffer), 0) << index;
        for (unsigned char b : buffer) ASSERT_EQ(b, kSentinel) << index;
    }
}

TEST_F(ParameterAndProgram, ARenamedProgramIsReportedButTheEffectNameStays) {
    char name[] = "Late night, low volume";
    EXPECT_EQ(plugin->dispatch(effSetProgramName, 0, 0, name), 0);
    EXPECT_EQ(plugin->text(effGetProgramName), name);
    EXPECT_EQ(plugin->text(effGetProgramNameIndexed, 0, 3), name);
    EXPECT_EQ(plugin->text(effGetEffectName), "Varic Crossfeed");
    EXPECT_EQ(plugin->text(effGetProductString), "Varic Crossfeed");

    char longest[] = "0123456789012345678901234567890";  // 31 characters fit
    plugin->dispatch(effSetProgramName, 0, 0, longest);
    EXPECT_EQ(plugin->text(effGetProgramName), longest);
    char empty[] = "";
    plugin->dispatch(effSetProgramName, 0, 0, empty);
    EXPECT_EQ(plugin->text(effGetProgramName), "");
}

TEST_F(ParameterAndProgram, ATooLongProgramNameIsCutTo31Characters) {
    std::string longName(300, 'x');
    longName[31] = 'Y';
    plugin->dispatch(effSetProgramName, 0, 0, longName.data());
    const Written w = textRequest(*plugin, effGetProgramName);
    EXPECT_EQ(w.text, std::string(31, 'x'));
    EXPECT_EQ(w.touched, 32u);
}

TEST_F(ParameterAndProgram, SelectingAProgramChangesNeitherNameNorStrength) {
    char name[] = "Mine";
    plugin->dispatch(effSetProgramName, 0, 0, name);
    plugin->setParameter(0, 0.5f);
    plugin->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(plugin->text(effGetProgramName), "Mine");
    EXPECT_EQ(plugin->getParameter(0), 0.5f);
}

// ---- Strength and the filter -----------------------------------------------------------------

TEST_F(ParameterAndProgram, AChangedStrengthResetsTheFilterAndAppliesFromTheNextBlock) {
    auto warmup = randomSignal<double>(500, 71);
    auto in = randomSignal<double>(2000, 72);
    Stereo<double> scratch(500), out(2000), fresh(2000);
    processInBlocks(*plugin, warmup, scratch);
    plugin->setParameter(0, 0.25f);
    processInBlocks(*plugin, in, out);

    vsthost::Host freshHost;
    auto freshPlugin = makeInstance(freshHost);
    freshPlugin->setParameter(0, 0.25f);
    processInBlocks(*freshPlugin, in, fresh);
    EXPECT_EQ(differenceOf(fresh, out), "");
}

TEST_F(ParameterAndProgram, AnUnchangedStrengthDoesNotResetTheFilter) {
    auto in = randomSignal<float>(3000, 81);
    Stereo<float> whole(3000), split(3000);
    processInBlocks(*plugin, in, whole);

    vsthost::Host otherHost;
    auto other = makeInstance(otherHost);
    other->processReplacing(in.channels(), split.channels(), 1000);
    other->setParameter(0, 0.1f);                    // rounds to the stored 1000
    other->setParameter(0, other->getParameter(0));  // the value read back
    other->setParameter(0, 0.10004f);                // 1000.4 + 0.5 truncates to 1000
    other->setParameter(1, 0.9f);                    // another index
    other->processReplacing(in.channelsFrom(1000), split.channelsFrom(1000), 2000);
    EXPECT_EQ(differenceOf(whole, split), "");
}

TEST_F(ParameterAndProgram, TheSameNewValueTwiceResetsOnlyOnce) {
    // Two writes of one new value between blocks reset before the next block, exactly once:
    // the result equals a fresh instance at that strength.
    auto in = randomSignal<double>(1000, 91);
    Stereo<double> scratch(1000), out(1000), fresh(1000);
    processInBlocks(*plugin, in, scratch);
    plugin->setParameter(0, 0.3f);
    plugin->setParameter(0, 0.3f);
    processInBlocks(*plugin, in, out);
    vsthost::Host freshHost;
    auto freshPlugin = makeInstance(freshHost);
    freshPlugin->setParameter(0, 0.3f);
    processInBlocks(*freshPlugin, in, fresh);
    EXPECT_EQ(differenceOf(fresh, out), "");
}
