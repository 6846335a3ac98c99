// Fuzz target: the record's dispatcher with any opcode, index, value and opt.
//
// Each request gets `ptr` pointing into a large writable region with guard bytes on both sides
// (and, for effGetSpeakerArrangement, `value` pointing at a second guarded slot). After every
// request the answer must be the one the crossfeed gives for that opcode, the text written must
// be the expected one, and no byte past what that request may write can have changed. No request
// may reach the host. effClose ends the instance and the run goes on with a new one.
//
// Input, repeated: flags (1 byte; bit 0: first set the Strength from 4 more bytes), opcode
// (int32), index (int32), value (int64), opt (float bits), text length (1 byte) and the text
// that starts the region.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fuzz_support.h"

using fuzzing::Input;
using fuzzing::require;

namespace {

constexpr std::size_t kGuard = 64;
constexpr std::size_t kRegion = 4096;
constexpr unsigned char kFill = 0xA5;
constexpr unsigned char kGuardByte = 0x5A;
constexpr std::size_t kProgramNameChars = 31;

// What the test knows of the instance: the requests below change nothing else a host sees.
struct Model {
    std::string programName = "Varic Crossfeed";
    VstInt32 program = 0;
};

// A byte region between two guards.
struct Guarded {
    explicit Guarded(std::size_t size) : bytes(kGuard + size + kGuard, kGuardByte), size(size) {}
    unsigned char* region() { return bytes.data() + kGuard; }
    std::vector<unsigned char> bytes;
    std::size_t size;
};

// The stored strength as a host sees it: getParameter answers strength x 0.0001.
int storedStrength(AEffect* e) {
    return static_cast<int>(std::lround(static_cast<double>(e->getParameter(e, 0)) * 10000.0));
}

VstIntPtr expectedAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, const Model& model) {
    switch (opcode) {
        case effClose: return 1;
        case effGetProgram: return model.program;  // widened with its sign
        case effIdentify: return 0x4E764566;
        case effCanBeAutomated: return 1;
        case effGetProgramNameIndexed: return index == 0 ? 1 : 0;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: return 1;
        case effGetVendorVersion: return 1000;
        case effGetVstVersion: return 2400;
        case effGetCurrentMidiProgram: return -1;
        case effSetTotalSampleToProcess: return static_cast<VstInt32>(value);
        default: return 0;
    }
}

// The text a request writes from the start of the region, terminator included; nothing for
// requests that write no text.
bool expectedText(VstInt32 opcode, VstInt32 index, const Model& model, int strength,
                  std::string* text) {
    switch (opcode) {
        case effGetProgramName: *text = model.programName; return true;
        case effGetParamLabel: *text = ""; return true;
        case effGetParamDisplay:
            if (index != 0) return false;
            *text = std::to_string(strength / 100);
            return true;
        case effGetParamName:
            if (index != 0) return false;
            *text = "Strength ";
            return true;
        case effGetProgramNameIndexed:
            if (index != 0) return false;
            *text = model.programName;
            return true;
        case effGetEffectName:
        case effGetProductString: *text = "Varic Crossfeed"; return true;
        case effGetVendorString: *text = "Nalt"; return true;
        default: return false;
    }
}

std::string nameFromRegion(const unsigned char* region) {
    std::string name;
    while (name.size() < kProgramNameChars && region[name.size()] != '\0') {
        name.push_back(static_cast<char>(region[name.size()]));
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    AEffect* effect = fuzzing::openInstance();
    Model model;
    Guarded text(kRegion);
    Guarded slot(sizeof(void*));
    std::vector<unsigned char> before;

    while (!input.empty()) {
        const auto flags = input.take<std::uint8_t>();
        if (flags & 1) effect->setParameter(effect, 0, input.take<float>());
        const auto opcode = input.take<VstInt32>();
        const auto index = input.take<VstInt32>();
        auto value = static_cast<VstIntPtr>(input.take<std::int64_t>());
        const auto opt = input.take<float>();
        const std::size_t textLength = input.take<std::uint8_t>();

        std::fill(text.region(), text.region() + text.size, kFill);
        input.takeBytes(text.region(), textLength);
        text.region()[text.size - 1] = '\0';  // a host's texts are terminated
        std::fill(slot.region(), slot.region() + slot.size, kFill);
        if (opcode == effGetSpeakerArrangement) value = reinterpret_cast<VstIntPtr>(slot.region());
        before = text.bytes;
        const std::vector<unsigned char> slotBefore = slot.bytes;
        const int strength = storedStrength(effect);
        const long long requestsBefore = fuzzing::CountingHost::requests;

        const VstIntPtr answer =
            effect->dispatcher(effect, opcode, index, value, text.region(), opt);

        require(answer == expectedAnswer(opcode, index, value, model), "answer for opcode", opcode);
        require(fuzzing::CountingHost::requests == requestsBefore, "no request reaches the host",
                opcode);

        // What the request may have written, from the start of the region.
        std::size_t written = 0;
        std::string expected;
        if (expectedText(opcode, index, model, strength, &expected)) {
            written = expected.size() + 1;
            require(std::memcmp(text.region(), expected.c_str(), written) == 0,
                    "text written for opcode", opcode);
        } else if (opcode == effGetSpeakerArrangement) {
            written = sizeof(void*);
            void* in = nullptr;
            void* out = nullptr;
            std::memcpy(&in, slot.region(), sizeof(void*));
            std::memcpy(&out, text.region(), sizeof(void*));
            require(in == nullptr && out == nullptr, "both arrangement slots are cleared");
        }
        require(std::equal(before.begin() + kGuard + written, before.end(),
                           text.bytes.begin() + kGuard + written),
                "nothing written past the allowed size, opcode", opcode);
        require(std::equal(before.begin(), before.begin() + kGuard, text.bytes.begin()),
                "nothing written before the buffer, opcode", opcode);
        if (opcode != effGetSpeakerArrangement) {
            require(slot.bytes == slotBefore, "the value slot is untouched, opcode", opcode);
        } else {
            require(
                std::equal(slotBefore.begin(), slotBefore.begin() + kGuard, slot.bytes.begin()) &&
                    std::equal(slotBefore.end() - kGuard, slotBefore.end(),
                               slot.bytes.end() - kGuard),
                "nothing written around the value slot");
        }

        // The model follows what the request changed.
        switch (opcode) {
            case effClose:
                effect = fuzzing::openInstance();
                model = Model{};
                break;
            case effSetProgram:
                if (value < 1) model.program = static_cast<VstInt32>(value);
                break;
            case effSetProgramName: model.programName = nameFromRegion(text.region()); break;
            default: break;
        }
        require(storedStrength(effect) == (opcode == effClose ? 1000 : strength),
                "no request changes the strength", opcode);
    }
    fuzzing::closeInstance(effect);
    return 0;
}
