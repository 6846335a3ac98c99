#include "filter_response.h"

#include <cmath>

namespace crossfeed {

Response frequencyResponse(const Filter& filter, double frequency) noexcept {
    if (!filter.stable()) return {1.0, 1.0, 1.0, 0.0};
    const double pi = 3.141592653589793;
    const double omega = 2.0 * pi * frequency / static_cast<double>(filter.coefficientRate());
    const std::complex<double> z1 = std::polar(1.0, -omega);  // z^-1
    const double a = filter.decayCoefficient();
    const double b = filter.feedCoefficient();
    const std::complex<double> numerator = 1.0 - (1.0 - a) * z1;
    const std::complex<double> difference = numerator / (numerator + 2.0 * b * z1 * z1);
    return {1.0, difference, (1.0 + difference) * 0.5, (1.0 - difference) * 0.5};
}

Response frequencyResponse(std::uint32_t rate, std::int32_t strength, double frequency) noexcept {
    Filter filter;
    filter.configure(rate, strength);
    return frequencyResponse(filter, frequency);
}

double differenceGainAtZeroHz(std::uint32_t rate, std::int32_t strength) noexcept {
    return std::real(frequencyResponse(rate, strength, 0.0).difference);
}

}  // namespace crossfeed
