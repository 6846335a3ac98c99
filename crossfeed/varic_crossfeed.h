#pragma once
// VaricCrossfeed: a headphone crossfeed for stereo. Each output channel is its input plus a
// correction of opposite sign on the two channels; the correction follows a low-passed,
// delayed copy of the difference between the outputs. The channel sum passes unchanged; the
// difference is attenuated at low frequencies by 2128 / (2128 + 2 * strength).

#include <atomic>
#include <cstdint>

#include "effect_base/audio_effect_x.h"

class VaricCrossfeed : public AudioEffectX {
public:
    static constexpr VstInt32 kUniqueId = fourCharCode('n', 'V', 'r', 'x');
    static constexpr VstInt32 kDefaultStrength = 1000;
    static constexpr VstInt32 kMaxStrength = 10000;
    static constexpr std::size_t kProgramNameSize = 32;

    explicit VaricCrossfeed(audioMasterCallback audioMaster);
    ~VaricCrossfeed() override;

    // [audio thread] One getSampleRate call per block, no allocation, in place allowed.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // [any thread] Strength, stored as an integer 0..10000 and shown as 0..100.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;

    // The stored strength for a host value: x 10000, + 0.5, truncated, clamped to 0..10000;
    // a value with no int32 result (NaN, infinities, too large) counts as the most negative.
    static VstInt32 strengthFromParameter(float value);
    // The truncated rate the coefficients are computed for: toward zero through a signed
    // 64-bit integer, low 32 bits; NaN and out-of-range rates give 0.
    static std::uint32_t truncatedRate(float sampleRate);

protected:
    // Runs at the start of every processing call, before any sample: applies a pending
    // reset, then the rate check.
    void prepareBlock();
    // After every block: a state that is no longer finite is zeroed, so one bad sample does
    // not silence the effect for good, and a decayed state is flushed to zero, so silence in
    // gives silence out.
    void settleState();
    void resetFilter();
    // One processing call in either precision: rate check, recursion, settling.
    template <class Sample>
    void processBlock(Sample** inputs, Sample** outputs, VstInt32 sampleFrames);

    // Shared with the host's parameter thread; everything below `programName` that the
    // filter uses is touched by the processing thread only.
    std::atomic<VstInt32> strength;
    std::uint32_t lastSampleRate;  // 0: coefficients must be recomputed
    double stateLeft;
    double stateRight;  // always -stateLeft, apart from the sign of a zero
    double previousDifference;
    double decayCoefficient;
    double feedCoefficient;
    char programName[kProgramNameSize];
    // Set by a strength change, applied by the next processing call: the filter is never
    // reset under a running block.
    std::atomic<bool> resetRequested;
    // False when the coefficients would make the recursion unstable (or divide by zero):
    // the audio then passes unchanged with the state held at zero.
    bool filterActive;
};
