#include "platform_text.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cstdio>
#include <cstring>
#endif

namespace platform_text {

void copy(char* destination, const char* source) {
#ifdef _WIN32
    lstrcpyA(destination, source);
#else
    std::strcpy(destination, source);
#endif
}

void copyTruncated(char* destination, const char* source, std::size_t maxChars) {
    std::size_t n = 0;
    while (n < maxChars && source[n] != '\0') {
        destination[n] = source[n];
        ++n;
    }
    destination[n] = '\0';
}

void formatInt(char* destination, VstInt32 value) {
#ifdef _WIN32
    wsprintfA(destination, "%d", static_cast<int>(value));
#else
    std::sprintf(destination, "%d", static_cast<int>(value));
#endif
}

}  // namespace platform_text
