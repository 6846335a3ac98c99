// varic: a command-line host for stereo VST 2.4 effects. It inspects a plug-in, renders sound
// files through it, and measures and draws its response; by default the plug-in is the
// crossfeed built beside it.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "binary_and_instance.h"
#include "cli_support.h"
#include "commands.h"
#include "validate.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* synopsis;  // the usage lines, as in the overview
    const char* help;      // what `varic help NAME` adds below them
};

// clang-format off
const Command kCommands[] = {
    {"info", varic::runInfo,
     "  info [PLUGIN | --plugin P] [--json]\n",
     "What a host sees of the plug-in: names, identity, channels, flags, programs,\n"
     "parameters and the answers to common canDo questions.\n"
     "\n"
     "  --json        the same as JSON, for scripts\n"},
    {"render", varic::runRender,
     "  render [--plugin P] IN OUT [OPTIONS]\n"
     "  render [--plugin P] IN... --output-dir DIR [--force] [--jobs N] [OPTIONS]\n",
     "Runs IN (any format libsndfile reads; - for standard input) through the effect into\n"
     "OUT (- for standard output). OUT gets IN's format and sample type unless its extension\n"
     "names another container (then a sample type that container holds) or an option names\n"
     "another sample type; - writes WAV, or AU when standard output is a pipe. Title,\n"
     "artist, album, date and the like are copied where both formats hold them.\n"
     "Before processing, the effect's response at IN's sample rate is measured; a warning\n"
     "says when the effect would change nothing, or boost some frequency by more than 6 dB.\n"
     "Integer samples are rounded to the nearest step and clipped at full scale; at 16 bits\n"
     "and fewer, a sample not already exact in OUT's type gets TPDF dither first (the same\n"
     "noise on every run), so a file that comes through unchanged stays bit for bit the same.\n"
     "\n"
     "  --strength S        the Strength parameter, 0 to 100\n"
     "  --param N=VALUE     parameter N (index or name) to the host value VALUE, 0 to 1\n"
     "  --precision 32|64   processing precision; by default 64-bit when IN's samples are\n"
     "                      finer than 32-bit floats (32-bit integers, 64-bit floats)\n"
     "  --block FRAMES      frames per processing call (default 4096)\n"
     "  --pcm16 --pcm24 --pcm32 --float --double   the sample type of OUT\n"
     "  --dither none|tpdf  for 8- and 16-bit OUT: plain rounding, or TPDF dither (default)\n"
     "  --mono-to-stereo    feed a mono IN's channel to both inputs\n"
     "  --output-dir DIR    several INs at once, each into DIR under its own name\n"
     "  --force             with --output-dir: replace outputs that exist already\n"
     "  --jobs N            with --output-dir: render N files at a time (default: one per\n"
     "                      processor core; 1 renders them one after the other)\n"},
    {"response", varic::runResponse,
     "  response [--plugin P] [--rate R] [--strength LIST] [--plot FILE] [--csv FILE]\n",
     "Measures the effect with impulses through fresh instances and reports, for each\n"
     "strength in LIST (default 10,25,50,100), the gain of the channel sum and difference\n"
     "at 0 Hz and half the sample rate, and the peak gain with its frequency.\n"
     "\n"
     "  --rate R        the sample rate, 1000 to 768000 Hz (default 44100)\n"
     "  --strength LIST comma-separated strengths, 0 to 100\n"
     "  --plot FILE     draw the response with gnuplot into a .png, .svg or .pdf file\n"
     "  --csv FILE      the measured gains and delays, one row per frequency (- for\n"
     "                  standard output)\n"},
    {"demo", varic::runDemo,
     "  demo [--out DIR]\n",
     "Synthesises hard-panned stereo, renders it through the crossfeed and draws its\n"
     "response, into DIR (default out/demo).\n"},
    {"validate", varic::runValidate,
     "  validate " VALIDATE_SYNOPSIS "\n",
     VALIDATE_HELP},
};
// clang-format on

const char kExitStatuses[] =
    "Exit status: 0 done, 1 failed while running, 2 wrong command line, 128+N stopped by\n"
    "signal N (129 hang-up, 130 Ctrl-C, 141 broken pipe, 143 terminated).\n";

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string overview() {
    std::string text = "usage: varic COMMAND [OPTIONS]\n       varic help COMMAND\n\n";
    for (const Command& command : kCommands) text += command.synopsis;
    text +=
        "\n"
        "Every command takes -q (errors only), -v (say more) and --help. PLUGIN and P default\n"
        "to the file named by $VARIC_PLUGIN, else to the crossfeed installed beside varic\n"
        "(../lib/lxvst/), else to the one built with it; here:\n  " +
        varic::defaultPluginPath() + "\n" + kExitStatuses;
    return text;
}

std::string commandHelp(const Command& command) {
    // Each synopsis line ("  render ...") becomes "usage: varic render ..." and the ones below.
    std::string text;
    const std::string synopsis = command.synopsis;
    for (std::size_t start = 0; start < synopsis.size();) {
        const std::size_t end = synopsis.find('\n', start);
        text += (start == 0 ? "usage: varic " : "       varic ") +
                synopsis.substr(start + 2, end - start - 1);
        start = end + 1;
    }
    return text + "\n" + command.help + "\n" + kExitStatuses;
}

// True when the words ask for help before any "--".
bool asksForHelp(const std::vector<std::string>& words) {
    const auto end = std::find(words.begin(), words.end(), "--");
    return std::any_of(words.begin(), end,
                       [](const std::string& w) { return w == "--help" || w == "-h"; });
}

int run(std::vector<std::string> words) {
    // -q and -v may also come before the command, as in "varic -q render ...".
    while (!words.empty() && words[0].size() == 2 && (words[0] == "-q" || words[0] == "-v")) {
        varic::setVerbosity(words[0] == "-q" ? varic::Verbosity::quiet : varic::Verbosity::verbose);
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
    if (asksForHelp(rest)) {
        std::fputs(commandHelp(*command).c_str(), stdout);
        return 0;
    }
    try {
        return command->run(rest);
    } catch (const varic::UsageError& e) {
        std::fprintf(stderr, "varic: %s (see 'varic %s --help')\n", e.what(), command->name);
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
    varic::catchInterrupts();
    try {
        const int status = run(words);
        return varic::caughtSignal() == 0 ? status : 128 + varic::caughtSignal();
    } catch (const varic::UsageError& e) {
        std::fprintf(stderr, "varic: %s (see 'varic help')\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        // A failure that a signal caused (a read cut short, a write into a closed pipe) is
        // reported as the signal; a broken pipe quietly, as other tools in a pipe do.
        const int signal = varic::caughtSignal();
        if (signal == 0) {
            std::fprintf(stderr, "varic: %s\n", e.what());
            return 1;
        }
        if (signal != SIGPIPE)
            std::fprintf(stderr, "varic: %s\n", varic::Interrupted(signal).what());
        return 128 + signal;
    }
}
