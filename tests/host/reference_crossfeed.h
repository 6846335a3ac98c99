#pragma once
// The crossfeed recursion written out step by step, with every intermediate forced through
// memory so that no compiler can fuse a product into a sum here: an exact reference for the
// plug-in's output at settings where its filter is active. It never flushes a decayed state.

#include <cstdint>

#include "tests/host/plugin_under_test.h"

namespace testing_support {

inline double roundedToDouble(double x) {
    volatile double v = x;
    return v;
}

struct ReferenceCrossfeed {
    ReferenceCrossfeed(std::uint32_t rate, int strength) {
        const double inverse = roundedToDouble(1.0 / static_cast<double>(rate));
        a = roundedToDouble(inverse * 2128.0);
        b = roundedToDouble(static_cast<double>(strength) * inverse);
    }
    void step(double previous) {
        const double p = roundedToDouble(b * previous);
        sL = roundedToDouble(sL - roundedToDouble(roundedToDouble(a * sL) + p));
        sR = roundedToDouble(sR - roundedToDouble(roundedToDouble(a * sR) - p));
    }
    void process(const Stereo<float>& in, Stereo<float>& out) {
        for (std::size_t n = 0; n < in.frames(); ++n) {
            const float yl = static_cast<float>(roundedToDouble(static_cast<double>(in.left[n]) + sL));
            const float yr = static_cast<float>(roundedToDouble(static_cast<double>(in.right[n]) + sR));
            out.left[n] = yl;
            out.right[n] = yr;
            const volatile float d = yl - yr;
            step(previous);
            previous = static_cast<double>(d);
        }
    }
    void process(const Stereo<double>& in, Stereo<double>& out) {
        for (std::size_t n = 0; n < in.frames(); ++n) {
            const double yl = roundedToDouble(in.left[n] + sL);
            const double yr = roundedToDouble(in.right[n] + sR);
            out.left[n] = yl;
            out.right[n] = yr;
            step(previous);
            previous = roundedToDouble(yl - yr);
        }
    }
    double a = 0.0, b = 0.0, sL = 0.0, sR = 0.0, previous = 0.0;
};

}  // namespace testing_support
