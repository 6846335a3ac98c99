#pragma once
// Runs a program as a child process with a time limit, and says how it ended.

#include <string>
#include <vector>

namespace validate {

struct ChildEnd {
    bool exitedCleanly = false;  // ran to the end with exit status 0
    std::string how;             // otherwise: "crashed (SIGSEGV)", "timed out after 60 s", ...
};

// Runs command[0] with the rest as its arguments, its standard output and error into logPath;
// a child still running after timeoutSeconds is killed.
ChildEnd runChild(const std::vector<std::string>& command, const std::string& logPath,
                  double timeoutSeconds);

// This program's own executable file.
std::string selfExecutable();

// A fresh name for a scratch file in the system's temporary folder; the caller removes it.
std::string scratchPath(const char* what);

// Sets up a child process: a crash ends it at once with a status that says so, without any
// dialog or debugger waiting for a user.
void prepareChildProcess();

// Ends the process at once with `status`: no exit handlers, no leak report on the plug-in's
// behalf.
[[noreturn]] void endProcess(int status);

}  // namespace validate
