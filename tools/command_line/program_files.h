#pragma once
// What comes with a program is found from the program's own place: an installed tree may be
// moved as a whole, and a program run from its build tree finds what was built beside it,
// without carrying the path of either.

#include <string>
#include <vector>

namespace varic {

// This program's executable file, links followed; "" when it cannot be told.
std::string ownExecutable();
// Each of `relativePaths` taken from the folder that holds `executable`.
std::vector<std::string> besideProgram(const std::string& executable,
                                       const std::vector<std::string>& relativePaths);
// The first candidate that exists; else the first (so that an error names where it was
// expected), or `none` when there are no candidates.
std::string firstExisting(const std::vector<std::string>& candidates, const std::string& none);

}  // namespace varic
