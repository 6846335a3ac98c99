// Speaker-arrangement tools of AudioEffectX. Records are single blocks of raw bytes from the
// general heap (speaker_memory.h), so hosts and effects may hand them to one another.

#include <cstring>

#include "audio_effect_x.h"
#include "speaker_memory.h"

namespace {

// The largest count whose record size, 8 + 112 * n, still fits a signed 32-bit size.
constexpr VstInt32 kMaxChannels = 19173961;

}  // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels) {
    if (*arrangement != nullptr) {
        speaker_memory::release(*arrangement);
        *arrangement = nullptr;  // never left dangling, even when the new block is refused
    }
    if (nbChannels < 0 || nbChannels > kMaxChannels) return false;
    const std::size_t size = kSpeakerArrangementHeaderSize +
                             sizeof(VstSpeakerProperties) * static_cast<std::size_t>(nbChannels);
    void* block = speaker_memory::obtainZeroed(size);
    if (block == nullptr) return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (*arrangement != nullptr) {
        speaker_memory::release(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (from == nullptr || to == nullptr) return false;
    // The name: at most 63 characters, padded with NULs, always terminated. A source name
    // without a terminator within its 64 bytes is read no further than 63 of them.
    constexpr std::size_t kNameChars = sizeof(to->name) - 1;
    std::size_t n = 0;
    while (n < kNameChars && from->name[n] != '\0') {
        to->name[n] = from->name[n];
        ++n;
    }
    std::memset(to->name + n, 0, sizeof(to->name) - n);
    // The other fields are opaque to these tools: copied as bytes, so even a signalling NaN
    // keeps its bits. memmove, because copying a speaker onto itself is harmless and allowed.
    std::memmove(&to->type, &from->type, sizeof(to->type));
    std::memmove(&to->azimuth, &from->azimuth, sizeof(to->azimuth));
    std::memmove(&to->elevation, &from->elevation, sizeof(to->elevation));
    std::memmove(&to->radius, &from->radius, sizeof(to->radius));
    std::memmove(&to->reserved, &from->reserved, sizeof(to->reserved));
    std::memmove(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (from == nullptr) return false;
    // Matching a record to itself: releasing it first would leave from dangling and the copy
    // would read freed memory. The record already is an exact copy of itself, so keep it.
    if (from == *to) return true;
    if (!deallocateArrangement(to)) return false;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < (*to)->numChannels; ++i) {
        if (!copySpeaker(speakerAt(*to, i), speakerAt(from, i))) return false;
    }
    return true;
}
