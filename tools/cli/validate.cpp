// varic validate: runs varic-validate, the validator's own program, in varic's place. The
// validator watches every allocation, lock and write of its process through hooks that stand
// in for the C library's; varic itself carries none, so a render never passes through them.

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "commands.h"
#include "plugin_location.h"

namespace varic {

int runValidate(const std::vector<std::string>& words, Verbosity verbosity) {
    const std::string validator = validatorPath();
    // Called "varic", the validator names itself and its help as `varic validate`.
    std::vector<std::string> arguments = {"varic"};
    if (verbosity != Verbosity::normal)
        arguments.push_back(verbosity == Verbosity::quiet ? "-q" : "-v");
    arguments.insert(arguments.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(validator.c_str(), argv.data());
    throw Failure("cannot run the validator " + validator + ": " + std::strerror(errno));
}

}  // namespace varic
