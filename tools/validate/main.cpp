// varic-validate: the validator as a program of its own, for the Windows build.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/validate/child_process.h"
#include "tools/validate/validate.h"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        return validate::runValidate(words, {validate::selfExecutable()});
    } catch (const validate::UsageError& e) {
        std::fprintf(stderr,
                     "varic-validate: %s\nusage: varic-validate " VALIDATE_SYNOPSIS
                     "\n\n" VALIDATE_HELP,
                     e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varic-validate: %s\n", e.what());
        return 1;
    }
}
