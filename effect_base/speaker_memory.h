#pragma once
// Where speaker-arrangement records come from and go back to: the general-purpose heap
// (calloc and free), so that hosts and effects can hand records to one another. The two
// functions have a translation unit of their own, speaker_memory.cpp, so that a test program
// can link a heap of its own in its place and see every block obtained and released.

#include <cstddef>

namespace speaker_memory {

// A block of size bytes, every one zero; null when none can be had.
void* obtainZeroed(std::size_t size);

// Gives back a block from obtainZeroed (or one from the same heap); null does nothing.
void release(void* block);

}  // namespace speaker_memory
