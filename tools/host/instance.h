#pragma once
// One instance of a plug-in, driven only through its record, as a host drives it: open,
// configure (sample rate, block size, precision), start, process in either precision, stop,
// close. varic, the validator, the benchmarks and the host-level tests all drive plug-ins
// through it.

#include <memory>
#include <string>
#include <vector>

#include "plugin_host.h"

namespace vsthost {

// The sample type of processing calls: processReplacing or processDoubleReplacing.
enum class Precision { float32, float64 };

// "32-bit" or "64-bit".
const char* precisionName(Precision precision);

// The precision of a sample type, and the one table from precision to sample type: calls
// body(Sample{}) with a zero of the precision's type.
template <class Sample>
constexpr Precision precisionOf() {
    static_assert(sizeof(Sample) == 4 || sizeof(Sample) == 8);
    return sizeof(Sample) == 4 ? Precision::float32 : Precision::float64;
}
template <class Body>
decltype(auto) withSampleType(Precision precision, Body&& body) {
    if (precision == Precision::float32) return body(0.0f);
    return body(0.0);
}

// Why no instance was made.
enum class EntryFault { none, noEntry, noInstance, notAnEffect };

class Instance {
public:
    // Calls the entry with the host's callback (a null host passes a null callback). Null,
    // with a reason in *error and its kind in *fault, when the binary exports no entry, the
    // entry answers null, or its record lacks the effect's magic.
    static std::unique_ptr<Instance> create(const PluginLibrary& library, Host* host,
                                            std::string* error, EntryFault* fault = nullptr);
    // create(), then effOpen, as a host opens an instance.
    static std::unique_ptr<Instance> open(const PluginLibrary& library, Host* host,
                                          std::string* error, EntryFault* fault = nullptr);
    // The same with a host of its own that answers from the table.
    static std::unique_ptr<Instance> open(const PluginLibrary& library, const HostAnswers& answers,
                                          std::string* error, EntryFault* fault = nullptr);
    // Adopts a record made some other way; the instance is closed on destruction.
    static std::unique_ptr<Instance> adopt(AEffect* effect, Host* host);
    ~Instance();  // switches off if on, then sends effClose unless close() did
    Instance(Instance&& other) noexcept;  // the other is left closed
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    Instance& operator=(Instance&&) = delete;

    AEffect* effect() const { return effect_; }
    AEffect& record() const { return *effect_; }
    int inputs() const { return effect_->numInputs; }
    int outputs() const { return effect_->numOutputs; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // A text request (name, display, label, vendor...) into a fresh buffer.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);

    // Replacing processing in that precision: the flag set and the routine present.
    bool offers(Precision precision) const;
    std::vector<Precision> precisions() const;  // those offered, 32-bit first
    // offers(), or for 32-bit samples the accumulating routine, which processBlock uses.
    bool canProcess(Precision precision) const;

    // The record's processing routines, called as they are. The thread counts as inside a
    // processing call for the host's answers and its watch.
    void process(float** inputs, float** outputs, VstInt32 frames);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames);
    // Replacing processing in the samples' own precision.
    void processSamples(float** inputs, float** outputs, VstInt32 frames) {
        processReplacing(inputs, outputs, frames);
    }
    void processSamples(double** inputs, double** outputs, VstInt32 frames) {
        processDoubleReplacing(inputs, outputs, frames);
    }
    // One block into separate outputs, where canProcess(): replacing processing, or for 32-bit
    // samples without it the accumulating routine onto zeroed outputs.
    void processBlock(float** inputs, float** outputs, VstInt32 frames);
    void processBlock(double** inputs, double** outputs, VstInt32 frames);

    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(VstInt32 frames) { dispatch(effSetBlockSize, 0, frames); }
    void resume() { dispatch(effMainsChanged, 0, 1); }
    void suspend() { dispatch(effMainsChanged, 0, 0); }

    // What start() tells the effect, and from now on the host answers when asked.
    void configure(float sampleRate, VstInt32 maxBlock, Precision precision);
    // The requests a host sends before audio (sample rate, largest block, precision, switch
    // on, start processing), and those that end it (stop processing, switch off). start()
    // with arguments configures first; stop() does nothing when not started.
    void start();
    void start(float sampleRate, VstInt32 maxBlock, Precision precision);
    void stop();
    bool running() const { return running_; }

    // Sends effClose and returns its answer; the record is gone afterwards. Sent as it stands,
    // without switching off first, as a host that quits does.
    VstIntPtr close();

private:
    Instance(AEffect* effect, Host* host) : effect_(effect), host_(host) {}
    HostWatch* watch() const { return host_ != nullptr ? host_->watch() : nullptr; }

    AEffect* effect_;
    Host* host_;
    std::unique_ptr<Host> ownHost_;  // when the instance has a host of its own
    float sampleRate_ = 44100.0f;
    VstInt32 maxBlock_ = 4096;
    Precision precision_ = Precision::float32;
    bool running_ = false;
};

}  // namespace vsthost
