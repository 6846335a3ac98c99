#pragma once
// A small VST 2.4 host: loads a plug-in binary and answers the requests its instances send,
// with one callback whose answers each user sets in a table (varic's, the validator's, the
// tests'). Works with any VST 2.4 effect binary. The rest of the host-support library beside
// it: instance.h (one instance, driven through its record), plugin_under_test.h (which binary
// to drive), stereo_buffer.h (buffers in either precision), host_float_mode.h (a host thread's
// SSE mode).

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "aeffect.h"

namespace vsthost {

// The file that a plug-in named by a user is: a path from the current folder, with or without a
// slash (the loader, given a bare name, would search the library path instead), made absolute
// so that it names the same file to a child process. Empty, with a one-line reason in *error,
// when there is no such file or it is a folder. Every program here resolves a user's name with
// it before loading, so that each accepts the same names.
std::string pluginFile(const std::string& name, std::string* error);

// A loaded plug-in binary (dlopen or LoadLibrary). Unloaded when destroyed.
class PluginLibrary {
public:
    // Null with a one-line reason in *error when the binary cannot be loaded.
    static std::unique_ptr<PluginLibrary> load(const std::string& path, std::string* error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // VSTPluginMain, or else main; null when the binary exports neither.
    VSTPluginMainProc entry() const;
    void* symbol(const char* name) const;
    const std::string& path() const { return path_; }

private:
    PluginLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

// A four-character code as text, '?' for a byte that is not printable ASCII: "VstP".
std::string fourChars(VstInt32 code);

class ProcessingCall;

// One request a plug-in sent to the host, as received, and where it came from.
struct HostRequest {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    std::thread::id thread;  // the thread it came on
    bool fromProcessing;     // inside a processing call that an Instance made
    bool duringEntry;        // while the entry made the instance
};

// A host's answers, one table per kind of host; a request the table does not name is answered
// 0. A text goes into the plug-in's buffer, which the interface sizes for 64 bytes, NUL
// included.
struct HostAnswers {
    VstIntPtr version = kVstVersion;  // audioMasterVersion
    // audioMasterGetSampleRate (in whole hertz) and audioMasterGetBlockSize: these until an
    // instance of the host is configured, then what it was configured with.
    float sampleRate = 0.0f;
    VstInt32 blockSize = 0;
    VstIntPtr processLevel = 0;              // audioMasterGetCurrentProcessLevel
    VstIntPtr processLevelInProcessing = 0;  // the same, asked inside a processing call
    const char* vendor = nullptr;            // audioMasterGetVendorString; null: answered 0
    const char* product = nullptr;           // audioMasterGetProductString; null: answered 0
    VstIntPtr vendorVersion = 0;             // audioMasterGetVendorVersion
    // How many requests the host keeps for requests(); requestCount() counts on beyond. A
    // bounded log holds its room from the start: recording then allocates nothing while the
    // plug-in runs, whose own heap use the validator measures.
    std::size_t keep = std::numeric_limits<std::size_t>::max();
};

// audioMasterGetCurrentProcessLevel's answers.
constexpr VstIntPtr kProcessLevelUser = 1;
constexpr VstIntPtr kProcessLevelRealtime = 2;
constexpr VstIntPtr kProcessLevelOffline = 4;

// What a host watches around the calls its instances make into the plug-in, and around its own
// work in the callback. The validator names each call, so that a crash or a hang is reported
// as that call's, and counts what the plug-in does inside processing calls (its hooks step
// aside while the host itself works).
class HostWatch {
public:
    virtual ~HostWatch() = default;
    // A call into the plug-in that may not return, named ("request 0 effOpen"); then its end.
    virtual void calling(const char* call) = 0;
    virtual void returned() = 0;
    // Around each processing call, on the thread that makes it.
    virtual void processing(bool inside) = 0;
    // Around the host's own work in the callback; leaving gets what entering returned.
    virtual int enterHostWork() = 0;
    virtual void leaveHostWork(int entered) = 0;
};

// The host's side of the callback: records the requests it receives (thread-safe) and answers
// them from its table, or with the function a test sets.
class Host {
public:
    using Answer = std::function<VstIntPtr(const HostRequest&)>;

    explicit Host(const HostAnswers& answers = {});
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Answers every request with `answer` instead of the table (set it before the plug-in
    // may ask).
    void setAnswer(Answer answer);
    void setWatch(HostWatch* watch) { watch_ = watch; }
    HostWatch* watch() const { return watch_; }

    // The requests received since the last clear, up to HostAnswers::keep of them, in order.
    std::vector<HostRequest> requests() const;
    // How many were received since the last clear, kept or not.
    long requestCount() const;
    void clearRequests();

    // What audioMasterGetSampleRate and audioMasterGetBlockSize answer from now on.
    void setSettings(float sampleRate, VstInt32 blockSize);

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

private:
    friend class Instance;
    friend class ProcessingCall;
    // The host whose instance's entry runs on this thread: requests that arrive before the
    // record exists (the version query carries a null record) are routed with it. Afterwards
    // the record's `user` field, which belongs to the host, leads back to the host.
    static Host*& hostOfEntryCall();
    // Whether a processing call made through an Instance runs on this thread.
    static bool& inProcessing();

    VstIntPtr receive(const HostRequest& request);
    VstIntPtr answerFromTable(const HostRequest& request) const;

    const HostAnswers answers_;
    HostWatch* watch_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<HostRequest> requests_;
    long count_ = 0;
    Answer answer_;
    float sampleRate_;
    VstInt32 blockSize_;
};

}  // namespace vsthost
