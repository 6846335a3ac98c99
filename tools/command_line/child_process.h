#pragma once
// The one way the tools run another program and wait for it: a child process with an optional
// time limit, whose output is kept, and which says how it ended. The child and whatever it
// starts end with the run: a time-out, a stop request or the end of the child itself ends its
// whole process group (on Windows: its job). The validator's children also die with it.

#include <functional>
#include <string>
#include <vector>

namespace varic {

// The signal that asks the run to stop (SIGINT, SIGTERM...), or 0 to go on.
using StopRequest = std::function<int()>;

struct ChildEnd {
    bool started = false;        // false: `how` says why it could not be started
    bool exitedCleanly = false;  // ran to the end with exit status 0
    std::string how;             // otherwise: "crashed (SIGSEGV)", "timed out after 60 s", ...
    int stoppedBy = 0;           // the stop request's signal, when it ended the child
    std::string results;         // the end of what it wrote to its results channel
    std::string output;          // the end of its standard output and error
};

struct ChildRun {
    double timeoutSeconds = 0.0;  // 0: no limit
    StopRequest stop;             // asked while the child runs
    // Whether the child gets "--results CHANNEL" after its arguments: a file name it opens for
    // writing, read back into ChildEnd::results.
    bool resultsChannel = false;
};

// Runs command[0] (a path) with the rest as its arguments, standard input from the null
// device. A child still running after the time limit, or when `stop` answers a signal, is
// killed. Keeps the last 64 KiB of its results and of its output.
ChildEnd runChild(const std::vector<std::string>& command, const ChildRun& how);

// This program's own executable file.
std::string selfExecutable();

// Sets up a child process: a crash ends it at once with a status that says so, without any
// dialog or debugger waiting for a user, and it does not outlive its parent.
void prepareChildProcess();

// Ends the process at once with `status`: no exit handlers, no leak report on the plug-in's
// behalf.
[[noreturn]] void endProcess(int status);

}  // namespace varic
