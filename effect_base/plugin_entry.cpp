// The plug-in binary's only exports: VSTPluginMain, and the same routine under the older name
// main. Everything else in the binary is hidden.

#include "aeffect.h"
#include "audio_effect.h"

#if defined(_WIN32)
#define VST_EXPORT __declspec(dllexport)
#else
#define VST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// [any thread] Makes one instance and returns its record, or null when none is made.
VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (audioMaster == nullptr) return nullptr;  // nobody to ask for a version, nor to serve
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    AudioEffect* const effect = createEffectInstance(audioMaster);
    return effect != nullptr ? effect->getAeffect() : nullptr;
}

// Older hosts look for "main". A C++ function may not be called main, so the symbol is an
// alias of VSTPluginMain: one routine, one address, two names.
VST_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));

}  // extern "C"
