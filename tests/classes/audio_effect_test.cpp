// AudioEffect's core dispatcher, requests to the host, flag setters and editor handling,
// through a probe effect's own record.

#include <gtest/gtest.h>

#include <cstring>

#include "tests/classes/probe_effect.h"

using probes::attach;
using probes::ProbeEffect;

namespace {

class ProbeEditor : public AEffEditor {
public:
    explicit ProbeEditor(bool* destroyed) : destroyed_(destroyed) {}
    ~ProbeEditor() override { *destroyed_ = true; }
    bool getRect(void* rect) override {
        lastPointer = rect;
        return answer;
    }
    bool open(void* ptr) override {
        lastPointer = ptr;
        return answer;
    }
    void close() override { ++closes; }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        ++keyDowns;
        return answer;
    }
    bool onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        ++keyUps;
        return answer;
    }
    bool setKnobMode(VstInt32 mode) override {
        lastKnobMode = mode;
        return answer;
    }

    bool answer = true;
    void* lastPointer = nullptr;
    int closes = 0, idles = 0, keyDowns = 0, keyUps = 0;
    VstKeyCode lastKey{};
    VstInt32 lastKnobMode = 0;

private:
    bool* destroyed_;
};

class CoreDispatcher : public ::testing::Test {
protected:
    void SetUp() override { std::tie(effect, plugin) = attach<ProbeEffect>(&host, 3, 2); }
    vsthost::Host host;
    ProbeEffect* effect = nullptr;
    std::unique_ptr<vsthost::Plugin> plugin;
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
        bool called;
        VstInt32 program;
    };
    const Row rows[] = {
        {2, true, 2},
        {3, false, 0},                                             // equal to the count
        {VstIntPtr{1} << 32, false, 0},                            // low half 0, whole too large
        {-1, true, -1},                                            // negative passes
        {static_cast<VstIntPtr>(0x8000000000000001ull), true, 1},  // negative whole, low half 1
    };
    for (const Row& row : rows) {
        effect->calls.clear();
        EXPECT_EQ(plugin->dispatch(effSetProgram, 0, row.value), 0);
        ASSERT_EQ(effect->calls.size(), row.called ? 1u : 0u) << row.value;
        if (row.called) {
            EXPECT_EQ(effect->calls[0].a, row.program) << row.value;
        }
    }
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1);
}

TEST_F(CoreDispatcher, MainsChangedTestsTheWholeValue) {
    plugin->dispatch(effMainsChanged, 0, VstIntPtr{1} << 32);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->dispatch(effMainsChanged, 0, -1);
    ASSERT_GE(effect->calls.size(), 3u);
    std::vector<std::string> names;
    for (const auto& c : effect->calls) {
        if (c.name == "resume" || c.name == "suspend") names.push_back(c.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"resume", "suspend", "resume"}));
}

TEST_F(CoreDispatcher, SettingsTakeTheLow32BitsOrTheFloat) {
    plugin->dispatch(effSetBlockSize, 0, static_cast<VstIntPtr>(0x100000400ll));
    EXPECT_EQ(effect->blockSizeField(), 1024);
    plugin->dispatch(effSetBlockSize, 0, static_cast<VstIntPtr>(0xFFFFFFFFll));
    EXPECT_EQ(effect->blockSizeField(), -1);
    plugin->dispatch(effSetSampleRate, 0, 96000, nullptr, 48000.5f);
    EXPECT_EQ(effect->sampleRateField(), 48000.5f);
}

TEST_F(CoreDispatcher, ChunkRequestsPassThePresetFlagAndSignExtend) {
    void* data = nullptr;
    effect->chunkAnswer = -5;
    EXPECT_EQ(plugin->dispatch(effGetChunk, 1, 0, &data), -5);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, &data), -5);
    EXPECT_EQ(plugin->dispatch(effSetChunk, -3, static_cast<VstIntPtr>(0x700000010ll), &data), -5);
    ASSERT_EQ(effect->calls.size(), 3u);
    EXPECT_EQ(effect->calls[0].b, 1);
    EXPECT_EQ(effect->calls[1].b, 0);
    EXPECT_EQ(effect->calls[0].a, reinterpret_cast<VstIntPtr>(&data));
    EXPECT_EQ(effect->calls[2].b, 16) << "the size is the low half of value";
    EXPECT_EQ(effect->calls[2].f, 1.0f) << "index -3 is a preset";
}

TEST_F(CoreDispatcher, OpenAndCloseCallTheirOperationsAndAnswerZero) {
    EXPECT_EQ(plugin->dispatch(effOpen), 0);
    // The dispatcher itself, not the record's entry routine, which would also destroy the effect.
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    ASSERT_EQ(effect->calls.size(), 2u);
    EXPECT_EQ(effect->calls[0].name, "open");
    EXPECT_EQ(effect->calls[1].name, "close");
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

TEST(CoreEditor, RequestsReachTheEditorAndBecomeOneOrZero) {
    vsthost::Host host;
    auto [effect, plugin] = attach<ProbeEffect>(&host);
    bool destroyed = false;
    auto* editor = new ProbeEditor(&destroyed);
    effect->editorSlot() = editor;

    int rect = 0;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(editor->lastPointer, &rect);
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, &destroyed), 1);
    EXPECT_EQ(editor->lastPointer, &destroyed);
    editor->answer = false;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(plugin->dispatch(effEditOpen), 0);
    EXPECT_EQ(plugin->dispatch(effEditClose), 0);
    EXPECT_EQ(plugin->dispatch(effEditIdle), 0);
    EXPECT_EQ(editor->closes, 1);
    EXPECT_EQ(editor->idles, 1);

    // Closing the instance destroys its editor.
    plugin->close();
    EXPECT_TRUE(destroyed);
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
    ASSERT_EQ(effect->calls.size(), 1u) << "the parameter is set all the same";
    EXPECT_EQ(effect->calls[0].f, 0.5f);
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
    std::size_t callsWhenHostWasTold = 0;
    host.setAnswer([&, e = effect](const vsthost::HostRequest&) {
        callsWhenHostWasTold = e->calls.size();
        return VstIntPtr{0};
    });
    effect->setParameterAutomated(7, 0.25f);
    EXPECT_EQ(callsWhenHostWasTold, 1u);
    const auto r = host.requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].opcode, audioMasterAutomate);
    EXPECT_EQ(r[0].index, 7);
    EXPECT_EQ(r[0].value, 0);
    EXPECT_EQ(r[0].ptr, nullptr);
    EXPECT_EQ(r[0].opt, 0.25f);
}
