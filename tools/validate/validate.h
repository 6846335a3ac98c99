#pragma once
// The validator for VST 2.4 effect binaries: groups of checks, each check run in a child
// process of its own so that a crash or a hang is that check's failure and the rest still run.
// The `varic validate` command and the Windows validator program both call runValidate.

#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"

// The command's usage after its name, and what its help adds below it.
#define VALIDATE_SYNOPSIS "[PLUGIN] [--quick] [--json] [--only GROUP,...] [--timeout SECONDS]"
#define VALIDATE_HELP                                                                           \
    "Checks any VST 2.4 effect binary as a demanding host would. Groups: loading, requests,\n"  \
    "lifecycle, processing, realtime, float-mode, threads, speed. Each check runs in a child\n" \
    "process: a crash or a hang is its FAIL, and the rest still run. One line per check:\n"     \
    "PASS, WARN, FAIL or INFO; exit status 0 only without a FAIL.\n"                            \
    "\n"                                                                                        \
    "  --quick             every check, on less audio and fewer cycles\n"                       \
    "  --json              one JSON object instead of the lines\n"                              \
    "  --only LIST         groups or group/check names, comma-separated\n"                      \
    "  --timeout SECONDS   the limit for one check (default 120)\n"                             \
    "  -q                  only the WARN and FAIL lines, and the summary\n"

namespace validate {

// A command line that makes no sense; the caller reports it as such (exit status 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The run was stopped by a signal (or a console interrupt): its checks' processes are ended.
class Interrupted : public std::runtime_error {
public:
    explicit Interrupted(int signal) : std::runtime_error("interrupted"), signal_(signal) {}
    int signal() const { return signal_; }

private:
    int signal_;
};

// Runs the command with the words after its name and returns the exit status: 0 without a
// FAIL, 1 with one. `self` is how a child process runs this same program: the executable and
// the words before the command's own (for varic: its path and "validate"). Without a PLUGIN
// word the plug-in is `defaultPlugin`, if there is one. `stop` is asked while a check runs;
// once it answers a signal, the check's processes are ended and Interrupted is thrown.
// Throws UsageError.
int runValidate(const std::vector<std::string>& words, const std::vector<std::string>& self,
                const std::string& defaultPlugin = "", const StopRequest& stop = {});

}  // namespace validate
