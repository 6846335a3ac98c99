// AudioEffectX's requests to the host, against the recording host: what each one sends, and
// how it reads the host's answer.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "probe_effect.h"

using probes::attach;
using probes::ProbeEffect;

namespace {

// How an operation reads the host's pointer-sized answer.
enum class Reads { Bool, Int32, OneOrZero, Pointer, Unchanged, Nothing };

// Distinct addresses for the records that only travel by address; never looked into.
char textBuffer[64];
char recordA[16], recordB[16];
template <class T>
T* fake(char* storage) {
    return reinterpret_cast<T*>(storage);
}

struct Row {
    const char* name;
    // Calls the operation; the result as the pointer-sized integer it stands for.
    std::function<VstIntPtr(AudioEffectX&)> call;
    VstInt32 opcode;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
    Reads reads = Reads::Bool;
};

VstIntPtr asInt(bool b) {
    return b ? 1 : 0;
}
VstIntPtr asInt(VstInt32 i) {
    return i;
}
VstIntPtr asInt(VstIntPtr i) {
    return i;
}
template <class T>
VstIntPtr asInt(T* p) {
    return reinterpret_cast<VstIntPtr>(p);
}

#define OP(expr) [](AudioEffectX& e) -> VstIntPtr { return asInt(e.expr); }
#define VOID_OP(expr)                  \
    [](AudioEffectX& e) -> VstIntPtr { \
        e.expr;                        \
        return 0;                      \
    }

// Every request of the table, with arguments chosen so that swapped or dropped ones show.
const Row kRows[] = {
    {"beginEdit", OP(beginEdit(7)), audioMasterBeginEdit, 7},
    {"endEdit", OP(endEdit(-3)), audioMasterEndEdit, -3},
    {"ioChanged", OP(ioChanged()), audioMasterIOChanged},
    {"getInputLatency", OP(getInputLatency()), audioMasterGetInputLatency, 0, 0, nullptr, 0,
     Reads::Int32},
    {"getOutputLatency", OP(getOutputLatency()), audioMasterGetOutputLatency, 0, 0, nullptr, 0,
     Reads::Int32},
    {"getTimeInfo", OP(getTimeInfo(-2)), audioMasterGetTime, 0, -2, nullptr, 0, Reads::Pointer},
    {"getCurrentProcessLevel", OP(getCurrentProcessLevel()), audioMasterGetCurrentProcessLevel, 0,
     0, nullptr, 0, Reads::Int32},
    {"getAutomationState", OP(getAutomationState()), audioMasterGetAutomationState, 0, 0, nullptr,
     0, Reads::Int32},
    {"getHostVendorString", OP(getHostVendorString(textBuffer)), audioMasterGetVendorString, 0, 0,
     textBuffer},
    {"getHostProductString", OP(getHostProductString(textBuffer)), audioMasterGetProductString, 0,
     0, textBuffer},
    {"getHostVendorVersion", OP(getHostVendorVersion()), audioMasterGetVendorVersion, 0, 0, nullptr,
     0, Reads::Int32},
    {"hostVendorSpecific", OP(hostVendorSpecific(-9, VstIntPtr{0x123456789}, recordA, 2.5f)),
     audioMasterVendorSpecific, -9, VstIntPtr{0x123456789}, recordA, 2.5f, Reads::Unchanged},
    {"canHostDo", OP(canHostDo(textBuffer)), audioMasterCanDo, 0, 0, textBuffer, 0,
     Reads::OneOrZero},
    {"getHostLanguage", OP(getHostLanguage()), audioMasterGetLanguage, 0, 0, nullptr, 0,
     Reads::Int32},
    {"getDirectory", OP(getDirectory()), audioMasterGetDirectory, 0, 0, nullptr, 0, Reads::Pointer},
    {"updateDisplay", OP(updateDisplay()), audioMasterUpdateDisplay},
    {"sizeWindow", OP(sizeWindow(640, 480)), audioMasterSizeWindow, 640, 480},
    {"openFileSelector", OP(openFileSelector(fake<VstFileSelect>(recordA))),
     audioMasterOpenFileSelector, 0, 0, recordA},
    {"closeFileSelector", OP(closeFileSelector(fake<VstFileSelect>(recordB))),
     audioMasterCloseFileSelector, 0, 0, recordB},
    {"offlineRead source", OP(offlineRead(fake<VstOfflineTask>(recordA), kVstOfflinePeaks, true)),
     audioMasterOfflineRead, 1, kVstOfflinePeaks, recordA},
    {"offlineRead no source",
     OP(offlineRead(fake<VstOfflineTask>(recordA), kVstOfflineParameter, false)),
     audioMasterOfflineRead, 0, kVstOfflineParameter, recordA},
    {"offlineWrite", OP(offlineWrite(fake<VstOfflineTask>(recordB), kVstOfflineMarker)),
     audioMasterOfflineWrite, 0, kVstOfflineMarker, recordB},
    {"offlineStart", OP(offlineStart(fake<VstAudioFile>(recordA), 4, 1)), audioMasterOfflineStart,
     1, 4, recordA},
    {"offlineGetCurrentPass", OP(offlineGetCurrentPass()), audioMasterOfflineGetCurrentPass, 0, 0,
     nullptr, 0, Reads::OneOrZero},
    {"offlineGetCurrentMetaPass", OP(offlineGetCurrentMetaPass()),
     audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0, Reads::OneOrZero},
    {"wantEvents", VOID_OP(wantEvents(1)), audioMasterWantMidi, 0, 1, nullptr, 0, Reads::Nothing},
    {"tempoAt", OP(tempoAt(-5)), audioMasterTempoAt, 0, -5, nullptr, 0, Reads::Int32},
    {"getNumAutomatableParameters", OP(getNumAutomatableParameters()),
     audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0, Reads::Int32},
    {"getParameterQuantization", OP(getParameterQuantization()),
     audioMasterGetParameterQuantization, 0, 0, nullptr, 0, Reads::Int32},
    {"needIdle", OP(needIdle()), audioMasterNeedIdle},
    {"getPreviousPlug", OP(getPreviousPlug(5)), audioMasterGetPreviousPlug, 0, 0, nullptr, 0,
     Reads::Pointer},
    {"getNextPlug", OP(getNextPlug(6)), audioMasterGetNextPlug, 0, 0, nullptr, 0, Reads::Pointer},
    {"willProcessReplacing", OP(willProcessReplacing()), audioMasterWillReplaceOrAccumulate, 0, 0,
     nullptr, 0, Reads::Int32},
    {"setOutputSamplerate", VOID_OP(setOutputSamplerate(48000.5f)), audioMasterSetOutputSampleRate,
     0, 0, nullptr, 48000.5f, Reads::Nothing},
    {"getInputSpeakerArrangement", OP(getInputSpeakerArrangement()),
     audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0, Reads::Pointer},
    {"getOutputSpeakerArrangement", OP(getOutputSpeakerArrangement()),
     audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0, Reads::Pointer},
    {"openWindow", OP(openWindow(fake<VstWindow>(recordA))), audioMasterOpenWindow, 0, 0, recordA,
     0, Reads::Pointer},
    {"closeWindow", OP(closeWindow(fake<VstWindow>(recordB))), audioMasterCloseWindow, 0, 0,
     recordB},
    {"getChunkFile", OP(getChunkFile(recordA)), audioMasterGetChunkFile, 0, 0, recordA},
};

// What an operation gives for a host answer, by the way it reads it.
VstIntPtr expectedResult(Reads reads, VstIntPtr answer) {
    switch (reads) {
        case Reads::Bool:
        case Reads::OneOrZero: return answer != 0 ? 1 : 0;
        case Reads::Int32: return static_cast<VstInt32>(answer);
        case Reads::Pointer:
        case Reads::Unchanged: return answer;
        case Reads::Nothing: return 0;
    }
    return 0;
}

// Answers whose halves differ, so that reading the wrong half, or only one, shows.
const VstIntPtr kAnswers[] = {
    0,
    1,
    -1,
    3,
    static_cast<VstIntPtr>(0x100000000ll),
    static_cast<VstIntPtr>(0xFFFFFFFF00000001ull),
    static_cast<VstIntPtr>(0x0000000080000000ll),
};

}  // namespace

TEST(HostRequests, EachSendsOneRequestWithItsArgumentsAndReadsTheAnswer) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    VstIntPtr answer = 0;
    host.setAnswer([&](const vsthost::HostRequest&) { return answer; });
    for (const Row& row : kRows) {
        for (VstIntPtr a : kAnswers) {
            answer = a;
            host.clearRequests();
            const VstIntPtr result = row.call(*effect);
            const auto requests = host.requests();
            ASSERT_EQ(requests.size(), 1u) << row.name;
            const vsthost::HostRequest& r = requests[0];
            EXPECT_EQ(r.effect, plugin->effect()) << row.name;
            EXPECT_EQ(r.opcode, row.opcode) << row.name;
            EXPECT_EQ(r.index, row.index) << row.name;
            EXPECT_EQ(r.value, row.value) << row.name;
            EXPECT_EQ(r.ptr, row.ptr) << row.name;
            EXPECT_EQ(r.opt, row.opt) << row.name;
            EXPECT_EQ(result, expectedResult(row.reads, a))
                << row.name << " answer " << std::hex << a;
        }
    }
    EXPECT_EQ(effect->sampleRateField(), 44100.0f) << "only the two updates change settings";
    EXPECT_EQ(effect->blockSizeField(), 1024);
}

TEST(HostRequests, WithoutACallbackNothingIsSentAndEachGivesItsNoHostAnswer) {
    auto [effect, plugin] = attach<ProbeEffect>(nullptr);
    for (const Row& row : kRows) {
        EXPECT_EQ(row.call(*effect), 0) << row.name;  // false, 0 or null in every reading
    }
    effect->setSampleRate(22050.0f);
    effect->setBlockSize(333);
    EXPECT_EQ(effect->updateSampleRate(), 22050.0);
    EXPECT_EQ(effect->updateBlockSize(), 333);
}

TEST(HostRequests, NullRecordsAreRefusedBeforeAnythingIsSent) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    host.setAnswer([](const vsthost::HostRequest&) { return VstIntPtr{1}; });
    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->getChunkFile(nullptr));
    EXPECT_TRUE(host.requests().empty());
}

TEST(HostRequests, SampleRateIsTestedOverTheWholeAnswerAndStoredAsAFloat) {
    struct Case {
        VstIntPtr answer;
        double result;  // returned and stored
    };
    const Case cases[] = {
        {48000, 48000.0},
        {0, 44100.0},
        {-1, 44100.0},
        {static_cast<VstIntPtr>(0xFFFFFFFF00000001ull), 44100.0},  // negative as a whole
        {static_cast<VstIntPtr>(0x100000000ll), 4294967296.0},     // low half 0, whole positive
        {16777217, 16777216.0},  // the stored float, not the host's integer
    };
    for (const Case& c : cases) {
        vsthost::Host host;
        auto [effect, plugin] = attach<ProbeEffect>(&host);
        host.setAnswer([&](const vsthost::HostRequest&) { return c.answer; });
        EXPECT_EQ(effect->updateSampleRate(), c.result) << c.answer;
        EXPECT_EQ(effect->sampleRateField(), static_cast<float>(c.result)) << c.answer;
        ASSERT_EQ(host.requests().size(), 1u);
        EXPECT_EQ(host.requests()[0].opcode, audioMasterGetSampleRate);
        EXPECT_TRUE(effect->log.empty())
            << "the field is written directly, not through setSampleRate";
    }
}

TEST(HostRequests, BlockSizeIsTestedAfterCuttingTo32Bits) {
    struct Case {
        VstIntPtr answer;
        VstInt32 result;
    };
    const Case cases[] = {
        {512, 512},
        {0, 1024},
        {-1, 1024},
        {static_cast<VstIntPtr>(0x100000100ll), 256},
        {static_cast<VstIntPtr>(0x100000000ll), 1024},         // low half 0
        {static_cast<VstIntPtr>(0x0000000080000000ll), 1024},  // low half negative
        {static_cast<VstIntPtr>(0xFFFFFFFF00000001ull), 1},    // whole negative, low half 1
    };
    for (const Case& c : cases) {
        vsthost::Host host;
        auto [effect, plugin] = attach<ProbeEffect>(&host);
        host.setAnswer([&](const vsthost::HostRequest&) { return c.answer; });
        EXPECT_EQ(effect->updateBlockSize(), c.result) << c.answer;
        EXPECT_EQ(effect->blockSizeField(), c.result) << c.answer;
        ASSERT_EQ(host.requests().size(), 1u);
        EXPECT_EQ(host.requests()[0].opcode, audioMasterGetBlockSize);
        EXPECT_TRUE(effect->log.empty())
            << "the field is written directly, not through setBlockSize";
    }
}

// The host library's own answers come from the table a host is made with (varic and the
// validator each fill one in); the rate and block size follow the instance's configuration,
// the process level whether the request comes from inside a processing call, and a bounded
// log keeps the first requests and counts them all.
TEST(HostRequests, TheHostLibraryAnswersFromItsTable) {
    struct LevelProbe : ProbeEffect {
        using ProbeEffect::ProbeEffect;
        void processReplacing(float**, float**, VstInt32) override {
            levelInProcessing = getCurrentProcessLevel();
        }
        VstInt32 levelInProcessing = -1;
    };
    vsthost::HostAnswers answers;
    answers.sampleRate = 48000.0f;
    answers.blockSize = 512;
    answers.processLevel = vsthost::kProcessLevelUser;
    answers.processLevelInProcessing = vsthost::kProcessLevelRealtime;
    answers.vendor = "A vendor";
    answers.product = "A product";
    answers.vendorVersion = 7;
    answers.keep = 2;
    vsthost::Host host(answers);
    auto [effect, instance] = attach<LevelProbe>(&host);
    char text[kVstMaxVendorStrLen];
    EXPECT_TRUE(effect->getHostVendorString(text));
    EXPECT_STREQ(text, "A vendor");
    EXPECT_TRUE(effect->getHostProductString(text));
    EXPECT_STREQ(text, "A product");
    EXPECT_EQ(effect->getHostVendorVersion(), 7);
    EXPECT_EQ(effect->updateSampleRate(), 48000.0);
    EXPECT_EQ(effect->updateBlockSize(), 512);
    EXPECT_EQ(effect->getCurrentProcessLevel(), vsthost::kProcessLevelUser);
    instance->configure(96000.0f, 256, vsthost::Precision::float32);
    EXPECT_EQ(effect->updateSampleRate(), 96000.0);
    EXPECT_EQ(effect->updateBlockSize(), 256);
    float* none[2] = {nullptr, nullptr};
    instance->processReplacing(none, none, 0);
    EXPECT_EQ(effect->levelInProcessing, vsthost::kProcessLevelRealtime);
    ASSERT_EQ(host.requests().size(), 2u);
    EXPECT_EQ(host.requests()[0].opcode, audioMasterGetVendorString);
    EXPECT_EQ(host.requests()[1].opcode, audioMasterGetProductString);
    EXPECT_EQ(host.requestCount(), 9);
}
