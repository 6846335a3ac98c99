#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "command_line.h"
#include "scratch_directory.h"

namespace varic {

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

OutputFile::OutputFile(const std::string& path, const Messages& messages) : name_(path) {
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
            messages.note("the folder of " + path +
                          " is not writable; the file is rewritten in place");
        }
        openTemporary(directoryWritable ? directory : temporaryFolder(),
                      target.filename().string());
        return;
    }
    openTemporary(directory, target.filename().string());
    keepOwnerAndMode(exists, status, messages);
}

void OutputFile::keepOwnerAndMode(bool exists, const struct stat& status,
                                  const Messages& messages) {
    const auto failed = [this](const char* what) {
        return name_ + ": " + what + " (" + std::strerror(errno) + ")";
    };
    if (!exists) {
        // mkstemp makes the file private; a new file gets the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(descriptor_, 0666 & ~mask) != 0)
            messages.warn(failed("stays readable by you alone"));
        return;
    }
    // The replacement keeps the mode, and the owner where that is permitted (root, or a group
    // the user is in); otherwise it belongs to the user, as any new file does.
    if (::fchown(descriptor_, status.st_uid, status.st_gid) != 0 &&
        ::fchown(descriptor_, static_cast<uid_t>(-1), status.st_gid) != 0) {
        messages.note(failed("now belongs to you and your group, as a new file would"));
    }
    if (::fchmod(descriptor_, status.st_mode & 07777) != 0)
        messages.warn(failed("could not keep the mode of the file it replaces"));
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
    if (mode_ == Mode::copyBack) copyBack();
    committed_ = true;
}

void OutputFile::copyBack() {
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
        for (ssize_t done = 0; copied && done < got;) {
            const ssize_t put =
                ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            copied = put > 0;
            done += copied ? put : 0;
        }
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

void writeTextFile(const std::string& path, const std::string& text, const Messages& messages) {
    OutputFile file(path, messages);
    FILE* stream = ::fdopen(file.takeDescriptor(), "w");
    if (stream == nullptr) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    file.commit();
}

}  // namespace varic
