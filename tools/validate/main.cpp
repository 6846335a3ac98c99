// varic-validate: the validator as a program of its own. It alone links the real-time hooks
// (realtime_watch.h), which stand in for C library functions in its whole process; varic runs
// it for `varic validate`.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "command_line.h"
#include "help.h"
#include "interrupts.h"
#include "program_files.h"
#include "validate.h"

namespace {

// How the program was called: by `varic validate` (varic passes its own name), or as itself.
std::string invocationOf(const char* argv0) {
    const std::string name = std::filesystem::path(argv0 != nullptr ? argv0 : "").stem().string();
    return name == "varic" ? "varic validate" : "varic-validate";
}

// The plug-in validated when none is named: $VARIC_PLUGIN, else the crossfeed installed
// beside this program, else the one built with it (both found from this program's own place,
// as varic finds its own). None on Windows, where no crossfeed is installed beside it.
std::string defaultPlugin() {
    const char* environment = std::getenv("VARIC_PLUGIN");
    if (environment != nullptr && environment[0] != '\0') return environment;
#ifdef VARIC_BUILD_TREE_PLUGIN
    const std::string self = varic::ownExecutable();
    if (self.empty()) return VARIC_INSTALLED_PLUGIN;
    return varic::firstExisting(
        varic::besideProgram(self, {VARIC_INSTALLED_PLUGIN, VARIC_BUILD_TREE_PLUGIN}),
        VARIC_INSTALLED_PLUGIN);
#else
    return "";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const std::string invocation = invocationOf(argc > 0 ? argv[0] : nullptr);
    const std::string program = invocation == "varic validate" ? "varic" : "varic-validate";
    return varic::runMain(program, invocation + " --help", [&] {
        if (words.size() == 1 && words[0] == "--version") {
            std::printf("varic-validate %s\ndefault plug-in: %s\n", VARIC_VERSION,
                        defaultPlugin().c_str());
            return 0;
        }
        if (varic::asksForHelp(words)) {
            std::fputs(
                varic::helpText(validate::validateHelp(), invocation, varic::kExitStatuses).c_str(),
                stdout);
            return 0;
        }
        const validate::Options options = validate::parseOptions(words, defaultPlugin());
        return validate::runValidate(options, {varic::selfExecutable()}, varic::caughtSignal);
    });
}
