#pragma once
// What every command of varic and varic-validate shares: the one error type that ends a
// command with one line and an exit status, how much to say, the option parser, strict
// parsing of numbers from the command line, and the program's main around a command.

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace varic {

struct CommandHelp;

// A failure the user can act on: printed as "<program>: <message>" on one line, exit status 1.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line that makes no sense: exit status 2, with a pointer to the usage.
class UsageError : public Failure {
public:
    using Failure::Failure;
};

// A signal (hang-up, Ctrl-C, termination, broken pipe; on Windows a console interrupt) stopped
// long work: exit status 128 + the signal's number, as a shell reports a process killed by it.
class Interrupted : public Failure {
public:
    explicit Interrupted(int signal);
    int signal() const { return signal_; }

private:
    int signal_;
};

enum class Verbosity { quiet, normal, verbose };

// Where a command's warnings and notes go, and how many of them: passed to whatever says
// something, never kept in a global. A copy made by capturedInto() holds its lines for the
// caller instead (a batch's worker holds each file's messages to print them whole, in order).
class Messages {
public:
    explicit Messages(std::string program, Verbosity verbosity = Verbosity::normal)
        : program_(std::move(program)), verbosity_(verbosity) {}

    Verbosity verbosity() const { return verbosity_; }
    bool quiet() const { return verbosity_ == Verbosity::quiet; }
    bool verbose() const { return verbosity_ == Verbosity::verbose; }
    const std::string& program() const { return program_; }

    // "<program>: warning: <message>" on stderr, unless quiet.
    void warn(const std::string& message) const;
    // "<program>: <message>" on stderr, only when verbose.
    void note(const std::string& message) const;
    // The same settings, with every line appended to `into` instead of going to stderr.
    Messages capturedInto(std::string& into) const;

private:
    void say(const std::string& line) const;
    std::string program_;
    Verbosity verbosity_;
    std::string* capture_ = nullptr;
};

// The options and operands of one command, parsed against the options its help lists (see
// help.h), and the hidden ones given apart. Options take their value as "--name VALUE" or
// "--name=VALUE"; a flag takes none. Any other word starting with "-" is refused, except "-"
// itself, which is an operand (standard input or output), and words after "--", which are all
// operands. Every command also takes -q/--quiet and -v/--verbose: the last one given decides,
// starting from `verbosity` (what came before the command's name).
class Arguments {
public:
    Arguments(const CommandHelp& help, const std::vector<std::string>& words,
              Verbosity verbosity = Verbosity::normal,
              const std::vector<std::string>& hiddenValueOptions = {});

    bool flag(const std::string& name) const;
    std::optional<std::string> value(const std::string& name) const;  // the last one given
    std::vector<std::string> values(const std::string& name) const;   // all, in order
    const std::vector<std::string>& operands() const { return operands_; }
    Verbosity verbosity() const { return verbosity_; }
    // Refuses more than `most` or fewer than `least` operands, naming what was expected.
    void expectOperands(std::size_t least, std::size_t most, const std::string& what) const;

private:
    std::string command_;
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> operands_;
    Verbosity verbosity_;
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

// True when the words ask for help (--help or -h) before any "--".
bool asksForHelp(const std::vector<std::string>& words);
// What the programs' exit statuses mean, for the end of each help.
extern const char kExitStatuses[];

// A program's main around its command: runs `body` with interrupts caught (interrupts.h) and
// turns what it throws into one line on stderr and the exit status: 2 for a UsageError
// (pointing at `usageHint`, "varic help"), 128 + N once signal N was caught (a broken pipe
// quietly, as other tools in a pipe end), 1 for any other failure; otherwise body's status.
int runMain(const std::string& program, const std::string& usageHint,
            const std::function<int()>& body);

}  // namespace varic
