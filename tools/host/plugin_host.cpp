#include "plugin_host.h"

#include <cstdint>
#include <cstdio>
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

std::string fourChars(VstInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(code) >> shift) & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

// ---- Host ------------------------------------------------------------------------------------

namespace {

// Requests from a plug-in that reached no Host object (none given, or a stray call): answered
// as a plain host would.
VstIntPtr answerWithoutHost(VstInt32 opcode) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

VstIntPtr copyText(void* buffer, const char* text) {
    if (buffer == nullptr || text == nullptr) return 0;
    std::snprintf(static_cast<char*>(buffer), kVstMaxVendorStrLen, "%s", text);
    return 1;
}

// A sample rate as the interface answers it, in whole hertz; 0 for none that fits.
VstIntPtr wholeHertz(float rate) {
    return rate >= 0.0f && rate < 2147483648.0f ? static_cast<VstIntPtr>(rate) : 0;
}

// Runs the host's own work, outside the watch.
class HostWork {
public:
    explicit HostWork(HostWatch* watch)
        : watch_(watch), entered_(watch ? watch->enterHostWork() : 0) {}
    ~HostWork() {
        if (watch_) watch_->leaveHostWork(entered_);
    }
    HostWork(const HostWork&) = delete;
    HostWork& operator=(const HostWork&) = delete;

private:
    HostWatch* watch_;
    int entered_;
};

}  // namespace

Host*& Host::hostOfEntryCall() {
    thread_local Host* host = nullptr;
    return host;
}

bool& Host::inProcessing() {
    thread_local bool inside = false;
    return inside;
}

Host::Host(const HostAnswers& answers)
    : answers_(answers), sampleRate_(answers.sampleRate), blockSize_(answers.blockSize) {
    if (answers.keep != std::numeric_limits<std::size_t>::max()) requests_.reserve(answers.keep);
}

void Host::setAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<HostRequest> Host::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

long Host::requestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

void Host::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    count_ = 0;
}

void Host::setSettings(float sampleRate, VstInt32 blockSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
}

VstIntPtr Host::answerFromTable(const HostRequest& request) const {
    switch (request.opcode) {
        case audioMasterVersion: return answers_.version;
        case audioMasterGetSampleRate: return wholeHertz(sampleRate_);
        case audioMasterGetBlockSize: return blockSize_;
        case audioMasterGetCurrentProcessLevel:
            return request.fromProcessing ? answers_.processLevelInProcessing
                                          : answers_.processLevel;
        case audioMasterGetVendorString: return copyText(request.ptr, answers_.vendor);
        case audioMasterGetProductString: return copyText(request.ptr, answers_.product);
        case audioMasterGetVendorVersion: return answers_.vendorVersion;
        default: return 0;
    }
}

VstIntPtr Host::receive(const HostRequest& request) {
    const HostWork work(watch_);
    Answer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
        if (requests_.size() < answers_.keep) requests_.push_back(request);
        if (!answer_) return answerFromTable(request);
        answer = answer_;
    }
    return answer(request);
}

VstIntPtr Host::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                         void* ptr, float opt) {
    Host* const entering = hostOfEntryCall();
    Host* host =
        effect != nullptr && effect->user != nullptr ? static_cast<Host*>(effect->user) : entering;
    if (host == nullptr) return answerWithoutHost(opcode);
    return host->receive(HostRequest{effect, opcode, index, value, ptr, opt,
                                     std::this_thread::get_id(), inProcessing(),
                                     entering != nullptr});
}

}  // namespace vsthost
