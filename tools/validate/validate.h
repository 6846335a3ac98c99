#pragma once
// The validator for VST 2.4 effect binaries: groups of checks, each check run in a child
// process of its own so that a crash or a hang is that check's failure and the rest still run.
// varic-validate (main.cpp) runs it with the options of validate_command.h.

#include <string>
#include <vector>

#include "child_process.h"
#include "validate_command.h"

namespace validate {

// Runs the validator and returns the exit status: 0 without a FAIL, 1 with one. `self` is how
// a child process runs this same program: the executable and any words before the options.
// `stop` is asked while a check runs; once it answers a signal, the check's processes are
// ended and varic::Interrupted is thrown. Throws varic::UsageError for an --only that names no
// check, and varic::Failure for a plug-in file that cannot be read.
int runValidate(const Options& options, const std::vector<std::string>& self,
                const varic::StopRequest& stop = {});

}  // namespace validate
