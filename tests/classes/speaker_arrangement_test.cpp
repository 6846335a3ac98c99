// AudioEffectX's speaker-arrangement tools, byte for byte. Under AddressSanitizer the exact
// size of each record made is checked too, and that released records really are released.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/classes/probe_effect.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VARIC_ASAN 1
#endif

using probes::attach;
using probes::ProbeEffect;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return Bytes(b, b + n);
}

// The block holds exactly size bytes: the last is addressable, the next one is not.
void expectBlockSize(const void* block, std::size_t size) {
#ifdef VARIC_ASAN
    const char* p = static_cast<const char*>(block);
    EXPECT_FALSE(__asan_address_is_poisoned(p + size - 1)) << "record shorter than " << size;
    EXPECT_TRUE(__asan_address_is_poisoned(p + size)) << "record longer than " << size;
#else
    (void)block, (void)size;
#endif
}

void expectReleased(const void* block) {
#ifdef VARIC_ASAN
    EXPECT_TRUE(__asan_address_is_poisoned(block)) << "the old record was not released";
#else
    (void)block;
#endif
}

// A speaker whose every byte differs from its neighbours', with a name of nameLength
// characters; a name of 64 or more runs on into type and future, unterminated.
VstSpeakerProperties patternedSpeaker(unsigned seed, std::size_t nameLength) {
    VstSpeakerProperties s;
    auto* b = reinterpret_cast<unsigned char*>(&s);
    for (std::size_t i = 0; i < sizeof s; ++i)
        b[i] = static_cast<unsigned char>(seed * 31 + i * 7 + 1);
    for (std::size_t i = 0; i < nameLength; ++i)
        b[16 + i] = static_cast<unsigned char>('A' + (seed + i) % 26);
    if (nameLength < sizeof s.name) s.name[nameLength] = '\0';
    return s;
}

// What copySpeaker must make of from: bytes 0..15 and 80..111 equal, the name cut to 63
// characters and padded with NULs through byte 63 of the name.
Bytes copiedSpeaker(const VstSpeakerProperties& from) {
    Bytes expected = bytesOf(&from, sizeof from);
    std::size_t n = 0;
    while (n < 63 && from.name[n] != '\0') ++n;
    for (std::size_t i = n; i < 64; ++i) expected[16 + i] = 0;
    return expected;
}

// Logs the three tools as matchArrangement calls them (the channel count, not the addresses);
// copySpeaker fails from failAt on.
class SpeakerProbe : public ProbeEffect {
public:
    using ProbeEffect::ProbeEffect;
    bool allocateArrangement(VstSpeakerArrangement** a, VstInt32 n) override {
        record("allocateArrangement", n);
        return AudioEffectX::allocateArrangement(a, n);
    }
    bool deallocateArrangement(VstSpeakerArrangement** a) override {
        record("deallocateArrangement");
        return AudioEffectX::deallocateArrangement(a);
    }
    bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) override {
        record("copySpeaker");
        if (++copies > failAt) return false;
        return AudioEffectX::copySpeaker(to, from);
    }
    int copies = 0;
    int failAt = 1 << 30;
};

class SpeakerTools : public ::testing::Test {
protected:
    void SetUp() override { std::tie(effect, plugin) = attach<SpeakerProbe>(nullptr); }
    void TearDown() override {
        effect->deallocateArrangement(&from);
        effect->deallocateArrangement(&to);
    }
    // A record of n channels with the given type and patterned speakers.
    void makeFrom(VstInt32 type, VstInt32 n, std::size_t nameLength) {
        ASSERT_TRUE(effect->allocateArrangement(&from, n));
        from->type = type;
        for (VstInt32 i = 0; i < n; ++i) {
            *speakerAt(from, i) = patternedSpeaker(static_cast<unsigned>(i), nameLength + i);
        }
    }
    SpeakerProbe* effect = nullptr;
    std::unique_ptr<vsthost::Plugin> plugin;
    VstSpeakerArrangement* from = nullptr;
    VstSpeakerArrangement* to = nullptr;
};

}  // namespace

TEST_F(SpeakerTools, AllocateMakesAZeroedRecordOfExactSize) {
    for (VstInt32 channels : {2, 0, 6, 1}) {
        const VstSpeakerArrangement* old = to;
        ASSERT_TRUE(effect->allocateArrangement(&to, channels)) << channels;
        if (old != nullptr) expectReleased(old);
        const std::size_t size = 8 + 112 * static_cast<std::size_t>(channels);
        expectBlockSize(to, size);
        Bytes expected(size, 0);
        expected[4] = static_cast<unsigned char>(channels);
        EXPECT_EQ(bytesOf(to, size), expected) << channels << " channels";
    }
}

TEST_F(SpeakerTools, RefusedCountsLeaveTheCallersPointerNull) {
    for (VstInt32 channels : {-1, 19173962, -2147483647 - 1, 2147483647}) {
        ASSERT_TRUE(effect->allocateArrangement(&to, 1));
        const VstSpeakerArrangement* old = to;
        EXPECT_FALSE(effect->allocateArrangement(&to, channels)) << channels;
        EXPECT_EQ(to, nullptr) << channels << ": never left dangling";
        expectReleased(old);
    }
}

TEST_F(SpeakerTools, DeallocateReleasesAndClears) {
    EXPECT_TRUE(effect->deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    ASSERT_TRUE(effect->allocateArrangement(&to, 3));
    const VstSpeakerArrangement* old = to;
    EXPECT_TRUE(effect->deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    expectReleased(old);
}

TEST_F(SpeakerTools, CopySpeakerCopiesFieldsAndCutsOrPadsTheName) {
    struct Case {
        const char* name;
        std::size_t nameLength;
    };
    const Case cases[] = {
        {"empty name", 0},
        {"the name \"L\"", 1},
        {"62 characters", 62},
        {"63 characters", 63},
        {"64 characters, unterminated", 64},
        {"70 characters, running into type", 70},
    };
    for (const Case& c : cases) {
        const VstSpeakerProperties source = patternedSpeaker(3, c.nameLength);
        VstSpeakerProperties from = source;
        VstSpeakerProperties dest;
        std::memset(&dest, 0xCC, sizeof dest);
#ifdef VARIC_ASAN
        // Byte 63 of an unterminated name must not be read.
        if (c.nameLength >= 64) __asan_poison_memory_region(&from.name[63], 1);
#endif
        EXPECT_TRUE(effect->copySpeaker(&dest, &from)) << c.name;
#ifdef VARIC_ASAN
        __asan_unpoison_memory_region(&from.name[63], 1);
#endif
        EXPECT_EQ(bytesOf(&dest, sizeof dest), copiedSpeaker(source)) << c.name;
        EXPECT_EQ(bytesOf(&from, sizeof from), bytesOf(&source, sizeof source)) << c.name;
    }
    VstSpeakerProperties l = patternedSpeaker(0, 1);
    l.name[0] = 'L';
    VstSpeakerProperties dest;
    std::memset(&dest, 0xCC, sizeof dest);
    EXPECT_TRUE(effect->copySpeaker(&dest, &l));
    Bytes lAndNuls(64, 0);
    lAndNuls[0] = 'L';
    EXPECT_EQ(bytesOf(dest.name, 64), lAndNuls);
}

TEST_F(SpeakerTools, CopySpeakerRefusesNullAddressesAndWritesNothing) {
    VstSpeakerProperties s = patternedSpeaker(1, 5);
    const Bytes before = bytesOf(&s, sizeof s);
    const Bytes selfCopied = copiedSpeaker(s);  // the name padded with NULs after its end
    EXPECT_FALSE(effect->copySpeaker(nullptr, &s));
    EXPECT_FALSE(effect->copySpeaker(&s, nullptr));
    EXPECT_FALSE(effect->copySpeaker(nullptr, nullptr));
    EXPECT_EQ(bytesOf(&s, sizeof s), before);
    EXPECT_TRUE(effect->copySpeaker(&s, &s)) << "onto itself";
    EXPECT_EQ(bytesOf(&s, sizeof s), selfCopied);
}

TEST_F(SpeakerTools, MatchMakesAnExactCopyInANewBlockAndReleasesTheOld) {
    makeFrom(0x5A5A0006, 6, 60);  // names of 60 to 65 characters
    ASSERT_TRUE(effect->allocateArrangement(&to, 2));
    const VstSpeakerArrangement* old = to;
    effect->log.clear();

    ASSERT_TRUE(effect->matchArrangement(&to, from));
    expectReleased(old);
    expectBlockSize(to, 680);
    EXPECT_EQ(to->type, 0x5A5A0006);
    EXPECT_EQ(to->numChannels, 6);
    for (VstInt32 i = 0; i < 6; ++i) {
        EXPECT_EQ(bytesOf(speakerAt(to, i), 112), copiedSpeaker(*speakerAt(from, i)))
            << "speaker " << i;
    }
    probes::Log expected = {"deallocateArrangement()", "allocateArrangement(6)"};
    expected.resize(8, "copySpeaker()");
    EXPECT_EQ(effect->log, expected);
}

TEST_F(SpeakerTools, MatchOfNoChannelsMakesAHeaderOnlyRecord) {
    makeFrom(-7, 0, 0);
    ASSERT_TRUE(effect->matchArrangement(&to, from));
    expectBlockSize(to, 8);
    EXPECT_EQ(to->type, -7);
    EXPECT_EQ(to->numChannels, 0);
}

TEST_F(SpeakerTools, MatchRefusesANullSourceAndKeepsTheRecord) {
    makeFrom(3, 2, 4);
    const Bytes before = bytesOf(from, 232);
    EXPECT_FALSE(effect->matchArrangement(&from, nullptr));
    ASSERT_NE(from, nullptr);
    EXPECT_EQ(bytesOf(from, 232), before);
}

TEST_F(SpeakerTools, MatchOfARecordWithItselfKeepsIt) {
    makeFrom(9, 3, 10);
    const Bytes before = bytesOf(from, 344);
    VstSpeakerArrangement* same = from;
    EXPECT_TRUE(effect->matchArrangement(&same, from));
    EXPECT_EQ(same, from);
    EXPECT_EQ(bytesOf(from, 344), before);
}

TEST_F(SpeakerTools, MatchAnswersFalseWhenTheAllocationIsRefused) {
    VstSpeakerArrangement header{};
    header.type = 1;
    header.numChannels = -1;
    ASSERT_TRUE(effect->allocateArrangement(&to, 2));
    const VstSpeakerArrangement* old = to;
    EXPECT_FALSE(effect->matchArrangement(&to, &header));
    EXPECT_EQ(to, nullptr);
    expectReleased(old);
}

TEST_F(SpeakerTools, AFailingCopySpeakerLeavesAPartlyFilledRecord) {
    makeFrom(0x77, 4, 8);
    effect->failAt = 2;  // the third copy fails
    EXPECT_FALSE(effect->matchArrangement(&to, from));
    ASSERT_NE(to, nullptr);
    EXPECT_EQ(effect->copies, 3) << "the loop stops at the failing copy";
    EXPECT_EQ(to->type, 0x77);
    EXPECT_EQ(to->numChannels, 4);
    for (VstInt32 i = 0; i < 2; ++i) {
        EXPECT_EQ(bytesOf(speakerAt(to, i), 112), copiedSpeaker(*speakerAt(from, i)))
            << "speaker " << i;
    }
    for (VstInt32 i = 2; i < 4; ++i) {
        EXPECT_EQ(bytesOf(speakerAt(to, i), 112), Bytes(112, 0)) << "speaker " << i;
    }
}
