#include "tests/host/plugin_under_test.h"

#include <cstdlib>

namespace testing_support {

std::string pluginPath() {
    const char* configured = std::getenv("VARIC_PLUGIN");
    return configured != nullptr && *configured != '\0' ? configured : VARIC_PLUGIN_BUILT;
}

const vsthost::PluginLibrary& pluginLibrary() {
    static const std::unique_ptr<vsthost::PluginLibrary> library = [] {
        std::string error;
        auto loaded = vsthost::PluginLibrary::load(pluginPath(), &error);
        if (!loaded) {
            std::fprintf(stderr, "cannot load the plug-in under test: %s\n", error.c_str());
            std::abort();
        }
        return loaded;
    }();
    return *library;
}

std::unique_ptr<vsthost::Plugin> makeInstance(vsthost::Host& host) {
    std::string error;
    auto plugin = vsthost::Plugin::create(pluginLibrary(), &host, &error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

template <class Sample, class Process>
static void inBlocks(Stereo<Sample>& input, Stereo<Sample>& output,
                     const std::vector<int>& blockSizes, Process process) {
    std::size_t done = 0;
    std::size_t which = 0;
    while (done < input.frames()) {
        const std::size_t size =
            std::min<std::size_t>(blockSizes[which++ % blockSizes.size()], input.frames() - done);
        process(input.channelsFrom(done), output.channelsFrom(done), static_cast<VstInt32>(size));
        done += size;
    }
}

void processInBlocks(vsthost::Plugin& plugin, Stereo<float>& input, Stereo<float>& output,
                     const std::vector<int>& blockSizes) {
    inBlocks(input, output, blockSizes,
             [&](float** in, float** out, VstInt32 n) { plugin.processReplacing(in, out, n); });
}

void processInBlocks(vsthost::Plugin& plugin, Stereo<double>& input, Stereo<double>& output,
                     const std::vector<int>& blockSizes) {
    inBlocks(input, output, blockSizes, [&](double** in, double** out, VstInt32 n) {
        plugin.processDoubleReplacing(in, out, n);
    });
}

}  // namespace testing_support
