#pragma once
// The sub-commands of varic. Each takes the words after its name, writes its results, and
// returns the exit status; failures are thrown as Failure (see cli_support.h).

#include <optional>
#include <string>
#include <vector>

#include "quantiser.h"

namespace varic {

int runInfo(const std::vector<std::string>& words);
int runRender(const std::vector<std::string>& words);
int runResponse(const std::vector<std::string>& words);
int runDemo(const std::vector<std::string>& words);
int runValidate(const std::vector<std::string>& words);

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

RenderResult render(const RenderJob& job);

}  // namespace varic
