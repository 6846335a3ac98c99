#include "tools/validate/check_support.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <random>
#include <thread>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace validate {

std::string format(const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

void Context::at(const std::string& what) {
    std::fprintf(results_, "at %s\n", what.c_str());
    std::fflush(results_);
}

const vsthost::PluginLibrary& Context::library() {
    if (!library_) {
        std::string error;
        library_ = vsthost::PluginLibrary::load(plugin_, &error);
        if (!library_) throw CheckFailed(error);
        if (library_->entry() != nullptr)
            watchLibrary(reinterpret_cast<const void*>(library_->entry()));
    }
    return *library_;
}

// ---- The validator's host ---------------------------------------------------------------------

namespace {

constexpr long kMaxRecorded = 4096;
SentRequest recorded[kMaxRecorded];
std::atomic<long> recordedCount{0};
thread_local bool inEntry = false;
thread_local bool inProcessing = false;
const std::thread::id mainThread = std::this_thread::get_id();

// What the host tells an instance when asked; set by Instance::start.
std::atomic<float> hostSampleRate{44100.0f};
std::atomic<int> hostBlockSize{8192};

constexpr VstIntPtr kProcessLevelUser = 1;
constexpr VstIntPtr kProcessLevelRealtime = 2;

VstIntPtr copyText(void* buffer, const char* text) {
    if (buffer == nullptr) return 0;
    std::snprintf(static_cast<char*>(buffer), 64, "%s", text);
    return 1;
}

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void* ptr, float) {
    const UnwatchedScope hostCode;  // the host's own work is not the plug-in's
    const long slot = recordedCount.fetch_add(1);
    if (slot < kMaxRecorded) {
        recorded[slot] = SentRequest{opcode, value, inProcessing,
                                     std::this_thread::get_id() == mainThread, inEntry};
    }
    switch (opcode) {
        case audioMasterVersion: return kVstVersion;
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(hostSampleRate.load());
        case audioMasterGetBlockSize: return hostBlockSize.load();
        case audioMasterGetCurrentProcessLevel:
            return inProcessing ? kProcessLevelRealtime : kProcessLevelUser;
        case audioMasterGetVendorString: return copyText(ptr, "Varic");
        case audioMasterGetProductString: return copyText(ptr, "varic validate");
        case audioMasterGetVendorVersion: return 1000;
        default: return 0;
    }
}

constexpr const char* kHostRequestNames[] = {
    "audioMasterAutomate",
    "audioMasterVersion",
    "audioMasterCurrentId",
    "audioMasterIdle",
    "audioMasterPinConnected",
    "5",
    "audioMasterWantMidi",
    "audioMasterGetTime",
    "audioMasterProcessEvents",
    "audioMasterSetTime",
    "audioMasterTempoAt",
    "audioMasterGetNumAutomatableParameters",
    "audioMasterGetParameterQuantization",
    "audioMasterIOChanged",
    "audioMasterNeedIdle",
    "audioMasterSizeWindow",
    "audioMasterGetSampleRate",
    "audioMasterGetBlockSize",
    "audioMasterGetInputLatency",
    "audioMasterGetOutputLatency",
    "audioMasterGetPreviousPlug",
    "audioMasterGetNextPlug",
    "audioMasterWillReplaceOrAccumulate",
    "audioMasterGetCurrentProcessLevel",
    "audioMasterGetAutomationState",
    "audioMasterOfflineStart",
    "audioMasterOfflineRead",
    "audioMasterOfflineWrite",
    "audioMasterOfflineGetCurrentPass",
    "audioMasterOfflineGetCurrentMetaPass",
    "audioMasterSetOutputSampleRate",
    "audioMasterGetOutputSpeakerArrangement",
    "audioMasterGetVendorString",
    "audioMasterGetProductString",
    "audioMasterGetVendorVersion",
    "audioMasterVendorSpecific",
    "audioMasterSetIcon",
    "audioMasterCanDo",
    "audioMasterGetLanguage",
    "audioMasterOpenWindow",
    "audioMasterCloseWindow",
    "audioMasterGetDirectory",
    "audioMasterUpdateDisplay",
    "audioMasterBeginEdit",
    "audioMasterEndEdit",
    "audioMasterOpenFileSelector",
    "audioMasterCloseFileSelector",
    "audioMasterEditFile",
    "audioMasterGetChunkFile",
    "audioMasterGetInputSpeakerArrangement",
};

constexpr const char* kEffectRequestNames[] = {
    "effOpen",
    "effClose",
    "effSetProgram",
    "effGetProgram",
    "effSetProgramName",
    "effGetProgramName",
    "effGetParamLabel",
    "effGetParamDisplay",
    "effGetParamName",
    "effGetVu",
    "effSetSampleRate",
    "effSetBlockSize",
    "effMainsChanged",
    "effEditGetRect",
    "effEditOpen",
    "effEditClose",
    "effEditDraw",
    "effEditMouse",
    "effEditKey",
    "effEditIdle",
    "effEditTop",
    "effEditSleep",
    "effIdentify",
    "effGetChunk",
    "effSetChunk",
    "effProcessEvents",
    "effCanBeAutomated",
    "effString2Parameter",
    "effGetNumProgramCategories",
    "effGetProgramNameIndexed",
    "effCopyProgram",
    "effConnectInput",
    "effConnectOutput",
    "effGetInputProperties",
    "effGetOutputProperties",
    "effGetPlugCategory",
    "effGetCurrentPosition",
    "effGetDestinationBuffer",
    "effOfflineNotify",
    "effOfflinePrepare",
    "effOfflineRun",
    "effProcessVarIo",
    "effSetSpeakerArrangement",
    "effSetBlockSizeAndSampleRate",
    "effSetBypass",
    "effGetEffectName",
    "effGetErrorText",
    "effGetVendorString",
    "effGetProductString",
    "effGetVendorVersion",
    "effVendorSpecific",
    "effCanDo",
    "effGetTailSize",
    "effIdle",
    "effGetIcon",
    "effSetViewPosition",
    "effGetParameterProperties",
    "effKeysRequired",
    "effGetVstVersion",
    "effEditKeyDown",
    "effEditKeyUp",
    "effSetEditKnobMode",
    "effGetMidiProgramName",
    "effGetCurrentMidiProgram",
    "effGetMidiProgramCategory",
    "effHasMidiProgramsChanged",
    "effGetMidiKeyName",
    "effBeginSetProgram",
    "effEndSetProgram",
    "effGetSpeakerArrangement",
    "effShellGetNextPlugin",
    "effStartProcess",
    "effStopProcess",
    "effSetTotalSampleToProcess",
    "effSetPanLaw",
    "effBeginLoadBank",
    "effBeginLoadProgram",
    "effSetProcessPrecision",
    "effGetNumMidiInputChannels",
    "effGetNumMidiOutputChannels",
};
static_assert(std::size(kEffectRequestNames) == 80);

// A processing call as the thread sees it: watched by the hooks and marked for the host.
struct InProcessing {
    InProcessing() { inProcessing = true; }
    ~InProcessing() { inProcessing = false; }
    ProcessingScope watched;
};

}  // namespace

std::vector<SentRequest> sentRequests() {
    const long count = std::min(recordedCount.load(), kMaxRecorded);
    return std::vector<SentRequest>(recorded, recorded + count);
}

long sentRequestCount() {
    return recordedCount.load();
}

void clearSentRequests() {
    recordedCount = 0;
}

std::string hostRequestName(VstInt32 opcode) {
    if (opcode >= 0 && opcode < static_cast<VstInt32>(std::size(kHostRequestNames))) {
        return kHostRequestNames[opcode];
    }
    return "host request " + std::to_string(opcode);
}

std::string effectRequestName(VstInt32 opcode) {
    const std::string number = std::to_string(opcode);
    if (opcode >= 0 && opcode < 80) return number + " " + kEffectRequestNames[opcode];
    return number;
}

const char* precisionName(Precision precision) {
    return precision == Precision::float32 ? "32-bit" : "64-bit";
}

// ---- Instance ---------------------------------------------------------------------------------

Instance::Instance(Context& context) {
    const VSTPluginMainProc entry = context.library().entry();
    if (entry == nullptr) throw CheckFailed("the binary exports neither VSTPluginMain nor main");
    inEntry = true;
    AEffect* const effect = entry(&hostCallback);
    inEntry = false;
    if (effect == nullptr) throw CheckFailed("the entry made no instance (it returned null)");
    if (effect->magic != kEffectMagic)
        throw CheckFailed("the entry's record lacks the 'VstP' magic");
    plugin_ = vsthost::Plugin::adopt(effect, nullptr);
    plugin_->dispatch(effOpen);
}

bool Instance::offers(Precision precision) const {
    const AEffect& e = record();
    if (precision == Precision::float32) {
        return (e.flags & effFlagsCanReplacing) != 0 && e.processReplacing != nullptr;
    }
    return (e.flags & effFlagsCanDoubleReplacing) != 0 && e.processDoubleReplacing != nullptr;
}

std::vector<Precision> Instance::precisions() const {
    std::vector<Precision> offered;
    for (Precision p : {Precision::float32, Precision::float64}) {
        if (offers(p)) offered.push_back(p);
    }
    return offered;
}

void Instance::start(float sampleRate, int maxBlock, Precision precision) {
    hostSampleRate = sampleRate;
    hostBlockSize = maxBlock;
    plugin_->start(sampleRate, maxBlock, precision);
    running_ = true;
}

void Instance::stop() {
    if (!running_) return;
    plugin_->stop();
    running_ = false;
}

void Instance::process(float** inputs, float** outputs, int frames) {
    const InProcessing scope;
    plugin_->processReplacing(inputs, outputs, frames);
}

void Instance::process(double** inputs, double** outputs, int frames) {
    const InProcessing scope;
    plugin_->processDoubleReplacing(inputs, outputs, frames);
}

// ---- Buffers and signals ----------------------------------------------------------------------

template <class Sample>
void fillSignal(Channels<Sample>& channels, int frames, unsigned seed, long start) {
    std::mt19937 random(seed + static_cast<unsigned>(start));
    std::uniform_real_distribution<double> noise(-0.2, 0.2);
    for (int c = 0; c < channels.count(); ++c) {
        const double step = 0.0113 * (c + 1) + 0.001 * (seed % 7);
        for (int n = 0; n < frames; ++n) {
            const double phase = step * static_cast<double>(start + n);
            channels.channel(c)[n] = static_cast<Sample>(0.3 * std::sin(phase) + noise(random));
        }
    }
}

template <class Sample>
std::string firstBadSample(const Channels<Sample>& channels, int frames, bool subnormalsToo) {
    for (int n = 0; n < frames; ++n) {
        for (int c = 0; c < channels.count(); ++c) {
            const Sample value = channels.channel(c)[n];
            const int kind = std::fpclassify(value);
            const char* what = kind == FP_NAN                          ? "NaN"
                               : kind == FP_INFINITE                   ? "an infinity"
                               : kind == FP_SUBNORMAL && subnormalsToo ? "a subnormal"
                                                                       : nullptr;
            if (what != nullptr) return format("%s in output %d at frame %d", what, c, n);
        }
    }
    return "";
}

template <class Sample>
bool identical(const Channels<Sample>& a, const Channels<Sample>& b, int frames) {
    for (int c = 0; c < a.count(); ++c) {
        if (std::memcmp(a.channel(c), b.channel(c),
                        sizeof(Sample) * static_cast<std::size_t>(frames)) != 0) {
            return false;
        }
    }
    return true;
}

template void fillSignal(Channels<float>&, int, unsigned, long);
template void fillSignal(Channels<double>&, int, unsigned, long);
template std::string firstBadSample(const Channels<float>&, int, bool);
template std::string firstBadSample(const Channels<double>&, int, bool);
template bool identical(const Channels<float>&, const Channels<float>&, int);
template bool identical(const Channels<double>&, const Channels<double>&, int);

// ---- GuardedMemory ----------------------------------------------------------------------------

namespace {
std::size_t pageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}
}  // namespace

GuardedMemory::GuardedMemory(std::size_t size, unsigned char fill) : size_(size) {
    const std::size_t page = pageSize();
    const std::size_t usable = (size + page - 1) / page * page;
    mapped_ = usable + page;
#ifdef _WIN32
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, mapped_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD previous = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + usable, page, PAGE_NOACCESS, &previous)) {
        throw std::runtime_error("cannot make a guard page");
    }
#else
    void* const mapped =
        mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("cannot map memory for a guard page");
    base_ = static_cast<char*>(mapped);
    if (mprotect(base_ + usable, page, PROT_NONE) != 0)
        throw std::runtime_error("cannot make a guard page");
#endif
    data_ = base_ + usable - size;
    std::memset(data_, fill, size);
}

GuardedMemory::~GuardedMemory() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, mapped_);
#endif
}

}  // namespace validate
