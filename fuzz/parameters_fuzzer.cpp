// Fuzz target: the Strength parameter with any float bit pattern, at any index.
//
// After every step the stored strength, seen through getParameter and the display, is a whole
// number from 0 to 10000 (display 0 to 100) and the one the host value maps to; other indices
// read 0.1 and leave text buffers alone; and writing back the value read changes nothing. That
// last property is checked twice: the value read stays the same, and a twin instance that gets
// the same steps without the write-backs produces the same audio (a write-back that reset the
// filter would show there).
//
// Input, repeated: a step byte (bits 0-1: set index 0, set any index, process, query another
// index; bit 2: 64-bit processing), then the step's arguments.

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "stereo_buffer.h"

using fuzzing::bitCast;
using fuzzing::Input;
using fuzzing::require;

namespace {

constexpr VstInt32 kFrames = 48;

// The host value to the stored integer: x 10000 and + 0.5 in single precision, truncated;
// a result with no int32 value counts as the most negative one; then clamped to 0..10000.
int strengthFor(float value) {
    const float scaled = value * 10000.0f;
    const float rounded = scaled + 0.5f;
    long long truncated = INT_MIN;
    if (rounded >= -2147483648.0f && rounded < 2147483648.0f) {
        truncated = static_cast<long long>(rounded);
    }
    return truncated < 0 ? 0 : truncated > 10000 ? 10000 : static_cast<int>(truncated);
}

std::string request(AEffect* e, VstInt32 opcode, VstInt32 index, const char* fill = "") {
    char buffer[256] = {};
    std::strcpy(buffer, fill);
    e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

// The instance's strength as a host sees it, with the properties every stored value has.
int checkedStrength(AEffect* e) {
    const float read = e->getParameter(e, 0);
    const long k = std::lround(static_cast<double>(read) * 10000.0);
    require(k >= 0 && k <= 10000, "the value read is strength x 0.0001 with strength in 0..10000",
            k);
    require(bitCast<std::uint32_t>(static_cast<float>(k) * 0.0001f) == bitCast<std::uint32_t>(read),
            "the value read is exactly float(strength) x 0.0001", k);
    require(request(e, effGetParamDisplay, 0) == std::to_string(k / 100),
            "the display is strength / 100", k);
    return static_cast<int>(k);
}

void checkOtherIndex(AEffect* e, VstInt32 index) {
    if (index == 0) return;
    require(bitCast<std::uint32_t>(e->getParameter(e, index)) == 0x3DCCCCCDu,
            "another index reads 0.1", index);
    require(request(e, effGetParamDisplay, index, "keep") == "keep",
            "another index's display leaves the buffer", index);
    require(request(e, effGetParamName, index, "keep") == "keep",
            "another index's name leaves the buffer", index);
    require(request(e, effGetParamLabel, index, "keep").empty(), "every label is empty", index);
}

// A short block of fixed noise through both instances; the outputs must be the same bits.
template <class Sample>
void processBoth(AEffect* a, AEffect* b, std::uint32_t seed) {
    vsthost::StereoBuffer<Sample> in(kFrames), outA(kFrames), outB(kFrames);
    for (std::vector<Sample>* channel : {&in.left, &in.right}) {
        for (Sample& sample : *channel) {
            seed = seed * 1664525u + 1013904223u;
            sample = static_cast<Sample>(static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
        }
    }
    if constexpr (sizeof(Sample) == 4) {
        a->processReplacing(a, in.channels(), outA.channels(), kFrames);
        b->processReplacing(b, in.channels(), outB.channels(), kFrames);
    } else {
        a->processDoubleReplacing(a, in.channels(), outA.channels(), kFrames);
        b->processDoubleReplacing(b, in.channels(), outB.channels(), kFrames);
    }
    const std::size_t frame = vsthost::firstDifference(outA, outB);
    require(frame == outA.frames(), "writing back the value read changes the audio not at all",
            static_cast<long long>(frame));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    AEffect* const a = fuzzing::openInstance();  // gets every write-back
    AEffect* const b = fuzzing::openInstance();  // the twin: the same steps without them
    int expected = 1000;

    while (!input.empty()) {
        const auto step = input.take<std::uint8_t>();
        switch (step & 3) {
            case 0:
            case 1: {
                const VstInt32 index = (step & 3) == 0 ? 0 : input.take<VstInt32>();
                const float value = input.take<float>();
                a->setParameter(a, index, value);
                b->setParameter(b, index, value);
                if (index == 0) expected = strengthFor(value);
                break;
            }
            case 2:
                if (step & 4) {
                    processBoth<double>(a, b, step);
                } else {
                    processBoth<float>(a, b, step);
                }
                break;
            default: checkOtherIndex(a, input.take<VstInt32>()); break;
        }
        const int stored = checkedStrength(a);
        require(stored == expected, "the stored strength is the one the value maps to", stored);
        require(checkedStrength(b) == stored, "both instances store the same strength", stored);

        const float read = a->getParameter(a, 0);
        a->setParameter(a, 0, read);
        require(bitCast<std::uint32_t>(a->getParameter(a, 0)) == bitCast<std::uint32_t>(read),
                "writing back the value read keeps it", stored);
    }
    processBoth<double>(a, b, 12345u);
    fuzzing::closeInstance(a);
    fuzzing::closeInstance(b);
    return 0;
}
