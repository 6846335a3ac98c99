// The extended requests 25..79 as the crossfeed answers them through its record.

#include <climits>
#include <cstring>

#include "host_test_support.h"

namespace {

class ExtendedRequests : public testing_support::PluginTest {};

// Buffers are filled with this before a request, so that exactly the bytes a request writes
// can be seen.
constexpr unsigned char kSentinel = 0xA5;

struct Row {
    VstInt32 opcode;
    VstIntPtr answer;
    const char* text;  // what the request writes into ptr, or null when it writes nothing
};

// Requests that need no special arguments. A text row writes exactly its text and terminator.
const Row kRows[] = {
    {effProcessEvents, 0, nullptr},
    {effCanBeAutomated, 1, nullptr},
    {effString2Parameter, 0, nullptr},
    {effGetNumProgramCategories, 0, nullptr},  // not dispatched, although there is one category
    {effGetProgramNameIndexed, 1, "Varic Crossfeed"},
    {effCopyProgram, 0, nullptr},
    {effConnectInput, 0, nullptr},
    {effConnectOutput, 0, nullptr},
    {effGetInputProperties, 0, nullptr},
    {effGetOutputProperties, 0, nullptr},
    {effGetPlugCategory, 0, nullptr},
    {effGetCurrentPosition, 0, nullptr},
    {effGetDestinationBuffer, 0, nullptr},
    {effOfflineNotify, 0, nullptr},
    {effOfflinePrepare, 0, nullptr},
    {effOfflineRun, 0, nullptr},
    {effProcessVarIo, 0, nullptr},
    {effSetSpeakerArrangement, 0, nullptr},
    {effSetBlockSizeAndSampleRate, 0, nullptr},
    {effSetBypass, 0, nullptr},
    {effGetEffectName, 1, "Varic Crossfeed"},
    {effGetErrorText, 0, nullptr},
    {effGetVendorString, 1, "Nalt"},
    {effGetProductString, 1, "Varic Crossfeed"},
    {effGetVendorVersion, 1000, nullptr},
    {effVendorSpecific, 0, nullptr},
    {effCanDo, 0, nullptr},
    {effGetTailSize, 0, nullptr},
    {effIdle, 0, nullptr},
    {effGetIcon, 0, nullptr},
    {effSetViewPosition, 0, nullptr},
    {effGetParameterProperties, 0, nullptr},
    {effKeysRequired, 0, nullptr},
    {effGetVstVersion, 2400, nullptr},
    {effEditKeyDown, 0, nullptr},
    {effEditKeyUp, 0, nullptr},
    {effSetEditKnobMode, 0, nullptr},
    {effGetMidiProgramName, 0, nullptr},
    {effGetCurrentMidiProgram, -1, nullptr},
    {effGetMidiProgramCategory, 0, nullptr},
    {effHasMidiProgramsChanged, 0, nullptr},
    {effGetMidiKeyName, 0, nullptr},
    {effBeginSetProgram, 0, nullptr},
    {effEndSetProgram, 0, nullptr},
    {effShellGetNextPlugin, 0, nullptr},
    {effStartProcess, 0, nullptr},
    {effStopProcess, 0, nullptr},
    {effSetPanLaw, 0, nullptr},
    {effBeginLoadBank, 0, nullptr},
    {effBeginLoadProgram, 0, nullptr},
    {effSetProcessPrecision, 0, nullptr},
    {effGetNumMidiInputChannels, 0, nullptr},
    {effGetNumMidiOutputChannels, 0, nullptr},
};

}  // namespace

TEST_F(ExtendedRequests, EveryExtendedRequestAnswersAsTheCrossfeedShould) {
    for (const Row& row : kRows) {
        unsigned char buffer[256];
        std::memset(buffer, kSentinel, sizeof buffer);
        // The two requests that read a text from ptr get one.
        if (row.opcode == effCanDo || row.opcode == effString2Parameter) {
            std::strcpy(reinterpret_cast<char*>(buffer), "receiveVstMidiEvent");
        }
        unsigned char before[256];
        std::memcpy(before, buffer, sizeof buffer);

        const VstIntPtr answer = plugin->dispatch(row.opcode, 0, 0, buffer, 0.0f);
        EXPECT_EQ(answer, row.answer) << "opcode " << row.opcode;
        if (row.text != nullptr) {
            const std::size_t length = std::strlen(row.text);
            EXPECT_EQ(std::memcmp(buffer, row.text, length + 1), 0) << "opcode " << row.opcode;
            for (std::size_t i = length + 1; i < sizeof buffer; ++i) {
                ASSERT_EQ(buffer[i], kSentinel) << "opcode " << row.opcode << " wrote byte " << i;
            }
        } else {
            EXPECT_EQ(std::memcmp(buffer, before, sizeof buffer), 0)
                << "opcode " << row.opcode << " wrote into ptr";
        }
    }
    EXPECT_TRUE(host.requests().empty()) << "no extended request asks the host anything";
}

TEST_F(ExtendedRequests, CanDoAnswersZeroToEveryText) {
    for (const char* text : {"receiveVstMidiEvent", "sendVstMidiEvent", "bypass",
                             "plugAsChannelInsert", "2in2out", ""}) {
        std::string copy = text;
        EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, copy.data()), 0) << text;
    }
}

TEST_F(ExtendedRequests, CanBeAutomatedAnswersOneForAnyIndex) {
    for (VstInt32 index : {0, 1, 2, -1, 1000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(plugin->dispatch(effCanBeAutomated, index), 1) << index;
    }
}

TEST_F(ExtendedRequests, GetSpeakerArrangementNullsBothSlots) {
    int dummy = 0;
    void* input = &dummy;
    void* output = &dummy;
    EXPECT_EQ(
        plugin->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output),
        0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST_F(ExtendedRequests, SetTotalSampleToProcessEchoesTheLowHalfSignExtended) {
    struct Case {
        VstIntPtr value;
        VstIntPtr answer;
    };
    const Case cases[] = {
        {5, 5},
        {static_cast<VstIntPtr>(0x700000005ll), 5},
        {static_cast<VstIntPtr>(0xFFFFFFFF00000005ull), 5},
        {-7, -7},
        {static_cast<VstIntPtr>(0x00000000FFFFFFF9ll), -7},
        {static_cast<VstIntPtr>(0x0000000080000000ll), INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plugin->dispatch(effSetTotalSampleToProcess, 0, c.value), c.answer) << c.value;
    }
}

TEST_F(ExtendedRequests, BlockSizeAndSampleRateTogetherChangeNothing) {
    // Passed on to the core dispatcher, which answers 0: the sample rate stays 44100, so the
    // impulse response is still the 44.1 kHz one.
    EXPECT_EQ(plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.0f), 0);
    testing_support::Stereo<double> in(3), out(3);
    in.left[0] = 1.0;
    plugin->processDoubleReplacing(in.channels(), out.channels(), 3);
    EXPECT_EQ(out.left[2], -0.022675736961451247);
}

TEST_F(ExtendedRequests, VendorSpecificAnswersZeroWhateverItsArguments) {
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, fourCharCode('s', 't', 'C', 'A'),
                               fourCharCode('F', 'U', 'i', 'd'), &host, 1.0f),
              0);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, -1, -1, nullptr, -1.0f), 0);
}
