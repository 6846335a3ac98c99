#include "instance.h"

#include <algorithm>
#include <utility>

namespace vsthost {
namespace {

// A call into the plug-in, named to the host's watch for its duration.
class WatchedCall {
public:
    WatchedCall(HostWatch* watch, const char* call) : watch_(watch) {
        if (watch_) watch_->calling(call);
    }
    ~WatchedCall() {
        if (watch_) watch_->returned();
    }
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

private:
    HostWatch* watch_;
};

}  // namespace

// Marks the calling thread as inside a processing call, for the host's answers and its watch.
class ProcessingCall {
public:
    explicit ProcessingCall(HostWatch* watch) : watch_(watch) {
        Host::inProcessing() = true;
        if (watch_) watch_->processing(true);
    }
    ~ProcessingCall() {
        if (watch_) watch_->processing(false);
        Host::inProcessing() = false;
    }
    ProcessingCall(const ProcessingCall&) = delete;
    ProcessingCall& operator=(const ProcessingCall&) = delete;

private:
    HostWatch* watch_;
};

const char* precisionName(Precision precision) {
    return precision == Precision::float32 ? "32-bit" : "64-bit";
}

std::unique_ptr<Instance> Instance::create(const PluginLibrary& library, Host* host,
                                           std::string* error, EntryFault* fault) {
    const auto fail = [&](EntryFault kind, const std::string& reason) {
        if (error) *error = reason;
        if (fault) *fault = kind;
        return nullptr;
    };
    const VSTPluginMainProc entry = library.entry();
    if (entry == nullptr) {
        return fail(EntryFault::noEntry,
                    library.path() + " exports neither VSTPluginMain nor main");
    }
    Host*& entering = Host::hostOfEntryCall();
    Host* const saved = entering;
    AEffect* effect = nullptr;
    {
        const WatchedCall call(host ? host->watch() : nullptr, "the entry (VSTPluginMain)");
        entering = host;
        effect = entry(host != nullptr ? &Host::callback : nullptr);
        entering = saved;
    }
    if (effect == nullptr) {
        return fail(EntryFault::noInstance,
                    library.path() + ": the plug-in's entry made no instance");
    }
    if (effect->magic != kEffectMagic) {
        // Not ours to close: its routines cannot be trusted.
        return fail(EntryFault::notAnEffect,
                    library.path() + ": the entry's record is not a VST effect");
    }
    if (fault) *fault = EntryFault::none;
    return adopt(effect, host);
}

std::unique_ptr<Instance> Instance::open(const PluginLibrary& library, Host* host,
                                         std::string* error, EntryFault* fault) {
    std::unique_ptr<Instance> instance = create(library, host, error, fault);
    if (instance) {
        const WatchedCall call(instance->watch(), "request 0 effOpen");
        instance->dispatch(effOpen);
    }
    return instance;
}

std::unique_ptr<Instance> Instance::open(const PluginLibrary& library, const HostAnswers& answers,
                                         std::string* error, EntryFault* fault) {
    auto host = std::make_unique<Host>(answers);
    std::unique_ptr<Instance> instance = open(library, host.get(), error, fault);
    if (instance) instance->ownHost_ = std::move(host);
    return instance;
}

std::unique_ptr<Instance> Instance::adopt(AEffect* effect, Host* host) {
    effect->user = host;
    return std::unique_ptr<Instance>(new Instance(effect, host));
}

Instance::~Instance() {
    if (effect_ == nullptr) return;
    stop();
    close();
}

Instance::Instance(Instance&& other) noexcept
    : effect_(std::exchange(other.effect_, nullptr)),
      host_(other.host_),
      ownHost_(std::move(other.ownHost_)),
      sampleRate_(other.sampleRate_),
      maxBlock_(other.maxBlock_),
      precision_(other.precision_),
      running_(std::exchange(other.running_, false)) {}

VstIntPtr Instance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Instance::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    std::vector<char> buffer(1024, '\0');  // far beyond what any request writes
    dispatch(opcode, index, value, buffer.data());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void Instance::setParameter(VstInt32 index, float value) {
    effect_->setParameter(effect_, index, value);
}

float Instance::getParameter(VstInt32 index) {
    return effect_->getParameter(effect_, index);
}

bool Instance::offers(Precision precision) const {
    if (precision == Precision::float32) {
        return (effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr;
    }
    return (effect_->flags & effFlagsCanDoubleReplacing) != 0 &&
           effect_->processDoubleReplacing != nullptr;
}

std::vector<Precision> Instance::precisions() const {
    std::vector<Precision> offered;
    for (Precision p : {Precision::float32, Precision::float64}) {
        if (offers(p)) offered.push_back(p);
    }
    return offered;
}

bool Instance::canProcess(Precision precision) const {
    return offers(precision) || (precision == Precision::float32 && effect_->process != nullptr);
}

void Instance::process(float** inputs, float** outputs, VstInt32 frames) {
    const ProcessingCall call(watch());
    effect_->process(effect_, inputs, outputs, frames);
}

void Instance::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    const ProcessingCall call(watch());
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void Instance::processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) {
    const ProcessingCall call(watch());
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
}

void Instance::processBlock(float** inputs, float** outputs, VstInt32 frames) {
    if (offers(Precision::float32)) {
        processReplacing(inputs, outputs, frames);
        return;
    }
    std::fill(outputs[0], outputs[0] + frames, 0.0f);
    std::fill(outputs[1], outputs[1] + frames, 0.0f);
    process(inputs, outputs, frames);
}

void Instance::processBlock(double** inputs, double** outputs, VstInt32 frames) {
    processDoubleReplacing(inputs, outputs, frames);
}

void Instance::configure(float sampleRate, VstInt32 maxBlock, Precision precision) {
    sampleRate_ = sampleRate;
    maxBlock_ = maxBlock;
    precision_ = precision;
    if (host_ != nullptr) host_->setSettings(sampleRate, maxBlock);
}

void Instance::start(float sampleRate, VstInt32 maxBlock, Precision precision) {
    configure(sampleRate, maxBlock, precision);
    start();
}

void Instance::start() {
    const WatchedCall call(watch(),
                           "switching on (effSetSampleRate, effSetBlockSize, "
                           "effSetProcessPrecision, effMainsChanged 1, effStartProcess)");
    setSampleRate(sampleRate_);
    setBlockSize(maxBlock_);
    dispatch(effSetProcessPrecision, 0, precision_ == Precision::float64 ? 1 : 0);
    resume();
    dispatch(effStartProcess);
    running_ = true;
}

void Instance::stop() {
    if (!running_) return;
    const WatchedCall call(watch(), "switching off (effStopProcess, effMainsChanged 0)");
    dispatch(effStopProcess);
    suspend();
    running_ = false;
}

VstIntPtr Instance::close() {
    const WatchedCall call(
        watch(), running_ ? "request 1 effClose, sent while switched on" : "request 1 effClose");
    AEffect* const effect = effect_;
    effect_ = nullptr;
    running_ = false;
    return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace vsthost
