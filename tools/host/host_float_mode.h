#pragma once
// The calling thread's SSE floating-point mode (the MXCSR register), as a host sets it for its
// audio thread: rounding, flush-to-zero, denormals-are-zero and the exception masks. Used to
// call a plug-in the way hosts that change the mode do. x86 only.

#include <xmmintrin.h>

namespace vsthost {

// The register's fields, each named once. The low six bits are sticky exception flags.
constexpr unsigned kMxcsrDenormalsAreZero = 0x0040;
constexpr unsigned kMxcsrExceptionMasks = 0x1F80;  // all six exceptions
constexpr unsigned kMxcsrInexactMask = 0x1000;     // the one that every rounding raises
constexpr unsigned kMxcsrRoundDown = 0x2000;
constexpr unsigned kMxcsrRoundUp = 0x4000;
constexpr unsigned kMxcsrRoundTowardZero = 0x6000;
constexpr unsigned kMxcsrFlushToZero = 0x8000;
// Rounding, FTZ/DAZ and masks: every bit that can change a result.
constexpr unsigned kMxcsrControlBits = 0xFFC0;
// The mode a thread starts in: round to nearest (no rounding bits), every exception masked.
constexpr unsigned kMxcsrDefault = kMxcsrExceptionMasks;

inline unsigned floatMode() {
    return _mm_getcsr();
}
inline void setFloatMode(unsigned mode) {
    _mm_setcsr(mode);
}

// Sets a mode for the lifetime of the object and puts back the one it found.
class ScopedFloatMode {
public:
    explicit ScopedFloatMode(unsigned mode) : saved_(floatMode()) { setFloatMode(mode); }
    ~ScopedFloatMode() { setFloatMode(saved_); }
    ScopedFloatMode(const ScopedFloatMode&) = delete;
    ScopedFloatMode& operator=(const ScopedFloatMode&) = delete;

private:
    unsigned saved_;
};

}  // namespace vsthost
