// varic-validate: the validator as a program of its own, for the Windows build.

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "child_process.h"
#include "validate.h"

namespace {

volatile LONG interrupt = 0;

// Ctrl-C, Ctrl-Break or the console closing: the run stops and ends its checks' processes.
BOOL WINAPI noteInterrupt(DWORD) {
    InterlockedExchange(&interrupt, SIGINT);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    SetConsoleCtrlHandler(noteInterrupt, TRUE);
    try {
        return validate::runValidate(words, {validate::selfExecutable()}, "",
                                     [] { return static_cast<int>(interrupt); });
    } catch (const validate::UsageError& e) {
        std::fprintf(stderr,
                     "varic-validate: %s\nusage: varic-validate " VALIDATE_SYNOPSIS
                     "\n\n" VALIDATE_HELP,
                     e.what());
        return 2;
    } catch (const validate::Interrupted& e) {
        std::fprintf(stderr, "varic-validate: interrupted\n");
        return 128 + e.signal();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varic-validate: %s\n", e.what());
        return 1;
    }
}
