#pragma once
// What every varic sub-command shares: failures that end a command with one line, a small
// option parser, strict number parsing, output files that appear only when complete, and
// Ctrl-C handling.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varic {

// A failure the user can act on: printed as "varic: <message>" on one line, exit status 1.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line that makes no sense: exit status 2, with a pointer to the usage.
class UsageError : public Failure {
public:
    using Failure::Failure;
};

// The user pressed Ctrl-C (or the process got SIGTERM) during long work: exit status 130.
class Interrupted : public Failure {
public:
    using Failure::Failure;
};

// The options and operands of one sub-command. Options take their value as "--name VALUE"
// or "--name=VALUE"; a flag takes none. Anything else starting with "--" is refused.
class Arguments {
public:
    Arguments(const std::string& command, const std::vector<std::string>& words,
              const std::vector<std::string>& valueOptions,
              const std::vector<std::string>& flagOptions);

    bool flag(const std::string& name) const;
    std::optional<std::string> value(const std::string& name) const;  // the last one given
    std::vector<std::string> values(const std::string& name) const;   // all, in order
    const std::vector<std::string>& operands() const { return operands_; }
    // Refuses more than `most` or fewer than `least` operands, naming what was expected.
    void expectOperands(std::size_t least, std::size_t most, const std::string& what) const;

private:
    std::string command_;
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> operands_;
};

// A finite decimal number, all of the text; `what` names it in the message otherwise.
double parseNumber(const std::string& text, const std::string& what);
// A number from `low` to `high`; out of range: "<what> <text> is out of range: valid low to high".
double parseNumberInRange(const std::string& text, const std::string& what, double low,
                          double high);
long parseIntegerInRange(const std::string& text, const std::string& what, long low, long high);
// A number as people write it: no trailing zeros, no exponent for ordinary sizes.
std::string formatNumber(double value);

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

// An output file that appears under its name only when it is complete. The data go to a
// hidden temporary file beside the final path (so that the rename stays on one file system);
// commit() renames it into place, and a PendingFile destroyed without commit() removes it.
class PendingFile {
public:
    explicit PendingFile(const std::string& finalPath);  // creates the temporary file
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& temporaryPath() const { return temporaryPath_; }
    const std::string& finalPath() const { return finalPath_; }
    // The open descriptor of the temporary file; the caller takes it over (-1 afterwards).
    int takeDescriptor();
    void commit();

private:
    std::string finalPath_;
    std::string temporaryPath_;
    int descriptor_ = -1;
    bool committed_ = false;
};

// A private directory for scratch files, removed with its contents when destroyed.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes a whole text file through a PendingFile.
void writeTextFile(const std::string& path, const std::string& text);

// Ctrl-C and SIGTERM set a flag instead of killing the process, so that long work can stop
// cleanly and remove its temporary files.
void catchInterrupts();
void stopIfInterrupted();

}  // namespace varic
