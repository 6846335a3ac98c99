#include "plugin_under_test.h"

#include <cstdio>
#include <cstdlib>

namespace vsthost {

std::string builtPluginPath() {
    return VARIC_PLUGIN_BUILT;
}

std::string pluginUnderTestPath() {
    const char* configured = std::getenv("VARIC_PLUGIN");
    return configured != nullptr && *configured != '\0' ? configured : builtPluginPath();
}

const PluginLibrary& pluginUnderTest() {
    static const std::unique_ptr<PluginLibrary> library = [] {
        std::string error;
        auto loaded = PluginLibrary::load(pluginUnderTestPath(), &error);
        if (!loaded) {
            std::fprintf(stderr, "cannot load the plug-in under test: %s\n", error.c_str());
            std::exit(1);
        }
        return loaded;
    }();
    return *library;
}

}  // namespace vsthost
