#include "check_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>

#include "request_names.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#endif

namespace validate {

namespace {
// Where a crash handler writes what it found: the check's results channel.
int crashReportDescriptor = -1;
}  // namespace

std::string format(const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

void Context::at(const std::string& what) {
    tell("at " + what);
}

void Context::enter(const char* call) {
    std::fprintf(results_, "in %s\n", call);
    std::fflush(results_);
}

void Context::leave() {
    tell("out");
}

void Context::tell(const std::string& line) {
    std::fprintf(results_, "%s\n", line.c_str());
    std::fflush(results_);
    crashReportDescriptor = fileno(results_);
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

// ---- The validator's host and its instances ---------------------------------------------------

namespace {

// What the validator's host answers: the rate and block size an instance was last started
// with, and as its process level realtime inside a processing call and user outside, as a
// host that plays does.
vsthost::HostAnswers validatorAnswers() {
    vsthost::HostAnswers answers;
    answers.sampleRate = 44100.0f;
    answers.blockSize = 8192;
    answers.processLevel = vsthost::kProcessLevelUser;
    answers.processLevelInProcessing = vsthost::kProcessLevelRealtime;
    answers.vendor = "Varic";
    answers.product = "varic validate";
    answers.vendorVersion = 1000;
    answers.keep = 4096;
    return answers;
}

}  // namespace

Context::Context(std::string plugin, bool quick, std::FILE* results)
    : plugin_(std::move(plugin)),
      quick_(quick),
      results_(results),
      host_(validatorAnswers()),
      mainThread_(std::this_thread::get_id()) {
    host_.setWatch(this);
}

void Context::processing(bool inside) {
    watchProcessing(inside);
}

int Context::enterHostWork() {
    return suspendWatch();
}

void Context::leaveHostWork(int entered) {
    resumeWatch(entered);
}

std::string hostRequestName(VstInt32 opcode) {
    const char* const name = request_names::hostRequestName(opcode);
    return name != nullptr ? name : "host request " + std::to_string(opcode);
}

std::string effectRequestName(VstInt32 opcode) {
    const std::string number = std::to_string(opcode);
    const char* const name = request_names::effectRequestName(opcode);
    return name != nullptr ? number + " " + name : number;
}

Instance openInstance(Context& context) {
    std::string error;
    vsthost::EntryFault fault = vsthost::EntryFault::none;
    std::unique_ptr<Instance> instance =
        Instance::open(context.library(), &context.host(), &error, &fault);
    switch (fault) {
        case vsthost::EntryFault::none: break;
        case vsthost::EntryFault::noEntry:
            throw CheckFailed("the binary exports neither VSTPluginMain nor main");
        case vsthost::EntryFault::noInstance:
            throw CheckFailed("the entry made no instance (it returned null)");
        case vsthost::EntryFault::notAnEffect:
            throw CheckFailed("the entry's record lacks the 'VstP' magic");
    }
    return std::move(*instance);
}

Precision firstPrecision(const Instance& instance) {
    const std::vector<Precision> offered = instance.precisions();
    if (offered.empty()) {
        throw CheckFailed(
            "the effect offers no replacing processing routine (effFlagsCanReplacing with "
            "processReplacing)");
    }
    return offered.front();
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

// ---- Growth ------------------------------------------------------------------------------------

namespace {

// A late step may cost this many times an early one before the work counts as growing. The
// crossfeed's cycles and blocks measure within 1.4 times here, in processor time, on a loaded
// machine and under the sanitizers (in wall-clock time a stretch of a loaded machine made every
// step of a window up to 8 times slower); three looks late in the run, each above the limit,
// are growth. A plug-in whose work grows by the call is many times over by the end of a run.
// Steps this short are never growth: timer noise, not work.
constexpr double kGrowthLimit = 3.0;
constexpr double kGrowthFloorSeconds = 2e-6;

}  // namespace

double threadSeconds() {
#ifdef _WIN32
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
#endif
}

double medianOf(std::vector<double> times) {
    if (times.empty()) return 0.0;
    const auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return *middle;
}

std::string growthFault(double early, double late, const char* step) {
    if (late <= kGrowthLimit * early || late - early < kGrowthFloorSeconds) return "";
    return format(
        "work grows from call to call: %s costs %.1f µs late in the run against %.1f "
        "µs early (%.1f times, at its least in %d looks; more than %.0f times fails)",
        step, 1e6 * late, 1e6 * early, late / std::max(early, 1e-12), kGrowthLooks, kGrowthLimit);
}

std::string costSummary(double early, double late, const char* step) {
    return format("%s: %.1f µs early, %.1f µs late", step, 1e6 * early, 1e6 * late);
}

// ---- Memory with guard pages, read-only inputs -----------------------------------------------

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

// The read-only inputs of the call under way, for the crash handler: a write into one is
// the effect writing into its inputs.
struct ReadOnlyRange {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
};
constexpr int kMaxReadOnly = 256;
ReadOnlyRange readOnlyRanges[kMaxReadOnly];

int readOnlyChannel(std::uintptr_t address) {
    for (int c = 0; c < kMaxReadOnly; ++c) {
        if (address >= readOnlyRanges[c].begin.load() && address < readOnlyRanges[c].end.load())
            return c;
    }
    return -1;
}

// Writes "cause ..." for the parent, with nothing but a system call: this runs in a crash.
void reportWriteIntoInput(int channel) {
    if (crashReportDescriptor < 0) return;
    char line[] = "cause wrote into input 000, which hosts pass read-only\n";
    char* digits = std::strstr(line, "000");
    digits[0] = static_cast<char>('0' + channel / 100 % 10);
    digits[1] = static_cast<char>('0' + channel / 10 % 10);
    digits[2] = static_cast<char>('0' + channel % 10);
    // Leading zeros out: "input 0", "input 12".
    std::size_t skip = channel < 10 ? 2 : channel < 100 ? 1 : 0;
    std::memmove(digits, digits + skip, std::strlen(digits + skip) + 1);
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(crashReportDescriptor)), line,
              static_cast<DWORD>(std::strlen(line)), &written, nullptr);
#else
    // Not through write(), which the real-time watch stands in for.
    syscall(SYS_write, crashReportDescriptor, line, std::strlen(line));
#endif
}

#ifdef _WIN32
LONG CALLBACK noteWriteIntoInput(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
        record.ExceptionInformation[0] == 1) {
        const int channel = readOnlyChannel(record.ExceptionInformation[1]);
        if (channel >= 0) reportWriteIntoInput(channel);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
void watchReadOnlyWrites() {
    static const bool installed = AddVectoredExceptionHandler(1, noteWriteIntoInput) != nullptr;
    (void)installed;
}
#else
struct sigaction previousSegv;
void noteWriteIntoInput(int signal, siginfo_t* info, void* context) {
    const int channel = readOnlyChannel(reinterpret_cast<std::uintptr_t>(info->si_addr));
    if (channel >= 0) reportWriteIntoInput(channel);
    // The handler before this one (the default, or a sanitizer's) takes the crash over.
    sigaction(SIGSEGV, &previousSegv, nullptr);
    if ((previousSegv.sa_flags & SA_SIGINFO) != 0 && previousSegv.sa_sigaction != nullptr) {
        previousSegv.sa_sigaction(signal, info, context);
    } else if (previousSegv.sa_handler != SIG_DFL && previousSegv.sa_handler != SIG_IGN) {
        previousSegv.sa_handler(signal);
    }
    // Returning runs the faulting write again, under the handler just restored.
}
void watchReadOnlyWrites() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = noteWriteIntoInput;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGSEGV, &action, &previousSegv) == 0;
    }();
    (void)installed;
}
#endif

// Maps `bytes` of read-write memory, whole pages.
char* mapPages(std::size_t bytes) {
#ifdef _WIN32
    void* const mapped = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (mapped == nullptr) throw std::runtime_error("cannot map memory for read-only inputs");
#else
    void* const mapped =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("cannot map memory for read-only inputs");
#endif
    return static_cast<char*>(mapped);
}
void makeReadOnly(char* pages, std::size_t bytes) {
#ifdef _WIN32
    DWORD previous = 0;
    if (!VirtualProtect(pages, bytes, PAGE_READONLY, &previous))
        throw std::runtime_error("cannot make inputs read-only");
#else
    if (mprotect(pages, bytes, PROT_READ) != 0)
        throw std::runtime_error("cannot make inputs read-only");
#endif
}
void unmapPages(char* pages, std::size_t bytes) {
#ifdef _WIN32
    (void)bytes;
    VirtualFree(pages, 0, MEM_RELEASE);
#else
    munmap(pages, bytes);
#endif
}
}  // namespace

template <class Sample>
ReadOnlyInputs<Sample>::ReadOnlyInputs(const Channels<Sample>& source) {
    watchReadOnlyWrites();
    const std::size_t page = pageSize();
    const std::size_t samples =
        static_cast<std::size_t>(source.frames() + Channels<Sample>::kGuard);
    const std::size_t bytes = (samples * sizeof(Sample) + page - 1) / page * page;
    for (int c = 0; c < source.count(); ++c) {
        Sample* const channel = reinterpret_cast<Sample*>(mapPages(bytes));
        std::memcpy(channel, source.channel(c),
                    static_cast<std::size_t>(source.frames()) * sizeof(Sample));
        std::fill(channel + source.frames(), channel + samples, Channels<Sample>::inputGuard());
        makeReadOnly(reinterpret_cast<char*>(channel), bytes);
        if (c < kMaxReadOnly) {
            const auto begin = reinterpret_cast<std::uintptr_t>(channel);
            readOnlyRanges[c].begin = begin;
            readOnlyRanges[c].end = begin + bytes;
        }
        pointers_.push_back(channel);
        sizes_.push_back(bytes);
    }
    pointers_.push_back(nullptr);
}

template <class Sample>
ReadOnlyInputs<Sample>::~ReadOnlyInputs() {
    for (std::size_t c = 0; c < sizes_.size(); ++c) {
        if (c < kMaxReadOnly) {
            readOnlyRanges[c].begin = 0;
            readOnlyRanges[c].end = 0;
        }
        unmapPages(reinterpret_cast<char*>(pointers_[c]), sizes_[c]);
    }
}

template class ReadOnlyInputs<float>;
template class ReadOnlyInputs<double>;

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
