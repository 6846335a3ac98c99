// VaricCrossfeed's processing calls, its identity, its Strength parameter and its program.

#include "varic_crossfeed.h"

#include <new>

#include "float_mode.h"
#include "platform_text.h"

namespace {

constexpr char kEffectName[] = "Varic Crossfeed";
constexpr char kVendor[] = "Nalt";
constexpr VstInt32 kVendorVersion = 1000;
// The name the effect has always reported, trailing blank included (nine characters, ten bytes
// with the terminator): hosts keep automation and presets under a parameter's name, so the
// blank stays.
constexpr char kStrengthName[] = "Strength ";
// The host's 0 to 1 covers the stored 0 to kMaxStrength (crossfeed::strengthFromParameter). Going
// back, the stored value is multiplied by the float nearest 1 / kMaxStrength, not divided:
// reading back any stored strength and writing the value again gives the same strength.
constexpr float kParameterStep = 1.0f / static_cast<float>(VaricCrossfeed::kMaxStrength);
// What an index the effect does not have reads: the default strength's place on the host's
// scale (1000 of 10000) as a constant, the float nearest 0.1. Index 0 at that strength reads
// the computed product instead, one bit below (0.099999994).
constexpr float kParameterOfOtherIndex = 0.1f;
// The display shows the strength in hundredths of its range: 0 to 100.
constexpr VstInt32 kStrengthPerDisplayedUnit = VaricCrossfeed::kMaxStrength / 100;

}  // namespace

VaricCrossfeed::VaricCrossfeed(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, 1),
      strength(kDefaultStrength),
      resetRequested(false),
      programName{} {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing();
    canDoubleReplacing();
    platform_text::copy(programName, kEffectName);
}

VaricCrossfeed::~VaricCrossfeed() = default;

template <class Sample>
void VaricCrossfeed::processBlock(Sample** inputs, Sample** outputs, VstInt32 sampleFrames) {
    const float_mode::DefaultFloatMode defaultMode;  // first: the rate check computes too
    const Sample* const inL = inputs[0];
    const Sample* const inR = inputs[1];
    Sample* const outL = outputs[0];
    Sample* const outR = outputs[1];
    // Every change of the stored strength restarts the filter at the next block, as it always
    // has, a change undone before the block included (setup alone would see no change there).
    if (resetRequested.load(std::memory_order_relaxed) &&
        resetRequested.exchange(false, std::memory_order_acquire)) {
        filter.reset();
    }
    filter.setup(crossfeed::truncatedRate(getSampleRate()),
                 strength.load(std::memory_order_relaxed));
    filter.process(inL, inR, outL, outR, sampleFrames);
}

void VaricCrossfeed::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void VaricCrossfeed::processDoubleReplacing(double** inputs, double** outputs,
                                            VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void VaricCrossfeed::setParameter(VstInt32 index, float value) {
    if (index != 0) return;  // the stored strength is always in range already
    const float_mode::DefaultFloatMode defaultMode;  // the conversion rounds
    const VstInt32 next = crossfeed::strengthFromParameter(float_mode::pin(value));
    if (strength.exchange(next, std::memory_order_relaxed) != next) {
        resetRequested.store(true, std::memory_order_release);
    }
}

float VaricCrossfeed::getParameter(VstInt32 index) {
    if (index != 0) return kParameterOfOtherIndex;
    const float_mode::DefaultFloatMode defaultMode;  // the product rounds
    return float_mode::pin(static_cast<float>(strength.load(std::memory_order_relaxed)) *
                           kParameterStep);
}

void VaricCrossfeed::setProgramName(char* name) {
    platform_text::copyTruncated(programName, name, kProgramNameSize - 1);
}

void VaricCrossfeed::getProgramName(char* name) {
    platform_text::copy(name, programName);
}

void VaricCrossfeed::getParameterLabel(VstInt32 /*index*/, char* label) {
    platform_text::copy(label, "");
}

void VaricCrossfeed::getParameterDisplay(VstInt32 index, char* text) {
    if (index != 0) return;
    platform_text::formatInt(text,
                             strength.load(std::memory_order_relaxed) / kStrengthPerDisplayedUnit);
}

void VaricCrossfeed::getParameterName(VstInt32 index, char* text) {
    if (index != 0) return;
    platform_text::copy(text, kStrengthName);
}

bool VaricCrossfeed::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
    if (index != 0) return false;
    platform_text::copy(text, programName);
    return true;
}

bool VaricCrossfeed::getEffectName(char* name) {
    platform_text::copy(name, kEffectName);
    return true;
}

bool VaricCrossfeed::getVendorString(char* text) {
    platform_text::copy(text, kVendor);
    return true;
}

bool VaricCrossfeed::getProductString(char* text) {
    return VaricCrossfeed::getEffectName(text);
}

VstInt32 VaricCrossfeed::getVendorVersion() {
    return kVendorVersion;
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new (std::nothrow) VaricCrossfeed(audioMaster);
}
