// ExampleHostTempo: passes stereo audio through and shows what it learns by asking its host,
// through two read-only parameters: Host (the host's product string) and Tempo
// (audioMasterTempoAt, in BPM; "--" when the host does not say). A host asks for a display
// whenever it draws one, so each display is a fresh question.

#include <cstring>
#include <new>

#include "audio_effect_x.h"
#include "platform_text.h"

namespace {

// The longest texts every host takes (binding/aeffect.h): a parameter's name, display and label
// have room for 8 characters, an effect's name for 31, NUL excluded.
constexpr VstInt32 kParameterText = kVstMaxParamStrLen;
constexpr VstInt32 kNameText = kVstMaxEffectNameLen - 1;
constexpr VstInt32 kHostText = kVstMaxProductStrLen;  // the buffer a host fills with its product

enum Parameter : VstInt32 { kHost, kTempo, kParameterCount };

}  // namespace

class ExampleHostTempo : public AudioEffectX {
public:
    explicit ExampleHostTempo(audioMasterCallback host) : AudioEffectX(host, 1, kParameterCount) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode('x', 'T', 'm', 'p'));
        canProcessReplacing();
        canDoubleReplacing();
    }

    // The parameters only report; nothing the host writes changes them.
    void setParameter(VstInt32, float) override {}
    float getParameter(VstInt32) override { return 0.0f; }
    bool canParameterBeAutomated(VstInt32) override { return false; }

    void getParameterName(VstInt32 index, char* text) override {
        if (index == kHost) platform_text::copyTruncated(text, "Host", kParameterText);
        if (index == kTempo) platform_text::copyTruncated(text, "Tempo", kParameterText);
    }
    void getParameterLabel(VstInt32 index, char* text) override {
        platform_text::copyTruncated(text, index == kTempo ? "BPM" : "", kParameterText);
    }
    // [main thread] Asks the host each time.
    void getParameterDisplay(VstInt32 index, char* text) override {
        if (index == kHost) {
            char product[kHostText + 1] = {};
            if (!getHostProductString(product) || product[0] == '\0') {
                platform_text::copyTruncated(product, "unknown", kHostText);
            }
            platform_text::copyTruncated(text, product, kParameterText);
        }
        if (index == kTempo) {
            const VstInt32 tempo = tempoAt(0);  // BPM × 10000 at the first sample; 0: unknown
            if (tempo > 0) {
                float2string(static_cast<float>(tempo) / 10000.0f, text, kParameterText);
            } else {
                platform_text::copyTruncated(text, "--", kParameterText);
            }
        }
    }

    // Product string and vendor version keep their defaults (none, 0).
    bool getEffectName(char* name) override {
        platform_text::copyTruncated(name, "Example Host Tempo", kNameText);
        return true;
    }
    bool getVendorString(char* text) override {
        platform_text::copyTruncated(text, "VstEffectBase examples", kNameText);
        return true;
    }

    // [audio thread] The audio passes unchanged.
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override {
        copy(inputs, outputs, frames);
    }
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) override {
        copy(inputs, outputs, frames);
    }

private:
    template <typename Sample>
    static void copy(Sample** inputs, Sample** outputs, VstInt32 frames) {
        if (frames <= 0) return;
        for (int channel = 0; channel < 2; ++channel) {
            if (inputs[channel] != outputs[channel]) {  // in place, there is nothing to do
                std::memcpy(outputs[channel], inputs[channel], sizeof(Sample) * frames);
            }
        }
    }
};

// The entry, VSTPluginMain, calls this for every instance the host asks for.
AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new (std::nothrow) ExampleHostTempo(host);
}
