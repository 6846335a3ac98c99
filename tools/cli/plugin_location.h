#pragma once
// Where varic finds what comes with it: the plug-in it uses when the command line names none,
// and the validator's program, which runs `varic validate`.

#include <string>
#include <vector>

namespace varic {

// The places to look for the plug-in, in order: the path in VARIC_PLUGIN (environment) when it
// is set; the crossfeed installed beside varic; the crossfeed of the build tree varic was
// built in. Both of the last two are found from varic's own place, so neither an installed
// varic nor a relocated install carries the path of the tree it was built in. `executable` is
// varic's own path (empty when unknown: then only the environment counts).
std::vector<std::string> pluginCandidates(const char* environment, const std::string& executable);

// The first candidate that exists for this process; else the first candidate, so that the
// error names where the plug-in was expected.
std::string defaultPluginPath();

// varic-validate beside varic (installed), else the one of the build tree varic was built in.
std::string validatorPath();

}  // namespace varic
