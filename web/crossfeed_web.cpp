// The crossfeed for a web page: the filter, its Strength and its response behind a few C
// functions that a WebAssembly module exports. One module instance is one plug-in instance;
// the page makes one for the audio thread and one for rendering files.
//
// The processing entry does what VaricCrossfeed does for a 32-bit block: it sets the filter up
// for the truncated rate and the stored strength (a change of either restarts it) and
// processes. A page therefore hears, and downloads, the very samples `varic render --precision
// 32` writes.

#include <cstdint>

#include "crossfeed_filter.h"

namespace {

// Frames per call: the page feeds the audio thread's 128-frame quanta, and files in blocks of
// this size.
constexpr std::int32_t kMaxFrames = 4096;

float inputLeft[kMaxFrames];
float inputRight[kMaxFrames];
float outputLeft[kMaxFrames];
float outputRight[kMaxFrames];

crossfeed::Filter filter;
float sampleRate = 44100.0f;
std::int32_t strength = crossfeed::kDefaultStrength;

}  // namespace

extern "C" {

// Where the page writes a block's input and reads its output: four arrays of kMaxFrames floats
// (left in, right in, left out, right out).
float* crossfeed_buffer(std::int32_t index) {
    float* const buffers[] = {inputLeft, inputRight, outputLeft, outputRight};
    return index >= 0 && index < 4 ? buffers[index] : nullptr;
}

std::int32_t crossfeed_max_frames() {
    return kMaxFrames;
}

// The host's sample rate, as a plug-in is told it; the next block is set up for it.
void crossfeed_set_sample_rate(float rate) {
    sampleRate = rate;
}

// The host's parameter value (0 to 1) for Strength, as a plug-in's setParameter takes it: the
// page sends float(S / 100) for Strength S, as varic does.
void crossfeed_set_parameter(float value) {
    strength = crossfeed::strengthFromParameter(value);
}

std::int32_t crossfeed_strength() {
    return strength;
}

// One block of the buffers' first frames; a count beyond kMaxFrames (or below 0) does nothing.
void crossfeed_process(std::int32_t frames) {
    if (frames < 0 || frames > kMaxFrames) return;
    filter.setup(crossfeed::truncatedRate(sampleRate), strength);
    filter.process(inputLeft, inputRight, outputLeft, outputRight, frames);
}

// The gain (magnitude) of one path at a frequency in Hz for the current rate and strength:
// 0 sum, 1 difference, 2 same side, 3 opposite side.
double crossfeed_response(std::int32_t path, double frequency) {
    crossfeed::Filter settings;
    settings.setup(crossfeed::truncatedRate(sampleRate), strength);
    const crossfeed::Filter::Response r = settings.response(frequency);
    switch (path) {
        case 0: return std::abs(r.sum);
        case 1: return std::abs(r.difference);
        case 2: return std::abs(r.sameSide);
        case 3: return std::abs(r.oppositeSide);
        default: return 0.0;
    }
}

double crossfeed_difference_gain_at_zero_hz() {
    return crossfeed_response(1, 0.0);
}

}  // extern "C"
