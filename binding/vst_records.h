#pragma once
// Records of the VST 2.4 interface that the effect classes name. Most only travel by address
// between the host and an effect and are never looked into, so they are declared, not defined.

#include <cstddef>

#include "aeffect.h"

struct VstEvents;
struct VstPinProperties;
struct VstParameterProperties;
struct VstVariableIo;
struct VstPatchChunkInfo;
struct VstAudioFile;
struct VstOfflineTask;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstTimeInfo;
struct VstFileSelect;
struct VstWindow;

// What an offline read or write is about; passed to the host unchanged.
enum VstOfflineOption : VstInt32 {
    kVstOfflineAudio = 0,
    kVstOfflinePeaks,
    kVstOfflineParameter,
    kVstOfflineMarker,
    kVstOfflineCursor,
    kVstOfflineSelection,
    kVstOfflineQueryFiles,
};

// Plug-in categories; the default category is derived from the synth flag.
enum VstPlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect,
    kPlugCategSynth,
};

// A key event as handed to an editor, built from the host's request for its duration.
struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

// One speaker of an arrangement. 112 bytes, shared with the host.
struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[kVstMaxNameLen];  // at most 63 characters and a NUL
    VstInt32 type;
    char future[28];
};

static_assert(offsetof(VstSpeakerProperties, azimuth) == 0);
static_assert(offsetof(VstSpeakerProperties, elevation) == 4);
static_assert(offsetof(VstSpeakerProperties, radius) == 8);
static_assert(offsetof(VstSpeakerProperties, reserved) == 12);
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);
static_assert(sizeof(VstSpeakerProperties) == 112);

// An arrangement: an 8-byte header followed by numChannels speakers without gaps. Hosts
// declare room for eight; a record made by the effect classes for n channels is exactly
// 8 + 112 * n bytes long, so reach speaker i through speakerAt, not the array.
struct VstSpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

constexpr std::size_t kSpeakerArrangementHeaderSize = 8;

inline VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 i) {
    return reinterpret_cast<VstSpeakerProperties*>(
        reinterpret_cast<char*>(arrangement) + kSpeakerArrangementHeaderSize +
        sizeof(VstSpeakerProperties) * static_cast<std::size_t>(i));
}

static_assert(offsetof(VstSpeakerArrangement, type) == 0);
static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
