// A plug-in whose entry makes no instance.

#include "aeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    return nullptr;
}
