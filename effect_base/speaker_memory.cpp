#include "speaker_memory.h"

#include <cstdlib>

namespace speaker_memory {

void* obtainZeroed(std::size_t size) {
    return std::calloc(1, size);
}

void release(void* block) {
    std::free(block);
}

}  // namespace speaker_memory
