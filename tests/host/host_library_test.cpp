// The host library's loader, on whichever platform the suite runs: dlopen on Linux,
// LoadLibraryEx under Windows (and Wine).

#include <string>

#include "host_test_support.h"

using vsthost::pluginUnderTestPath;

namespace {

[[maybe_unused]] void expectLoadsAndRuns(const std::string& path) {
    std::string error;
    auto library = vsthost::PluginLibrary::load(path, &error);
    ASSERT_NE(library, nullptr) << path << ": " << error;
    vsthost::Host host;
    auto plugin = vsthost::Instance::create(*library, &host, &error);
    ASSERT_NE(plugin, nullptr) << path << ": " << error;
    EXPECT_EQ(plugin->effect()->uniqueID, 0x6E567278) << path;
}

}  // namespace

TEST(HostLibrary, AMissingBinaryIsRefusedWithAReasonNamingIt) {
    const std::string missing = pluginUnderTestPath() + ".missing";
    std::string error;
    EXPECT_EQ(vsthost::PluginLibrary::load(missing, &error), nullptr);
    EXPECT_NE(error.find(".missing"), std::string::npos) << error;
}

TEST(HostLibrary, TheSameBinaryLoadedTwiceServesBothLoads) {
    // Hosts scanning and hosts playing load one binary more than once; unloading one copy must
    // leave the other working.
    std::string error;
    auto first = vsthost::PluginLibrary::load(pluginUnderTestPath(), &error);
    ASSERT_NE(first, nullptr) << error;
    {
        auto second = vsthost::PluginLibrary::load(pluginUnderTestPath(), &error);
        ASSERT_NE(second, nullptr) << error;
    }
    vsthost::Host host;
    auto plugin = vsthost::Instance::create(*first, &host, &error);
    ASSERT_NE(plugin, nullptr) << error;
}

#ifdef _WIN32
TEST(HostLibrary, WindowsPathsLoadWithEitherSlash) {
    std::string backslashes = pluginUnderTestPath(), slashes = pluginUnderTestPath();
    for (char& c : backslashes) {
        if (c == '/') c = '\\';
    }
    for (char& c : slashes) {
        if (c == '\\') c = '/';
    }
    expectLoadsAndRuns(backslashes);
    expectLoadsAndRuns(slashes);
}
#endif
