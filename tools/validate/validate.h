#pragma once
// The validator for VST 2.4 effect binaries: groups of checks, each check run in a child
// process of its own so that a crash or a hang is that check's failure and the rest still run.
// The `varic validate` command and the Windows validator program both call runValidate.

#include <stdexcept>
#include <string>
#include <vector>

// The command's usage after its name, for help texts.
#define VALIDATE_USAGE                                                                           \
    "PLUGIN [--quick] [--json] [--only GROUP,...] [--timeout SECONDS]\n"                         \
    "      Checks any VST 2.4 effect binary as a demanding host would; groups: loading,\n"       \
    "      requests, lifecycle, processing, realtime, float-mode, threads, speed. Each check\n"  \
    "      runs in a child process: a crash or a hang (limit 120 s) is its FAIL. --only takes\n" \
    "      groups or group/check names; --quick runs every check on less audio. Exit status\n"   \
    "      0 only without a FAIL.\n"

namespace validate {

// A command line that makes no sense; the caller reports it as such (exit status 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs the command with the words after its name and returns the exit status: 0 without a
// FAIL, 1 with one. `self` is how a child process runs this same program: the executable and
// the words before the command's own (for varic: its path and "validate"). Throws UsageError.
int runValidate(const std::vector<std::string>& words, const std::vector<std::string>& self);

}  // namespace validate
