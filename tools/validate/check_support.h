#pragma once
// What the checks share: their verdicts, the context of a check's child process with the
// validator's host (the host library's, answering from the validator's table and recording
// each request a plug-in sends with the thread it came from), instances made with it, channel
// buffers with guard samples, test signals, and memory that ends at a guard page.

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "instance.h"
#include "plugin_host.h"
#include "realtime_watch.h"

namespace validate {

enum class Verdict { pass, warn, fail, info };

struct Outcome {
    Verdict verdict;
    std::string detail;
};

// Ends a check with a FAIL: thrown with the reason and the first offending case. A failure of
// the check, not of the command, though of the one error type: the check's process reports it
// as its verdict.
class CheckFailed : public varic::Failure {
public:
    using varic::Failure::Failure;
};

// One check's run, in its own child process. Its host watches the instances made with it:
// each call into the plug-in is named (enter and leave), processing calls are watched
// (realtime_watch.h), and the host's own work in the callback is not.
class Context : private vsthost::HostWatch {
public:
    Context(std::string plugin, bool quick, std::FILE* results);
    const std::string& plugin() const { return plugin_; }
    bool quick() const { return quick_; }
    // The case about to run: named in the report if the process crashes or hangs in it.
    void at(const std::string& what);
    // A request or call into the plug-in that the report names if it does not return.
    void enter(const char* call);
    void leave();
    // A line of the check's own for the validator (what the loading check found).
    void tell(const std::string& line);
    // The binary, loaded once per process.
    const vsthost::PluginLibrary& library();
    // The validator's host: the requests it received (the first 4096 kept, all counted).
    vsthost::Host& host() { return host_; }
    // The thread that loads the plug-in and runs the check.
    bool fromMainThread(const vsthost::HostRequest& request) const {
        return request.thread == mainThread_;
    }

private:
    void calling(const char* call) override { enter(call); }
    void returned() override { leave(); }
    void processing(bool inside) override;
    int enterHostWork() override;
    void leaveHostWork(int entered) override;

    std::string plugin_;
    bool quick_;
    std::FILE* results_;
    std::unique_ptr<vsthost::PluginLibrary> library_;
    vsthost::Host host_;
    std::thread::id mainThread_;
};

using CheckFunction = Outcome (*)(Context&);
struct Check {
    const char* group;
    const char* name;
    CheckFunction run;
    bool processes = true;  // needs a replacing processing routine
};
void addProtocolChecks(std::vector<Check>& checks);  // loading, requests, lifecycle
void addAudioChecks(std::vector<Check>& checks);     // processing and the rest

// ---- Requests and instances ------------------------------------------------------------------

// The name of a request to the host, or "host request N".
std::string hostRequestName(VstInt32 opcode);
// The name of a request to the effect with its number, e.g. "12 effMainsChanged".
std::string effectRequestName(VstInt32 opcode);

using vsthost::Instance;
using vsthost::Precision;
using vsthost::precisionName;

// An instance made through the binary's entry with the context's host and opened; closed
// (switched off first) when destroyed. Its processing calls are watched, close() while on is
// a host that quits. Throws CheckFailed when no instance is made.
Instance openInstance(Context& context);

// Replacing processing in the first precision offered; throws CheckFailed when there is none.
Precision firstPrecision(const Instance& instance);

// ---- Buffers and signals ----------------------------------------------------------------------

// Channels of samples, each followed by guard samples that a call must leave alone. Inputs
// and outputs get different guard values, so that an effect that copies its input past the
// block's end is seen.
template <class Sample>
class Channels {
public:
    static constexpr int kGuard = 64;
    Channels(int count, int frames, Sample guard = outputGuard())
        : frames_(frames),
          guard_(guard),
          data_(static_cast<std::size_t>(count)),
          pointers_(static_cast<std::size_t>(count) + 1, nullptr) {
        for (auto& channel : data_)
            channel.assign(static_cast<std::size_t>(frames + kGuard), guard);
        for (int c = 0; c < count; ++c) fill(c, 0, frames, Sample(0));
    }
    int count() const { return static_cast<int>(data_.size()); }
    int frames() const { return frames_; }
    Sample* channel(int c) { return data_[static_cast<std::size_t>(c)].data(); }
    const Sample* channel(int c) const { return data_[static_cast<std::size_t>(c)].data(); }
    // The pointer array a host passes, starting `offset` frames in.
    Sample** at(int offset = 0) {
        for (int c = 0; c < count(); ++c)
            pointers_[static_cast<std::size_t>(c)] = channel(c) + offset;
        return pointers_.data();
    }
    void fill(int c, int from, int to, Sample value) {
        for (int n = from; n < to; ++n) channel(c)[n] = value;
    }
    void silence() {
        for (int c = 0; c < count(); ++c) fill(c, 0, frames_, Sample(0));
    }
    // The first channel whose guard samples were overwritten, or -1.
    int overwrittenGuard() const {
        for (int c = 0; c < count(); ++c) {
            for (int n = frames_; n < frames_ + kGuard; ++n) {
                if (!(channel(c)[n] == guard_)) return c;
            }
        }
        return -1;
    }
    static Sample outputGuard() { return Sample(-12345.678); }
    static Sample inputGuard() { return Sample(8765.4321); }

private:
    int frames_;
    Sample guard_;
    std::vector<std::vector<Sample>> data_;
    std::vector<Sample*> pointers_;
};

// A reproducible test signal at half full scale: a sine per channel plus noise, starting at
// frame `start` of an endless signal.
template <class Sample>
void fillSignal(Channels<Sample>& channels, int frames, unsigned seed, long start = 0);

// The first sample among `frames` that is not finite or is subnormal, as "NaN in output 1 at
// frame 17"; "" when there is none.
template <class Sample>
std::string firstBadSample(const Channels<Sample>& channels, int frames, bool subnormalsToo = true);

// True when the two hold the same bits in their first `frames` samples.
template <class Sample>
bool identical(const Channels<Sample>& a, const Channels<Sample>& b, int frames);

// Runs `body` once per precision the instance's binary offers (a fresh instance for each);
// the body gets the precision and a zero sample of its type.
template <class Body>
void forEachPrecision(Context& context, Body body) {
    const Instance probe = openInstance(context);
    firstPrecision(probe);  // none: the check fails, rather than pass on no audio at all
    const std::vector<Precision> precisions = probe.precisions();
    for (Precision precision : precisions) {
        vsthost::withSampleType(precision, [&](auto zero) { body(precision, zero); });
    }
}

// A copy of input channels (their samples and guard samples) on pages the process may only
// read: an effect that writes into its inputs, even one that restores them before it
// returns, crashes on them, and the crash is reported as such. Hosts share input buffers
// between effects, and may hand over memory that is not writable.
template <class Sample>
class ReadOnlyInputs {
public:
    explicit ReadOnlyInputs(const Channels<Sample>& source);
    ~ReadOnlyInputs();
    ReadOnlyInputs(const ReadOnlyInputs&) = delete;
    ReadOnlyInputs& operator=(const ReadOnlyInputs&) = delete;
    Sample** pointers() { return pointers_.data(); }

private:
    std::vector<Sample*> pointers_;
    std::vector<std::size_t> sizes_;
};

// `size` bytes that end where a page the process may not touch begins.
class GuardedMemory {
public:
    explicit GuardedMemory(std::size_t size, unsigned char fill = 0);
    ~GuardedMemory();
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;
    char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    char* base_;
    std::size_t mapped_;
    char* data_;
    std::size_t size_;
};

// Seconds of processor time the calling thread has used: what work costs, whatever else the
// machine runs meanwhile (time slices other processes take, a core the host shares). On
// Windows, where threads' times are counted in 15.6 ms ticks, the wall clock's seconds.
double threadSeconds();

// Work that grows from call to call: the median time of like steps (a cycle, a block) early
// in a long run against late in it. Medians, so that a step the machine's load delays does not
// count; a caller that finds growth looks again late in the run before it fails, so that a
// stretch of the machine running slow does not count either.
double medianOf(std::vector<double> times);
// "" when a late step costs about what an early one did; otherwise the reason to fail.
std::string growthFault(double early, double late, const char* step);
// "one cycle: 12.0 µs early, 12.5 µs late".
std::string costSummary(double early, double late, const char* step);
// How many looks late in a run may find growth before it counts.
constexpr int kGrowthLooks = 3;

#ifdef _WIN32
#define VALIDATE_PRINTF_FORMAT gnu_printf
#else
#define VALIDATE_PRINTF_FORMAT printf
#endif
// printf into a string.
std::string format(const char* pattern, ...) __attribute__((format(VALIDATE_PRINTF_FORMAT, 1, 2)));

}  // namespace validate
