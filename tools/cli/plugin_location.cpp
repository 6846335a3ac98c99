#include "plugin_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

// All relative to the folder that holds varic: VARIC_INSTALLED_PLUGIN by the install rules
// (../lib/lxvst/VaricCrossfeed.so), VARIC_BUILD_TREE_PLUGIN and VARIC_BUILD_TREE_VALIDATOR by
// the build; the installed validator sits beside varic.

namespace varic {
namespace {

std::string ownExecutable() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

std::vector<std::string> beside(const std::string& executable,
                                const std::vector<std::string>& relativePaths) {
    std::vector<std::string> paths;
    const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
    for (const std::string& relative : relativePaths)
        paths.push_back((folder / relative).lexically_normal().string());
    return paths;
}

// The first that exists; else the first, so that the error names where it was expected.
std::string firstExisting(const std::vector<std::string>& candidates, const std::string& none) {
    std::error_code error;
    for (const std::string& candidate : candidates) {
        if (std::filesystem::exists(candidate, error)) return candidate;
    }
    return candidates.empty() ? none : candidates.front();
}

}  // namespace

std::vector<std::string> pluginCandidates(const char* environment, const std::string& executable) {
    if (environment != nullptr && environment[0] != '\0') return {environment};
    if (executable.empty()) return {};
    return beside(executable, {VARIC_INSTALLED_PLUGIN, VARIC_BUILD_TREE_PLUGIN});
}

std::string defaultPluginPath() {
    return firstExisting(pluginCandidates(std::getenv("VARIC_PLUGIN"), ownExecutable()),
                         VARIC_INSTALLED_PLUGIN);
}

std::string validatorPath() {
    const std::string executable = ownExecutable();
    if (executable.empty()) return "varic-validate";
    return firstExisting(beside(executable, {"varic-validate", VARIC_BUILD_TREE_VALIDATOR}),
                         "varic-validate");
}

}  // namespace varic
