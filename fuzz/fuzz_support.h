#pragma once
// Shared pieces of the fuzz targets: a reader that turns the fuzzer's bytes into arguments, a
// minimal host, and the instance made in-process the way the plug-in's entry makes it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "aeffect.h"
#include "audio_effect.h"

namespace fuzzing {

// Reads fixed-size values from the input; once it is used up every value reads as zero, so
// any input, however short, is a complete run.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <class T>
    T take() {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        const std::size_t n = size_ < sizeof(T) ? size_ : sizeof(T);
        if (n != 0) std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    // Copies up to `count` bytes into `to` and answers how many there were.
    std::size_t takeBytes(void* to, std::size_t count) {
        const std::size_t n = size_ < count ? size_ : count;
        if (n != 0) std::memcpy(to, data_, n);
        data_ += n;
        size_ -= n;
        return n;
    }
    bool empty() const { return size_ == 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

template <class To, class From>
To bitCast(From from) {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof(To));
    return to;
}

// A broken property: report it and stop, so the fuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what, long long detail) {
    std::fprintf(stderr, "property broken: %s (%lld)\n", what, detail);
    std::abort();
}

inline void require(bool holds, const char* what, long long detail = 0) {
    if (!holds) fail(what, detail);
}

// A host that answers the version query with 2400 and everything else with 0, counting what
// it receives: the crossfeed sends nothing but the version query.
struct CountingHost {
    static inline long long requests = 0;
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        ++requests;
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
};

// The entry's steps, in-process. The fuzzers link the effect classes rather than the plug-in
// binary: the binary's entry also carries the name `main`, which a program cannot link. From
// here on everything goes through the record's routines, as a host's calls do.
inline AEffect* openInstance() {
    if (CountingHost::callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    AudioEffect* const effect = createEffectInstance(&CountingHost::callback);
    require(effect != nullptr, "an instance is made");
    return effect->getAeffect();
}

inline VstIntPtr closeInstance(AEffect* effect) {
    return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace fuzzing
