#pragma once
// Small effects built on the classes, for behaviour no host can see in the crossfeed: they
// log the operations the dispatchers call, with their arguments. Tests drive them through
// their own record, as a host would.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "effect_base/audio_effect_x.h"
#include "tools/host/plugin_host.h"

namespace probes {

struct Call {
    std::string name;
    VstIntPtr a = 0;
    VstIntPtr b = 0;
    float f = 0.0f;
};

class ProbeEffect : public AudioEffectX {
public:
    explicit ProbeEffect(audioMasterCallback host, VstInt32 programs = 1, VstInt32 params = 1)
        : AudioEffectX(host, programs, params) {}

    void processReplacing(float**, float**, VstInt32) override {}
    void open() override { log("open"); }
    void close() override { log("close"); }
    void suspend() override { log("suspend"); }
    void resume() override {
        log("resume");
        AudioEffectX::resume();
    }
    void setSampleRate(float rate) override {
        log("setSampleRate", 0, 0, rate);
        AudioEffectX::setSampleRate(rate);
    }
    void setBlockSize(VstInt32 size) override {
        log("setBlockSize", size);
        AudioEffectX::setBlockSize(size);
    }
    void setProgram(VstInt32 program) override {
        log("setProgram", program);
        AudioEffectX::setProgram(program);
    }
    void setParameter(VstInt32 index, float value) override {
        log("setParameter", index, 0, value);
    }
    VstInt32 getChunk(void** data, bool isPreset) override {
        log("getChunk", reinterpret_cast<VstIntPtr>(data), isPreset);
        return chunkAnswer;
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool isPreset) override {
        log("setChunk", reinterpret_cast<VstIntPtr>(data), size, isPreset ? 1.0f : 0.0f);
        return chunkAnswer;
    }
    VstInt32 canDo(char* text) override {
        log("canDo:" + std::string(text));
        return canDoAnswer;
    }
    void wantEvents(VstInt32 filter) override {
        log("wantEvents", filter);
        AudioEffectX::wantEvents(filter);
    }

    // Reach the protected parts a host never sees.
    AEffEditor*& editorSlot() { return editor; }
    float sampleRateField() const { return sampleRate; }
    VstInt32 blockSizeField() const { return blockSize; }
    VstInt32 flags() const { return cEffect.flags; }
    audioMasterCallback callbackField() const { return audioMaster; }

    void log(std::string name, VstIntPtr a = 0, VstIntPtr b = 0, float f = 0.0f) {
        calls.push_back(Call{std::move(name), a, b, f});
    }

    std::vector<Call> calls;
    VstInt32 chunkAnswer = 0;
    VstInt32 canDoAnswer = 0;
};

// Makes an effect of type E with the recording host's callback (or none) and hands it to the
// host library, which drives it through its record and closes it at the end.
template <class E, class... Args>
std::pair<E*, std::unique_ptr<vsthost::Plugin>> attach(vsthost::Host* host, Args&&... args) {
    auto* effect = new E(host ? &vsthost::Host::callback : nullptr, std::forward<Args>(args)...);
    auto plugin = vsthost::Plugin::adopt(effect->getAeffect(), host);
    return {effect, std::move(plugin)};
}

// A flag setter of the effect classes and the capability bit it owns.
struct FlagSetter {
    void (AudioEffectX::*set)(bool);
    VstInt32 mask;
};

// From all bits set, clearing one leaves the others; from none, setting one sets only it.
inline void expectSettersTouchOnlyTheirBits(AudioEffectX& effect, AEffect& record,
                                            std::initializer_list<FlagSetter> setters) {
    for (const FlagSetter& s : setters) {
        record.flags = ~0;
        (effect.*s.set)(false);
        EXPECT_EQ(record.flags, ~s.mask) << "clearing bit " << s.mask;
        record.flags = 0;
        (effect.*s.set)(true);
        EXPECT_EQ(record.flags, s.mask) << "setting bit " << s.mask;
    }
}

}  // namespace probes
