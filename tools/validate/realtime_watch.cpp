#include "realtime_watch.h"

#include <atomic>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VALIDATE_SANITIZER 1
#endif

namespace validate {
namespace {

// 1 inside a processing call, 0 outside; -1 while suspended in the host's own code.
thread_local int watchState = 0;

struct Counter {
    std::atomic<long> count{0};
    std::atomic<const char*> first{nullptr};
    std::atomic<std::size_t> firstSize{0};
};
Counter counters[5];

// Called from inside the hooks: no allocation, no lock, no I/O here.
inline void note(WatchKind kind, const char* function, std::size_t size = 0) {
    if (watchState != 1) return;
    Counter& counter = counters[static_cast<int>(kind)];
    if (counter.count.fetch_add(1, std::memory_order_relaxed) == 0) {
        counter.firstSize.store(size, std::memory_order_relaxed);
        counter.first.store(function, std::memory_order_release);
    }
}

}  // namespace

void watchProcessing(bool inside) {
    watchState = inside ? 1 : 0;
}
int suspendWatch() {
    const int saved = watchState;
    watchState = -1;
    return saved;
}
void resumeWatch(int suspended) {
    watchState = suspended;
}

UnwatchedScope::UnwatchedScope() : saved_(suspendWatch()) {}
UnwatchedScope::~UnwatchedScope() {
    resumeWatch(saved_);
}

void resetWatch() {
    for (Counter& counter : counters) {
        counter.count = 0;
        counter.first = nullptr;
        counter.firstSize = 0;
    }
}

WatchedCalls watchedCalls(WatchKind kind) {
    const Counter& counter = counters[static_cast<int>(kind)];
    return {counter.count.load(), counter.first.load(std::memory_order_acquire),
            counter.firstSize.load()};
}

}  // namespace validate

// ---- Windows: nothing is hooked ----------------------------------------------------------------

#ifdef _WIN32

// The plug-in's imports: the calls it makes into system DLLs go through its import address
// table, whose entries are pointed at these hooks. The C++ runtime is linked into a MinGW DLL,
// so its operator new reaches malloc there too; locks taken without a wait inside a statically
// linked runtime make no such call and are not seen.

#define WIN32_LEAN_AND_MEAN
#include <malloc.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

using validate::note;
using validate::WatchKind;

std::atomic<long long> pluginHeapBytes{0};
std::atomic<bool> patched{false};

// The function each hook stands in for.
template <auto Hook>
struct Real {
    static inline decltype(Hook) call = nullptr;
};

#define VALIDATE_REAL(hook) Real<&hook>::call

void* __cdecl hookMalloc(size_t size) {
    void* const block = VALIDATE_REAL(hookMalloc)(size);
    if (block != nullptr) pluginHeapBytes += static_cast<long long>(_msize(block));
    note(WatchKind::allocation, "malloc", size);
    return block;
}
void* __cdecl hookCalloc(size_t count, size_t size) {
    void* const block = VALIDATE_REAL(hookCalloc)(count, size);
    if (block != nullptr) pluginHeapBytes += static_cast<long long>(_msize(block));
    note(WatchKind::allocation, "calloc", count * size);
    return block;
}
void* __cdecl hookRealloc(void* block, size_t size) {
    const long long before = block != nullptr ? static_cast<long long>(_msize(block)) : 0;
    void* const moved = VALIDATE_REAL(hookRealloc)(block, size);
    if (moved != nullptr || size == 0) {
        pluginHeapBytes += (moved != nullptr ? static_cast<long long>(_msize(moved)) : 0) - before;
    }
    note(WatchKind::allocation, "realloc", size);
    return moved;
}
void __cdecl hookFree(void* block) {
    if (block != nullptr) {
        pluginHeapBytes -= static_cast<long long>(_msize(block));
        note(WatchKind::allocation, "free");
    }
    VALIDATE_REAL(hookFree)(block);
}
LPVOID WINAPI hookHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    note(WatchKind::allocation, "HeapAlloc", size);
    return VALIDATE_REAL(hookHeapAlloc)(heap, flags, size);
}
BOOL WINAPI hookHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    note(WatchKind::allocation, "HeapFree");
    return VALIDATE_REAL(hookHeapFree)(heap, flags, block);
}
void WINAPI hookEnterCriticalSection(LPCRITICAL_SECTION section) {
    note(WatchKind::lock, "EnterCriticalSection");
    VALIDATE_REAL(hookEnterCriticalSection)(section);
}
void WINAPI hookAcquireSRWLockExclusive(PSRWLOCK lock) {
    note(WatchKind::lock, "AcquireSRWLockExclusive");
    VALIDATE_REAL(hookAcquireSRWLockExclusive)(lock);
}
void WINAPI hookAcquireSRWLockShared(PSRWLOCK lock) {
    note(WatchKind::lock, "AcquireSRWLockShared");
    VALIDATE_REAL(hookAcquireSRWLockShared)(lock);
}
DWORD WINAPI hookWaitForSingleObject(HANDLE object, DWORD milliseconds) {
    note(WatchKind::lock, "WaitForSingleObject");
    return VALIDATE_REAL(hookWaitForSingleObject)(object, milliseconds);
}
void WINAPI hookSleep(DWORD milliseconds) {
    note(WatchKind::sleep, "Sleep");
    VALIDATE_REAL(hookSleep)(milliseconds);
}
DWORD WINAPI hookSleepEx(DWORD milliseconds, BOOL alertable) {
    note(WatchKind::sleep, "SleepEx");
    return VALIDATE_REAL(hookSleepEx)(milliseconds, alertable);
}
HANDLE WINAPI hookCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                               LPTHREAD_START_ROUTINE start, LPVOID argument, DWORD flags,
                               LPDWORD id) {
    note(WatchKind::spawn, "CreateThread");
    return VALIDATE_REAL(hookCreateThread)(security, stack, start, argument, flags, id);
}
uintptr_t __cdecl hookBeginThreadEx(void* security, unsigned stack,
                                    unsigned(__stdcall* start)(void*), void* argument,
                                    unsigned flags, unsigned* id) {
    note(WatchKind::spawn, "_beginthreadex");
    return VALIDATE_REAL(hookBeginThreadEx)(security, stack, start, argument, flags, id);
}
BOOL WINAPI hookCreateProcessA(LPCSTR application, LPSTR line, LPSECURITY_ATTRIBUTES process,
                               LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags,
                               LPVOID environment, LPCSTR folder, LPSTARTUPINFOA startup,
                               LPPROCESS_INFORMATION information) {
    note(WatchKind::spawn, "CreateProcessA");
    return VALIDATE_REAL(hookCreateProcessA)(application, line, process, thread, inherit, flags,
                                             environment, folder, startup, information);
}
BOOL WINAPI hookCreateProcessW(LPCWSTR application, LPWSTR line, LPSECURITY_ATTRIBUTES process,
                               LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags,
                               LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                               LPPROCESS_INFORMATION information) {
    note(WatchKind::spawn, "CreateProcessW");
    return VALIDATE_REAL(hookCreateProcessW)(application, line, process, thread, inherit, flags,
                                             environment, folder, startup, information);
}
HANDLE WINAPI hookCreateFileA(LPCSTR name, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE model) {
    note(WatchKind::io, "CreateFileA");
    return VALIDATE_REAL(hookCreateFileA)(name, access, share, security, disposition, flags, model);
}
HANDLE WINAPI hookCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE model) {
    note(WatchKind::io, "CreateFileW");
    return VALIDATE_REAL(hookCreateFileW)(name, access, share, security, disposition, flags, model);
}
BOOL WINAPI hookWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                          LPOVERLAPPED overlapped) {
    note(WatchKind::io, "WriteFile");
    return VALIDATE_REAL(hookWriteFile)(file, data, size, written, overlapped);
}
BOOL WINAPI hookReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
                         LPOVERLAPPED overlapped) {
    note(WatchKind::io, "ReadFile");
    return VALIDATE_REAL(hookReadFile)(file, data, size, read, overlapped);
}
FILE* __cdecl hookFopen(const char* path, const char* mode) {
    note(WatchKind::io, "fopen");
    return VALIDATE_REAL(hookFopen)(path, mode);
}
size_t __cdecl hookFwrite(const void* data, size_t size, size_t count, FILE* file) {
    note(WatchKind::io, "fwrite");
    return VALIDATE_REAL(hookFwrite)(data, size, count, file);
}
int __cdecl hookFputs(const char* text, FILE* file) {
    note(WatchKind::io, "fputs");
    return VALIDATE_REAL(hookFputs)(text, file);
}
int __cdecl hookPuts(const char* text) {
    note(WatchKind::io, "puts");
    return VALIDATE_REAL(hookPuts)(text);
}
int __cdecl hookFputc(int c, FILE* file) {
    note(WatchKind::io, "fputc");
    return VALIDATE_REAL(hookFputc)(c, file);
}
int __cdecl hookVfprintf(FILE* file, const char* format, va_list arguments) {
    note(WatchKind::io, "vfprintf");
    return VALIDATE_REAL(hookVfprintf)(file, format, arguments);
}

struct ImportHook {
    const char* name;
    void* hook;
    void** real;
};

#define VALIDATE_HOOK_ROW(name, hook) \
    { name, reinterpret_cast<void*>(&hook), reinterpret_cast<void**>(&VALIDATE_REAL(hook)) }

const ImportHook kImportHooks[] = {
    VALIDATE_HOOK_ROW("malloc", hookMalloc),
    VALIDATE_HOOK_ROW("calloc", hookCalloc),
    VALIDATE_HOOK_ROW("realloc", hookRealloc),
    VALIDATE_HOOK_ROW("free", hookFree),
    VALIDATE_HOOK_ROW("HeapAlloc", hookHeapAlloc),
    VALIDATE_HOOK_ROW("HeapFree", hookHeapFree),
    VALIDATE_HOOK_ROW("EnterCriticalSection", hookEnterCriticalSection),
    VALIDATE_HOOK_ROW("AcquireSRWLockExclusive", hookAcquireSRWLockExclusive),
    VALIDATE_HOOK_ROW("AcquireSRWLockShared", hookAcquireSRWLockShared),
    VALIDATE_HOOK_ROW("WaitForSingleObject", hookWaitForSingleObject),
    VALIDATE_HOOK_ROW("Sleep", hookSleep),
    VALIDATE_HOOK_ROW("SleepEx", hookSleepEx),
    VALIDATE_HOOK_ROW("CreateThread", hookCreateThread),
    VALIDATE_HOOK_ROW("_beginthreadex", hookBeginThreadEx),
    VALIDATE_HOOK_ROW("CreateProcessA", hookCreateProcessA),
    VALIDATE_HOOK_ROW("CreateProcessW", hookCreateProcessW),
    VALIDATE_HOOK_ROW("CreateFileA", hookCreateFileA),
    VALIDATE_HOOK_ROW("CreateFileW", hookCreateFileW),
    VALIDATE_HOOK_ROW("WriteFile", hookWriteFile),
    VALIDATE_HOOK_ROW("ReadFile", hookReadFile),
    VALIDATE_HOOK_ROW("fopen", hookFopen),
    VALIDATE_HOOK_ROW("fwrite", hookFwrite),
    VALIDATE_HOOK_ROW("fputs", hookFputs),
    VALIDATE_HOOK_ROW("puts", hookPuts),
    VALIDATE_HOOK_ROW("fputc", hookFputc),
    VALIDATE_HOOK_ROW("vfprintf", hookVfprintf),
};

}  // namespace

namespace validate {

void watchLibrary(const void* addressInIt) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(addressInIt), &module)) {
        return;
    }
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* const nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (library->OriginalFirstThunk != 0
                                                                     ? library->OriginalFirstThunk
                                                                     : library->FirstThunk));
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const char* const function = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name);
            for (const ImportHook& hook : kImportHooks) {
                if (strcmp(function, hook.name) != 0) continue;
                DWORD protection = 0;
                VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE,
                               &protection);
                *hook.real = reinterpret_cast<void*>(slot->u1.Function);
                slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook.hook);
                VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection,
                               &protection);
            }
        }
    }
    patched = true;
}

bool watchAvailable(WatchKind) {
    return patched.load();
}
const char* watchBlindSpot(WatchKind kind) {
    return kind == WatchKind::lock
               ? " (seen: locks that call into the system; a lock inside a statically linked "
                 "runtime that does not wait calls nothing)"
               : "";
}
std::string watchUnavailableReason(WatchKind) {
    return "not watched: the plug-in's imports could not be hooked";
}
long long liveHeapBytes() {
    return patched.load() ? pluginHeapBytes.load() : -1;
}

}  // namespace validate

#else

// ---- Linux: the hooks
// ----------------------------------------------------------------------------

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <semaphore.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#define VALIDATE_HOOK extern "C" __attribute__((visibility("default")))

namespace {

// The next definition of a hooked function: the C library's, or a sanitizer's in front of it.
// Looked up on first use; a race only looks it up twice.
template <class Function>
Function next(std::atomic<void*>& cache, const char* name) {
    void* found = cache.load(std::memory_order_relaxed);
    if (found == nullptr) {
        const validate::UnwatchedScope lookUp;  // the lookup's own allocation is the host's
        found = dlsym(RTLD_NEXT, name);
        cache.store(found, std::memory_order_relaxed);
    }
    return reinterpret_cast<Function>(found);
}

#define VALIDATE_NEXT(name)                         \
    static std::atomic<void*> next_##name{nullptr}; \
    const auto real = next<decltype(&::name)>(next_##name, #name)

}  // namespace

// Locks. A try-lock does not wait and is fine in a processing call.
VALIDATE_HOOK int pthread_mutex_lock(pthread_mutex_t* mutex) {
    validate::note(validate::WatchKind::lock, "pthread_mutex_lock");
    VALIDATE_NEXT(pthread_mutex_lock);
    return real(mutex);
}
VALIDATE_HOOK int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    validate::note(validate::WatchKind::lock, "pthread_rwlock_rdlock");
    VALIDATE_NEXT(pthread_rwlock_rdlock);
    return real(lock);
}
VALIDATE_HOOK int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    validate::note(validate::WatchKind::lock, "pthread_rwlock_wrlock");
    VALIDATE_NEXT(pthread_rwlock_wrlock);
    return real(lock);
}
VALIDATE_HOOK int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    validate::note(validate::WatchKind::lock, "pthread_cond_wait");
    VALIDATE_NEXT(pthread_cond_wait);
    return real(condition, mutex);
}
VALIDATE_HOOK int sem_wait(sem_t* semaphore) {
    validate::note(validate::WatchKind::lock, "sem_wait");
    VALIDATE_NEXT(sem_wait);
    return real(semaphore);
}

// Sleeping, and starting threads or processes: a processing call that waits on the clock, or
// on the system to make a thread or a process, misses its deadline.
VALIDATE_HOOK int nanosleep(const struct timespec* duration, struct timespec* left) {
    validate::note(validate::WatchKind::sleep, "nanosleep");
    VALIDATE_NEXT(nanosleep);
    return real(duration, left);
}
VALIDATE_HOOK int clock_nanosleep(clockid_t clock, int flags, const struct timespec* duration,
                                  struct timespec* left) {
    validate::note(validate::WatchKind::sleep, "clock_nanosleep");
    VALIDATE_NEXT(clock_nanosleep);
    return real(clock, flags, duration, left);
}
VALIDATE_HOOK int usleep(useconds_t microseconds) {
    validate::note(validate::WatchKind::sleep, "usleep");
    VALIDATE_NEXT(usleep);
    return real(microseconds);
}
VALIDATE_HOOK unsigned sleep(unsigned seconds) {
    validate::note(validate::WatchKind::sleep, "sleep");
    VALIDATE_NEXT(sleep);
    return real(seconds);
}
VALIDATE_HOOK pid_t fork() {
    validate::note(validate::WatchKind::spawn, "fork");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(fork);
    return real();
}
// vfork's child may not return from the function that called it, so it cannot be forwarded
// from a hook; fork is what vfork may always be.
VALIDATE_HOOK pid_t vfork() {
    validate::note(validate::WatchKind::spawn, "vfork");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(fork);
    return real();
}
VALIDATE_HOOK int posix_spawn(pid_t* pid, const char* path,
                              const posix_spawn_file_actions_t* actions,
                              const posix_spawnattr_t* attributes, char* const argv[],
                              char* const envp[]) {
    validate::note(validate::WatchKind::spawn, "posix_spawn");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(posix_spawn);
    return real(pid, path, actions, attributes, argv, envp);
}
VALIDATE_HOOK int posix_spawnp(pid_t* pid, const char* file,
                               const posix_spawn_file_actions_t* actions,
                               const posix_spawnattr_t* attributes, char* const argv[],
                               char* const envp[]) {
    validate::note(validate::WatchKind::spawn, "posix_spawnp");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(posix_spawnp);
    return real(pid, file, actions, attributes, argv, envp);
}
VALIDATE_HOOK int system(const char* command) {
    validate::note(validate::WatchKind::spawn, "system");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(system);
    return real(command);
}
VALIDATE_HOOK int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                 void* (*start)(void*), void* argument) {
    validate::note(validate::WatchKind::spawn, "pthread_create");
    const validate::UnwatchedScope inside;  // what it allocates is part of the one fault
    VALIDATE_NEXT(pthread_create);
    return real(thread, attributes, start, argument);
}

// File and console I/O: the system calls' wrappers and the stdio functions a library calls
// (the C library's own stdio reaches the system calls internally, past any hook).
VALIDATE_HOOK int open(const char* path, int flags, ...) {
    validate::note(validate::WatchKind::io, "open");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    VALIDATE_NEXT(open);
    return real(path, flags, mode);
}
VALIDATE_HOOK int openat(int directory, const char* path, int flags, ...) {
    validate::note(validate::WatchKind::io, "openat");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    VALIDATE_NEXT(openat);
    return real(directory, path, flags, mode);
}
VALIDATE_HOOK ssize_t read(int descriptor, void* data, size_t size) {
    validate::note(validate::WatchKind::io, "read");
    VALIDATE_NEXT(read);
    return real(descriptor, data, size);
}
VALIDATE_HOOK ssize_t write(int descriptor, const void* data, size_t size) {
    validate::note(validate::WatchKind::io, "write");
    VALIDATE_NEXT(write);
    return real(descriptor, data, size);
}
VALIDATE_HOOK FILE* fopen(const char* path, const char* mode) {
    validate::note(validate::WatchKind::io, "fopen");
    VALIDATE_NEXT(fopen);
    return real(path, mode);
}
VALIDATE_HOOK size_t fread(void* data, size_t size, size_t count, FILE* file) {
    validate::note(validate::WatchKind::io, "fread");
    VALIDATE_NEXT(fread);
    return real(data, size, count, file);
}
VALIDATE_HOOK size_t fwrite(const void* data, size_t size, size_t count, FILE* file) {
    validate::note(validate::WatchKind::io, "fwrite");
    VALIDATE_NEXT(fwrite);
    return real(data, size, count, file);
}
VALIDATE_HOOK int fputs(const char* text, FILE* file) {
    validate::note(validate::WatchKind::io, "fputs");
    VALIDATE_NEXT(fputs);
    return real(text, file);
}
VALIDATE_HOOK int puts(const char* text) {
    validate::note(validate::WatchKind::io, "puts");
    VALIDATE_NEXT(puts);
    return real(text);
}
VALIDATE_HOOK int fputc(int c, FILE* file) {
    validate::note(validate::WatchKind::io, "fputc");
    VALIDATE_NEXT(fputc);
    return real(c, file);
}
VALIDATE_HOOK int putc(int c, FILE* file) {
    validate::note(validate::WatchKind::io, "putc");
    VALIDATE_NEXT(putc);
    return real(c, file);
}
VALIDATE_HOOK int putchar(int c) {
    validate::note(validate::WatchKind::io, "putchar");
    VALIDATE_NEXT(putchar);
    return real(c);
}
VALIDATE_HOOK int fflush(FILE* file) {
    validate::note(validate::WatchKind::io, "fflush");
    VALIDATE_NEXT(fflush);
    return real(file);
}
VALIDATE_HOOK int vfprintf(FILE* file, const char* format, va_list arguments) {
    validate::note(validate::WatchKind::io, "vfprintf");
    VALIDATE_NEXT(vfprintf);
    return real(file, format, arguments);
}
VALIDATE_HOOK int vprintf(const char* format, va_list arguments) {
    validate::note(validate::WatchKind::io, "vprintf");
    VALIDATE_NEXT(vfprintf);
    return real(stdout, format, arguments);
}
VALIDATE_HOOK int fprintf(FILE* file, const char* format, ...) {
    validate::note(validate::WatchKind::io, "fprintf");
    VALIDATE_NEXT(vfprintf);
    va_list arguments;
    va_start(arguments, format);
    const int written = real(file, format, arguments);
    va_end(arguments);
    return written;
}
VALIDATE_HOOK int printf(const char* format, ...) {
    validate::note(validate::WatchKind::io, "printf");
    VALIDATE_NEXT(vfprintf);
    va_list arguments;
    va_start(arguments, format);
    const int written = real(stdout, format, arguments);
    va_end(arguments);
    return written;
}

#ifdef VALIDATE_SANITIZER

// The sanitizer owns the allocator; its hooks report every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_current_allocated_bytes();

namespace {
void onAllocation(const volatile void*, size_t size) {
    validate::note(validate::WatchKind::allocation, "malloc", size);
}
void onRelease(const volatile void*) {
    validate::note(validate::WatchKind::allocation, "free");
}
const bool hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease) != 0;
}  // namespace

namespace validate {
long long liveHeapBytes() {
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
}
bool watchAvailable(WatchKind kind) {
    return kind != WatchKind::allocation || hooksInstalled;
}
}  // namespace validate

#else

// The allocator's entry points, forwarded to the C library's allocator under its own names.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<long long> liveBytes{0};

void* allocated(void* block, const char* function, size_t size) {
    if (block != nullptr) liveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
    validate::note(validate::WatchKind::allocation, function, size);
    return block;
}
void released(void* block, const char* function) {
    if (block == nullptr) return;
    liveBytes.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    validate::note(validate::WatchKind::allocation, function);
}
}  // namespace

VALIDATE_HOOK void* malloc(size_t size) {
    return allocated(__libc_malloc(size), "malloc", size);
}
VALIDATE_HOOK void* calloc(size_t count, size_t size) {
    return allocated(__libc_calloc(count, size), "calloc", count * size);
}
VALIDATE_HOOK void* realloc(void* block, size_t size) {
    released(block, "realloc");
    void* const moved = __libc_realloc(block, size);
    // A failed realloc keeps the old block.
    if (moved == nullptr && block != nullptr && size != 0) return allocated(block, "realloc", size);
    return allocated(moved, "realloc", size);
}
VALIDATE_HOOK void free(void* block) {
    released(block, "free");
    __libc_free(block);
}
VALIDATE_HOOK void* memalign(size_t alignment, size_t size) {
    return allocated(__libc_memalign(alignment, size), "memalign", size);
}
VALIDATE_HOOK void* aligned_alloc(size_t alignment, size_t size) {
    return allocated(__libc_memalign(alignment, size), "aligned_alloc", size);
}
VALIDATE_HOOK int posix_memalign(void** block, size_t alignment, size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
    void* const found = __libc_memalign(alignment, size);
    if (found == nullptr) return 12;  // ENOMEM
    *block = allocated(found, "posix_memalign", size);
    return 0;
}

namespace validate {
long long liveHeapBytes() {
    return liveBytes.load();
}
bool watchAvailable(WatchKind) {
    return true;
}
}  // namespace validate

#endif  // VALIDATE_SANITIZER

namespace validate {
void watchLibrary(const void*) {}  // the hooks above see the whole process
const char* watchBlindSpot(WatchKind) {
    return "";
}
std::string watchUnavailableReason(WatchKind kind) {
    return watchAvailable(kind) ? "" : "the sanitizer's allocation hooks could not be installed";
}
}  // namespace validate

#endif  // _WIN32
