#include "cli_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace varic {

// ---- Arguments -------------------------------------------------------------------------------

Arguments::Arguments(const std::string& command, const std::vector<std::string>& words,
                     const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flagOptions)
    : command_(command) {
    const auto known = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool onlyOperands = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (onlyOperands || word == "-" || word.empty() || word[0] != '-') {
            operands_.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyOperands = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (name == "-q" || name == "--quiet" || name == "-v" || name == "--verbose") {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            const bool quiet = name == "-q" || name == "--quiet";
            setVerbosity(quiet ? Verbosity::quiet : Verbosity::verbose);
        } else if (known(flagOptions, name)) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            options_.emplace_back(name, "");
        } else if (known(valueOptions, name)) {
            if (equals != std::string::npos) {
                options_.emplace_back(name, word.substr(equals + 1));
            } else if (i + 1 < words.size()) {
                options_.emplace_back(name, words[++i]);
            } else {
                throw UsageError(name + " needs a value");
            }
        } else {
            throw UsageError("unknown option " + name + " for '" + command_ + "'");
        }
    }
}

bool Arguments::flag(const std::string& name) const {
    return std::any_of(options_.begin(), options_.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    std::optional<std::string> found;
    for (const auto& option : options_) {
        if (option.first == name) found = option.second;
    }
    return found;
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    std::vector<std::string> found;
    for (const auto& option : options_) {
        if (option.first == name) found.push_back(option.second);
    }
    return found;
}

void Arguments::expectOperands(std::size_t least, std::size_t most, const std::string& what) const {
    if (operands_.size() > most) {
        throw UsageError("'" + command_ + "' takes " + what + "; unexpected '" + operands_[most] +
                         "'");
    }
    if (operands_.size() < least) throw UsageError("'" + command_ + "' needs " + what);
}

// ---- Messages --------------------------------------------------------------------------------

namespace {
Verbosity currentVerbosity = Verbosity::normal;
thread_local std::string* capturedMessages = nullptr;

void say(const std::string& line) {
    if (capturedMessages != nullptr) {
        capturedMessages->append(line).append("\n");
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}
}  // namespace

void setVerbosity(Verbosity verbosity) {
    currentVerbosity = verbosity;
}

Verbosity verbosity() {
    return currentVerbosity;
}

void warn(const std::string& message) {
    if (currentVerbosity != Verbosity::quiet) say("varic: warning: " + message);
}

void note(const std::string& message) {
    if (currentVerbosity == Verbosity::verbose) say("varic: " + message);
}

CapturedMessages::CapturedMessages(std::string& into) : previous_(capturedMessages) {
    capturedMessages = &into;
}

CapturedMessages::~CapturedMessages() {
    capturedMessages = previous_;
}

// ---- Numbers ---------------------------------------------------------------------------------

double parseNumber(const std::string& text, const std::string& what) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    // strtod also reads "nan", "inf" and hexadecimal; none of them is a setting.
    const bool plain = text.find_first_not_of("0123456789+-.eE") == std::string::npos;
    if (text.empty() || end != begin + text.size() || !plain || errno == ERANGE ||
        !std::isfinite(value)) {
        throw UsageError(what + " '" + text + "' is not a number");
    }
    return value;
}

double parseNumberInRange(const std::string& text, const std::string& what, double low,
                          double high) {
    const double value = parseNumber(text, what);
    if (value < low || value > high) {
        throw UsageError(what + " " + text + " is out of range: valid " + formatNumber(low) +
                         " to " + formatNumber(high));
    }
    return value;
}

long parseIntegerInRange(const std::string& text, const std::string& what, long low, long high) {
    const double value =
        parseNumberInRange(text, what, static_cast<double>(low), static_cast<double>(high));
    if (value != std::floor(value)) throw UsageError(what + " " + text + " is not a whole number");
    return static_cast<long>(value);
}

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string counted(long long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// ---- Files -----------------------------------------------------------------------------------

bool fileExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string extensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string stemOf(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

std::optional<std::string> findProgram(const std::string& name) {
    const char* searchPath = std::getenv("PATH");
    if (searchPath == nullptr) return std::nullopt;
    std::string directories = searchPath;
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (!isDirectory(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

namespace {

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Where scratch files go: $TMPDIR, else /tmp.
std::string scratchBase() {
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

// The path that a chain of symbolic links leads to (its end need not exist yet). A link into
// /proc (/dev/stdout, /dev/fd/N) names an open file, not a place: it is not followed further.
std::string followLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (current.string().rfind("/proc/", 0) == 0 ||
            !fs::is_symlink(fs::symlink_status(current, error))) {
            return current.string();
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) return current.string();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    throw Failure("cannot write " + path + ": too many levels of symbolic links");
}

bool isSeekable(int descriptor) {
    return ::lseek(descriptor, 0, SEEK_CUR) >= 0;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : name_(path) {
    if (path == "-") {
        mode_ = Mode::direct;
        writePath_ = "/dev/stdout";
        descriptor_ = ::dup(STDOUT_FILENO);
        if (descriptor_ < 0)
            throw Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
        seekable_ = isSeekable(descriptor_);
        return;
    }
    target_ = followLinks(path);
    struct stat status {};
    const bool exists = ::stat(target_.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) throw Failure(path + " is a directory");
    if (exists && (!S_ISREG(status.st_mode) || target_.rfind("/proc/", 0) == 0)) {
        // Devices, FIFOs, terminals and open files: there is nothing to rename over.
        mode_ = Mode::direct;
        writePath_ = target_;
        const int truncate = S_ISREG(status.st_mode) ? O_TRUNC : 0;
        descriptor_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | truncate);
        if (descriptor_ < 0) throw Failure(systemError("cannot write", path));
        seekable_ = isSeekable(descriptor_);
        return;
    }
    const std::filesystem::path target(target_);
    const std::string directory =
        target.parent_path().empty() ? "." : target.parent_path().string();
    const bool directoryWritable = ::access(directory.c_str(), W_OK | X_OK) == 0;
    if (exists && (status.st_nlink > 1 || !directoryWritable)) {
        // A rename would cut the other links, or is not allowed: the finished data are copied
        // into the file itself, which keeps its links, owner and mode.
        if (::access(target_.c_str(), W_OK) != 0) throw Failure(systemError("cannot write", path));
        mode_ = Mode::copyBack;
        if (!directoryWritable) {
            note("the folder of " + path + " is not writable; the file is rewritten in place");
        }
        openTemporary(directoryWritable ? directory : scratchBase(), target.filename().string());
        return;
    }
    openTemporary(directory, target.filename().string());
    if (exists) {
        // The replacement keeps the mode, and the owner where that is permitted (root, or a
        // group the user is in); otherwise it belongs to the user, as any new file does.
        if (::fchown(descriptor_, status.st_uid, status.st_gid) != 0 &&
            ::fchown(descriptor_, static_cast<uid_t>(-1), status.st_gid) != 0) {
        }
        if (::fchmod(descriptor_, status.st_mode & 07777) != 0) {
        }
    } else {
        // mkstemp makes the file private; a new file gets the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(descriptor_, 0666 & ~mask) != 0) {
        }
    }
}

void OutputFile::openTemporary(const std::string& directory, const std::string& stem) {
    std::string pattern = directory + "/." + stem + ".varic-XXXXXX";
    descriptor_ = ::mkstemp(pattern.data());
    if (descriptor_ < 0) throw Failure(systemError("cannot write", name_));
    temporaryPath_ = writePath_ = pattern;
}

OutputFile::~OutputFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_ && !temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
}

int OutputFile::takeDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void OutputFile::commit() {
    if (descriptor_ >= 0) {
        const int closed = ::close(descriptor_);
        descriptor_ = -1;
        if (closed != 0) throw Failure(systemError("cannot write", name_));
    }
    if (mode_ == Mode::replace && ::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
        throw Failure(systemError("cannot write", name_));
    }
    if (mode_ == Mode::copyBack) {
        const int from = ::open(temporaryPath_.c_str(), O_RDONLY | O_CLOEXEC);
        const int to = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        bool copied = from >= 0 && to >= 0;
        std::vector<char> buffer(1 << 20);
        while (copied) {
            const ssize_t got = ::read(from, buffer.data(), buffer.size());
            if (got <= 0) {
                copied = got == 0;
                break;
            }
            copied = ::write(to, buffer.data(), static_cast<std::size_t>(got)) == got;
        }
        const int error = errno;
        if (from >= 0) ::close(from);
        if (to >= 0 && ::close(to) != 0) copied = false;
        if (!copied) {
            errno = error;
            throw Failure(systemError("cannot write", name_));
        }
        ::unlink(temporaryPath_.c_str());
    }
    committed_ = true;
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = scratchBase() + "/varic-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw Failure("cannot make a scratch directory in " +
                      pattern.substr(0, pattern.rfind('/')) + ": " + std::strerror(errno));
    }
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeTextFile(const std::string& path, const std::string& text) {
    OutputFile file(path);
    FILE* stream = ::fdopen(file.takeDescriptor(), "w");
    if (stream == nullptr) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    file.commit();
}

// ---- Interrupts ------------------------------------------------------------------------------

namespace {
// Lock-free, so safe to set in a signal handler, and read by every worker thread.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
extern "C" void noteInterrupt(int signal) {
    interruptSignal.store(signal, std::memory_order_relaxed);
}

const char* signalName(int signal) {
    switch (signal) {
        case SIGHUP: return "SIGHUP";
        case SIGINT: return "SIGINT";
        case SIGPIPE: return "SIGPIPE";
        case SIGTERM: return "SIGTERM";
        default: return "a signal";
    }
}
}  // namespace

Interrupted::Interrupted(int signal)
    : Failure(std::string("interrupted by ") + signalName(signal)), signal_(signal) {}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
}

int caughtSignal() {
    return interruptSignal.load(std::memory_order_relaxed);
}

void stopIfInterrupted() {
    const int signal = caughtSignal();
    if (signal != 0) throw Interrupted(signal);
}

}  // namespace varic
