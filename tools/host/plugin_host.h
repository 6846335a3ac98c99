#pragma once
// A small VST 2.4 host: loads a plug-in binary, calls its entry with a callback that records
// every request it receives, and wraps the record's routines. Used by the tests, the
// benchmarks and the command-line tool; works with any stereo VST 2.4 effect binary. The rest
// of the host-support library beside it: plugin_under_test.h (which binary to drive),
// stereo_buffer.h (buffers in either precision), host_float_mode.h (a host thread's SSE mode).

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "aeffect.h"

namespace vsthost {

// One request a plug-in sent to the host, as received.
struct HostRequest {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

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

// The host's side of the callback. Records every request (thread-safe) and answers it: by
// default 2400 to the version query and 0 to everything else.
class Host {
public:
    using Answer = std::function<VstIntPtr(const HostRequest&)>;

    Host();
    void setAnswer(Answer answer);
    std::vector<HostRequest> requests() const;
    void clearRequests();
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

private:
    friend class Plugin;
    VstIntPtr receive(const HostRequest& request);

    mutable std::mutex mutex_;
    std::vector<HostRequest> requests_;
    Answer answer_;
};

// The sample type of processing calls: processReplacing or processDoubleReplacing.
enum class Precision { float32, float64 };

// One instance of a plug-in, driven only through its record, as a host does.
class Plugin {
public:
    // Calls the entry with the host's callback (a null host passes a null callback). Null
    // with a reason in *error when the entry is missing or answers null.
    static std::unique_ptr<Plugin> create(const PluginLibrary& library, Host* host,
                                          std::string* error);
    // Adopts a record made some other way; the instance is closed on destruction.
    static std::unique_ptr<Plugin> adopt(AEffect* effect, Host* host);
    ~Plugin();  // sends effClose unless close() did
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect* effect() const { return effect_; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // A text request (name, display, label, vendor...) into a fresh buffer.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    void process(float** inputs, float** outputs, VstInt32 frames);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames);
    // Replacing processing in the samples' own precision: processReplacing for 32-bit samples,
    // processDoubleReplacing for 64-bit ones.
    void processSamples(float** inputs, float** outputs, VstInt32 frames) {
        processReplacing(inputs, outputs, frames);
    }
    void processSamples(double** inputs, double** outputs, VstInt32 frames) {
        processDoubleReplacing(inputs, outputs, frames);
    }

    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(VstInt32 frames) { dispatch(effSetBlockSize, 0, frames); }
    void resume() { dispatch(effMainsChanged, 0, 1); }
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    // The requests a host sends before audio (sample rate, largest block, precision, switch
    // on, start processing), and those that end it (stop processing, switch off).
    void start(float sampleRate, VstInt32 maxBlock, Precision precision);
    void stop();

    // Sends effClose and returns its answer; the record is gone afterwards.
    VstIntPtr close();

private:
    Plugin(AEffect* effect, Host* host) : effect_(effect), host_(host) {}
    AEffect* effect_;
    Host* host_;
};

}  // namespace vsthost
