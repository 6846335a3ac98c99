// AudioEffect's core dispatcher, requests to the host, flag setters and editor handling,
// through a probe effect's own record.

#include <gtest/gtest.h>

#include <cstring>

#include "probe_effect.h"

using probes::attach;
using probes::Log;
using probes::P;
using probes::ProbeEditor;
using probes::ProbeEffect;

namespace {

class CoreDispatcher : public ::testing::Test {
protected:
    void SetUp() override { std::tie(effect, plugin) = attach<ProbeEffect>(&host, 3, 2); }
    vsthost::Host host;
    ProbeEffect* effect = nullptr;
    std::unique_ptr<vsthost::Instance> plugin;
};

}  // namespace

TEST_F(CoreDispatcher, ConstructionFillsFieldsAndRecord) {
    EXPECT_EQ(effect->sampleRateField(), 44100.0f);
    EXPECT_EQ(effect->blockSizeField(), 1024);
    EXPECT_EQ(effect->getProgram(), 0);
    EXPECT_EQ(effect->getEditor(), nullptr);
    EXPECT_EQ(plugin->effect()->numPrograms, 3);
    EXPECT_EQ(plugin->effect()->numParams, 2);
    EXPECT_EQ(plugin->effect()->object, static_cast<void*>(effect));
    EXPECT_EQ(plugin->effect()->flags, 0);
    EXPECT_EQ(plugin->effect()->uniqueID, 0);
    EXPECT_EQ(effect->getAeffect(), plugin->effect());
}

TEST_F(CoreDispatcher, SetProgramTestsOnlyTheUpperBoundOnTheWholeValue) {
    struct Row {
        VstIntPtr value;
        const char* call;  // none when empty
    };
    const Row rows[] = {
        {2, "setProgram(2)"},
        {3, ""},                   // equal to the count
        {VstIntPtr{1} << 32, ""},  // low half 0, whole too large
        {-1, "setProgram(-1)"},    // negative passes
        {static_cast<VstIntPtr>(0x8000000000000001ull), "setProgram(1)"},  // low half 1
    };
    for (const Row& row : rows) {
        effect->log.clear();
        EXPECT_EQ(plugin->dispatch(effSetProgram, 0, row.value), 0);
        EXPECT_EQ(effect->log, *row.call ? Log{row.call} : Log{}) << row.value;
    }
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1);
}

TEST_F(CoreDispatcher, MainsChangedTestsTheWholeValue) {
    plugin->dispatch(effMainsChanged, 0, VstIntPtr{1} << 32);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->dispatch(effMainsChanged, 0, -1);
    const char* const asksForEvents = "canDo(\"receiveVstMidiEvent\")";
    EXPECT_EQ(effect->log,
              (Log{"resume()", asksForEvents, "suspend()", "resume()", asksForEvents}));
}

TEST_F(CoreDispatcher, SettingsTakeTheLow32BitsOrTheFloat) {
    plugin->dispatch(effSetBlockSize, 0, static_cast<VstIntPtr>(0x100000400ll));
    plugin->dispatch(effSetBlockSize, 0, static_cast<VstIntPtr>(0xFFFFFFFFll));
    plugin->dispatch(effSetSampleRate, 0, 96000, nullptr, 48000.5f);
    EXPECT_EQ(effect->log,
              (Log{"setBlockSize(1024)", "setBlockSize(-1)", "setSampleRate(48000.5)"}));
    EXPECT_EQ(effect->blockSizeField(), -1);
    EXPECT_EQ(effect->sampleRateField(), 48000.5f);
}

TEST_F(CoreDispatcher, ChunkRequestsPassThePresetFlagAndSignExtend) {
    effect->answer = -5;
    EXPECT_EQ(plugin->dispatch(effGetChunk, 1, 0, P), -5);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, P), -5);
    // The size is the low half of value; index -3 asks for a preset.
    EXPECT_EQ(plugin->dispatch(effSetChunk, -3, static_cast<VstIntPtr>(0x700000010ll), P), -5);
    EXPECT_EQ(effect->log, (Log{"getChunk(P,1)", "getChunk(P,0)", "setChunk(P,16,1)"}));
}

TEST_F(CoreDispatcher, OpenAndCloseCallTheirOperationsAndAnswerZero) {
    EXPECT_EQ(plugin->dispatch(effOpen), 0);
    // The dispatcher itself, not the record's entry routine, which would also destroy the effect.
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->log, (Log{"open()", "close()"}));
}

TEST_F(CoreDispatcher, TextDefaultsWriteOnlyATerminator) {
    char text[8];
    for (VstInt32 opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(plugin->dispatch(opcode, 0, 0, text), 0);
        EXPECT_EQ(text[0], '\0') << opcode;
        EXPECT_EQ(text[1], 'x') << "only the terminator is written, opcode " << opcode;
    }
    EXPECT_EQ(plugin->getParameter(0), 0.0f);
}

TEST(CoreEditor, RequestsReachTheirEditorOperationsAndBecomeOneOrZero) {
    Log log;  // outlives the effect, which destroys the editor
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    auto* editor = new ProbeEditor(log);
    effect->editorSlot() = editor;

    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, P), 1);
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, P), 1);
    editor->answer = false;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, P), 0);
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, P), 0);
    EXPECT_EQ(plugin->dispatch(effEditClose), 0);
    EXPECT_EQ(plugin->dispatch(effEditIdle), 0);
    plugin->close();  // closing the instance destroys its editor
    EXPECT_EQ(log, (Log{"getRect(P)", "open(P)", "getRect(P)", "open(P)", "close()", "idle()",
                        "~ProbeEditor()"}));
}

TEST(CoreEditor, WithoutAnEditorTheRequestsAnswerZero) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    for (VstInt32 opcode : {effEditGetRect, effEditOpen, effEditClose, effEditIdle}) {
        EXPECT_EQ(plugin->dispatch(opcode, 1, 1, &host), 0) << opcode;
    }
}

TEST(CoreFlags, EachSetterTouchesOnlyItsOwnBit) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    probes::expectSettersTouchOnlyTheirBits(
        *effect, *plugin->effect(),
        {{&AudioEffect::canProcessReplacing, effFlagsCanReplacing},
         {&AudioEffect::canDoubleReplacing, effFlagsCanDoubleReplacing},
         {&AudioEffect::programsAreChunks, effFlagsProgramChunks},
         {&AudioEffect::hasVu, effFlagsHasVu},
         {&AudioEffect::hasClip, effFlagsHasClip},
         {&AudioEffect::canMono, effFlagsCanMono}});
    plugin->effect()->flags = 0;
    effect->canMono(true);
    effect->hasVu(true);
    effect->canMono(false);
    EXPECT_EQ(plugin->effect()->flags, effFlagsHasVu);
}

TEST(CoreFlags, RecordSettersStoreTheirValues) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    effect->setUniqueID(fourCharCode('a', 'b', 'c', 'd'));
    effect->setNumInputs(6);
    effect->setNumOutputs(8);
    effect->setInitialDelay(-3);
    effect->setRealtimeQualities(4);
    effect->setOfflineQualities(5);
    const AEffect* e = plugin->effect();
    EXPECT_EQ(e->uniqueID, 0x61626364);
    EXPECT_EQ(e->numInputs, 6);
    EXPECT_EQ(e->numOutputs, 8);
    EXPECT_EQ(e->initialDelay, -3);
    EXPECT_EQ(e->realQualities, 4);
    EXPECT_EQ(e->offQualities, 5);
}

// ---- requests to the host -------------------------------------------------------------------

TEST(CoreHostRequests, MasterVersionTreatsZeroAsOne) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    VstIntPtr answer = 0;
    host.setAnswer([&](const vsthost::HostRequest&) { return answer; });
    EXPECT_EQ(effect->getMasterVersion(), 1);
    answer = 2400;
    EXPECT_EQ(effect->getMasterVersion(), 2400);
    answer = static_cast<VstIntPtr>(0x500000000ll);  // low half 0
    EXPECT_EQ(effect->getMasterVersion(), 1);
    const auto requests = host.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].effect, plugin->effect());
    EXPECT_EQ(requests[0].opcode, audioMasterVersion);
    EXPECT_EQ(requests[0].index, 0);
    EXPECT_EQ(requests[0].value, 0);
    EXPECT_EQ(requests[0].ptr, nullptr);
    EXPECT_EQ(requests[0].opt, 0.0f);
}

TEST(CoreHostRequests, WithoutACallbackNothingIsSentAndFixedAnswersCome) {
    auto [effect, plugin] = attach<ProbeEffect>(nullptr);
    EXPECT_EQ(effect->callbackField(), nullptr);
    EXPECT_EQ(effect->getMasterVersion(), 1);
    EXPECT_EQ(effect->getCurrentUniqueId(), 0);
    effect->masterIdle();
    EXPECT_TRUE(effect->isInputConnected(0));
    EXPECT_TRUE(effect->isOutputConnected(1));
    effect->setParameterAutomated(0, 0.5f);
    EXPECT_EQ(effect->log, Log{"setParameter(0,0.5)"}) << "the parameter is set all the same";
}

TEST(CoreHostRequests, EachRequestCarriesItsOpcodeAndArguments) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    host.setAnswer([](const vsthost::HostRequest& r) -> VstIntPtr {
        return r.opcode == audioMasterCurrentId ? static_cast<VstIntPtr>(0x7FFFFFFF80000001ll) : 0;
    });
    EXPECT_EQ(effect->getCurrentUniqueId(), static_cast<VstInt32>(0x80000001u));
    effect->masterIdle();
    EXPECT_TRUE(effect->isInputConnected(3));
    EXPECT_TRUE(effect->isOutputConnected(4));
    const auto r = host.requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].opcode, audioMasterCurrentId);
    EXPECT_EQ(r[1].opcode, audioMasterIdle);
    EXPECT_EQ(r[2].opcode, audioMasterPinConnected);
    EXPECT_EQ(r[2].index, 3);
    EXPECT_EQ(r[2].value, 0);
    EXPECT_EQ(r[3].opcode, audioMasterPinConnected);
    EXPECT_EQ(r[3].index, 4);
    EXPECT_EQ(r[3].value, 1);
}

TEST(CoreHostRequests, PinsAreConnectedExactlyWhenTheLowHalfOfTheAnswerIsZero) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    VstIntPtr answer = 1;
    host.setAnswer([&](const vsthost::HostRequest&) { return answer; });
    EXPECT_FALSE(effect->isInputConnected(0));
    EXPECT_FALSE(effect->isOutputConnected(0));
    answer = VstIntPtr{1} << 32;
    EXPECT_TRUE(effect->isInputConnected(0));
    answer = -1;
    EXPECT_FALSE(effect->isOutputConnected(0));
}

TEST(CoreHostRequests, AutomationSetsTheParameterBeforeTellingTheHost) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    Log logWhenHostWasTold;
    host.setAnswer([&, e = effect](const vsthost::HostRequest&) {
        logWhenHostWasTold = e->log;
        return VstIntPtr{0};
    });
    effect->setParameterAutomated(7, 0.25f);
    EXPECT_EQ(logWhenHostWasTold, Log{"setParameter(7,0.25)"});
    const auto r = host.requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].opcode, audioMasterAutomate);
    EXPECT_EQ(r[0].index, 7);
    EXPECT_EQ(r[0].value, 0);
    EXPECT_EQ(r[0].ptr, nullptr);
    EXPECT_EQ(r[0].opt, 0.25f);
}
