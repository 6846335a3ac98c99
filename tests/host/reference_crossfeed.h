#pragma once
// The crossfeed recursion written out step by step, the reference the plug-in's output is
// compared with bit for bit, for settings where the filter is active.

#include <cstdint>

#include "host_test_support.h"

namespace testing_support {

// Every intermediate goes through memory, so no compiler can fuse a product into a sum here,
// whatever this file is built with: the reference stays exact even if the plug-in is not.
inline double rounded(double x) {
    volatile double v = x;
    return v;
}

struct ReferenceCrossfeed {
    explicit ReferenceCrossfeed(std::uint32_t rate, int strength) {
        const double inverse = rounded(1.0 / static_cast<double>(rate));
        a = rounded(inverse * 2128.0);
        b = rounded(static_cast<double>(strength) * inverse);
    }
    void step(double& sL, double& sR, double previous) const {
        const double p = rounded(b * previous);
        sL = rounded(sL - rounded(rounded(a * sL) + p));
        sR = rounded(sR - rounded(rounded(a * sR) - p));
    }
    void process(const Stereo<float>& in, Stereo<float>& out) {
        for (std::size_t n = 0; n < in.frames(); ++n) {
            const float yl = static_cast<float>(rounded(static_cast<double>(in.left[n]) + sL));
            const float yr = static_cast<float>(rounded(static_cast<double>(in.right[n]) + sR));
            out.left[n] = yl;
            out.right[n] = yr;
            const volatile float d = yl - yr;
            step(sL, sR, previous);
            previous = static_cast<double>(d);
        }
    }
    void process(const Stereo<double>& in, Stereo<double>& out) {
        for (std::size_t n = 0; n < in.frames(); ++n) {
            const double yl = rounded(in.left[n] + sL);
            const double yr = rounded(in.right[n] + sR);
            out.left[n] = yl;
            out.right[n] = yr;
            step(sL, sR, previous);
            previous = rounded(yl - yr);
        }
    }
    double a = 0.0, b = 0.0, sL = 0.0, sR = 0.0, previous = 0.0;
};

}  // namespace testing_support
