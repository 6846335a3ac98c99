#pragma once
// VaricCrossfeed: a headphone crossfeed for stereo, the crossfeed filter (crossfeed_filter.h)
// behind the plug-in interface, with one parameter (Strength), one program and its identity.

#include <atomic>
#include <cstdint>

#include "audio_effect_x.h"
#include "crossfeed_filter.h"

class VaricCrossfeed : public AudioEffectX {
public:
    static constexpr VstInt32 kUniqueId = fourCharCode('n', 'V', 'r', 'x');
    static constexpr VstInt32 kDefaultStrength = crossfeed::kDefaultStrength;
    static constexpr VstInt32 kMaxStrength = crossfeed::kMaxStrength;
    static constexpr std::size_t kProgramNameSize = 32;

    explicit VaricCrossfeed(audioMasterCallback audioMaster);
    ~VaricCrossfeed() override;

    // [audio thread] One getSampleRate call per block, no allocation, in place allowed.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // [any thread] Strength, stored as an integer 0..10000 and shown as 0..100; computed in the
    // default floating-point mode, like the processing calls.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // [main thread] The parameter's texts, the program's name and the effect's identity. What
    // each writes, NUL included, against the interface's limit (binding/aeffect.h):
    //   getParameterName     "Strength " (index 0)     10 bytes   limit 8 + NUL: one over,
    //                        kept since hosts key automation on the name; they give 64
    //   getParameterLabel    "" (any index)             1 byte    limit 8 + NUL
    //   getParameterDisplay  "0" to "100" (index 0)     2 to 4    limit 8 + NUL
    //   getProgramName, getProgramNameIndexed (index 0): the program's name, 16 bytes as made
    //                        ("Varic Crossfeed"), up to 32 after a rename; limit 24: a name
    //                        of 24 to 31 characters overruns a host that gives only 24 bytes
    //   getEffectName, getProductString
    //                        "Varic Crossfeed"         16 bytes   limits 32 and 64
    //   getVendorString      "Nalt"                     5 bytes   limit 64
    // setProgramName keeps the first 31 characters of the host's text. Other indices write
    // nothing.
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

protected:
    // One processing call in either precision: a pending reset, the setup, the block.
    template <class Sample>
    void processBlock(Sample** inputs, Sample** outputs, VstInt32 sampleFrames);

    // Shared by the host's threads: written by setParameter, read by the processing calls.
    std::atomic<VstInt32> strength;
    // Set by a strength change, applied by the next processing call: the filter is never
    // reset under a running block.
    std::atomic<bool> resetRequested;
    // The processing calls' alone: nothing else reads or writes it.
    crossfeed::Filter filter;
    // The one program's name, set and read through the host's requests.
    char programName[kProgramNameSize];
};
