// matchArrangement with a record matched onto itself: the caller's pointer ends on an exact
// copy in a new block, and nothing is read after it is released (the sanitizer presets see
// that). Found by the services fuzzer.

#include <gtest/gtest.h>

#include <cstring>

#include "tests/classes/probe_effect.h"

using probes::ProbeEffect;

TEST(ArrangementMatching, ARecordMatchedOntoItselfBecomesAnExactCopyInANewBlock) {
    for (VstInt32 channels : {0, 1, 6}) {
        ProbeEffect effect(nullptr);
        VstSpeakerArrangement* record = nullptr;
        ASSERT_TRUE(effect.allocateArrangement(&record, channels));
        record->type = 42;
        for (VstInt32 i = 0; i < channels; ++i) {
            speakerAt(record, i)->azimuth = static_cast<float>(i);
            std::strcpy(speakerAt(record, i)->name, "Speaker");
            speakerAt(record, i)->name[7] = static_cast<char>('0' + i);
            speakerAt(record, i)->type = 100 + i;
        }
        VstSpeakerArrangement* const original = record;

        ASSERT_TRUE(effect.matchArrangement(&record, record)) << channels << " channels";
        ASSERT_NE(record, nullptr);
        EXPECT_NE(record, original) << "a new block";
        EXPECT_EQ(record->type, 42);
        ASSERT_EQ(record->numChannels, channels);
        for (VstInt32 i = 0; i < channels; ++i) {
            EXPECT_EQ(speakerAt(record, i)->azimuth, static_cast<float>(i));
            EXPECT_EQ(std::string(speakerAt(record, i)->name),
                      "Speaker" + std::string(1, static_cast<char>('0' + i)));
            EXPECT_EQ(speakerAt(record, i)->type, 100 + i);
        }
        EXPECT_TRUE(effect.deallocateArrangement(&record));
    }
}
