// The requests AudioEffectX sends to its host. Each sends exactly one request (or none when
// there is no host callback, or for the three that refuse a null pointer) and reads the
// answer in one of these ways: as a bool (the whole answer), an int32 (its low 32 bits),
// 1/0, a pointer, or unchanged.

#include "audio_effect_x.h"
#include "conversions.h"

using conversions::oneOrZero;

namespace {

bool asBool(VstIntPtr answer) {
    return answer != 0;
}
VstInt32 asInt32(VstIntPtr answer) {
    return static_cast<VstInt32>(answer);
}
template <class T>
T* asPointer(VstIntPtr answer) {
    return reinterpret_cast<T*>(answer);
}

}  // namespace

bool AudioEffectX::beginEdit(VstInt32 index) {
    return asBool(callHost(audioMasterBeginEdit, index));
}

bool AudioEffectX::endEdit(VstInt32 index) {
    return asBool(callHost(audioMasterEndEdit, index));
}

bool AudioEffectX::ioChanged() {
    return asBool(callHost(audioMasterIOChanged));
}

double AudioEffectX::updateSampleRate() {
    // The whole answer is tested; the stored float, not the host's integer, is returned.
    const VstIntPtr answer = callHost(audioMasterGetSampleRate);
    if (answer > 0) sampleRate = static_cast<float>(answer);
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    // Unlike the sample rate, the block size is tested after cutting to 32 bits.
    const VstInt32 answer = asInt32(callHost(audioMasterGetBlockSize));
    if (answer > 0) blockSize = answer;
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() {
    return asInt32(callHost(audioMasterGetInputLatency));
}

VstInt32 AudioEffectX::getOutputLatency() {
    return asInt32(callHost(audioMasterGetOutputLatency));
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return asPointer<VstTimeInfo>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return asInt32(callHost(audioMasterGetCurrentProcessLevel));
}

VstInt32 AudioEffectX::getAutomationState() {
    return asInt32(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return asBool(callHost(audioMasterGetVendorString, 0, 0, text));
}

bool AudioEffectX::getHostProductString(char* text) {
    return asBool(callHost(audioMasterGetProductString, 0, 0, text));
}

VstInt32 AudioEffectX::getHostVendorVersion() {
    return asInt32(callHost(audioMasterGetVendorVersion));
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                           float floatArg) {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

VstInt32 AudioEffectX::canHostDo(char* text) {
    return oneOrZero(asBool(callHost(audioMasterCanDo, 0, 0, text)));
}

VstInt32 AudioEffectX::getHostLanguage() {
    return asInt32(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::getDirectory() {
    return asPointer<void>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay() {
    return asBool(callHost(audioMasterUpdateDisplay));
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return asBool(callHost(audioMasterSizeWindow, width, height));
}

bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
    return ptr != nullptr && asBool(callHost(audioMasterOpenFileSelector, 0, 0, ptr));
}

bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) {
    return ptr != nullptr && asBool(callHost(audioMasterCloseFileSelector, 0, 0, ptr));
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource) {
    return asBool(callHost(audioMasterOfflineRead, oneOrZero(readSource), option, offline));
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
    return asBool(callHost(audioMasterOfflineWrite, 0, option, offline));
}

bool AudioEffectX::offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles,
                                VstInt32 numNewAudioFiles) {
    return asBool(callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr));
}

VstInt32 AudioEffectX::offlineGetCurrentPass() {
    return oneOrZero(asBool(callHost(audioMasterOfflineGetCurrentPass)));
}

VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
    return oneOrZero(asBool(callHost(audioMasterOfflineGetCurrentMetaPass)));
}

void AudioEffectX::wantEvents(VstInt32 filter) {
    callHost(audioMasterWantMidi, 0, filter);
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) {
    return asInt32(callHost(audioMasterTempoAt, 0, pos));
}

VstInt32 AudioEffectX::getNumAutomatableParameters() {
    return asInt32(callHost(audioMasterGetNumAutomatableParameters));
}

VstInt32 AudioEffectX::getParameterQuantization() {
    return asInt32(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::needIdle() {
    return asBool(callHost(audioMasterNeedIdle));
}

AEffect* AudioEffectX::getPreviousPlug(VstInt32 /*input*/) {  // the request carries no pin
    return asPointer<AEffect>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(VstInt32 /*output*/) {
    return asPointer<AEffect>(callHost(audioMasterGetNextPlug));
}

VstInt32 AudioEffectX::willProcessReplacing() {
    return asInt32(callHost(audioMasterWillReplaceOrAccumulate));
}

void AudioEffectX::setOutputSamplerate(float samplerate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return asPointer<VstSpeakerArrangement>(callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return asPointer<VstSpeakerArrangement>(callHost(audioMasterGetOutputSpeakerArrangement));
}

void* AudioEffectX::openWindow(VstWindow* window) {
    return asPointer<void>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
    return asBool(callHost(audioMasterCloseWindow, 0, 0, window));
}

bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath != nullptr && asBool(callHost(audioMasterGetChunkFile, 0, 0, nativePath));
}
