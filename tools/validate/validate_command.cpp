#include "validate_command.h"

#include <cstdlib>
#include <sstream>

#include "help.h"

namespace validate {
namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

}  // namespace

const varic::CommandHelp& validateHelp() {
    static const varic::CommandHelp help{
        "validate",
        {"[PLUGIN] [--quick] [--json] [--only GROUP,...] [--timeout SECONDS]"},
        "Checks any VST 2.4 effect binary, of any channel count, as a demanding host would. "
        "Groups: loading, requests, lifecycle, processing, realtime (no allocation, lock, I/O, "
        "sleep, thread or process started in processing calls), float-mode, threads, speed. "
        "Each check runs in a child process: a crash or a hang is its FAIL, and the rest still "
        "run; a binary that does not load is one FAIL, and the rest is skipped, said once. "
        "Ctrl-C or SIGTERM ends every process the run started.\n\n"
        "One line per check: PASS, WARN, FAIL or INFO, with the reason and the first "
        "offending case, then a summary; exit status 0 only without a FAIL. Without PLUGIN, "
        "the crossfeed installed beside the program (or $VARIC_PLUGIN).",
        {
            {"--quick", "", "every check, on less audio and fewer cycles"},
            {"--json", "", "one JSON object instead of the lines"},
            {"--only", "LIST", "groups or group/check names, comma-separated"},
            {"--timeout", "SECONDS", "the limit for one check (default 120)"},
            {"-q", "", "only the WARN and FAIL lines, and the summary"},
        }};
    return help;
}

Options parseOptions(const std::vector<std::string>& words, const std::string& defaultPlugin) {
    // A child process is started with two options of its own, which no user gives.
    const varic::Arguments args(validateHelp(), words, varic::Verbosity::normal,
                                {"--child", "--results"});
    args.expectOperands(0, 1, "one PLUGIN at a time");
    Options options;
    options.plugin = args.operands().empty() ? defaultPlugin : args.operands()[0];
    if (options.plugin.empty()) throw varic::UsageError("no plug-in binary given to validate");
    options.quick = args.flag("--quick");
    options.json = args.flag("--json");
    options.quiet = args.verbosity() == varic::Verbosity::quiet;
    if (const auto only = args.value("--only")) options.only = splitList(*only);
    if (const auto timeout = args.value("--timeout")) {
        // Plain decimal text alone: strtod also reads "inf", "nan" and hexadecimal.
        const bool plain = timeout->find_first_not_of("0123456789.eE+-") == std::string::npos;
        char* end = nullptr;
        const double seconds = std::strtod(timeout->c_str(), &end);
        const bool whole = plain && end == timeout->c_str() + timeout->size();
        options.timeout = whole ? seconds : 0.0;
        if (!(options.timeout > 0 && options.timeout <= 86400)) {
            throw varic::UsageError("--timeout " + *timeout +
                                    " is not a number of seconds from 0 to 86400");
        }
    }
    options.child = args.value("--child").value_or("");
    options.results = args.value("--results").value_or("");
    return options;
}

}  // namespace validate
