#include "child_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "scratch_directory.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fstream>
#else
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace varic {

namespace {

constexpr std::size_t kTailBytes = 64 * 1024;

// Appends to `tail`, keeping its last kTailBytes.
void keepTail(std::string& tail, const char* data, std::size_t size) {
    tail.append(data, size);
    if (tail.size() > 2 * kTailBytes) tail.erase(0, tail.size() - kTailBytes);
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// The time a run may take, from now; none when the limit is 0.
std::chrono::steady_clock::time_point deadlineOf(double timeoutSeconds) {
    if (timeoutSeconds <= 0.0) return std::chrono::steady_clock::time_point::max();
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(timeoutSeconds));
}

}  // namespace

#ifdef _WIN32

namespace {

// The end of a file's contents.
std::string fileTail(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string tail;
    char chunk[8192];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0)
        keepTail(tail, chunk, static_cast<std::size_t>(file.gcount()));
    return tail;
}

// One argument as the C runtime's command-line parser reads it back.
std::string quoted(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string result = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        result.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, '\\');
    return result + "\"";
}

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A job that ends every process in it when its last handle closes: with the run, or with
// this process however it ends.
HANDLE makeJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

}  // namespace

std::string selfExecutable() {
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

void prepareChildProcess() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
}

void endProcess(int status) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}

ChildEnd runChild(const std::vector<std::string>& command, const ChildRun& how) {
    const ScratchDirectory scratch;
    const std::string results = scratch.file("result");
    const std::string logPath = scratch.file("log");
    std::string line;
    std::vector<std::string> words = command;
    if (how.resultsChannel) words.insert(words.end(), {"--results", results});
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        line += quoted(word);
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE log = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = log;
    startup.hStdError = log;
    PROCESS_INFORMATION process{};
    HANDLE job = makeJob();
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    if (!started) {
        if (job != nullptr) CloseHandle(job);
        ChildEnd end;
        end.how = "could not be started (Windows error " + std::to_string(GetLastError()) + ")";
        return end;
    }
    if (job != nullptr) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    ChildEnd end;
    end.started = true;
    const auto killAll = [&] {
        if (job == nullptr || !TerminateJobObject(job, 1)) TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    };

    const auto deadline = deadlineOf(how.timeoutSeconds);
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (how.stop && how.stop() != 0) {
            killAll();
            end.stoppedBy = how.stop();
            end.how = "stopped by a console interrupt";
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            killAll();
            end.how = "timed out after " + secondsText(how.timeoutSeconds) + " s";
            break;
        }
    }
    if (end.how.empty()) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        end.exitedCleanly = code == 0;
        char text[64];
        std::snprintf(
            text, sizeof text,
            code >= 0xC0000000u ? "crashed (exception 0x%08lX)" : "exited with status %lu",
            static_cast<unsigned long>(code));
        if (code != 0) end.how = text;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (job != nullptr) CloseHandle(job);  // ends whatever the child left running
    end.results = fileTail(results);
    end.output = fileTail(logPath);
    return end;
}

#else

std::string selfExecutable() {
    return "/proc/self/exe";
}

void prepareChildProcess() {
    // Killed with its parent, even one killed outright; writing into the results channel
    // after the parent is gone (SIGPIPE) ends it too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void endProcess(int status) {
    std::fflush(nullptr);
    _exit(status);
}

namespace {

constexpr int kResultsDescriptor = 3;

// Reads what is there without waiting; false once the writers are gone.
bool drain(int descriptor, std::string& tail) {
    char chunk[8192];
    for (;;) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got > 0) {
            keepTail(tail, chunk, static_cast<std::size_t>(got));
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

std::string signalText(int signal) {
    const char* name = sigabbrev_np(signal);
    return std::string("SIG") + (name != nullptr ? name : std::to_string(signal).c_str());
}

// A child in a process group of its own, with its results and output read through pipes, so
// that nothing is left in the file system when anything ends it.
class Spawned {
public:
    Spawned(const std::vector<std::string>& command, bool resultsChannel) {
        int results[2];
        int output[2];
        if (pipe2(results, O_CLOEXEC) != 0) {
            error_ = errno;
            return;
        }
        if (pipe2(output, O_CLOEXEC) != 0) {
            error_ = errno;
            close(results[0]);
            close(results[1]);
            return;
        }
        std::vector<std::string> words = command;
        if (resultsChannel)
            words.insert(words.end(), {"--results", "/dev/fd/" + std::to_string(kResultsDescriptor)});
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        spawn(argv, output[1], results[1]);
        close(results[1]);
        close(output[1]);
        descriptors_[0] = results[0];
        descriptors_[1] = output[0];
        for (const int descriptor : descriptors_)
            fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
        if (error_ != 0) pid_ = 0;
    }
    ~Spawned() {
        endGroup();
        if (pid_ > 0 && !reaped_) waitpid(pid_, nullptr, 0);
        for (const int descriptor : descriptors_) {
            if (descriptor >= 0) close(descriptor);
        }
    }
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    bool started() const { return pid_ > 0; }
    int error() const { return error_; }

    // Waits up to `milliseconds` for output or the child's end; true once it has ended, with
    // its wait status in *status.
    bool wait(int milliseconds, int* status, ChildEnd& end) {
        pollfd watched[2];
        for (int i = 0; i < 2; ++i) watched[i] = {descriptors_[i], POLLIN, 0};
        poll(watched, 2, milliseconds);
        read(end);
        if (waitpid(pid_, status, WNOHANG) != pid_) return false;
        reaped_ = true;
        read(end);  // what it wrote just before it ended
        return true;
    }

    // Kills the child and everything in its group, and waits for the child.
    void kill() {
        endGroup();
        if (!reaped_) waitpid(pid_, nullptr, 0);
        reaped_ = true;
    }

private:
    // The child in a group of its own, so that its helpers end with it; the signals this
    // program catches back at their defaults, none blocked. Any step that fails leaves the
    // child unstarted, with the reason in error_.
    void spawn(const std::vector<char*>& argv, int output, int results) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        error_ = posix_spawn_file_actions_init(&actions);
        if (error_ != 0) return;
        error_ = posix_spawnattr_init(&attributes);
        if (error_ != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none;
        sigset_t caught;
        sigemptyset(&none);
        sigemptyset(&caught);
        for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) sigaddset(&caught, signal);
        const int steps[] = {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0),
            posix_spawn_file_actions_adddup2(&actions, output, 1),
            posix_spawn_file_actions_adddup2(&actions, output, 2),
            posix_spawn_file_actions_adddup2(&actions, results, kResultsDescriptor),
            posix_spawnattr_setpgroup(&attributes, 0),
            posix_spawnattr_setsigmask(&attributes, &none),
            posix_spawnattr_setsigdefault(&attributes, &caught),
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                      POSIX_SPAWN_SETSIGDEF),
        };
        for (const int step : steps) {
            if (error_ == 0) error_ = step;
        }
        if (error_ == 0)
            error_ = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }

    void read(ChildEnd& end) {
        std::string* tails[2] = {&end.results, &end.output};
        for (int i = 0; i < 2; ++i) {
            if (descriptors_[i] >= 0 && !drain(descriptors_[i], *tails[i])) {
                close(descriptors_[i]);
                descriptors_[i] = -1;
            }
        }
    }
    // The group outlives its leader while any helper it started is left in it.
    void endGroup() {
        if (pid_ > 0) ::kill(-pid_, SIGKILL);
    }

    pid_t pid_ = 0;
    int error_ = 0;
    bool reaped_ = false;
    int descriptors_[2] = {-1, -1};
};

}  // namespace

ChildEnd runChild(const std::vector<std::string>& command, const ChildRun& how) {
    Spawned child(command, how.resultsChannel);
    ChildEnd end;
    if (!child.started()) {
        end.how = std::string("could not be started: ") + strerror(child.error());
        return end;
    }
    end.started = true;
    const auto deadline = deadlineOf(how.timeoutSeconds);
    int status = 0;
    // Short waits at first: most checks end within milliseconds.
    int pause = 1;
    while (!child.wait(pause, &status, end)) {
        pause = std::min(pause * 2, 50);
        if (how.stop && how.stop() != 0) {
            child.kill();
            end.stoppedBy = how.stop();
            end.how = "stopped by " + signalText(end.stoppedBy);
            return end;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            child.kill();
            end.how = "timed out after " + secondsText(how.timeoutSeconds) + " s";
            return end;
        }
    }
    if (WIFSIGNALED(status)) {
        end.how = "crashed (" + signalText(WTERMSIG(status)) + ")";
    } else if (WEXITSTATUS(status) != 0) {
        end.how = "exited with status " + std::to_string(WEXITSTATUS(status));
    } else {
        end.exitedCleanly = true;
    }
    return end;
}

#endif

}  // namespace varic
