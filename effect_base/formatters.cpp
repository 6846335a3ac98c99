// Value-to-text formatters of AudioEffect.

#include "effect_base/audio_effect.h"

// Placeholder bodies: every formatter leaves the empty text until the real ones land.
void AudioEffect::dB2string(float, char* text, VstInt32 maxLen) { for (VstInt32 i = 0; i <= maxLen; ++i) text[i] = 0; }
void AudioEffect::Hz2string(float, char* text, VstInt32 maxLen) { for (VstInt32 i = 0; i <= maxLen; ++i) text[i] = 0; }
void AudioEffect::ms2string(float, char* text, VstInt32 maxLen) { for (VstInt32 i = 0; i <= maxLen; ++i) text[i] = 0; }
void AudioEffect::float2string(float, char* text, VstInt32 maxLen) { for (VstInt32 i = 0; i <= maxLen; ++i) text[i] = 0; }
void AudioEffect::int2string(VstInt32, char* text, VstInt32 maxLen) { for (VstInt32 i = 0; i <= maxLen; ++i) text[i] = 0; }
