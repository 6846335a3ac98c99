// The crossfeed's frequency response, computed from its coefficients rather than measured: the
// transfer functions of the recursion in crossfeed_filter.cpp, evaluated on the unit circle.
//
// With a the decay and b the feed coefficient, the channel sum passes unchanged and the
// difference follows
//
//     D(z) = (1 - (1 - a) z^-1) / (1 - (1 - a) z^-1 + 2b z^-2),
//
// so a sound on one side reaches that side's output through (1 + D) / 2 and the other side's
// through (1 - D) / 2, which is b z^-2 over D's denominator. At 0 Hz, D is a / (a + 2b) =
// kDecayRate / (kDecayRate + 2 * strength).
//
// A file of its own: a plug-in that only processes links none of the trigonometry.

#include <cmath>

#include "crossfeed_filter.h"

namespace crossfeed {

Filter::Response Filter::response(double frequency) const noexcept {
    if (!stable_) return {1.0, 1.0, 1.0, 0.0};
    const double pi = 3.141592653589793;
    const double omega = 2.0 * pi * frequency / static_cast<double>(coefficientRate_);
    const std::complex<double> z1 = std::polar(1.0, -omega);  // z^-1
    const std::complex<double> numerator = 1.0 - (1.0 - decay_) * z1;
    const std::complex<double> feed = feed_ * z1 * z1;  // b z^-2
    const std::complex<double> denominator = numerator + 2.0 * feed;
    // The sides as quotients of their own, not as (1 +- D) / 2: a weak crossfeed's opposite
    // side would otherwise be lost to cancellation, and at strength 0 it is exactly silent.
    return {1.0, numerator / denominator, (numerator + feed) / denominator, feed / denominator};
}

}  // namespace crossfeed
