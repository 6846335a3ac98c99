#pragma once
// What every varic sub-command shares: failures that end a command with one line, a small
// option parser, strict number parsing, how much to say, output files that never destroy what
// they replace, and clean stops on signals.

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

// A signal (hang-up, Ctrl-C, termination, broken pipe) stopped long work: exit status 128 +
// the signal's number, as a shell reports a process killed by it.
class Interrupted : public Failure {
public:
    explicit Interrupted(int signal);
    int signal() const { return signal_; }

private:
    int signal_;
};

// The options and operands of one sub-command. Options take their value as "--name VALUE"
// or "--name=VALUE"; a flag takes none; short flags ("-q") are spelled out in the lists like
// long ones. Any other word starting with "-" is refused, except "-" itself, which is an
// operand (standard input or output). Every command also takes -q/--quiet and -v/--verbose,
// which set the verbosity for the whole run.
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

enum class Verbosity { quiet, normal, verbose };
void setVerbosity(Verbosity verbosity);
Verbosity verbosity();
// "varic: warning: <message>" on stderr, unless quiet.
void warn(const std::string& message);
// "varic: <message>" on stderr, only when verbose.
void note(const std::string& message);

// While one exists, the warnings and notes of its thread are appended to `into` instead of
// going to stderr: a batch's worker holds each file's messages for the batch to print whole,
// in the order of the files.
class CapturedMessages {
public:
    explicit CapturedMessages(std::string& into);
    ~CapturedMessages();
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

private:
    std::string* previous_;
};

// The numbers below come from the command line: a bad one is a UsageError.
// A finite decimal number, all of the text; `what` names it in the message otherwise.
double parseNumber(const std::string& text, const std::string& what);
// A number from `low` to `high`; out of range: "<what> <text> is out of range: valid low to high".
double parseNumberInRange(const std::string& text, const std::string& what, double low,
                          double high);
long parseIntegerInRange(const std::string& text, const std::string& what, long low, long high);
// A number as people write it: no trailing zeros, no exponent for ordinary sizes.
std::string formatNumber(double value);

// "1 sample", "2 samples".
std::string counted(long long count, const std::string& noun);

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
// Destroyed without commit(), it removes its temporary file.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
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
    std::string name_;
    std::string target_;  // the file finally written, links followed
    std::string writePath_;
    std::string temporaryPath_;
    Mode mode_ = Mode::replace;
    int descriptor_ = -1;
    bool seekable_ = true;
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

// Writes a whole text file through an OutputFile ("-": standard output).
void writeTextFile(const std::string& path, const std::string& text);

// SIGHUP, SIGINT, SIGTERM and SIGPIPE set a flag instead of killing the process, so that long
// work stops cleanly and removes its temporary files; the blocking calls they interrupt fail
// with EINTR (or EPIPE) instead of waiting on. Every thread sees the flag.
void catchInterrupts();
// The signal caught so far, or 0.
int caughtSignal();
// Throws Interrupted once a signal was caught.
void stopIfInterrupted();

}  // namespace varic
