#pragma once
// Runs a program as a child process with a time limit, and says how it ended. The child and
// whatever it starts end with the run: a time-out, a stop request or the end of the child
// itself ends its whole process group (on Windows: its job), and a child dies with its parent.

#include <functional>
#include <string>
#include <vector>

namespace validate {

// The signal that asks the run to stop (SIGINT, SIGTERM...), or 0 to go on.
using StopRequest = std::function<int()>;

struct ChildEnd {
    bool exitedCleanly = false;  // ran to the end with exit status 0
    std::string how;             // otherwise: "crashed (SIGSEGV)", "timed out after 60 s", ...
    int stoppedBy = 0;           // the stop request's signal, when it ended the child
    std::string results;         // the end of what it wrote to its results channel
    std::string output;          // the end of its standard output and error
};

// Runs command[0] with the rest as its arguments, followed by "--results CHANNEL": a file name
// the child opens for writing, read back into ChildEnd::results. A child still running after
// timeoutSeconds, or when `stop` answers a signal, is killed. Keeps the last 64 KiB of each.
ChildEnd runChild(const std::vector<std::string>& command, double timeoutSeconds,
                  const StopRequest& stop);

// This program's own executable file.
std::string selfExecutable();

// Sets up a child process: a crash ends it at once with a status that says so, without any
// dialog or debugger waiting for a user, and it does not outlive its parent.
void prepareChildProcess();

// Ends the process at once with `status`: no exit handlers, no leak report on the plug-in's
// behalf.
[[noreturn]] void endProcess(int status);

}  // namespace validate
