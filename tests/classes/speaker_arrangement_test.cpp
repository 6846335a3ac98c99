// AudioEffectX's speaker-arrangement tools, byte for byte, with the heap they use replaced by
// one that logs every block obtained and released.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "probe_effect.h"
#include "speaker_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VARIC_ASAN 1
#endif

using probes::attach;
using probes::Log;
using probes::ProbeEffect;

namespace {

// The tools' heap in this test program: it logs each block obtained, by size, and each one
// released, by the number it was obtained under ("obtainZeroed(232)", "release(#1)"). A block
// above 1 MiB is stood in for by 16 zeroed bytes, enough for the header the tools write, so
// that the largest legal record can be asked for.
class RecordingHeap {
public:
    void* obtainZeroed(std::size_t size) {
        log.push_back(probes::signature("obtainZeroed", size));
        void* block = std::calloc(1, size > (1u << 20) ? 16 : size);
        blocks.push_back({block, false});
        return block;
    }
    void release(void* block) {
        for (std::size_t i = blocks.size(); i-- > 0;) {
            if (blocks[i].address == block && !blocks[i].released) {
                blocks[i].released = true;
                log.push_back("release(#" + std::to_string(i + 1) + ")");
                std::free(block);
                return;
            }
        }
        log.push_back(probes::signature("release", block) + ", never obtained");
    }
    std::size_t unreleased() const {
        std::size_t n = 0;
        for (const Block& b : blocks) n += b.released ? 0 : 1;
        return n;
    }
    void reset() {
        log.clear();
        blocks.clear();
    }
    Log log;

private:
    struct Block {
        void* address;
        bool released;
    };
    std::vector<Block> blocks;
};

RecordingHeap heap;

}  // namespace

namespace speaker_memory {

void* obtainZeroed(std::size_t size) {
    return heap.obtainZeroed(size);
}

void release(void* block) {
    heap.release(block);
}

}  // namespace speaker_memory

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return Bytes(b, b + n);
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
    void SetUp() override {
        std::tie(effect, plugin) = attach<SpeakerProbe>(nullptr);
        heap.reset();
    }
    void TearDown() override {
        effect->deallocateArrangement(&from);
        effect->deallocateArrangement(&to);
        EXPECT_EQ(heap.unreleased(), 0u) << "records lost";
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
    std::unique_ptr<vsthost::Instance> plugin;
    VstSpeakerArrangement* from = nullptr;
    VstSpeakerArrangement* to = nullptr;
};

}  // namespace

TEST_F(SpeakerTools, AllocateReleasesTheOldRecordAndObtainsOneOfExactSize) {
    struct Row {
        VstInt32 channels;
        Log heapLog;
    };
    const Row rows[] = {
        {2, {"obtainZeroed(232)"}},
        {0, {"release(#1)", "obtainZeroed(8)"}},
        {6, {"release(#2)", "obtainZeroed(680)"}},
        {19173961, {"release(#3)", "obtainZeroed(2147483640)"}},  // the largest legal count
        {1, {"release(#4)", "obtainZeroed(120)"}},
    };
    for (const Row& row : rows) {
        heap.log.clear();
        ASSERT_TRUE(effect->allocateArrangement(&to, row.channels)) << row.channels;
        EXPECT_EQ(heap.log, row.heapLog) << row.channels;
        EXPECT_EQ(to->type, 0);  // the rest is the heap's zeros
        EXPECT_EQ(to->numChannels, row.channels);
    }
}

TEST_F(SpeakerTools, RefusedCountsReleaseTheOldRecordAndObtainNothing) {
    int made = 0;
    for (VstInt32 channels : {-1, 19173962, -2147483647 - 1, 2147483647}) {
        ASSERT_TRUE(effect->allocateArrangement(&to, 1));
        heap.log.clear();
        EXPECT_FALSE(effect->allocateArrangement(&to, channels)) << channels;
        EXPECT_EQ(to, nullptr) << channels << ": never left dangling";
        EXPECT_EQ(heap.log, Log{"release(#" + std::to_string(++made) + ")"}) << channels;
    }
}

TEST_F(SpeakerTools, DeallocateReleasesAndClears) {
    EXPECT_TRUE(effect->deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    ASSERT_TRUE(effect->allocateArrangement(&to, 3));
    EXPECT_TRUE(effect->deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    EXPECT_EQ(heap.log, (Log{"obtainZeroed(344)", "release(#1)"}));
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
    effect->log.clear();
    heap.log.clear();

    ASSERT_TRUE(effect->matchArrangement(&to, from));
    EXPECT_EQ(heap.log, (Log{"release(#2)", "obtainZeroed(680)"}));
    EXPECT_EQ(to->type, 0x5A5A0006);
    EXPECT_EQ(to->numChannels, 6);
    for (VstInt32 i = 0; i < 6; ++i) {
        EXPECT_EQ(bytesOf(speakerAt(to, i), 112), copiedSpeaker(*speakerAt(from, i)))
            << "speaker " << i;
    }
    Log expected = {"deallocateArrangement()", "allocateArrangement(6)"};
    expected.resize(8, "copySpeaker()");
    EXPECT_EQ(effect->log, expected);
}

TEST_F(SpeakerTools, MatchOfNoChannelsMakesAHeaderOnlyRecord) {
    makeFrom(-7, 0, 0);
    ASSERT_TRUE(effect->matchArrangement(&to, from));
    EXPECT_EQ(heap.log, (Log{"obtainZeroed(8)", "obtainZeroed(8)"}));
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
    EXPECT_FALSE(effect->matchArrangement(&to, &header));
    EXPECT_EQ(to, nullptr);
    EXPECT_EQ(heap.log, (Log{"obtainZeroed(232)", "release(#1)"}));
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
