// The checks of loading, requests and lifecycle: what a host sees of the binary and its
// record, every request with benign arguments, and instances made and ended many times.

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <thread>

#include "check_support.h"

namespace validate {
namespace {

Outcome pass(std::string detail) {
    return {Verdict::pass, std::move(detail)};
}

// ---- loading ----------------------------------------------------------------------------------

Outcome entry(Context& context) {
    context.at("loading the binary");
    const vsthost::PluginLibrary& library = context.library();
    const bool modern = library.symbol("VSTPluginMain") != nullptr;
    context.at("making an instance and closing it");
    {
        Instance instance = openInstance(context);
        // Which checks can run: those that process need a replacing routine.
        std::string offers = "offers";
        for (Precision precision : instance.precisions())
            offers += std::string(" ") + precisionName(precision);
        context.tell(offers);
    }
    if (!modern) {
        return {Verdict::warn, "exports only the older name main, not VSTPluginMain"};
    }
    return pass("VSTPluginMain makes an instance whose record has the 'VstP' magic");
}

Outcome versionFirst(Context& context) {
    context.host().clearRequests();
    context.at("calling the entry");
    Instance instance = openInstance(context);
    std::vector<vsthost::HostRequest> during;
    for (const vsthost::HostRequest& r : context.host().requests()) {
        if (r.duringEntry) during.push_back(r);
    }
    if (during.empty()) {
        return {Verdict::warn, "the entry never asks the host's version (audioMasterVersion)"};
    }
    if (during.front().opcode != audioMasterVersion) {
        throw CheckFailed("the entry sent " + hostRequestName(during.front().opcode) +
                          " before asking the host's version");
    }
    return pass(format("the entry asks the host's version first (%zu request%s during the entry)",
                       during.size(), during.size() == 1 ? "" : "s"));
}

// True when the 64-bit routine writes its outputs: a real routine, not the empty one that
// a framework puts in every record.
bool writesDoubleOutput(Instance& instance) {
    if (instance.record().processReplacing == nullptr ||
        (instance.record().flags & effFlagsCanReplacing) == 0) {
        return false;  // hosts cannot process it at all; the check says so above
    }
    instance.start(44100.0f, 64, Precision::float32);
    Channels<double> in(instance.inputs(), 64), out(instance.outputs(), 64);
    fillSignal(in, 64, 2);
    for (int c = 0; c < out.count(); ++c) out.fill(c, 0, 64, 7.0);
    instance.processSamples(in.at(), out.at(), 64);
    instance.stop();
    for (int c = 0; c < out.count(); ++c) {
        for (int n = 0; n < 64; ++n) {
            if (out.channel(c)[n] != 7.0) return true;
        }
    }
    return false;
}

Outcome record(Context& context) {
    Instance instance = openInstance(context);
    const AEffect& e = instance.record();
    const auto require = [](bool ok, const std::string& fault) {
        if (!ok) throw CheckFailed(fault);
    };
    require(e.dispatcher != nullptr && e.setParameter != nullptr && e.getParameter != nullptr,
            "the record lacks its dispatcher, setParameter or getParameter routine");
    require((e.flags & effFlagsCanReplacing) != 0,
            "effFlagsCanReplacing is not set: VST 2.4 hosts process through processReplacing");
    require(e.processReplacing != nullptr,
            "effFlagsCanReplacing is set but processReplacing is null");
    require((e.flags & effFlagsCanDoubleReplacing) == 0 || e.processDoubleReplacing != nullptr,
            "effFlagsCanDoubleReplacing is set but processDoubleReplacing is null");
    require(
        e.numInputs >= 0 && e.numInputs <= 256 && e.numOutputs > 0 && e.numOutputs <= 256,
        format("channel counts out of range: %d inputs, %d outputs", e.numInputs, e.numOutputs));
    require(
        e.numParams >= 0 && e.numParams <= 100000 && e.numPrograms >= 0 && e.numPrograms <= 100000,
        format("counts out of range: %d parameters, %d programs", e.numParams, e.numPrograms));
    require(e.initialDelay >= 0, format("negative initial delay %d", e.initialDelay));
    require(e.uniqueID != 0, "the unique ID is not set: hosts tell plug-ins apart by it");
    const std::string summary = format(
        "flags 0x%X, %d in, %d out, %d parameter%s, %d program%s, ID '%s', delay %d", e.flags,
        e.numInputs, e.numOutputs, e.numParams, e.numParams == 1 ? "" : "s", e.numPrograms,
        e.numPrograms == 1 ? "" : "s", vsthost::fourChars(e.uniqueID).c_str(), e.initialDelay);
    if ((e.flags & effFlagsCanDoubleReplacing) == 0 && e.processDoubleReplacing != nullptr &&
        writesDoubleOutput(instance)) {
        return {Verdict::warn,
                "processDoubleReplacing writes output, but effFlagsCanDoubleReplacing is not "
                "set: hosts will never call it (" +
                    summary + ")"};
    }
    return pass(summary);
}

// The text a request writes into a large buffer; throws when it is not terminated, printable
// text.
std::string askText(Instance& instance, VstInt32 opcode, VstInt32 index, const char* what) {
    GuardedMemory buffer(1024, 0xAA);
    instance.dispatch(opcode, index, 0, buffer.data());
    if (static_cast<unsigned char>(buffer.data()[0]) == 0xAA &&
        buffer.data()[1] == buffer.data()[0])
        return "";  // none
    const char* end = static_cast<const char*>(std::memchr(buffer.data(), '\0', buffer.size()));
    if (end == nullptr)
        throw CheckFailed(std::string(what) + " is not terminated within 1024 bytes");
    const std::string text(static_cast<const char*>(buffer.data()), end);
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            throw CheckFailed(format("%s holds control character 0x%02X", what, c));
    }
    return text;
}

Outcome names(Context& context) {
    Instance instance = openInstance(context);
    context.at("the effect's name, vendor and product");
    const std::string name = askText(instance, effGetEffectName, 0, "the effect name");
    const std::string vendor = askText(instance, effGetVendorString, 0, "the vendor string");
    const std::string product = askText(instance, effGetProductString, 0, "the product string");
    const int params = std::min(instance.record().numParams, 1024);
    for (int p = 0; p < params; ++p) {
        context.at(format("the name of parameter %d", p));
        askText(instance, effGetParamName, p, format("the name of parameter %d", p).c_str());
    }
    context.at("the program name");
    askText(instance, effGetProgramName, 0, "the program name");
    if (name.empty()) return {Verdict::warn, "no effect name: hosts show the file name instead"};
    return pass("\"" + name + "\" by \"" + vendor + "\", product \"" + product + "\"");
}

// ---- requests ---------------------------------------------------------------------------------

// Sends one request with arguments a host could send at that point; returns its answer.
VstIntPtr sendBenign(Instance& instance, VstInt32 opcode) {
    GuardedMemory block(1024);  // zeroed records and texts, ending at a guard page
    GuardedMemory slots(16);    // two pointer slots for the requests that write pointers
    const AEffect& e = instance.record();
    VstIntPtr value = 0;
    void* ptr = block.data();
    float opt = 0.0f;
    const auto arrangement = [](GuardedMemory& memory, int channels) {
        std::memcpy(memory.data() + 4, &channels, 4);
        const VstInt32 userDefined = -2;
        std::memcpy(memory.data(), &userDefined, 4);
        return memory.data();
    };
    GuardedMemory inputs(8 + 112 * static_cast<std::size_t>(std::max(e.numInputs, 8)));
    GuardedMemory outputs(8 + 112 * static_cast<std::size_t>(std::max(e.numOutputs, 8)));
    switch (opcode) {
        case effOpen:
        case effSetProgram:
        case effEditClose:
        case effEditKeyDown:
        case effEditKeyUp: ptr = nullptr; break;
        case effSetProgramName: std::strcpy(block.data(), "Validator"); break;
        case effSetSampleRate: opt = 44100.0f; break;
        case effSetBlockSize: value = 512; break;
        case effMainsChanged: value = 1; break;
        case effEditGetRect:
        case effGetChunk: ptr = slots.data(); break;
        case effEditOpen: ptr = nullptr; break;  // only sent without an editor
        case effString2Parameter: std::strcpy(block.data(), "0.5"); break;
        case effSetSpeakerArrangement:
            value = reinterpret_cast<VstIntPtr>(arrangement(inputs, e.numInputs));
            ptr = arrangement(outputs, e.numOutputs);
            break;
        case effSetBlockSizeAndSampleRate:
            value = 512;
            opt = 44100.0f;
            break;
        case effCanDo: std::strcpy(block.data(), "receiveVstTimeInfo"); break;
        case effGetSpeakerArrangement:
            value = reinterpret_cast<VstIntPtr>(slots.data());
            ptr = slots.data() + 8;
            break;
        case effSetTotalSampleToProcess: value = 44100; break;
        case effSetPanLaw: opt = 1.0f; break;
        default: break;
    }
    return instance.dispatch(opcode, 0, value, ptr, opt);
}

Outcome everyRequest(Context& context) {
    Instance instance = openInstance(context);
    const bool hasEditor = (instance.record().flags & effFlagsHasEditor) != 0;
    std::string answers;
    int sent = 0;
    const auto send = [&](VstInt32 opcode) {
        context.at("request " + effectRequestName(opcode));
        const VstIntPtr answer = sendBenign(instance, opcode);
        ++sent;
        if (answer != 0 && answers.size() < 200)
            answers += format(" %d:%lld", opcode, static_cast<long long>(answer));
    };
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        // Closing comes last; opening an editor needs a real window.
        if (opcode == effClose || (hasEditor && (opcode == effEditOpen || opcode == effEditClose)))
            continue;
        send(opcode);
    }
    for (VstInt32 opcode : {80, 81, 100, 1000, -1, 0x7FFFFFFF}) send(opcode);
    context.at("request 12 effMainsChanged (off)");
    instance.suspend();
    context.at("request 1 effClose");
    instance.close();
    return pass(format("%d requests answered, 6 of them outside 0..79%s; non-zero answers:%s",
                       sent + 2,
                       hasEditor ? " (editor open and close skipped: they need a window)" : "",
                       answers.empty() ? " none" : answers.c_str()));
}

// A text request into a buffer of the size hosts give, ending at a guard page: returns the
// bytes written, NUL included.
std::size_t textBytes(Context& context, Instance& instance, VstInt32 opcode, VstInt32 index,
                      VstIntPtr value, std::size_t size) {
    context.at(format("request %s, index %d, into %zu bytes", effectRequestName(opcode).c_str(),
                      index, size));
    GuardedMemory buffer(size, 0xAA);
    instance.dispatch(opcode, index, value, buffer.data());
    std::size_t written = size;
    while (written > 0 && static_cast<unsigned char>(buffer.data()[written - 1]) == 0xAA) --written;
    if (written > 0 && std::memchr(buffer.data(), '\0', written) == nullptr) {
        throw CheckFailed(format("request %s, index %d: %zu bytes without a NUL",
                                 effectRequestName(opcode).c_str(), index, written));
    }
    return written;
}

Outcome textAnswers(Context& context) {
    Instance instance = openInstance(context);
    struct Text {
        VstInt32 opcode;
        std::size_t size;  // what hosts give (parameter texts: the interface says 8, hosts 64)
        int indices;       // 1, or one request per parameter or program
    };
    const int params = std::min(instance.record().numParams, 1024);
    const int programs = std::min(instance.record().numPrograms, 128);
    const Text texts[] = {
        {effGetEffectName, 32, 1},
        {effGetVendorString, 64, 1},
        {effGetProductString, 64, 1},
        {effShellGetNextPlugin, 64, 1},
        {effGetErrorText, 256, 1},
        {effGetProgramName, 24, 1},
        {effGetProgramNameIndexed, 24, programs},
        {effGetParamName, 64, params},
        {effGetParamLabel, 64, params},
        {effGetParamDisplay, 64, params},
    };
    std::string report;
    for (const Text& text : texts) {
        std::size_t most = 0;
        for (int index = 0; index < text.indices; ++index) {
            most = std::max(most,
                            textBytes(context, instance, text.opcode, index,
                                      text.opcode == effGetProgramNameIndexed ? -1 : 0, text.size));
        }
        if (text.indices > 0) report += format(" %d:%zu/%zu", text.opcode, most, text.size);
    }
    return pass("bytes written of those given, per request (largest over all indices):" + report);
}

// Requests a plug-in may send only from the host's main (user-interface) thread.
bool mainThreadOnly(VstInt32 opcode) {
    switch (opcode) {
        case audioMasterIdle:
        case audioMasterIOChanged:
        case audioMasterSizeWindow:
        case audioMasterOpenWindow:
        case audioMasterCloseWindow:
        case audioMasterUpdateDisplay:
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
        case audioMasterOpenFileSelector:
        case audioMasterCloseFileSelector:
        case audioMasterEditFile: return true;
        default: return false;
    }
}

Outcome hostRequests(Context& context) {
    context.host().clearRequests();
    {
        Instance instance = openInstance(context);
        const Precision precision = firstPrecision(instance);
        instance.start(44100.0f, 256, precision);
        context.at("processing on a second thread while the first sends requests");
        std::thread audio([&] {
            Channels<float> in32(instance.inputs(), 256), out32(instance.outputs(), 256);
            Channels<double> in64(instance.inputs(), 256), out64(instance.outputs(), 256);
            for (int block = 0; block < (context.quick() ? 50 : 400); ++block) {
                if (precision == Precision::float32)
                    instance.processSamples(in32.at(), out32.at(), 256);
                else
                    instance.processSamples(in64.at(), out64.at(), 256);
            }
        });
        for (int p = 0; p < instance.record().numParams && p < 64; ++p) {
            instance.text(effGetParamDisplay, p);
        }
        audio.join();
        instance.stop();
    }
    std::map<std::string, int> seen;
    for (const vsthost::HostRequest& r : context.host().requests()) {
        if (r.fromProcessing && mainThreadOnly(r.opcode)) {
            throw CheckFailed(hostRequestName(r.opcode) +
                              " sent from a processing call; hosts take it only "
                              "on their main thread");
        }
        const char* where = r.fromProcessing            ? "a processing call"
                            : context.fromMainThread(r) ? "the main thread"
                                                        : "another thread";
        ++seen[hostRequestName(r.opcode) + " from " + where];
    }
    std::string report;
    for (const auto& [what, count] : seen)
        report += format("%s%d× %s", report.empty() ? "" : ", ", count, what.c_str());
    return pass(format("%ld request%s to the host, each from a thread allowed to send it: %s",
                       context.host().requestCount(), context.host().requestCount() == 1 ? "" : "s",
                       report.empty() ? "none" : report.c_str()));
}

// ---- lifecycle --------------------------------------------------------------------------------

// Makes an instance, takes it through one block of audio, and ends it: switched off first,
// as a host does while it runs, or closed while switched on, as a host that quits does.
void oneLife(Context& context, bool closeRunning = false) {
    Instance instance = openInstance(context);
    const Precision precision = firstPrecision(instance);
    instance.start(44100.0f, 64, precision);
    if (precision == Precision::float32) {
        Channels<float> in(instance.inputs(), 64), out(instance.outputs(), 64);
        fillSignal(in, 64, 1);
        instance.processSamples(in.at(), out.at(), 64);
    } else {
        Channels<double> in(instance.inputs(), 64), out(instance.outputs(), 64);
        fillSignal(in, 64, 1);
        instance.processSamples(in.at(), out.at(), 64);
    }
    if (closeRunning) instance.close();
}

// Times `count` calls of `step` into `times`, in the thread's processor time.
template <class Step>
void timeSteps(int count, std::vector<double>& times, const Step& step) {
    for (int i = 0; i < count; ++i) {
        const double started = threadSeconds();
        step(i);
        times.push_back(threadSeconds() - started);
    }
}

// Open/close cycles, after 10 to warm up: the heap must not grow, and a cycle late in the run
// must not cost more than one early in it.
Outcome cycles(Context& context, bool closeRunning, const char* what) {
    const int cycles = context.quick() ? 200 : 2000;
    const int window = std::max(cycles / 10, 50);  // the cycles early and late compared
    context.at("the first instances");
    for (int i = 0; i < 10; ++i) oneLife(context, closeRunning);  // set up once, on first use
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(cycles));  // no allocation of ours in the count
    const long long before = liveHeapBytes();
    timeSteps(cycles, times, [&](int i) {
        if (i % 100 == 0) context.at(format("%s cycle %d", what, i));
        oneLife(context, closeRunning);
    });
    const long long growth = liveHeapBytes() - before;
    const double early = medianOf({times.begin(), times.begin() + window});
    double late = medianOf({times.end() - window, times.end()});
    const std::string step = format("one %s cycle", what);
    for (int look = 1; look < kGrowthLooks && !growthFault(early, late, "").empty(); ++look) {
        context.at(format("%s cycles, looking again at their cost", what));
        std::vector<double> again;
        timeSteps(window, again, [&](int) { oneLife(context, closeRunning); });
        late = std::min(late, medianOf(again));
    }
    const std::string grew = growthFault(early, late, step.c_str());
    if (!grew.empty()) throw CheckFailed(grew);
    if (before < 0) {
        return {Verdict::info,
                format("%d %s cycles without a crash; heap growth is not measured in this build",
                       cycles, what)};
    }
    if (growth >= cycles) {
        throw CheckFailed(
            format("the heap grew by %lld bytes over %d %s cycles (%.0f per "
                   "instance): a leak",
                   growth, cycles, what, static_cast<double>(growth) / cycles));
    }
    return pass(format("%d %s cycles, heap %+lld bytes; %s", cycles, what, growth,
                       costSummary(early, late, "one cycle").c_str()));
}

Outcome openClose(Context& context) {
    return cycles(context, false, "open/process/close");
}

// Hosts that quit close their effects without switching them off first.
Outcome closeWhileOn(Context& context) {
    return cycles(context, true, "open/process/close-while-on");
}

Outcome manyInstances(Context& context) {
    const int count = context.quick() ? 32 : 256;
    std::vector<std::unique_ptr<Instance>> instances;
    for (int i = 0; i < count; ++i) {
        context.at(format("instance %d of %d", i + 1, count));
        instances.push_back(std::make_unique<Instance>(openInstance(context)));
        instances.back()->start(48000.0f, 128, firstPrecision(*instances.back()));
    }
    context.at("processing in every instance");
    for (auto& instance : instances) {
        Channels<float> in32(instance->inputs(), 128), out32(instance->outputs(), 128);
        Channels<double> in64(instance->inputs(), 128), out64(instance->outputs(), 128);
        if (instance->offers(Precision::float32))
            instance->processSamples(in32.at(), out32.at(), 128);
        else
            instance->processSamples(in64.at(), out64.at(), 128);
    }
    context.at("closing every other instance first");
    for (int parity : {1, 0}) {
        for (int i = parity; i < count; i += 2) instances[static_cast<std::size_t>(i)].reset();
    }
    return pass(format("%d instances alive at once, processed and closed out of order", count));
}

// The median time of 32 blocks of 256 frames at 44.1 kHz, switched on for them and off after.
double blockCost(Instance& instance, Precision precision) {
    instance.start(44100.0f, 256, precision);
    Channels<float> in32(instance.inputs(), 256), out32(instance.outputs(), 256);
    Channels<double> in64(instance.inputs(), 256), out64(instance.outputs(), 256);
    fillSignal(in32, 256, 9);
    fillSignal(in64, 256, 9);
    std::vector<double> times;
    timeSteps(32, times, [&](int) {
        if (precision == Precision::float32)
            instance.processSamples(in32.at(), out32.at(), 256);
        else
            instance.processSamples(in64.at(), out64.at(), 256);
    });
    instance.stop();
    return medianOf(times);
}

// Switching on and off, rate and block-size changes, parameter changes and blocks, in an order
// drawn from a fixed seed, as hosts send them in any order; every block's output is checked.
class RandomChanges {
public:
    static constexpr int kMaxBlock = 4096;

    RandomChanges(Context& context, Instance& instance)
        : context_(context),
          instance_(instance),
          precisions_(instance.precisions()),
          params_(instance.record().numParams),
          in32_(instance.inputs(), kMaxBlock),
          out32_(instance.outputs(), kMaxBlock),
          in64_(instance.inputs(), kMaxBlock),
          out64_(instance.outputs(), kMaxBlock) {
        fillSignal(in32_, kMaxBlock, 3);
        fillSignal(in64_, kMaxBlock, 3);
    }

    bool on() const { return on_; }

    void step(int step) {
        const float rates[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
        const int action = static_cast<int>(random_() % 6);
        const float rate = rates[random_() % std::size(rates)];
        const int size =
            1 +
            static_cast<int>(random_() % static_cast<unsigned>(action == 3 ? kMaxBlock : block_));
        const int param =
            params_ > 0 ? static_cast<int>(random_() % static_cast<unsigned>(params_)) : -1;
        const float value = static_cast<float>(random_() % 1001) / 1000.0f;
        const Precision precision = precisions_[random_() % precisions_.size()];
        switch (action) {
            case 0:
                context_.at(format("step %d: switching on", step));
                instance_.resume();
                on_ = true;
                break;
            case 1:
                context_.at(format("step %d: switching off", step));
                instance_.suspend();
                on_ = false;
                break;
            case 2:
                context_.at(format("step %d: sample rate %g", step, rate));
                instance_.setSampleRate(rate);
                break;
            case 3:
                context_.at(format("step %d: block size %d", step, size));
                block_ = size;
                instance_.setBlockSize(block_);
                break;
            case 4:
                if (param < 0) break;
                context_.at(format("step %d: parameter %d to %g", step, param, value));
                instance_.setParameter(param, value);
                break;
            default:
                if (on_) process(step, precision, size);
        }
    }

private:
    void process(int step, Precision precision, int size) {
        context_.at(
            format("step %d: %s processing of %d frames", step, precisionName(precision), size));
        std::string bad;
        if (precision == Precision::float32) {
            instance_.processSamples(in32_.at(), out32_.at(), size);
            bad = firstBadSample(out32_, size, false);
        } else {
            instance_.processSamples(in64_.at(), out64_.at(), size);
            bad = firstBadSample(out64_, size, false);
        }
        if (!bad.empty())
            throw CheckFailed(format("step %d, after changes in any order: %s", step, bad.c_str()));
    }

    Context& context_;
    Instance& instance_;
    const std::vector<Precision> precisions_;
    const int params_;
    Channels<float> in32_, out32_;
    Channels<double> in64_, out64_;
    std::mt19937 random_{7};
    bool on_ = false;
    int block_ = kMaxBlock;
};

Outcome stateChanges(Context& context) {
    Instance instance = openInstance(context);
    const int steps = context.quick() ? 400 : 4000;
    firstPrecision(instance);  // throws when there is none
    RandomChanges changes(context, instance);
    const Precision timed = instance.precisions().front();
    context.at("the cost of a block before the changes");
    const double early = blockCost(instance, timed);
    for (int step = 0; step < steps; ++step) changes.step(step);
    context.at("the cost of a block after the changes");
    if (changes.on()) instance.suspend();
    double late = blockCost(instance, timed);
    for (int look = 1; look < kGrowthLooks && !growthFault(early, late, "").empty(); ++look)
        late = std::min(late, blockCost(instance, timed));
    const char* const step = "one block of 256 frames";
    const std::string grew = growthFault(early, late, step);
    if (!grew.empty()) throw CheckFailed(grew + format(" (after %d changes)", steps));
    return pass(
        format("%d switches, rate and block-size changes and blocks in random order, "
               "output finite; %s",
               steps, costSummary(early, late, step).c_str()));
}

}  // namespace

void addProtocolChecks(std::vector<Check>& checks) {
    checks.insert(checks.end(), {
                                    {"loading", "entry", entry, false},
                                    {"loading", "version-first", versionFirst, false},
                                    {"loading", "record", record, false},
                                    {"loading", "names", names, false},
                                    {"requests", "every-request", everyRequest, false},
                                    {"requests", "text-answers", textAnswers, false},
                                    {"requests", "host-requests", hostRequests},
                                    {"lifecycle", "open-close", openClose},
                                    {"lifecycle", "close-while-on", closeWhileOn},
                                    {"lifecycle", "many-instances", manyInstances},
                                    {"lifecycle", "state-changes", stateChanges},
                                });
}

}  // namespace validate
