#pragma once
// The validate command as the user sees it: its help and its options. varic-validate runs it;
// varic prints its help, puts it in varic's man page and hands `varic validate` to
// varic-validate, and so links this alone, not the validator.

#include <string>
#include <vector>

#include "command_line.h"

namespace validate {

const varic::CommandHelp& validateHelp();

struct Options {
    std::string plugin;
    bool quick = false;
    bool json = false;
    bool quiet = false;  // only the WARN and FAIL lines, and the summary
    std::vector<std::string> only;
    double timeout = 120.0;
    std::string child;    // the check a child process runs
    std::string results;  // where it writes its result
};

// The options of the words after the command's name. Without a PLUGIN word the plug-in is
// `defaultPlugin`, if there is one. Throws UsageError.
Options parseOptions(const std::vector<std::string>& words, const std::string& defaultPlugin);

}  // namespace validate
