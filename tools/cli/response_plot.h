#pragma once
// The measured response as a picture: three panels drawn by gnuplot (the channel sum and
// difference, the same and the opposite side, the opposite side's delay).

#include <string>

#include "response_measurement.h"

namespace varic {

class Messages;

// Refuses a plot name that is not .png, .svg or .pdf.
void checkPlotPath(const std::string& path);
// Draws the response into `path` with gnuplot. False, with nothing written, when gnuplot is
// not installed; throws when gnuplot fails.
bool plotResponse(const Response& response, const std::string& path, const Messages& messages);
// How to get the picture once gnuplot is missing.
std::string gnuplotMissingAdvice();

}  // namespace varic
