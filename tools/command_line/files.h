#pragma once
// Files as varic's commands write them (POSIX): outputs that never destroy what they replace,
// and what a command asks of paths.

#include <sys/stat.h>

#include <optional>
#include <string>

namespace varic {

class Messages;

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// True when both paths name one existing file, however they are spelled (links, "./", ...).
bool sameFile(const std::string& a, const std::string& b);
// The extension after the last dot of the file name, in lower case; "" when there is none.
std::string extensionOf(const std::string& path);
// The file name without its directory and extension.
std::string stemOf(const std::string& path);
// The full path of an executable found on $PATH, or nothing.
std::optional<std::string> findProgram(const std::string& name);

// An output that never destroys what it replaces. How it is written depends on what the
// path names (after following symbolic links):
// - a regular file, or nothing yet: a hidden temporary file in the target's directory,
//   renamed over the target by commit(), with the mode (and, where permitted, the owner) of
//   the file it replaces;
// - a regular file with other hard links, or in a directory that varic may not write: a
//   temporary file that commit() copies into the existing file, which keeps its links;
// - anything else (a device, a FIFO, a terminal, /dev/stdout) and "-" (standard output):
//   written directly, since there is nothing to rename over.
// Destroyed without commit(), it removes its temporary file. `messages` hears how the file is
// written when that is not the usual way.
class OutputFile {
public:
    OutputFile(const std::string& path, const Messages& messages);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& name() const { return name_; }  // as the user gave it
    bool direct() const { return mode_ == Mode::direct; }
    // False for pipes, sockets and terminals, where a sound file's header cannot be rewritten.
    bool seekable() const { return seekable_; }
    // The path a program may open to write the data (the temporary file, or the target itself
    // when written directly).
    const std::string& writePath() const { return writePath_; }
    // The open descriptor to write the data to; the caller takes it over (-1 afterwards).
    int takeDescriptor();
    void commit();

private:
    enum class Mode { replace, copyBack, direct };
    void openTemporary(const std::string& directory, const std::string& stem);
    void keepOwnerAndMode(bool exists, const struct stat& status, const Messages& messages);
    void copyBack();
    std::string name_;
    std::string target_;  // the file finally written, links followed
    std::string writePath_;
    std::string temporaryPath_;
    Mode mode_ = Mode::replace;
    int descriptor_ = -1;
    bool seekable_ = true;
    bool committed_ = false;
};

// Writes a whole text file through an OutputFile ("-": standard output).
void writeTextFile(const std::string& path, const std::string& text, const Messages& messages);

}  // namespace varic
