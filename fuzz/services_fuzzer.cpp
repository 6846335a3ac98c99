// Fuzz target: the services the classes offer to any effect.
//
// Formatters: any value, any sample rate, maxLen 0 to 64, into a buffer of exactly maxLen + 1
// bytes (the sanitizers see any byte written beyond text[maxLen]). The text holds at most maxLen
// characters, every byte after it up to text[maxLen] is NUL, and the text for a smaller maxLen
// is the text for 64 cut to that many characters.
//
// Speaker tools: any channel count and any bytes in names and fields, on four record slots.
// A refused count leaves the slot empty; a made record is zeroed with the count it was asked
// for; copies cut names to 63 characters and copy every other byte; a match is a deep copy (a
// record matched onto itself is kept as it is).
// Every record is released at the end of each input, so the leak checker sees any record lost.
//
// Input, repeated: a step byte (its value modulo 11 picks the step), then its arguments.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio_effect_x.h"
#include "fuzz_support.h"

using fuzzing::Input;
using fuzzing::require;

namespace {

constexpr VstInt32 kMaxChannels = 19173961;  // 8 + 112 x n still fits a signed 32-bit size
// Larger valid counts are folded below this, to keep each run's memory small.
constexpr VstInt32 kLargestMade = 300;
constexpr int kSlots = 4;
constexpr VstInt32 kWidestText = 64;

// An effect with nothing of its own: the services are the base classes'.
class ServiceProbe : public AudioEffectX {
public:
    ServiceProbe() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

enum Formatter { kDb, kHz, kMs, kFloat, kInt };

std::string format(ServiceProbe& probe, Formatter which, std::uint32_t bits, VstInt32 maxLen) {
    // Exactly maxLen + 1 bytes, filled with a byte no formatter writes.
    std::unique_ptr<char[]> text(new char[static_cast<std::size_t>(maxLen) + 1]);
    std::memset(text.get(), 0x7F, static_cast<std::size_t>(maxLen) + 1);
    const float value = fuzzing::bitCast<float>(bits);
    switch (which) {
        case kDb: probe.dB2string(value, text.get(), maxLen); break;
        case kHz: probe.Hz2string(value, text.get(), maxLen); break;
        case kMs: probe.ms2string(value, text.get(), maxLen); break;
        case kFloat: probe.float2string(value, text.get(), maxLen); break;
        case kInt: probe.int2string(static_cast<VstInt32>(bits), text.get(), maxLen); break;
    }
    const std::size_t length = strnlen(text.get(), static_cast<std::size_t>(maxLen) + 1);
    require(length <= static_cast<std::size_t>(maxLen), "at most maxLen characters", maxLen);
    for (VstInt32 i = static_cast<VstInt32>(length); i <= maxLen; ++i) {
        require(text[i] == '\0', "NUL from the text's end up to text[maxLen]", i);
    }
    const std::string result(text.get(), length);
    require(result.find_first_not_of("0123456789.-Huge!o") == std::string::npos,
            "a formatter writes digits, a point, a sign, \"Huge!\" or \"-oo\"", which);
    return result;
}

void checkFormatter(ServiceProbe& probe, Formatter which, std::uint32_t bits, VstInt32 maxLen) {
    const std::string cut = format(probe, which, bits, maxLen);
    const std::string whole = format(probe, which, bits, kWidestText);
    require(cut == whole.substr(0, static_cast<std::size_t>(maxLen)),
            "a smaller maxLen cuts the same text", maxLen);
}

std::size_t recordSize(VstInt32 channels) {
    return kSpeakerArrangementHeaderSize +
           sizeof(VstSpeakerProperties) * static_cast<std::size_t>(channels);
}

void checkZeroRecord(const VstSpeakerArrangement* record, VstInt32 channels) {
    require(record->type == 0 && record->numChannels == channels, "a new record's header",
            channels);
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    for (std::size_t i = kSpeakerArrangementHeaderSize; i < recordSize(channels); ++i) {
        require(bytes[i] == 0, "a new record's speakers are zero", static_cast<long long>(i));
    }
}

// `to` after copySpeaker from `from`: the name cut to 63 characters and padded with NULs, every
// other byte the same.
void checkSpeakerCopy(const VstSpeakerProperties& to, const VstSpeakerProperties& from) {
    std::size_t n = 0;
    while (n < 63 && from.name[n] != '\0') ++n;
    require(std::memcmp(to.name, from.name, n) == 0, "the name's characters are copied");
    for (std::size_t i = n; i < sizeof(to.name); ++i) {
        require(to.name[i] == '\0', "the name is padded with NULs", static_cast<long long>(i));
    }
    const auto* a = reinterpret_cast<const unsigned char*>(&to);
    const auto* b = reinterpret_cast<const unsigned char*>(&from);
    require(std::memcmp(a, b, 16) == 0 && std::memcmp(a + 80, b + 80, 32) == 0,
            "the other fields are copied bit for bit");
}

VstInt32 channelCount(VstInt32 raw) {
    if (raw > kLargestMade && raw <= kMaxChannels) return raw % (kLargestMade + 1);
    return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    ServiceProbe probe;
    VstSpeakerArrangement* slots[kSlots] = {};

    while (!input.empty()) {
        const auto step = input.take<std::uint8_t>();
        switch (step % 11) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4: {
                const auto bits = input.take<std::uint32_t>();
                const VstInt32 maxLen = input.take<std::uint8_t>() % (kWidestText + 1);
                checkFormatter(probe, static_cast<Formatter>(step % 11), bits, maxLen);
                break;
            }
            case 5: probe.setSampleRate(input.take<float>()); break;
            case 6: {
                VstSpeakerArrangement*& slot = slots[input.take<std::uint8_t>() % kSlots];
                const VstInt32 channels = channelCount(input.take<VstInt32>());
                const bool made = probe.allocateArrangement(&slot, channels);
                require(made == (channels >= 0 && channels <= kMaxChannels),
                        "a count is made exactly when its size fits", channels);
                if (made) {
                    checkZeroRecord(slot, channels);
                } else {
                    require(slot == nullptr, "a refused count leaves the slot empty", channels);
                }
                break;
            }
            case 7: {
                VstSpeakerArrangement*& slot = slots[input.take<std::uint8_t>() % kSlots];
                require(probe.deallocateArrangement(&slot) && slot == nullptr,
                        "a released slot is empty");
                break;
            }
            case 8: {
                // Any bytes into a record's type and speakers; its count stays what it was made
                // with.
                VstSpeakerArrangement* record = slots[input.take<std::uint8_t>() % kSlots];
                if (record == nullptr) break;
                input.takeBytes(&record->type, sizeof(record->type));
                const std::size_t span =
                    recordSize(record->numChannels) - kSpeakerArrangementHeaderSize;
                input.takeBytes(speakerAt(record, 0),
                                std::min<std::size_t>(span, input.take<std::uint16_t>()));
                break;
            }
            case 9: {
                VstSpeakerProperties from, to;
                input.takeBytes(&from, sizeof(from));
                input.takeBytes(&to, sizeof(to));
                const VstSpeakerProperties untouched = to;
                const auto which = input.take<std::uint8_t>() % 3;
                if (which == 0) {
                    require(probe.copySpeaker(&to, &from), "a copy between two speakers");
                    checkSpeakerCopy(to, from);
                } else {
                    require(!probe.copySpeaker(which == 1 ? nullptr : &to,
                                               which == 1 ? &from : nullptr),
                            "a copy with a null speaker is refused");
                    require(std::memcmp(&to, &untouched, sizeof(to)) == 0,
                            "a refused copy writes nothing");
                }
                break;
            }
            default: {
                VstSpeakerArrangement*& to = slots[input.take<std::uint8_t>() % kSlots];
                VstSpeakerArrangement* const from = slots[input.take<std::uint8_t>() % kSlots];
                if (from == nullptr) {
                    VstSpeakerArrangement* const before = to;
                    require(!probe.matchArrangement(&to, from) && to == before,
                            "a match from nothing is refused and keeps the record");
                    break;
                }
                const auto* fromBytes = reinterpret_cast<const unsigned char*>(from);
                const std::vector<unsigned char> source(fromBytes,
                                                        fromBytes + recordSize(from->numChannels));
                if (to == from) {
                    // A record matched onto itself already is its own copy: it stays, untouched.
                    require(probe.matchArrangement(&to, from) && to == from &&
                                std::memcmp(to, source.data(), source.size()) == 0,
                            "a record matched onto itself is kept as it is");
                    break;
                }
                const auto* copied = reinterpret_cast<const VstSpeakerArrangement*>(source.data());
                require(probe.matchArrangement(&to, from), "a match from a record");
                require(to != nullptr && to->type == copied->type &&
                            to->numChannels == copied->numChannels,
                        "a match copies the header");
                for (VstInt32 i = 0; i < copied->numChannels; ++i) {
                    checkSpeakerCopy(*speakerAt(to, i),
                                     *speakerAt(const_cast<VstSpeakerArrangement*>(copied), i));
                }
                break;
            }
        }
    }
    for (VstSpeakerArrangement*& slot : slots) probe.deallocateArrangement(&slot);
    return 0;
}
