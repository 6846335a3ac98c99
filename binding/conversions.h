#pragma once
// Conversions to the integers the interface exchanges, with every input defined: a bool as 1 or
// 0, and truncation of a float. C++ leaves a float conversion undefined when the truncated value
// does not fit; here such values (NaN, infinities, too large) give the integer type's most
// negative value, which is also what x86's truncating conversions produce, so results are the
// same on every compiler and optimisation level.

#include <cstdint>
#include <limits>

namespace conversions {

// A bool as the interface answers it: exactly 1 or 0.
constexpr std::int32_t oneOrZero(bool answer) {
    return answer ? 1 : 0;
}

// Truncates toward zero; NaN and values outside [-2^31, 2^31) give -2^31.
constexpr std::int32_t truncateToInt32(float value) {
    if (value >= -2147483648.0f && value < 2147483648.0f) return static_cast<std::int32_t>(value);
    return std::numeric_limits<std::int32_t>::min();
}

}  // namespace conversions
