#pragma once
// The commands of varic. Each command's file holds its help (help.h), from which its options
// are parsed, and its run function, which takes the words after the command's name and the
// verbosity given before it, writes its results and returns the exit status; failures are
// thrown as Failure (command_line.h).

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "help.h"
#include "quantiser.h"

namespace varic {

struct Command {
    const CommandHelp& (*help)();
    int (*run)(const std::vector<std::string>& words, Verbosity verbosity);
};

// Every command, in the order the overview and the manual list them.
const std::vector<Command>& commands();

const CommandHelp& infoHelp();
const CommandHelp& renderHelp();
const CommandHelp& responseHelp();
const CommandHelp& demoHelp();
int runInfo(const std::vector<std::string>& words, Verbosity verbosity);
int runRender(const std::vector<std::string>& words, Verbosity verbosity);
int runResponse(const std::vector<std::string>& words, Verbosity verbosity);
int runDemo(const std::vector<std::string>& words, Verbosity verbosity);
// Runs varic-validate with the words (validate_command.h holds the command's help).
int runValidate(const std::vector<std::string>& words, Verbosity verbosity);

// What render does, for the command and for the demo.
struct RenderJob {
    std::string plugin;
    std::string input;
    std::string output;
    std::optional<double> strength;   // 0..100
    std::vector<std::string> params;  // "N=VALUE"
    std::optional<int> precision;     // 32 or 64; by default 64 for input finer than floats
    int blockSize = 4096;
    int sampleType = 0;  // libsndfile sample type to write; 0: the input's
    bool monoToStereo = false;
    Dither dither = Dither::tpdf;  // for integer outputs of 16 bits or fewer
};

struct RenderResult {
    std::string effectName;
    std::string strengthDisplay;  // the Strength parameter as the effect shows it, if it has one
    double seconds = 0.0;
    long long clippedSamples = 0;
};

RenderResult render(const RenderJob& job, const Messages& messages);

}  // namespace varic
