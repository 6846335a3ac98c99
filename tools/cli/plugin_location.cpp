#include "plugin_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

// Both relative to the folder that holds varic: VARIC_INSTALLED_PLUGIN by the install rules
// (../lib/lxvst/VaricCrossfeed.so), VARIC_BUILD_TREE_PLUGIN by the build.

namespace varic {

std::vector<std::string> pluginCandidates(const char* environment, const std::string& executable) {
    if (environment != nullptr && environment[0] != '\0') return {environment};
    if (executable.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
    return {(folder / VARIC_INSTALLED_PLUGIN).lexically_normal().string(),
            (folder / VARIC_BUILD_TREE_PLUGIN).lexically_normal().string()};
}

std::string defaultPluginPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::vector<std::string> candidates =
        pluginCandidates(std::getenv("VARIC_PLUGIN"), error ? std::string() : self.string());
    for (const std::string& candidate : candidates) {
        if (std::filesystem::exists(candidate, error)) return candidate;
    }
    return candidates.empty() ? std::string(VARIC_INSTALLED_PLUGIN) : candidates.front();
}

}  // namespace varic
