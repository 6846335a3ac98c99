#pragma once
// The crossfeed's frequency response, computed from its coefficients rather than measured: the
// transfer functions of the recursion in crossfeed_filter.h, evaluated on the unit circle.
//
// With a the decay and b the feed coefficient, the channel sum passes unchanged and the
// difference follows
//
//     D(z) = (1 - (1 - a) z^-1) / (1 - (1 - a) z^-1 + 2b z^-2),
//
// so a sound on one side reaches that side's output through (1 + D) / 2 and the other side's
// through (1 - D) / 2. Settings the filter passes through (unstable ones, no rate yet) answer
// the identity. These are the exact recursion's responses; the 32-bit path adds only the
// rounding of its outputs.

#include <complex>
#include <cstdint>

#include "crossfeed_filter.h"

namespace crossfeed {

struct Response {
    std::complex<double> sum;           // L+R in to L+R out
    std::complex<double> difference;    // L-R in to L-R out
    std::complex<double> sameSide;      // left in to left out (and right to right)
    std::complex<double> oppositeSide;  // left in to right out (and right to left)
};

// The responses at a frequency in Hz (0 to half the rate) of a filter as configured.
Response frequencyResponse(const Filter& filter, double frequency) noexcept;

// The same for a truncated rate and a stored strength (0 to kMaxStrength).
Response frequencyResponse(std::uint32_t rate, std::int32_t strength, double frequency) noexcept;

// The gain of the difference at 0 Hz: kDecayRate / (kDecayRate + 2 * strength) where the
// settings are stable, 1 where the filter passes through.
double differenceGainAtZeroHz(std::uint32_t rate, std::int32_t strength) noexcept;

}  // namespace crossfeed
