#pragma once
// Text as the interface exchanges it: NUL-terminated 8-bit strings in buffers the caller
// owns. On Windows the copies and the decimal formatting go through the system's own
// lstrcpyA and wsprintfA; elsewhere through their exact standard equivalents.

#include <cstddef>

#include "aeffect.h"

namespace platform_text {

// Copies source and its terminator into destination, without a bound.
void copy(char* destination, const char* source);

// Copies at most maxChars characters of source and always terminates: destination must hold
// maxChars + 1 bytes. Reads no byte of source past its terminator or past maxChars.
void copyTruncated(char* destination, const char* source, std::size_t maxChars);

// Writes value in decimal ("%d": sign if negative, no padding). At most 12 bytes.
void formatInt(char* destination, VstInt32 value);

}  // namespace platform_text
