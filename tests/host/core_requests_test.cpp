// The core requests 0..24 as the crossfeed answers them through its record.

#include <climits>

#include "host_test_support.h"

namespace {

class CoreRequests : public testing_support::PluginTest {};

struct Row {
    VstInt32 opcode;
    VstIntPtr expected;
};

}  // namespace

TEST_F(CoreRequests, WithoutATextAnswerAsTheTableSaysWhateverTheArguments) {
    // Arguments that mean nothing to these requests must not change their answers.
    const Row rows[] = {
        {effOpen, 0},      {effGetVu, 0},    {effEditGetRect, 0}, {effEditOpen, 0},
        {effEditClose, 0}, {effEditDraw, 0}, {effEditMouse, 0},   {effEditKey, 0},
        {effEditIdle, 0},  {effEditTop, 0},  {effEditSleep, 0},   {effIdentify, 0x4E764566},
        {effGetChunk, 0},  {effSetChunk, 0},
    };
    char buffer[64];
    for (const Row& row : rows) {
        for (VstIntPtr value : {VstIntPtr{0}, VstIntPtr{7}, VstIntPtr{-1}}) {
            EXPECT_EQ(plugin->dispatch(row.opcode, 3, value, buffer, 1.5f), row.expected)
                << "opcode " << row.opcode << " value " << value;
        }
    }
}

TEST_F(CoreRequests, UnknownAndNegativeOpcodesAnswerZero) {
    for (VstInt32 opcode : {-1, -1000, INT_MIN, 80, 81, 1000, INT_MAX}) {
        char buffer[16] = "untouched";
        EXPECT_EQ(plugin->dispatch(opcode, 1, 1, buffer, 1.0f), 0) << "opcode " << opcode;
        EXPECT_STREQ(buffer, "untouched");
    }
    EXPECT_TRUE(host.requests().empty());
}

TEST_F(CoreRequests, SetProgramIgnoresValueEqualToTheCount) {
    plugin->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
    plugin->dispatch(effSetProgram, 0, VstIntPtr{1} << 32);  // low half 0, but the whole is large
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
}

TEST_F(CoreRequests, SetProgramPassesNegativeValuesAndGetProgramSignExtends) {
    EXPECT_EQ(plugin->dispatch(effSetProgram, 0, -1), 0);
    EXPECT_EQ(plugin->dispatch(effGetProgram), VstIntPtr{-1});
    // Negative as a whole, 5 in its low half: the bound passes and the program is 5.
    plugin->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(0xFFFFFFFF00000005ull));
    EXPECT_EQ(plugin->dispatch(effGetProgram), 5);
    plugin->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
}

TEST_F(CoreRequests, SwitchingOnAndOffSendsNothingToTheHost) {
    plugin->resume();
    plugin->suspend();
    plugin->dispatch(effMainsChanged, 0, VstIntPtr{1} << 32);
    EXPECT_TRUE(host.requests().empty());
}

TEST_F(CoreRequests, ChunksAreNotOffered) {
    void* data = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 1, 0, &data), 0);
    EXPECT_EQ(data, reinterpret_cast<void*>(0x1234)) << "getChunk must not touch the pointer";
    EXPECT_EQ(plugin->effect()->flags & effFlagsProgramChunks, 0);
}
