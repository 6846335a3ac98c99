// AudioEffectX's extended dispatcher, resume and flag setters, with a probe effect that logs
// the operation each request reaches and its arguments.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "probe_effect.h"

using probes::attach;
using probes::Log;
using probes::P;

namespace {

// Overrides every operation the extended dispatcher may reach, and those it must not, answering
// `answer` converted to the operation's result type.
class ExtendedProbe : public probes::ProbeEffect {
public:
    using ProbeEffect::ProbeEffect;

#define PROBE_BOOL(name, ...)     \
    record(#name, ##__VA_ARGS__); \
    return answer != 0
#define PROBE_INT(name, ...)      \
    record(#name, ##__VA_ARGS__); \
    return static_cast<VstInt32>(answer)
    VstInt32 processEvents(VstEvents* e) override {
        PROBE_INT(processEvents, e);
    }
    bool canParameterBeAutomated(VstInt32 i) override {
        PROBE_BOOL(canParameterBeAutomated, i);
    }
    bool string2parameter(VstInt32 i, char* t) override {
        PROBE_BOOL(string2parameter, i, t);
    }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override {
        PROBE_BOOL(getProgramNameIndexed, c, i, t);
    }
    bool getInputProperties(VstInt32 i, VstPinProperties* p) override {
        PROBE_BOOL(getInputProperties, i, p);
    }
    bool getOutputProperties(VstInt32 i, VstPinProperties* p) override {
        PROBE_BOOL(getOutputProperties, i, p);
    }
    VstInt32 getPlugCategory() override {
        PROBE_INT(getPlugCategory);
    }
    bool offlineNotify(VstAudioFile* p, VstInt32 n, bool s) override {
        PROBE_BOOL(offlineNotify, p, n, s);
    }
    bool offlinePrepare(VstOfflineTask* p, VstInt32 n) override {
        PROBE_BOOL(offlinePrepare, p, n);
    }
    bool offlineRun(VstOfflineTask* p, VstInt32 n) override {
        PROBE_BOOL(offlineRun, p, n);
    }
    bool processVariableIo(VstVariableIo* p) override {
        PROBE_BOOL(processVariableIo, p);
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* i, VstSpeakerArrangement* o) override {
        PROBE_BOOL(setSpeakerArrangement, i, o);
    }
    bool setBypass(bool b) override {
        PROBE_BOOL(setBypass, b);
    }
    bool getEffectName(char* t) override {
        PROBE_BOOL(getEffectName, t);
    }
    bool getVendorString(char* t) override {
        PROBE_BOOL(getVendorString, t);
    }
    bool getProductString(char* t) override {
        PROBE_BOOL(getProductString, t);
    }
    VstInt32 getVendorVersion() override {
        PROBE_INT(getVendorVersion);
    }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override {
        record("vendorSpecific", a, b, p, f);
        return answer;
    }
    VstInt32 canDo(char* t) override {
        PROBE_INT(canDo, t);
    }
    VstInt32 getGetTailSize() override {
        PROBE_INT(getGetTailSize);
    }
    bool getParameterProperties(VstInt32 i, VstParameterProperties* p) override {
        PROBE_BOOL(getParameterProperties, i, p);
    }
    VstInt32 getVstVersion() override {
        PROBE_INT(getVstVersion);
    }
    VstInt32 getMidiProgramName(VstInt32 c, MidiProgramName* p) override {
        PROBE_INT(getMidiProgramName, c, p);
    }
    VstInt32 getCurrentMidiProgram(VstInt32 c, MidiProgramName* p) override {
        PROBE_INT(getCurrentMidiProgram, c, p);
    }
    VstInt32 getMidiProgramCategory(VstInt32 c, MidiProgramCategory* p) override {
        PROBE_INT(getMidiProgramCategory, c, p);
    }
    bool hasMidiProgramsChanged(VstInt32 c) override {
        PROBE_BOOL(hasMidiProgramsChanged, c);
    }
    bool getMidiKeyName(VstInt32 c, MidiKeyName* p) override {
        PROBE_BOOL(getMidiKeyName, c, p);
    }
    bool beginSetProgram() override {
        PROBE_BOOL(beginSetProgram);
    }
    bool endSetProgram() override {
        PROBE_BOOL(endSetProgram);
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** i, VstSpeakerArrangement** o) override {
        PROBE_BOOL(getSpeakerArrangement, i, o);
    }
    VstInt32 getNextShellPlugin(char* t) override {
        PROBE_INT(getNextShellPlugin, t);
    }
    VstInt32 startProcess() override {
        PROBE_INT(startProcess);
    }
    VstInt32 stopProcess() override {
        PROBE_INT(stopProcess);
    }
    VstInt32 setTotalSampleToProcess(VstInt32 v) override {
        PROBE_INT(setTotalSampleToProcess, v);
    }
    bool setPanLaw(VstInt32 t, float v) override {
        PROBE_BOOL(setPanLaw, t, v);
    }
    VstInt32 beginLoadBank(VstPatchChunkInfo* p) override {
        PROBE_INT(beginLoadBank, p);
    }
    VstInt32 beginLoadProgram(VstPatchChunkInfo* p) override {
        PROBE_INT(beginLoadProgram, p);
    }
    bool setProcessPrecision(VstInt32 p) override {
        PROBE_BOOL(setProcessPrecision, p);
    }
    VstInt32 getNumMidiInputChannels() override {
        PROBE_INT(getNumMidiInputChannels);
    }
    VstInt32 getNumMidiOutputChannels() override {
        PROBE_INT(getNumMidiOutputChannels);
    }

    // Operations that have requests of their own in the interface but that the dispatcher must
    // leave alone.
    VstInt32 getNumCategories() override {
        PROBE_INT(getNumCategories);
    }
    bool copyProgram(VstInt32 d) override {
        PROBE_BOOL(copyProgram, d);
    }
    void inputConnected(VstInt32 i, bool s) override {
        record("inputConnected", i, s);
    }
    void outputConnected(VstInt32 i, bool s) override {
        record("outputConnected", i, s);
    }
    VstInt32 reportCurrentPosition() override {
        PROBE_INT(reportCurrentPosition);
    }
    float* reportDestinationBuffer() override {
        record("reportDestinationBuffer");
        return nullptr;
    }
    void setBlockSizeAndSampleRate(VstInt32 b, float r) override {
        record("setBlockSizeAndSampleRate", b, r);
    }
    bool getErrorText(char* t) override {
        PROBE_BOOL(getErrorText, t);
    }
    void* getIcon() override {
        record("getIcon");
        return nullptr;
    }
    bool setViewPosition(VstInt32 x, VstInt32 y) override {
        PROBE_BOOL(setViewPosition, x, y);
    }
    VstInt32 fxIdle() override {
        PROBE_INT(fxIdle);
    }
    bool keysRequired() override {
        PROBE_BOOL(keysRequired);
    }
#undef PROBE_BOOL
#undef PROBE_INT
};

enum class Result { OneOrZero, Int32, Unchanged };

struct Row {
    VstInt32 opcode;
    const char* call;
    Result result;
};

// Every request carries index 3, value 0x1_0000_0005 (5 in its low half, non-zero as a whole),
// ptr P and opt 2.5.
constexpr VstIntPtr kValue = static_cast<VstIntPtr>(0x100000005ll);
const Row kRows[] = {
    {effProcessEvents, "processEvents(P)", Result::Int32},
    {effCanBeAutomated, "canParameterBeAutomated(3)", Result::OneOrZero},
    {effString2Parameter, "string2parameter(3,P)", Result::OneOrZero},
    {effGetProgramNameIndexed, "getProgramNameIndexed(5,3,P)", Result::OneOrZero},
    {effGetInputProperties, "getInputProperties(3,P)", Result::OneOrZero},
    {effGetOutputProperties, "getOutputProperties(3,P)", Result::OneOrZero},
    {effGetPlugCategory, "getPlugCategory()", Result::Int32},
    {effOfflineNotify, "offlineNotify(P,5,1)", Result::OneOrZero},
    {effOfflinePrepare, "offlinePrepare(P,5)", Result::OneOrZero},
    {effOfflineRun, "offlineRun(P,5)", Result::OneOrZero},
    {effProcessVarIo, "processVariableIo(P)", Result::OneOrZero},
    {effSetSpeakerArrangement, "setSpeakerArrangement(0x100000005,P)", Result::OneOrZero},
    {effSetBypass, "setBypass(1)", Result::OneOrZero},
    {effGetEffectName, "getEffectName(P)", Result::OneOrZero},
    {effGetVendorString, "getVendorString(P)", Result::OneOrZero},
    {effGetProductString, "getProductString(P)", Result::OneOrZero},
    {effGetVendorVersion, "getVendorVersion()", Result::Int32},
    {effVendorSpecific, "vendorSpecific(3,4294967301,P,2.5)", Result::Unchanged},
    {effCanDo, "canDo(P)", Result::Int32},
    {effGetTailSize, "getGetTailSize()", Result::Int32},
    {effGetParameterProperties, "getParameterProperties(3,P)", Result::OneOrZero},
    {effGetVstVersion, "getVstVersion()", Result::Int32},
    {effGetMidiProgramName, "getMidiProgramName(3,P)", Result::Int32},
    {effGetCurrentMidiProgram, "getCurrentMidiProgram(3,P)", Result::Int32},
    {effGetMidiProgramCategory, "getMidiProgramCategory(3,P)", Result::Int32},
    {effHasMidiProgramsChanged, "hasMidiProgramsChanged(3)", Result::OneOrZero},
    {effGetMidiKeyName, "getMidiKeyName(3,P)", Result::OneOrZero},
    {effBeginSetProgram, "beginSetProgram()", Result::OneOrZero},
    {effEndSetProgram, "endSetProgram()", Result::OneOrZero},
    {effGetSpeakerArrangement, "getSpeakerArrangement(0x100000005,P)", Result::OneOrZero},
    {effShellGetNextPlugin, "getNextShellPlugin(P)", Result::Int32},
    {effStartProcess, "startProcess()", Result::Int32},
    {effStopProcess, "stopProcess()", Result::Int32},
    {effSetTotalSampleToProcess, "setTotalSampleToProcess(5)", Result::Int32},
    {effSetPanLaw, "setPanLaw(5,2.5)", Result::OneOrZero},
    {effBeginLoadBank, "beginLoadBank(P)", Result::Int32},
    {effBeginLoadProgram, "beginLoadProgram(P)", Result::Int32},
    {effSetProcessPrecision, "setProcessPrecision(5)", Result::OneOrZero},
    {effGetNumMidiInputChannels, "getNumMidiInputChannels()", Result::Int32},
    {effGetNumMidiOutputChannels, "getNumMidiOutputChannels()", Result::Int32},
};

VstIntPtr expectedResult(Result kind, VstIntPtr answer) {
    switch (kind) {
        case Result::OneOrZero: return answer != 0 ? 1 : 0;
        case Result::Int32: return static_cast<VstInt32>(answer);
        case Result::Unchanged: return answer;
    }
    return 0;
}

}  // namespace

TEST(ExtendedDispatcher, EachRequestReachesItsOperationWithConvertedArguments) {
    vsthost::Host host;
    auto [probe, plugin] = attach<ExtendedProbe>(&host);
    for (const Row& row : kRows) {
        probe->log.clear();
        plugin->dispatch(row.opcode, 3, kValue, P, 2.5f);
        ASSERT_EQ(probe->log.size(), 1u) << "opcode " << row.opcode;
        EXPECT_EQ(probe->log[0], row.call) << "opcode " << row.opcode;
    }
}

TEST(ExtendedDispatcher, ResultsAreConvertedAsTheirKindSays) {
    vsthost::Host host;
    auto [probe, plugin] = attach<ExtendedProbe>(&host);
    const VstIntPtr answers[] = {0, 1, -2, static_cast<VstIntPtr>(0x100000007ll),
                                 static_cast<VstIntPtr>(0x100000000ll)};
    for (VstIntPtr answer : answers) {
        probe->answer = answer;
        for (const Row& row : kRows) {
            EXPECT_EQ(plugin->dispatch(row.opcode, 3, kValue, P, 2.5f),
                      expectedResult(row.result, answer))
                << "opcode " << row.opcode << " answer " << answer;
        }
    }
}

TEST(ExtendedDispatcher, FlagArgumentsTestTheWholeValueOrIndex) {
    vsthost::Host host;
    auto [probe, plugin] = attach<ExtendedProbe>(&host);
    plugin->dispatch(effSetBypass, 0, VstIntPtr{1} << 32);  // low half zero
    plugin->dispatch(effSetBypass, 0, 0);
    plugin->dispatch(effOfflineNotify, -1, 0, P);
    plugin->dispatch(effOfflineNotify, 0, 0, P);
    EXPECT_EQ(probe->log, (Log{"setBypass(1)", "setBypass(0)", "offlineNotify(P,0,1)",
                               "offlineNotify(P,0,0)"}));
}

TEST(ExtendedDispatcher, PassedOnRequestsReachNoOperationAndAnswerZero) {
    vsthost::Host host;
    auto [probe, plugin] = attach<ExtendedProbe>(&host);
    probe->answer = 1;
    const VstInt32 passedOn[] = {effGetNumProgramCategories,
                                 effCopyProgram,
                                 effConnectInput,
                                 effConnectOutput,
                                 effGetCurrentPosition,
                                 effGetDestinationBuffer,
                                 effSetBlockSizeAndSampleRate,
                                 effGetErrorText,
                                 effIdle,
                                 effGetIcon,
                                 effSetViewPosition,
                                 effKeysRequired};
    for (VstInt32 opcode : passedOn) {
        EXPECT_EQ(plugin->dispatch(opcode, 3, kValue, P, 96000.0f), 0) << opcode;
    }
    EXPECT_EQ(probe->log, Log{});
    EXPECT_EQ(probe->sampleRateField(), 44100.0f);
    EXPECT_EQ(probe->blockSizeField(), 1024);
    for (VstInt32 opcode : {80, 1000, -1})
        EXPECT_EQ(plugin->dispatch(opcode, 3, kValue, P, 1.0f), 0);
    EXPECT_TRUE(probe->log.empty());
}

TEST(ExtendedDispatcher, CoreRequestsStillReachTheCoreDispatcher) {
    vsthost::Host host;
    auto [probe, plugin] = attach<ExtendedProbe>(&host);
    EXPECT_EQ(plugin->dispatch(effIdentify), 0x4E764566);
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(probe->sampleRateField(), 96000.0f);
}

// ---- key and knob requests -------------------------------------------------------------------

TEST(ExtendedKeys, KeyRequestsBuildAKeyCodeFromIndexValueAndOpt) {
    Log log;  // outlives the effect, which destroys the editor
    vsthost::Host host;
    auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
    auto* editor = new probes::ProbeEditor(log);
    effect->editorSlot() = editor;

    // The key code's character, virt (low 8 bits of value) and modifier (low 8 bits of opt
    // truncated to int32).
    struct Case {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        const char* call;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {effEditKeyDown, 'a', 0x1FF, 300.7f, "onKeyDown(97,255,44)"},  // 300, low 8 bits
        {effEditKeyUp, -5, static_cast<VstIntPtr>(0x100000003ll), -1.5f, "onKeyUp(-5,3,255)"},
        {effEditKeyDown, 0, 0, nan, "onKeyDown(0,0,0)"},  // NaN has no int32: -2^31, low byte 0
        {effEditKeyUp, 0, 0, 1e20f, "onKeyUp(0,0,0)"},
        {effEditKeyDown, 7, 7, 2.0f, "onKeyDown(7,7,2)"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(plugin->dispatch(c.opcode, c.index, c.value, nullptr, c.opt), 1);
        EXPECT_EQ(log, Log{c.call});
    }
    log.clear();
    editor->answer = false;
    EXPECT_EQ(plugin->dispatch(effEditKeyDown, 1, 1, nullptr, 1.0f), 0);
    EXPECT_EQ(plugin->dispatch(effSetEditKnobMode, 0, static_cast<VstIntPtr>(0x100000002ll)), 0);
    editor->answer = true;
    EXPECT_EQ(plugin->dispatch(effSetEditKnobMode, 0, -1), 1);
    EXPECT_EQ(log, (Log{"onKeyDown(1,1,1)", "setKnobMode(2)", "setKnobMode(-1)"}));
}

TEST(ExtendedKeys, WithoutAnEditorKeyRequestsAnswerZero) {
    vsthost::Host host;
    auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
    for (VstInt32 opcode : {effEditKeyDown, effEditKeyUp, effSetEditKnobMode}) {
        EXPECT_EQ(plugin->dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
    }
}

// ---- resume ----------------------------------------------------------------------------------

TEST(ExtendedResume, EventsAreRequestedForASynthOrAnAnswerOfExactlyOne) {
    const std::string asksItself = "canDo(\"receiveVstMidiEvent\")";
    struct Case {
        bool synth;
        VstInt32 canDoAnswer;
        Log log;
        bool requests;
    };
    const Case cases[] = {
        {true, 0, {"resume()", "wantEvents(1)"}, true},
        {false, 1, {"resume()", asksItself, "wantEvents(1)"}, true},
        {false, -1, {"resume()", asksItself}, false},
        {false, 2, {"resume()", asksItself}, false},
        {false, 0, {"resume()", asksItself}, false},
    };
    for (const Case& c : cases) {
        vsthost::Host host;
        auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
        effect->isSynth(c.synth);
        effect->answer = c.canDoAnswer;
        host.setAnswer([](const vsthost::HostRequest&) { return VstIntPtr{-9}; });  // ignored
        plugin->dispatch(effMainsChanged, 0, 1);
        EXPECT_EQ(effect->log, c.log) << "synth " << c.synth << " canDo " << c.canDoAnswer;
        const auto requests = host.requests();
        ASSERT_EQ(requests.size(), c.requests ? 1u : 0u)
            << "synth " << c.synth << " canDo " << c.canDoAnswer;
        if (c.requests) {
            EXPECT_EQ(requests[0].opcode, audioMasterWantMidi);
            EXPECT_EQ(requests[0].effect, plugin->effect());
            EXPECT_EQ(requests[0].index, 0);
            EXPECT_EQ(requests[0].value, 1);
            EXPECT_EQ(requests[0].ptr, nullptr);
            EXPECT_EQ(requests[0].opt, 0.0f);
        }
    }
}

TEST(ExtendedResume, WithoutAHostASynthSendsNothingAndSurvives) {
    auto [effect, plugin] = attach<probes::ProbeEffect>(nullptr);
    effect->isSynth();
    plugin->resume();
    EXPECT_EQ(effect->log, (Log{"resume()", "wantEvents(1)"}));
}

// ---- flags and category ----------------------------------------------------------------------

TEST(ExtendedFlags, EachSetterTouchesOnlyItsOwnBit) {
    vsthost::Host host;
    auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
    probes::expectSettersTouchOnlyTheirBits(*effect, *plugin->effect(),
                                            {{&AudioEffectX::isSynth, 0x100},
                                             {&AudioEffectX::noTail, 0x200},
                                             {&AudioEffectX::wantAsyncOperation, 0x400},
                                             {&AudioEffectX::hasExternalBuffer, 0x800}});
}

TEST(ExtendedFlags, CategoryFollowsTheSynthFlag) {
    vsthost::Host host;
    auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), 0);
    effect->isSynth(true);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), 2);
    effect->isSynth(false);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), 0);
}

TEST(ExtendedDefaults, AnswerWithoutAskingAnyone) {
    vsthost::Host host;
    auto [effect, plugin] = attach<probes::ProbeEffect>(&host);
    EXPECT_EQ(effect->getNumCategories(), 1);
    EXPECT_EQ(effect->setTotalSampleToProcess(-7), -7);
    EXPECT_EQ(effect->getCurrentMidiProgram(0, nullptr), -1);
    EXPECT_EQ(effect->getVstVersion(), 2400);
    EXPECT_TRUE(effect->canParameterBeAutomated(12345));
    effect->setBlockSizeAndSampleRate(256, 96000.0f);
    EXPECT_EQ(effect->blockSizeField(), 256);
    EXPECT_EQ(effect->sampleRateField(), 96000.0f);
    EXPECT_EQ(effect->reportDestinationBuffer(), nullptr);
    EXPECT_EQ(effect->getIcon(), nullptr);
    EXPECT_TRUE(host.requests().empty());
}
