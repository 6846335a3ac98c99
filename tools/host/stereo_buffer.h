#pragma once
// Two channels of samples in either precision, with the channel-pointer array a host passes to
// a processing call, and the bits of a sample for comparing outputs exactly.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vsthost {

template <class Sample>
struct StereoBuffer {
    explicit StereoBuffer(std::size_t frames) : left(frames), right(frames) {}

    std::size_t frames() const { return left.size(); }
    // The two channels from their first frame, or from `offset` on (one block of a longer
    // signal). The array is this buffer's own: valid until the next call on it.
    Sample** channels() { return channelsFrom(0); }
    Sample** channelsFrom(std::size_t offset) {
        pointers[0] = left.data() + offset;
        pointers[1] = right.data() + offset;
        return pointers;
    }

    std::vector<Sample> left;
    std::vector<Sample> right;
    Sample* pointers[2] = {nullptr, nullptr};
};

// A sample's bits: equal bits are the same output, NaN payloads and the sign of zero included.
template <class Sample>
std::uint64_t bitsOf(Sample value) {
    static_assert(sizeof(Sample) <= sizeof(std::uint64_t));
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(Sample));
    return bits;
}

// The first frame at which the two buffers differ in any bit; the shorter length when they
// agree up to there (both lengths when they are the same bits).
template <class Sample>
std::size_t firstDifference(const StereoBuffer<Sample>& a, const StereoBuffer<Sample>& b) {
    const std::size_t common = std::min(a.frames(), b.frames());
    for (std::size_t n = 0; n < common; ++n) {
        if (bitsOf(a.left[n]) != bitsOf(b.left[n]) || bitsOf(a.right[n]) != bitsOf(b.right[n])) {
            return n;
        }
    }
    return common;
}

}  // namespace vsthost
