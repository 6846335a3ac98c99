#include "plugin_location.h"

#include <cstdlib>

#include "program_files.h"

// All relative to the folder that holds varic: VARIC_INSTALLED_PLUGIN by the install rules
// (../lib/lxvst/VaricCrossfeed.so), VARIC_BUILD_TREE_PLUGIN and VARIC_BUILD_TREE_VALIDATOR by
// the build; the installed validator sits beside varic.

namespace varic {

std::vector<std::string> pluginCandidates(const char* environment, const std::string& executable) {
    if (environment != nullptr && environment[0] != '\0') return {environment};
    if (executable.empty()) return {};
    return besideProgram(executable, {VARIC_INSTALLED_PLUGIN, VARIC_BUILD_TREE_PLUGIN});
}

std::string defaultPluginPath() {
    return firstExisting(pluginCandidates(std::getenv("VARIC_PLUGIN"), ownExecutable()),
                         VARIC_INSTALLED_PLUGIN);
}

std::string validatorPath() {
    const std::string executable = ownExecutable();
    if (executable.empty()) return "varic-validate";
    return firstExisting(besideProgram(executable, {"varic-validate", VARIC_BUILD_TREE_VALIDATOR}),
                         "varic-validate");
}

}  // namespace varic
