#include "plugin_host.h"

#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vsthost {
namespace {

// The host an entry call is made for: requests that arrive before the record exists (the
// version query carries a null record) are routed with it. Afterwards the record's `user`
// field, which belongs to the host, leads back to the host.
thread_local Host* hostOfEntryCall = nullptr;

// Requests from a plug-in that reached no Host object (none given, or a stray call): answered
// as a plain host would.
VstIntPtr answerWithoutHost(VstInt32 opcode) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

}  // namespace

// ---- PluginLibrary ---------------------------------------------------------------------------

std::string pluginFile(const std::string& name, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::file_status status = name.empty() ? fs::file_status() : fs::status(name, failed);
    std::string reason;
    if (!fs::exists(status)) {
        reason = "plug-in " + name + ": no such file";
    } else if (fs::is_directory(status)) {
        reason = "plug-in " + name + " is a directory";
    } else {
        const fs::path file = fs::absolute(name, failed);
        if (!failed) return file.lexically_normal().string();
        reason = "plug-in " + name + ": " + failed.message();
    }
    if (error) *error = reason;
    return "";
}

#ifdef _WIN32
namespace {

// The system's text for a Windows error code, on one line.
std::string windowsErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length != 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
        result.pop_back();
    }
    return result + (result.empty() ? "" : " ") + "(Windows error " + std::to_string(code) + ")";
}

}  // namespace
#endif

std::unique_ptr<PluginLibrary> PluginLibrary::load(const std::string& path, std::string* error) {
#ifdef _WIN32
    // The loader wants backslashes, and a full path for the plug-in's own folder to be searched
    // for the DLLs it depends on, as hosts load plug-ins.
    std::string native = path;
    for (char& c : native) {
        if (c == '/') c = '\\';
    }
    std::vector<char> full(MAX_PATH);
    DWORD length =
        GetFullPathNameA(native.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length =
            GetFullPathNameA(native.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) {
        if (error) *error = "cannot load " + path + ": " + windowsErrorText(GetLastError());
        return nullptr;
    }
    // A binary that cannot be loaded must give an error, not a message box that waits for a user.
    DWORD previousMode = 0;
    const bool quiet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE handle = LoadLibraryExA(full.data(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = GetLastError();
    if (quiet) SetThreadErrorMode(previousMode, nullptr);
    if (handle == nullptr) {
        if (error) *error = "cannot load " + path + ": " + windowsErrorText(code);
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(reinterpret_cast<void*>(handle), path));
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        if (error) *error = reason ? reason : ("cannot load " + path);
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle, path));
#endif
}

PluginLibrary::~PluginLibrary() {
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* PluginLibrary::symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

VSTPluginMainProc PluginLibrary::entry() const {
    void* found = symbol("VSTPluginMain");
    if (found == nullptr) found = symbol("main");
    return reinterpret_cast<VSTPluginMainProc>(found);
}

// ---- Host ------------------------------------------------------------------------------------

Host::Host() : answer_([](const HostRequest& r) { return answerWithoutHost(r.opcode); }) {}

void Host::setAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<HostRequest> Host::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void Host::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

VstIntPtr Host::receive(const HostRequest& request) {
    Answer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        answer = answer_;
    }
    return answer(request);
}

VstIntPtr Host::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                         void* ptr, float opt) {
    Host* host = effect != nullptr && effect->user != nullptr ? static_cast<Host*>(effect->user)
                                                              : hostOfEntryCall;
    if (host == nullptr) return answerWithoutHost(opcode);
    return host->receive(HostRequest{effect, opcode, index, value, ptr, opt});
}

// ---- Plugin ----------------------------------------------------------------------------------

std::unique_ptr<Plugin> Plugin::create(const PluginLibrary& library, Host* host,
                                       std::string* error) {
    const VSTPluginMainProc entry = library.entry();
    if (entry == nullptr) {
        if (error) *error = library.path() + " exports neither VSTPluginMain nor main";
        return nullptr;
    }
    Host* const saved = hostOfEntryCall;
    hostOfEntryCall = host;
    AEffect* const effect = entry(host != nullptr ? &Host::callback : nullptr);
    hostOfEntryCall = saved;
    if (effect == nullptr) {
        if (error) *error = library.path() + ": the plug-in's entry made no instance";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        if (error) *error = library.path() + ": the entry's record is not a VST effect";
        return nullptr;  // not ours to close: its routines cannot be trusted
    }
    return adopt(effect, host);
}

std::unique_ptr<Plugin> Plugin::adopt(AEffect* effect, Host* host) {
    effect->user = host;
    return std::unique_ptr<Plugin>(new Plugin(effect, host));
}

Plugin::~Plugin() {
    if (effect_ != nullptr) close();
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    std::vector<char> buffer(1024, '\0');  // far beyond what any request writes
    dispatch(opcode, index, value, buffer.data());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void Plugin::setParameter(VstInt32 index, float value) {
    effect_->setParameter(effect_, index, value);
}

float Plugin::getParameter(VstInt32 index) {
    return effect_->getParameter(effect_, index);
}

void Plugin::process(float** inputs, float** outputs, VstInt32 frames) {
    effect_->process(effect_, inputs, outputs, frames);
}

void Plugin::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) {
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
}

void Plugin::start(float sampleRate, VstInt32 maxBlock, Precision precision) {
    setSampleRate(sampleRate);
    setBlockSize(maxBlock);
    dispatch(effSetProcessPrecision, 0, precision == Precision::float64 ? 1 : 0);
    resume();
    dispatch(effStartProcess);
}

void Plugin::stop() {
    dispatch(effStopProcess);
    suspend();
}

VstIntPtr Plugin::close() {
    AEffect* const effect = effect_;
    effect_ = nullptr;
    return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace vsthost
