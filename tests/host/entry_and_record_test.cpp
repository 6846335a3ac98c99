// The exported entry, the record it returns and the end of an instance's life, as a host
// sees them through the loaded binary.

#include <cstddef>

#include "host_test_support.h"

using testing_support::makeInstance;
using testing_support::Stereo;
using vsthost::pluginUnderTest;

namespace {

// A host callback that answers only the version query, with a configurable answer, and counts
// what it receives. Used where the host library's own routing must stay out of the way.
struct BareHost {
    static inline VstIntPtr versionAnswer = 2400;
    static inline int calls = 0;
    static inline AEffect* firstRecord = reinterpret_cast<AEffect*>(1);
    static inline VstInt32 firstOpcode = -1;
    static inline VstInt32 firstIndex = -1;
    static inline VstIntPtr firstValue = -1;
    static inline void* firstPtr = reinterpret_cast<void*>(1);
    static inline float firstOpt = -1.0f;

    static void reset(VstIntPtr answer) {
        versionAnswer = answer;
        calls = 0;
    }
    static VstIntPtr callback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt) {
        if (calls++ == 0) {
            firstRecord = e, firstOpcode = opcode, firstIndex = index;
            firstValue = value, firstPtr = ptr, firstOpt = opt;
        }
        return opcode == audioMasterVersion ? versionAnswer : 0;
    }
};

AEffect* callEntry(audioMasterCallback callback) {
    return pluginUnderTest().entry()(callback);
}

VstIntPtr closeRecord(AEffect* e) {
    return e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

TEST(Entry, AsksForTheHostVersionFirstWithNullRecordAndZeroArguments) {
    BareHost::reset(2400);
    AEffect* e = callEntry(&BareHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(BareHost::calls, 1) << "construction sends only the version query";
    EXPECT_EQ(BareHost::firstRecord, nullptr);
    EXPECT_EQ(BareHost::firstOpcode, audioMasterVersion);
    EXPECT_EQ(BareHost::firstIndex, 0);
    EXPECT_EQ(BareHost::firstValue, 0);
    EXPECT_EQ(BareHost::firstPtr, nullptr);
    EXPECT_EQ(testing_support::bitsOf(BareHost::firstOpt), 0u);
    EXPECT_EQ(closeRecord(e), 1);
}

TEST(Entry, RefusesAHostThatAnswersVersionZero) {
    BareHost::reset(0);
    EXPECT_EQ(callEntry(&BareHost::callback), nullptr);
    EXPECT_EQ(BareHost::calls, 1);
}

TEST(Entry, AcceptsAnyNonZeroVersionAnswer) {
    for (VstIntPtr answer : {VstIntPtr{1}, VstIntPtr{-1}, VstIntPtr{1} << 32}) {
        BareHost::reset(answer);
        AEffect* e = callEntry(&BareHost::callback);
        ASSERT_NE(e, nullptr) << "answer " << answer;
        closeRecord(e);
    }
}

TEST(Entry, RefusesANullCallbackWithoutCrashing) {
    EXPECT_EQ(callEntry(nullptr), nullptr);
}

TEST(Entry, MainAndVSTPluginMainAreOneRoutine) {
    void* vstPluginMain = pluginUnderTest().symbol("VSTPluginMain");
    void* main = pluginUnderTest().symbol("main");
    ASSERT_NE(vstPluginMain, nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(vstPluginMain, main);

    BareHost::reset(2400);
    AEffect* e = reinterpret_cast<VSTPluginMainProc>(main)(&BareHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(closeRecord(e), 1);
}

TEST(Record, HasTheCrossfeedIdentityAndDefaults) {
    BareHost::reset(2400);
    AEffect* e = callEntry(&BareHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 1);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0x1010);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->object, static_cast<void*>(e))
        << "the record sits inside the object, after its vtable";
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, 0x6E567278);
    EXPECT_EQ(e->version, 1);

    // The alignment gaps and the reserved tail are zero bytes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(e);
    for (std::size_t i : {4, 5, 6, 7, 60, 61, 62, 63}) EXPECT_EQ(bytes[i], 0) << "byte " << i;
    for (std::size_t i = 136; i < 192; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
    closeRecord(e);
}

TEST(Record, LivesInsideItsObject) {
    vsthost::Host host;
    auto plugin = makeInstance(host);
    const AEffect* e = plugin->effect();
    // The object starts with its virtual table and the base fields (callback, editor, rate,
    // block size, program and parameter counts, current program); the record follows them.
    const auto* object = static_cast<const unsigned char*>(e->object);
    const auto* record = reinterpret_cast<const unsigned char*>(e);
    EXPECT_EQ(record - object, 48);
}

TEST(Lifecycle, TwoInstancesHaveIndependentRecordsAndState) {
    vsthost::Host hostA, hostB;
    auto a = makeInstance(hostA);
    auto b = makeInstance(hostB);
    ASSERT_NE(a->effect(), b->effect());
    ASSERT_NE(a->effect()->object, b->effect()->object);

    // An impulse through A leaves B's output as a fresh instance's.
    Stereo<double> impulse(64), silence(64), outA(64), outB(64);
    impulse.left[0] = 1.0;
    a->processDoubleReplacing(impulse.channels(), outA.channels(), 64);
    b->processDoubleReplacing(silence.channels(), outB.channels(), 64);
    for (double v : outB.left) EXPECT_EQ(v, 0.0);
    for (double v : outB.right) EXPECT_EQ(v, 0.0);
}

TEST(Record, AccumulatingProcessLeavesTheOutputsAlone) {
    vsthost::Host host;
    auto plugin = makeInstance(host);
    Stereo<float> input(16), output(16);
    for (std::size_t n = 0; n < 16; ++n) {
        input.left[n] = 1.0f;
        input.right[n] = -1.0f;
        output.left[n] = 0.25f * static_cast<float>(n);
        output.right[n] = -0.5f;
    }
    const auto before = output.left;
    plugin->process(input.channels(), output.channels(), 16);
    EXPECT_EQ(output.left, before);
    for (float v : output.right) EXPECT_EQ(v, -0.5f);
}
