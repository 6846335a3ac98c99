#pragma once
// The plug-in that the tests, the benchmarks and varic drive unless told otherwise: the
// crossfeed module built in the same build tree.

#include <string>

#include "plugin_host.h"

namespace vsthost {

// The crossfeed module of this build tree, as the programs built beside it see its path (under
// Wine, through the drive that shows the build machine's root).
std::string builtPluginPath();

// $VARIC_PLUGIN when it is set and not empty, else builtPluginPath(): how a test or benchmark
// run is pointed at another build of the plug-in.
std::string pluginUnderTestPath();

// The binary at pluginUnderTestPath(), loaded once per program and kept loaded. A program that
// cannot load it stops at once, with the loader's reason on stderr and status 1.
const PluginLibrary& pluginUnderTest();

}  // namespace vsthost
