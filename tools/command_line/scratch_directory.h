#pragma once
// The one place for scratch files: a private directory in the system's temporary folder
// ($TMPDIR, else /tmp; on Windows the user's temporary folder), removed with its contents when
// its owner is done, whether the work ended well or not.

#include <string>

namespace varic {

// The system's temporary folder.
std::string temporaryFolder();

class ScratchDirectory {
public:
    ScratchDirectory();  // throws Failure when none can be made
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace varic
