// varic: a command-line host for VST 2.4 effects. For now it loads a plug-in binary (by
// default the crossfeed as built) and prints what a host sees of it.

#include <cstdio>
#include <string>

#include "tools/host/plugin_host.h"

namespace {

std::string fourChars(VstInt32 id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

int info(const std::string& path) {
    std::string error;
    auto library = vsthost::PluginLibrary::load(path, &error);
    if (!library) {
        std::fprintf(stderr, "varic: %s\n", error.c_str());
        return 1;
    }
    vsthost::Host host;
    auto plugin = vsthost::Plugin::create(*library, &host, &error);
    if (!plugin) {
        std::fprintf(stderr, "varic: %s\n", error.c_str());
        return 1;
    }
    const AEffect* e = plugin->effect();
    std::printf("plug-in:   %s\n", path.c_str());
    std::printf("effect:    %s\n", plugin->text(effGetEffectName).c_str());
    std::printf("vendor:    %s (version %ld)\n", plugin->text(effGetVendorString).c_str(),
                static_cast<long>(plugin->dispatch(effGetVendorVersion)));
    std::printf("unique ID: %d '%s'\n", e->uniqueID, fourChars(e->uniqueID).c_str());
    std::printf("channels:  %d in, %d out\n", e->numInputs, e->numOutputs);
    for (VstInt32 i = 0; i < e->numParams; ++i) {
        std::printf("parameter: %s= %s%s\n", plugin->text(effGetParamName, i).c_str(),
                    plugin->text(effGetParamDisplay, i).c_str(),
                    plugin->text(effGetParamLabel, i).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "info";
    if (command == "info") return info(argc > 2 ? argv[2] : VARIC_DEFAULT_PLUGIN);
    std::fprintf(stderr, "usage: varic info [PLUGIN]\n");
    return 2;
}
