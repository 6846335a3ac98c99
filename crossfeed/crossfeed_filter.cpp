// The crossfeed recursion over blocks of 32-bit and 64-bit samples.
//
// Per frame, with a = the decay coefficient and b = the feed coefficient:
//   y = x + state (per channel); d = yL - yR
//   stateLeft  -= a * stateLeft  + b * previousDifference
//   stateRight -= a * stateRight - b * previousDifference
//   previousDifference = d
// Every operation is rounded as written (no contraction to fused multiply-adds): the output is
// bit-exact, so the build must keep -ffp-contract=off.

#include "crossfeed_filter.h"

#include <cmath>
#include <limits>

#include "conversions.h"

namespace crossfeed {
namespace {

// A state below this is flushed to zero after a block: 1e-300 added to any sample a 64-bit
// output could show beside a sound (above 1e-284) changes nothing.
constexpr double kNegligibleState = 1e-300;

// A state value that needs no attention after a block: finite and not negligible. (NaN fails
// both comparisons.)
bool finiteAndNotNegligible(double value) {
    const double magnitude = std::fabs(value);
    return magnitude >= kNegligibleState && magnitude <= std::numeric_limits<double>::max();
}

template <class Sample>
void passThrough(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                 std::int32_t frames) {
    for (std::int32_t n = 0; n < frames; ++n) {
        const Sample xl = inL[n];
        const Sample xr = inR[n];
        outL[n] = xl;
        outR[n] = xr;
    }
}

}  // namespace

std::int32_t strengthFromParameter(float value) noexcept {
    const float scaled = value * static_cast<float>(kMaxStrength);  // single precision, as written
    const float rounded = scaled + 0.5f;
    const std::int32_t truncated = conversions::truncateToInt32(rounded);
    if (truncated < 0) return 0;
    if (truncated > kMaxStrength) return kMaxStrength;
    return truncated;
}

std::uint32_t truncatedRate(float sampleRate) noexcept {
    // C++ leaves the conversion undefined where the truncated value has no int64; x86's
    // truncating conversion gives -2^63 there, whose low half is 0.
    if (!(sampleRate >= -9223372036854775808.0f && sampleRate < 9223372036854775808.0f)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(sampleRate));
}

void Filter::reset() noexcept {
    stateLeft_ = 0.0;
    stateRight_ = 0.0;
    previousDifference_ = 0.0;
}

void Filter::setup(std::uint32_t rate, std::int32_t strength) noexcept {
    if (rate == coefficientRate_ && strength == coefficientStrength_) return;
    coefficientRate_ = rate;
    coefficientStrength_ = strength;
    reset();
    // The difference filter's poles multiply to 2 * strength / rate: at or above 1 the output
    // grows without bound, so such settings pass the audio through instead.
    stable_ = rate >= kDecayRate && 2 * static_cast<std::int64_t>(strength) < rate;
    if (!stable_) {
        decay_ = 0.0;
        feed_ = 0.0;
        return;
    }
    // Products of the rounded reciprocal, not quotients: the last bit depends on it.
    const double inverse = 1.0 / static_cast<double>(rate);
    decay_ = inverse * static_cast<double>(kDecayRate);
    feed_ = static_cast<double>(strength) * inverse;
}

void Filter::settle() {
    // The common case costs one predictable branch, and the state goes on to the next block
    // exactly as the loop stored it: no select sits on its chain of dependent operations.
    if (finiteAndNotNegligible(stateLeft_) && finiteAndNotNegligible(stateRight_) &&
        finiteAndNotNegligible(previousDifference_)) [[likely]] {
        return;
    }
    const bool finite = std::isfinite(stateLeft_) && std::isfinite(stateRight_) &&
                        std::isfinite(previousDifference_);
    // After a sound ends the state decays into subnormal numbers, where rounding can hold it
    // for ever (a * s rounds to nothing) and every frame takes the processor's slow path.
    // Far below anything an output can show, it is zero. All three go together: zeroing one
    // while another still rings would send the tail down a path of its own, and outputs would
    // then differ from the plain recursion by more than a flush to silence.
    const bool decayed = std::fabs(stateLeft_) < kNegligibleState &&
                         std::fabs(stateRight_) < kNegligibleState &&
                         std::fabs(previousDifference_) < kNegligibleState;
    if (!finite || decayed) reset();
}

template <class Sample>
void Filter::run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                 std::int32_t frames) {
    if (!stable_) {
        passThrough(inL, inR, outL, outR, frames);
        return;
    }
    // Locals for the whole block: outputs may alias the fields as far as the compiler knows.
    const double a = decay_;
    const double b = feed_;
    double sL = stateLeft_;
    double sR = stateRight_;
    double previous = previousDifference_;
    for (std::int32_t n = 0; n < frames; ++n) {
        const Sample xl = inL[n];  // both inputs are read before either output is written
        const Sample xr = inR[n];
        // The sums are formed in double; 32-bit outputs are those sums rounded to float, and
        // their difference is taken of the rounded outputs. For 64-bit samples the casts are
        // no-ops.
        const Sample yl = static_cast<Sample>(static_cast<double>(xl) + sL);
        const Sample yr = static_cast<Sample>(static_cast<double>(xr) + sR);
        outL[n] = yl;
        outR[n] = yr;
        const Sample d = yl - yr;
        const double p = b * previous;
        sL = sL - (a * sL + p);
        sR = sR - (a * sR - p);
        previous = static_cast<double>(d);
    }
    stateLeft_ = sL;
    stateRight_ = sR;
    previousDifference_ = previous;
    settle();
}

void Filter::process(const float* inL, const float* inR, float* outL, float* outR,
                     std::int32_t frames) noexcept {
    run(inL, inR, outL, outR, frames);
}

void Filter::process(const double* inL, const double* inR, double* outL, double* outR,
                     std::int32_t frames) noexcept {
    run(inL, inR, outL, outR, frames);
}

}  // namespace crossfeed
