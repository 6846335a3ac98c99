#pragma once
// The crossfeed filter: the recursion behind VaricCrossfeed, as a small value type with no tie
// to any plug-in interface. Each output channel is its input plus a correction of opposite sign
// on the two channels; the correction follows a low-passed, delayed copy of the difference
// between the outputs. The channel sum passes unchanged; the difference is attenuated at low
// frequencies by kDecayRate / (kDecayRate + 2 * strength).
//
// A plug-in wraps it like this, once per processing call:
//
//     const float_mode::DefaultFloatMode defaultMode;  // first thing: see below
//     filter.setup(crossfeed::truncatedRate(sampleRate), strength);
//     filter.process(inL, inR, outL, outR, frames);
//
// The output is the recursion's bits only in the processor's default floating-point mode
// (round to nearest, no flush-to-zero, no denormals-are-zero). The filter does not switch the
// mode itself: the wrapper's own arithmetic (the rate truncation, its parameter conversions)
// needs the same mode, so the wrapper makes one float_mode::DefaultFloatMode at the start of
// every entry that computes (crossfeed/float_mode.h).

#include <complex>
#include <cstdint>

namespace crossfeed {

// The rate, per second, at which the state decays: each sample it gives up kDecayRate / rate
// of itself (the decay coefficient), which puts the corner of the low-pass that forms the
// correction near kDecayRate / 2 pi, about 339 Hz. It is also the lowest truncated rate the filter
// runs at: below it the decay coefficient exceeds 1 and the recursion is no longer the intended
// low-pass; at 0 it would divide by zero.
inline constexpr std::uint32_t kDecayRate = 2128;

// The strength a plug-in stores: 0 to kMaxStrength, kDefaultStrength until the user moves it.
inline constexpr std::int32_t kMaxStrength = 10000;
inline constexpr std::int32_t kDefaultStrength = 1000;

// The stored strength for a host's parameter value (0 to 1): x kMaxStrength, + 0.5, both in
// single precision, truncated, clamped to 0..kMaxStrength; a value with no int32 result (NaN,
// infinities, too large) counts as the most negative, so it gives 0. Every plug-in of the
// crossfeed maps its control through this one routine, so equal values give equal strengths.
std::int32_t strengthFromParameter(float value) noexcept;

// The rate the coefficients are computed for: the host's rate truncated toward zero through a
// signed 64-bit integer, of which the low 32 bits are kept. 44100.9 gives 44100, -44100 gives
// 4294923196; NaN and rates with no 64-bit value give 0.
std::uint32_t truncatedRate(float sampleRate) noexcept;

// A value type: copy it, keep it in an effect, reset it. One thread at a time (in a plug-in,
// the thread of the processing calls); nothing in it allocates, locks or calls out.
class Filter {
public:
    // What a filter holds between blocks: the corrections added to the next left and right
    // input samples (always opposite, apart from the sign of a zero), and the difference of
    // the last two outputs.
    struct State {
        double left;
        double right;
        double previousDifference;
    };

    // The responses of the recursion at one frequency: how the channel sum and difference,
    // and a sound on one side, reach the outputs.
    struct Response {
        std::complex<double> sum;           // L+R in to L+R out
        std::complex<double> difference;    // L-R in to L-R out
        std::complex<double> sameSide;      // left in to left out (and right to right)
        std::complex<double> oppositeSide;  // left in to right out (and right to left)
    };

    // Made without coefficients (rate 0): blocks pass through until a setup with a rate.
    Filter() = default;

    // Makes the coefficients those of a truncated rate and a stored strength (0 to
    // kMaxStrength in a plug-in). When either differs from the current coefficients' it
    // computes them and zeroes the state; otherwise it does nothing, so the state runs on from
    // block to block. The settings are stable when the rate is at least kDecayRate and
    // 2 * strength is below it; unstable ones pass the audio through unchanged, with the state
    // held at zero, rather than let the output grow without bound.
    void setup(std::uint32_t rate, std::int32_t strength) noexcept;
    // Zeroes the state; the coefficients stay.
    void reset() noexcept;

    // One block of frames samples per channel (none when frames is 0 or less). Samples are
    // handled in ascending order, both inputs read before either output is written, so outputs
    // may be the inputs (in place). After the block a state that is no longer finite is
    // zeroed, so one bad sample does not silence the filter for good, and a state decayed far
    // below anything an output can show is flushed to zero, so silence in gives silence out.
    // Both precisions continue the same recursion. Every output is the recursion's value,
    // subnormals and negative zeros included: they are exact results (a host that wants none
    // sets flush-to-zero on its own thread), and writing them as zero would also break the
    // identity at Strength 0 for subnormal input.
    void process(const float* inL, const float* inR, float* outL, float* outR,
                 std::int32_t frames) noexcept;
    void process(const double* inL, const double* inR, double* outL, double* outR,
                 std::int32_t frames) noexcept;

    // The response at a frequency in Hz (0 to half the rate) of the recursion as set up:
    // computed from the coefficients, not measured (crossfeed/filter_response.cpp). It is the
    // exact recursion's; the 32-bit path adds only the rounding of its outputs. Settings that
    // pass the audio through answer the identity.
    Response response(double frequency) const noexcept;

    // The truncated rate the coefficients were computed for; 0 before the first setup.
    std::uint32_t coefficientRate() const { return coefficientRate_; }
    // Whether blocks run through the recursion (stable settings) or pass through.
    bool stable() const { return stable_; }
    double decayCoefficient() const { return decay_; }
    double feedCoefficient() const { return feed_; }
    State state() const { return {stateLeft_, stateRight_, previousDifference_}; }

private:
    template <class Sample>
    void run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, std::int32_t frames);
    void settle();

    std::uint32_t coefficientRate_ = 0;
    std::int32_t coefficientStrength_ = 0;
    bool stable_ = false;
    double decay_ = 0.0;  // kDecayRate / rate, as a product of the rounded reciprocal
    double feed_ = 0.0;   // strength / rate, likewise
    double stateLeft_ = 0.0;
    double stateRight_ = 0.0;
    double previousDifference_ = 0.0;
};

}  // namespace crossfeed
