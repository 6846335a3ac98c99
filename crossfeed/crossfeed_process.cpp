// The crossfeed recursion over blocks of 32-bit and 64-bit samples.
//
// Per frame, with a = decayCoefficient and b = feedCoefficient:
//   y = x + state (per channel); d = yL - yR
//   stateLeft  -= a * stateLeft  + b * previousDifference
//   stateRight -= a * stateRight - b * previousDifference
//   previousDifference = d
// Every operation is rounded as written (no contraction to fused multiply-adds): the output is
// bit-exact, so the build must keep -ffp-contract=off. Each call computes in the processor's
// default floating-point mode, whatever mode the host's thread is in (float_mode.h).

#include <cmath>
#include <limits>

#include "crossfeed/varic_crossfeed.h"
#include "effect_base/conversions.h"
#include "crossfeed/float_mode.h"

namespace {

// Below this truncated rate the decay coefficient exceeds 1 and the recursion is no longer the
// intended low-pass; at 0 it would divide by zero.
constexpr std::uint32_t kMinimumRate = 2128;
constexpr double kDecayRate = 2128.0;
// A state below this is flushed to zero after a block: 1e-300 added to any sample a 64-bit
// output could show beside a sound (above 1e-284) changes nothing.
constexpr double kNegligibleState = 1e-300;

// A state value that needs no attention after a block: finite and not negligible. (NaN fails
// both comparisons.)
bool ordinary(double value) {
    const double magnitude = std::fabs(value);
    return magnitude >= kNegligibleState && magnitude <= std::numeric_limits<double>::max();
}

template <class Sample>
void passThrough(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                 VstInt32 sampleFrames) {
    for (VstInt32 n = 0; n < sampleFrames; ++n) {
        const Sample xl = inL[n];
        const Sample xr = inR[n];
        outL[n] = xl;
        outR[n] = xr;
    }
}

}  // namespace

std::uint32_t VaricCrossfeed::truncatedRate(float sampleRate) {
    return static_cast<std::uint32_t>(conversions::truncateToInt64(sampleRate));
}

void VaricCrossfeed::resetFilter() {
    lastSampleRate = 0;
    stateLeft = 0.0;
    stateRight = 0.0;
    previousDifference = 0.0;
    filterActive = false;
}

void VaricCrossfeed::prepareBlock() {
    if (resetRequested.load(std::memory_order_relaxed) &&
        resetRequested.exchange(false, std::memory_order_acquire)) {
        resetFilter();
    }
    const std::uint32_t rate = truncatedRate(getSampleRate());
    if (rate == lastSampleRate) return;
    lastSampleRate = rate;
    stateLeft = 0.0;
    stateRight = 0.0;
    previousDifference = 0.0;
    // The difference filter's poles multiply to 2 * strength / rate: at or above 1 the output
    // grows without bound, so such settings pass the audio through instead.
    const VstInt32 s = strength.load(std::memory_order_relaxed);
    filterActive = rate >= kMinimumRate && 2 * static_cast<std::int64_t>(s) < rate;
    if (!filterActive) {
        decayCoefficient = 0.0;
        feedCoefficient = 0.0;
        return;
    }
    // Products of the rounded reciprocal, not quotients: the last bit depends on it.
    const double inverse = 1.0 / static_cast<double>(rate);
    decayCoefficient = inverse * kDecayRate;
    feedCoefficient = static_cast<double>(s) * inverse;
}

void VaricCrossfeed::settleState() {
    // The common case costs one predictable branch, and the state goes on to the next block
    // exactly as the loop stored it: no select sits on its chain of dependent operations.
    if (ordinary(stateLeft) && ordinary(stateRight) && ordinary(previousDifference)) [[likely]] {
        return;
    }
    if (!(std::isfinite(stateLeft) && std::isfinite(stateRight) &&
          std::isfinite(previousDifference))) {
        stateLeft = 0.0;
        stateRight = 0.0;
        previousDifference = 0.0;
        return;
    }
    // After a sound ends the state decays into subnormal numbers, where rounding can hold it
    // for ever (a * s rounds to nothing) and every frame takes the processor's slow path.
    // Far below anything an output can show, it is zero. All three go together: zeroing one
    // while another still rings would send the tail down a path of its own, and outputs would
    // then differ from the plain recursion by more than a flush to silence.
    if (std::fabs(stateLeft) < kNegligibleState && std::fabs(stateRight) < kNegligibleState &&
        std::fabs(previousDifference) < kNegligibleState) {
        stateLeft = 0.0;
        stateRight = 0.0;
        previousDifference = 0.0;
    }
}

template <class Sample>
void VaricCrossfeed::processBlock(Sample** inputs, Sample** outputs, VstInt32 sampleFrames) {
    const float_mode::DefaultFloatMode defaultMode;  // first: the rate check computes too
    const Sample* const inL = inputs[0];
    const Sample* const inR = inputs[1];
    Sample* const outL = outputs[0];
    Sample* const outR = outputs[1];
    prepareBlock();
    if (!filterActive) {
        passThrough(inL, inR, outL, outR, sampleFrames);
        return;
    }
    // Locals for the whole block: outputs may alias the fields as far as the compiler knows.
    const double a = decayCoefficient;
    const double b = feedCoefficient;
    double sL = stateLeft;
    double sR = stateRight;
    double previous = previousDifference;
    for (VstInt32 n = 0; n < sampleFrames; ++n) {
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
    stateLeft = sL;
    stateRight = sR;
    previousDifference = previous;
    settleState();
}

void VaricCrossfeed::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void VaricCrossfeed::processDoubleReplacing(double** inputs, double** outputs,
                                            VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}
