// varic: a command-line host for stereo VST 2.4 effects. It inspects a plug-in, renders sound
// files through it, and measures and draws its response; by default the plug-in is the
// crossfeed built beside it.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/cli/binary_and_instance.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"

namespace {

const char kUsage[] =
    "usage: varic COMMAND [OPTIONS]\n"
    "\n"
    "  info [PLUGIN] [--json]\n"
    "      What a host sees of PLUGIN: names, identity, channels, flags, programs,\n"
    "      parameters, canDo answers.\n"
    "  render [--plugin P] IN OUT [--strength 0..100 | --param N=VALUE] [--precision 32|64]\n"
    "         [--block FRAMES] [--float|--double|--pcm16|--pcm24|--pcm32] [--mono-to-stereo]\n"
    "      IN (any format libsndfile reads) through the effect into OUT, in IN's format and\n"
    "      sample type unless OUT's extension or an option names another. --param sets\n"
    "      parameter N (index or name) to VALUE, the host value 0..1.\n"
    "  response [--plugin P] [--rate R] [--strength LIST] [--plot FILE.png|.svg] [--csv FILE]\n"
    "      Measures through the effect the gain of the channel sum and difference against\n"
    "      frequency, for each strength in LIST (default 10,25,50,100), and draws it.\n"
    "  demo [--out DIR]\n"
    "      Synthesises hard-panned stereo, renders it through the crossfeed and draws its\n"
    "      response, into DIR (default out/demo).\n"
    "  --version\n"
    "      Prints varic's version.\n"
    "\n"
    "PLUGIN and P default to the file named by the environment variable VARIC_PLUGIN, else\n"
    "to the Varic Crossfeed installed beside varic (../lib/lxvst/VaricCrossfeed.so), else to\n"
    "the one built with varic; here:\n";

void printUsage(std::FILE* to) {
    std::fputs(kUsage, to);
    std::fprintf(to, "  %s\n", varic::defaultPluginPath().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (words.empty()) {
        printUsage(stderr);
        return 2;
    }
    const std::string& command = words[0];
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    try {
        varic::catchInterrupts();
        if (command == "info") return varic::runInfo(rest);
        if (command == "render") return varic::runRender(rest);
        if (command == "response") return varic::runResponse(rest);
        if (command == "demo") return varic::runDemo(rest);
        if (command == "--version") {
            std::puts("varic " VARIC_VERSION);
            return 0;
        }
        if (command == "help" || command == "--help" || command == "-h") {
            printUsage(stdout);
            return 0;
        }
        throw varic::UsageError("unknown command '" + command + "'");
    } catch (const varic::UsageError& e) {
        std::fprintf(stderr, "varic: %s (see 'varic help')\n", e.what());
        return 2;
    } catch (const varic::Interrupted& e) {
        std::fprintf(stderr, "varic: %s\n", e.what());
        return 130;
    } catch (const varic::Failure& e) {
        std::fprintf(stderr, "varic: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varic: %s\n", e.what());
        return 1;
    }
}
