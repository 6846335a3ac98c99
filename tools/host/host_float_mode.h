#pragma once
// The calling thread's SSE floating-point mode (the MXCSR register), as a host sets it for its
// audio thread: rounding, flush-to-zero, denormals-are-zero and the exception masks. Used to
// call a plug-in the way hosts that change the mode do. x86 only.

#include <xmmintrin.h>

#include "mxcsr.h"  // the register's fields

namespace vsthost {

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
