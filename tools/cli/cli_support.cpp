#include "tools/cli/cli_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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
        if (onlyOperands || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            operands_.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyOperands = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (known(flagOptions, name)) {
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
        throw Failure(what + " '" + text + "' is not a number");
    }
    return value;
}

double parseNumberInRange(const std::string& text, const std::string& what, double low,
                          double high) {
    const double value = parseNumber(text, what);
    if (value < low || value > high) {
        throw Failure(what + " " + text + " is out of range: valid " + formatNumber(low) + " to " +
                      formatNumber(high));
    }
    return value;
}

long parseIntegerInRange(const std::string& text, const std::string& what, long low, long high) {
    const double value =
        parseNumberInRange(text, what, static_cast<double>(low), static_cast<double>(high));
    if (value != std::floor(value)) throw Failure(what + " " + text + " is not a whole number");
    return static_cast<long>(value);
}

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
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

PendingFile::PendingFile(const std::string& finalPath) : finalPath_(finalPath) {
    if (isDirectory(finalPath)) throw Failure(finalPath + " is a directory");
    const std::filesystem::path target(finalPath);
    const std::filesystem::path directory = target.parent_path();
    std::string pattern = (directory.empty() ? std::string() : directory.string() + "/") + "." +
                          target.filename().string() + ".varic-XXXXXX";
    descriptor_ = ::mkstemp(pattern.data());
    if (descriptor_ < 0) {
        throw Failure("cannot write " + finalPath + ": " + std::strerror(errno));
    }
    temporaryPath_ = pattern;
    // mkstemp makes the file private; the finished file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A failure is harmless: the file then stays readable by its owner only.
    (void)::fchmod(descriptor_, 0666 & ~mask);
}

PendingFile::~PendingFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_) ::unlink(temporaryPath_.c_str());
}

int PendingFile::takeDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void PendingFile::commit() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
        throw Failure("cannot write " + finalPath_ + ": " + std::strerror(errno));
    }
    committed_ = true;
}

ScratchDirectory::ScratchDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/varic-XXXXXX";
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
    PendingFile file(path);
    FILE* stream = ::fdopen(file.takeDescriptor(), "w");
    if (stream == nullptr) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    file.commit();
}

// ---- Interrupts ------------------------------------------------------------------------------

namespace {
volatile std::sig_atomic_t interruptSignal = 0;
extern "C" void noteInterrupt(int signal) {
    interruptSignal = signal;
}
}  // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void stopIfInterrupted() {
    if (interruptSignal != 0) throw Interrupted("interrupted; nothing was written");
}

}  // namespace varic
