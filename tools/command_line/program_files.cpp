#include "program_files.h"

#include <filesystem>
#include <system_error>

#include "child_process.h"

namespace varic {

std::string ownExecutable() {
#ifdef _WIN32
    return selfExecutable();
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink(selfExecutable(), error);
    return error ? std::string() : self.string();
#endif
}

std::vector<std::string> besideProgram(const std::string& executable,
                                       const std::vector<std::string>& relativePaths) {
    std::vector<std::string> paths;
    const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
    for (const std::string& relative : relativePaths)
        paths.push_back((folder / relative).lexically_normal().string());
    return paths;
}

std::string firstExisting(const std::vector<std::string>& candidates, const std::string& none) {
    std::error_code error;
    for (const std::string& candidate : candidates) {
        if (std::filesystem::exists(candidate, error)) return candidate;
    }
    return candidates.empty() ? none : candidates.front();
}

}  // namespace varic
