#pragma once
// Probes: small effects and an editor built on the classes, for behaviour no host can see in
// the crossfeed. Every probe works the same way: each operation it overrides appends one line
// to a log, its name and the arguments a test compares ("setProgram(2)", "getRect(P)"), and
// answers `answer`.
// Tests drive the effects through their own record, as a host would, and compare logs.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "audio_effect_x.h"
#include "instance.h"
#include "plugin_host.h"

namespace probes {

using Log = std::vector<std::string>;

// The pointer tests pass where a request carries one; logged as "P".
inline char pointee[64];
inline void* const P = pointee;

inline std::string arg(const void* p) {
    if (p == P) return "P";
    char text[32];
    std::snprintf(text, sizeof text, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
    return text;
}
inline std::string arg(const std::string& text) {
    return '"' + text + '"';
}
inline std::string arg(float f) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", f);  // enough digits to tell every float apart
    return text;
}
template <class T>
requires std::is_integral_v<T> std::string arg(T v) {
    return std::to_string(static_cast<long long>(v));
}

// "name(a,b,c)"
template <class... Args>
std::string signature(const char* name, Args... args) {
    std::string text = std::string(name) + "(";
    [[maybe_unused]] const char* separator = "";  // unused without arguments
    ((text += separator, text += arg(args), separator = ","), ...);
    return text + ")";
}

// The core operations a dispatcher reaches, and the two resume uses; the others keep their
// defaults.
class ProbeEffect : public AudioEffectX {
public:
    explicit ProbeEffect(audioMasterCallback host, VstInt32 programs = 1, VstInt32 params = 1)
        : AudioEffectX(host, programs, params) {}

    void processReplacing(float**, float**, VstInt32) override {}
    void open() override { record("open"); }
    void close() override { record("close"); }
    void suspend() override { record("suspend"); }
    void resume() override {
        record("resume");
        AudioEffectX::resume();
    }
    void setSampleRate(float rate) override {
        record("setSampleRate", rate);
        AudioEffectX::setSampleRate(rate);
    }
    void setBlockSize(VstInt32 size) override {
        record("setBlockSize", size);
        AudioEffectX::setBlockSize(size);
    }
    void setProgram(VstInt32 program) override {
        record("setProgram", program);
        AudioEffectX::setProgram(program);
    }
    void setParameter(VstInt32 index, float value) override {
        record("setParameter", index, value);
    }
    VstInt32 getChunk(void** data, bool isPreset) override {
        record("getChunk", data, isPreset);
        return static_cast<VstInt32>(answer);
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool isPreset) override {
        record("setChunk", data, size, isPreset);
        return static_cast<VstInt32>(answer);
    }
    VstInt32 canDo(char* text) override {
        record("canDo", std::string(text));
        return static_cast<VstInt32>(answer);
    }
    void wantEvents(VstInt32 filter) override {
        record("wantEvents", filter);
        AudioEffectX::wantEvents(filter);
    }

    // Reach the protected parts a host never sees.
    AEffEditor*& editorSlot() { return editor; }
    float sampleRateField() const { return sampleRate; }
    VstInt32 blockSizeField() const { return blockSize; }
    audioMasterCallback callbackField() const { return audioMaster; }

    template <class... Args>
    void record(const char* name, Args... args) {
        log.push_back(signature(name, args...));
    }

    Log log;
    VstIntPtr answer = 0;
};

// An editor that logs into a log the test keeps: the editor is destroyed with its effect, and
// says so.
class ProbeEditor : public AEffEditor {
public:
    explicit ProbeEditor(Log& log) : log_(log) {}
    ~ProbeEditor() override { log_.push_back("~ProbeEditor()"); }
    bool getRect(void* rect) override { return record("getRect", rect); }
    bool open(void* ptr) override { return record("open", ptr); }
    void close() override { record("close"); }
    void idle() override { record("idle"); }
    bool onKeyDown(VstKeyCode& k) override {
        return record("onKeyDown", k.character, k.virt, k.modifier);
    }
    bool onKeyUp(VstKeyCode& k) override {
        return record("onKeyUp", k.character, k.virt, k.modifier);
    }
    bool setKnobMode(VstInt32 mode) override { return record("setKnobMode", mode); }

    bool answer = true;

private:
    template <class... Args>
    bool record(const char* name, Args... args) {
        log_.push_back(signature(name, args...));
        return answer;
    }
    Log& log_;
};

// Makes an effect of type E with the recording host's callback (or none) and hands it to the
// host library, which drives it through its record and closes it at the end.
template <class E, class... Args>
std::pair<E*, std::unique_ptr<vsthost::Instance>> attach(vsthost::Host* host, Args&&... args) {
    auto* effect = new E(host ? &vsthost::Host::callback : nullptr, std::forward<Args>(args)...);
    auto plugin = vsthost::Instance::adopt(effect->getAeffect(), host);
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
