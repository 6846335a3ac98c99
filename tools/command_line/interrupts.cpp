#include "interrupts.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "command_line.h"

namespace varic {
namespace {

// Lock-free, so safe to set in a signal handler, and read by every worker thread.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
BOOL WINAPI noteInterrupt(DWORD) {
    interruptSignal.store(SIGINT, std::memory_order_relaxed);
    return TRUE;
}
#else
extern "C" void noteInterrupt(int signal) {
    interruptSignal.store(signal, std::memory_order_relaxed);
}
#endif

}  // namespace

const char* signalName(int signal) {
    switch (signal) {
#ifndef _WIN32
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
#endif
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        default: return "a signal";
    }
}

void catchInterrupts() {
#ifdef _WIN32
    SetConsoleCtrlHandler(noteInterrupt, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
#endif
}

int caughtSignal() {
    return interruptSignal.load(std::memory_order_relaxed);
}

void stopIfInterrupted() {
    const int signal = caughtSignal();
    if (signal != 0) throw Interrupted(signal);
}

}  // namespace varic
