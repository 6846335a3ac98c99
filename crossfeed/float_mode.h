#pragma once
// The floating-point mode the crossfeed computes in, whatever the host's thread is set to.
//
// Hosts commonly switch on flush-to-zero and denormals-are-zero on their audio threads, and
// some change the rounding direction or unmask exceptions. Any of these changes the bits a
// recursive filter produces (or traps in the middle of a block), and the value a parameter
// conversion stores. A DefaultFloatMode object, made first thing in every call that computes
// (processing, parameter values), puts the SSE unit into its default mode (round to nearest,
// no FTZ/DAZ, all exceptions masked) for its lifetime and puts back exactly what it found,
// sticky flags included. When the host already runs in the default mode, which is the common
// case, it costs one stmxcsr and a compare, and nothing is written.
//
// The compiler does not know that floating-point results depend on MXCSR, so the switch must
// not let arithmetic move across it. The register is read and written by asm statements with
// a memory clobber: no load or store moves across them, and every value a call computes with
// is loaded from memory (samples, filter fields, the stored strength) after the switch and
// stored (outputs, filter fields) before the restore, so no arithmetic on them can move out
// either. A value that arrives or leaves in a register instead (a float argument, a float
// result) is pinned: right after the switch, right before the restore. Constant operands are
// folded at compile time, in the default mode.
//
// Built with GCC or Clang for x86 (MinGW included); with another compiler or on another
// processor the object does nothing, and the output then follows the host's mode.

#include <cstdint>

#include "mxcsr.h"

namespace float_mode {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

inline std::uint32_t read() {
    std::uint32_t mode;
    asm volatile("stmxcsr %0" : "=m"(mode) : : "memory");
    return mode;
}

inline void write(std::uint32_t mode) {
    asm volatile("ldmxcsr %0" : : "m"(mode) : "memory");
}

class DefaultFloatMode {
public:
    DefaultFloatMode()
        : found_(read()), switched_((found_ & mxcsr::kControlBits) != mxcsr::kDefault) {
        if (switched_) write(mxcsr::kDefault);
    }
    ~DefaultFloatMode() {
        if (switched_) write(found_);
    }
    DefaultFloatMode(const DefaultFloatMode&) = delete;
    DefaultFloatMode& operator=(const DefaultFloatMode&) = delete;

private:
    std::uint32_t found_;
    bool switched_;
};

// The value, pinned to this point of the call: it passes through memory that an asm statement
// claims to change, so the arithmetic that made it stays before this point and the arithmetic
// that uses it stays after.
template <class T>
inline T pin(T value) {
    asm volatile("" : "+m"(value));
    return value;
}

#else

class DefaultFloatMode {
public:
    DefaultFloatMode() = default;
    DefaultFloatMode(const DefaultFloatMode&) = delete;
    DefaultFloatMode& operator=(const DefaultFloatMode&) = delete;
};

template <class T>
inline T pin(T value) {
    return value;
}

#endif

}  // namespace float_mode
