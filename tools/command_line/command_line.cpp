#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "help.h"
#include "interrupts.h"

namespace varic {

Interrupted::Interrupted(int signal)
    : Failure(std::string("interrupted by ") + signalName(signal)), signal_(signal) {}

// ---- Messages --------------------------------------------------------------------------------

void Messages::say(const std::string& line) const {
    if (capture_ != nullptr) {
        capture_->append(line).append("\n");
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void Messages::warn(const std::string& message) const {
    if (!quiet()) say(program_ + ": warning: " + message);
}

void Messages::note(const std::string& message) const {
    if (verbose()) say(program_ + ": " + message);
}

Messages Messages::capturedInto(std::string& into) const {
    Messages copy = *this;
    copy.capture_ = &into;
    return copy;
}

// ---- Arguments -------------------------------------------------------------------------------

Arguments::Arguments(const CommandHelp& help, const std::vector<std::string>& words,
                     Verbosity verbosity, const std::vector<std::string>& hiddenValueOptions)
    : command_(help.name), verbosity_(verbosity) {
    std::vector<std::pair<std::string, bool>> known = optionSpellings(help);
    for (const std::string& hidden : hiddenValueOptions) known.emplace_back(hidden, true);
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
        const bool quiet = name == "-q" || name == "--quiet";
        const auto option = std::find_if(known.begin(), known.end(), [&](const auto& spelling) {
            return spelling.first == name;
        });
        if (quiet || name == "-v" || name == "--verbose") {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            verbosity_ = quiet ? Verbosity::quiet : Verbosity::verbose;
        } else if (option == known.end()) {
            throw UsageError("unknown option " + name + " for '" + command_ + "'");
        } else if (!option->second) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            options_.emplace_back(name, "");
        } else if (equals != std::string::npos) {
            options_.emplace_back(name, word.substr(equals + 1));
        } else if (i + 1 < words.size()) {
            options_.emplace_back(name, words[++i]);
        } else {
            throw UsageError(name + " needs a value");
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

// ---- main ------------------------------------------------------------------------------------

const char kExitStatuses[] =
    "Exit status: 0 done, 1 failed while running, 2 wrong command line, 128+N stopped by\n"
    "signal N (129 hang-up, 130 Ctrl-C, 141 broken pipe, 143 terminated).\n";

bool asksForHelp(const std::vector<std::string>& words) {
    const auto end = std::find(words.begin(), words.end(), "--");
    return std::any_of(words.begin(), end,
                       [](const std::string& w) { return w == "--help" || w == "-h"; });
}

int runMain(const std::string& program, const std::string& usageHint,
            const std::function<int()>& body) {
    catchInterrupts();
    try {
        const int status = body();
        return caughtSignal() == 0 ? status : 128 + caughtSignal();
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s (see '%s')\n", program.c_str(), e.what(), usageHint.c_str());
        return 2;
    } catch (const std::exception& e) {
        // A failure that a signal caused (a read cut short, a write into a closed pipe) is
        // reported as the signal.
        const int signal = caughtSignal();
        if (signal == 0) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
            return 1;
        }
#ifdef SIGPIPE
        if (signal == SIGPIPE) return 128 + signal;
#endif
        std::fprintf(stderr, "%s: %s\n", program.c_str(), Interrupted(signal).what());
        return 128 + signal;
    }
}

}  // namespace varic
