#pragma once
// Watches what a plug-in does inside its processing calls: heap allocation and release, locks,
// file or console I/O, sleeping, and starting threads or processes. The hooks sit in the
// validator's own process, which the plug-in is loaded into: on Linux the executable defines the C
// library's allocation, lock and I/O functions, which every library then binds to, and forwards
// them (under a sanitizer, its allocation hooks take the allocator's place). On Windows the
// plug-in's own imports from system DLLs are pointed at hooks once it is loaded (watchLibrary).
// Only calls on a thread marked as inside a processing call (watchProcessing) are counted.

#include <cstddef>
#include <string>

namespace validate {

enum class WatchKind { allocation, lock, io, sleep, spawn };

// Hooks the library that holds this address (Windows); Linux's hooks see every library.
void watchLibrary(const void* addressInIt);

// True when this build watches that kind of call.
bool watchAvailable(WatchKind kind);
// Why a kind is not watched in this build ("" when it is).
std::string watchUnavailableReason(WatchKind kind);
// What the watch of a kind cannot see in this build, for its report ("" when nothing).
const char* watchBlindSpot(WatchKind kind);

// Marks the calling thread as inside a processing call, or no longer.
void watchProcessing(bool inside);
// Suspends the watch on the calling thread, for the host's own work in a callback; resuming
// takes what suspending returned.
int suspendWatch();
void resumeWatch(int suspended);

// Suspends the watch on the calling thread, for the host's own work in a callback.
class UnwatchedScope {
public:
    UnwatchedScope();
    ~UnwatchedScope();
    UnwatchedScope(const UnwatchedScope&) = delete;
    UnwatchedScope& operator=(const UnwatchedScope&) = delete;

private:
    int saved_;
};

struct WatchedCalls {
    long count = 0;
    const char* first = nullptr;  // the function of the first one, e.g. "malloc"
    std::size_t firstSize = 0;    // its size in bytes, for allocations
};

void resetWatch();
WatchedCalls watchedCalls(WatchKind kind);

// Bytes the process holds on the heap now (Windows: those the plug-in's own allocations hold);
// negative when this build cannot tell.
long long liveHeapBytes();

}  // namespace validate
