#pragma once
// The fields of x86's SSE control and status register, MXCSR, each named once: the effect
// side (crossfeed/float_mode.h, which computes in the default mode whatever the host's thread
// is set to) and the host side (tools/host/host_float_mode.h, which sets the modes hosts use)
// read the same bits. The low six bits are sticky exception flags, which change no result.

#include <cstdint>

namespace mxcsr {

constexpr std::uint32_t kDenormalsAreZero = 0x0040;
constexpr std::uint32_t kExceptionMasks = 0x1F80;  // all six exceptions
constexpr std::uint32_t kInexactMask = 0x1000;     // the one that every rounding raises
constexpr std::uint32_t kRoundDown = 0x2000;
constexpr std::uint32_t kRoundUp = 0x4000;
constexpr std::uint32_t kRoundTowardZero = 0x6000;
constexpr std::uint32_t kFlushToZero = 0x8000;
// Rounding, FTZ/DAZ and masks: every bit that can change a result.
constexpr std::uint32_t kControlBits = 0xFFC0;
// The mode a thread starts in: round to nearest (no rounding bits), every exception masked.
constexpr std::uint32_t kDefault = kExceptionMasks;

}  // namespace mxcsr
