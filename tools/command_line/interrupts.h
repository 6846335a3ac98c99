#pragma once
// Clean stops: SIGHUP, SIGINT, SIGTERM and SIGPIPE (on Windows, Ctrl-C, Ctrl-Break and the
// console closing, as SIGINT) set a flag instead of killing the process, so that long work
// stops where it can, ends the processes it started and removes its temporary files; the
// blocking calls they interrupt fail with EINTR (or EPIPE) instead of waiting on. Every thread
// sees the flag.

namespace varic {

void catchInterrupts();
// The signal caught so far, or 0.
int caughtSignal();
// Throws Interrupted once a signal was caught.
void stopIfInterrupted();
// "SIGINT", or "a signal" for one not caught here.
const char* signalName(int signal);

}  // namespace varic
