// ExampleGain: the smallest complete effect on AudioEffectX. Stereo in and out, one
// parameter, Gain, from silence to +6 dB, shown in decibels; 32-bit and 64-bit processing.

#include <atomic>
#include <new>

#include "audio_effect_x.h"
#include "platform_text.h"

namespace {

// The longest texts every host takes (binding/aeffect.h): a parameter's name, display and label
// have room for 8 characters, an effect's name for 31, NUL excluded.
constexpr VstInt32 kParameterText = kVstMaxParamStrLen;
constexpr VstInt32 kNameText = kVstMaxEffectNameLen - 1;
constexpr float kMaxGain = 2.0f;  // +6 dB at the top of the control

}  // namespace

class ExampleGain : public AudioEffectX {
public:
    explicit ExampleGain(audioMasterCallback host) : AudioEffectX(host, 1, 1) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('x', 'G', 'a', 'n'));
        canProcessReplacing();
        canDoubleReplacing();
    }

    // [any thread] The host's value 0..1 is the control's position; the gain follows it.
    void setParameter(VstInt32 index, float value) override {
        if (index != 0) return;
        position_.store(value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value));
    }
    float getParameter(VstInt32 index) override { return index == 0 ? position_.load() : 0.0f; }
    void getParameterName(VstInt32 index, char* text) override {
        if (index == 0) platform_text::copyTruncated(text, "Gain", kParameterText);
    }
    void getParameterDisplay(VstInt32 index, char* text) override {
        if (index == 0) dB2string(gain(), text, kParameterText);  // "-oo" at silence
    }
    void getParameterLabel(VstInt32 index, char* text) override {
        platform_text::copyTruncated(text, index == 0 ? "dB" : "", kParameterText);
    }

    bool getEffectName(char* name) override {
        platform_text::copyTruncated(name, "Example Gain", kNameText);
        return true;
    }
    bool getProductString(char* text) override { return getEffectName(text); }
    bool getVendorString(char* text) override {
        platform_text::copyTruncated(text, "VstEffectBase examples", kNameText);
        return true;
    }
    VstInt32 getVendorVersion() override { return 1000; }

    // [audio thread]
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override {
        scale(inputs, outputs, frames);
    }
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) override {
        scale(inputs, outputs, frames);
    }

private:
    float gain() const { return position_.load() * kMaxGain; }

    // Reads each sample before writing it, so in-place processing works too.
    template <typename Sample>
    void scale(Sample** inputs, Sample** outputs, VstInt32 frames) {
        const Sample factor = static_cast<Sample>(gain());
        for (int channel = 0; channel < 2; ++channel) {
            for (VstInt32 n = 0; n < frames; ++n) outputs[channel][n] = inputs[channel][n] * factor;
        }
    }

    std::atomic<float> position_{0.5f};  // unity gain
};

// The entry, VSTPluginMain, calls this for every instance the host asks for.
AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) ExampleGain(host);
}
