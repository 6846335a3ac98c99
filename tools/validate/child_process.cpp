#include "tools/validate/child_process.h"

#include <chrono>
#include <cstdio>
#include <thread>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace validate {

std::string scratchPath(const char* what) {
    static int serial = 0;
#ifdef _WIN32
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    const std::string base =
        length > 0 && length < sizeof folder ? std::string(folder, length) : ".\\";
    const unsigned long process = GetCurrentProcessId();
#else
    const char* temp = getenv("TMPDIR");
    const std::string base = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/";
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return base + "varic-validate-" + std::to_string(process) + "-" + std::to_string(++serial) +
           "-" + what;
}

#ifdef _WIN32

namespace {

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

ChildEnd runChild(const std::vector<std::string>& command, const std::string& logPath,
                  double timeoutSeconds) {
    std::string line;
    for (const std::string& word : command) {
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
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    if (!started)
        return {false,
                "could not be started (Windows error " + std::to_string(GetLastError()) + ")"};
    ChildEnd end;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds * 1000)) ==
        WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        end.how = "timed out after " + std::to_string(static_cast<int>(timeoutSeconds)) + " s";
    } else {
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
    return end;
}

#else

std::string selfExecutable() {
    return "/proc/self/exe";
}

void prepareChildProcess() {}

void endProcess(int status) {
    std::fflush(nullptr);
    _exit(status);
}

ChildEnd runChild(const std::vector<std::string>& command, const std::string& logPath,
                  double timeoutSeconds) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return {false, std::string("could not be started: ") + strerror(error)};

    ChildEnd end;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    auto pause = std::chrono::microseconds(200);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            end.how = "timed out after " + std::to_string(static_cast<int>(timeoutSeconds)) + " s";
            return end;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        end.how = std::string("crashed (SIG") +
                  (name != nullptr ? name : std::to_string(WTERMSIG(status)).c_str()) + ")";
    } else if (WEXITSTATUS(status) != 0) {
        end.how = "exited with status " + std::to_string(WEXITSTATUS(status));
    } else {
        end.exitedCleanly = true;
    }
    return end;
}

#endif

}  // namespace validate
