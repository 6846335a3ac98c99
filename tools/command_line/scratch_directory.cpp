#include "scratch_directory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "command_line.h"

namespace varic {

std::string temporaryFolder() {
#ifndef _WIN32
    // Not std::filesystem::temp_directory_path(): it refuses a $TMPDIR that does not exist,
    // and the error should name the folder.
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
#else
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string(".") : folder.string();
#endif
}

ScratchDirectory::ScratchDirectory() {
#ifndef _WIN32
    std::string pattern = temporaryFolder() + "/varic-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw Failure("cannot make a scratch directory in " + temporaryFolder() + ": " +
                      std::strerror(errno));
    }
    path_ = pattern;
#else
    // No mkdtemp: a name of this process that no other run of it uses.
    static unsigned serial = 0;
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::path(temporaryFolder()) /
            ("varic-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
        if (error) break;
    }
    throw Failure("cannot make a scratch directory in " + temporaryFolder() +
                  (error ? ": " + error.message() : std::string()));
#endif
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;  // nothing to be done about a scratch file that stays
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDirectory::file(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

}  // namespace varic
