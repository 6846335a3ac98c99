// varic: a command-line host for stereo VST 2.4 effects. It inspects a plug-in, renders sound
// files through it, measures and draws its response, and validates it (through
// varic-validate); by default the plug-in is the crossfeed built or installed beside it.

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "help.h"
#include "plugin_location.h"

namespace {

using varic::Command;

const Command* findCommand(const std::string& name) {
    for (const Command& command : varic::commands()) {
        if (name == command.help().name) return &command;
    }
    return nullptr;
}

std::string overview() {
    std::string text = "usage: varic COMMAND [OPTIONS]\n       varic help COMMAND\n\n";
    for (const Command& command : varic::commands()) text += varic::helpForms(command.help());
    text +=
        "\n"
        "Every command takes -q (errors only), -v (say more) and --help. PLUGIN and P default\n"
        "to the file named by $VARIC_PLUGIN, else to the crossfeed installed beside varic\n"
        "(../lib/lxvst/), else to the one built with it; here:\n  " +
        varic::defaultPluginPath() + "\n" + varic::kExitStatuses;
    return text;
}

std::string commandHelp(const Command& command) {
    return varic::helpText(command.help(), "varic " + command.help().name, varic::kExitStatuses);
}

int run(std::vector<std::string> words) {
    // -q and -v may also come before the command, as in "varic -q render ...".
    varic::Verbosity verbosity = varic::Verbosity::normal;
    while (!words.empty() && (words[0] == "-q" || words[0] == "-v")) {
        verbosity = words[0] == "-q" ? varic::Verbosity::quiet : varic::Verbosity::verbose;
        words.erase(words.begin());
    }
    if (words.empty()) throw varic::UsageError("no command");
    const std::string& name = words[0];
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (name == "--version") {
        std::printf("varic %s\ndefault plug-in: %s\n", VARIC_VERSION,
                    varic::defaultPluginPath().c_str());
        return 0;
    }
    if (name == "help" || name == "--help" || name == "-h") {
        if (rest.empty()) {
            std::fputs(overview().c_str(), stdout);
            return 0;
        }
        const Command* command = findCommand(rest[0]);
        if (command == nullptr) throw varic::UsageError("no command '" + rest[0] + "'");
        std::fputs(commandHelp(*command).c_str(), stdout);
        return 0;
    }
    const Command* command = findCommand(name);
    if (command == nullptr) throw varic::UsageError("unknown command '" + name + "'");
    if (varic::asksForHelp(rest)) {
        std::fputs(commandHelp(*command).c_str(), stdout);
        return 0;
    }
    try {
        return command->run(rest, verbosity);
    } catch (const varic::UsageError& e) {
        std::fprintf(stderr, "varic: %s (see 'varic %s --help')\n", e.what(), name.c_str());
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (words.empty()) {
        std::fputs(overview().c_str(), stderr);
        return 2;
    }
    return varic::runMain("varic", "varic help", [&] { return run(words); });
}
