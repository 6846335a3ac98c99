#include "binary_and_instance.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "cli_support.h"

namespace varic {
namespace {

constexpr VstIntPtr kProcessLevelOffline = 4;

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    const auto end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Host strings go into the plug-in's buffer, which the interface sizes for 64 bytes.
VstIntPtr copyHostString(void* buffer, const char* text) {
    if (buffer == nullptr) return 0;
    char* const target = static_cast<char*>(buffer);
    std::strncpy(target, text, 63);
    target[63] = '\0';
    return 1;
}

}  // namespace

// ---- PluginBinary ----------------------------------------------------------------------------

PluginBinary::PluginBinary(const std::string& path) : path_(path) {
    std::string error;
    const std::string file = vsthost::pluginFile(path, &error);
    if (file.empty()) throw Failure(error);
    library_ = vsthost::PluginLibrary::load(file, &error);
    if (!library_) {
        // The loader names the file first; say it once, as the user named it.
        const std::string prefix = file + ": ";
        if (error.compare(0, prefix.size(), prefix) == 0) error.erase(0, prefix.size());
        throw Failure("cannot load plug-in " + path + ": " + error);
    }
    if (library_->entry() == nullptr) {
        throw Failure("plug-in " + path +
                      " exports neither VSTPluginMain nor main: not a VST 2.4 plug-in");
    }
}

// ---- EffectInstance --------------------------------------------------------------------------

EffectInstance::EffectInstance(const PluginBinary& binary, const HostSettings& settings)
    : path_(binary.path()), settings_(settings), host_(std::make_unique<vsthost::Host>()) {
    // The settings change only before start(), never while the effect may be asking.
    host_->setAnswer([this](const vsthost::HostRequest& request) -> VstIntPtr {
        switch (request.opcode) {
            case audioMasterVersion: return kVstVersion;
            case audioMasterGetSampleRate: return static_cast<VstIntPtr>(settings_.sampleRate);
            case audioMasterGetBlockSize: return settings_.blockSize;
            case audioMasterGetCurrentProcessLevel: return kProcessLevelOffline;
            case audioMasterGetVendorString: return copyHostString(request.ptr, "Nalt");
            case audioMasterGetProductString: return copyHostString(request.ptr, "varic");
            case audioMasterGetVendorVersion: return 1000;
            default: return 0;
        }
    });
    std::string error;
    plugin_ = vsthost::Plugin::create(binary.library(), host_.get(), &error);
    if (!plugin_) {
        if (error.find("not a VST effect") != std::string::npos) {
            throw Failure("plug-in " + path_ +
                          " is not a VST effect: its record lacks the 'VstP' mark");
        }
        if (error.find("no instance") != std::string::npos) {
            throw Failure("plug-in " + path_ + " made no instance: its entry returned null");
        }
        throw Failure("plug-in " + path_ + ": " + error);
    }
    plugin_->dispatch(effOpen);
}

EffectInstance::~EffectInstance() {
    stop();
    plugin_.reset();  // effClose, before the host it calls goes away
}

void EffectInstance::requireStereo() const {
    const AEffect& e = record();
    if (e.numInputs == 2 && e.numOutputs == 2) return;
    const auto count = [](int n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    throw Failure("plug-in " + path_ + " has " + count(e.numInputs, "input") + " and " +
                  count(e.numOutputs, "output") + "; varic needs 2 inputs and 2 outputs");
}

bool EffectInstance::canProcess(Precision precision) const {
    const AEffect& e = record();
    if (precision == Precision::float64) {
        return (e.flags & effFlagsCanDoubleReplacing) != 0 && e.processDoubleReplacing != nullptr;
    }
    // The accumulating call serves when there is no replacing one.
    return ((e.flags & effFlagsCanReplacing) != 0 && e.processReplacing != nullptr) ||
           e.process != nullptr;
}

void EffectInstance::requireProcessing(Precision precision) const {
    if (canProcess(precision)) return;
    throw Failure("plug-in " + path_ + " cannot process " +
                  (precision == Precision::float64 ? "64-bit samples; use --precision 32"
                                                   : "32-bit samples"));
}

std::string EffectInstance::displayName() {
    std::string name = plugin_->text(effGetEffectName);
    if (name.empty()) name = plugin_->text(effGetProductString);
    if (name.empty()) name = stemOf(path_);
    return name;
}

int EffectInstance::findParameter(const std::string& name) {
    const std::string wanted = lowerCase(trimmed(name));
    for (int i = 0; i < record().numParams; ++i) {
        if (lowerCase(trimmed(plugin_->text(effGetParamName, i))) == wanted) return i;
    }
    return -1;
}

void EffectInstance::setStrength(double percent) {
    const int index = findParameter("Strength");
    if (index < 0) {
        throw Failure("plug-in " + path_ + " has no Strength parameter; use --param N=VALUE");
    }
    plugin_->setParameter(index, static_cast<float>(percent / 100.0));
}

void EffectInstance::setParameterSpec(const std::string& spec) {
    const std::size_t equals = spec.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError(
            "--param wants N=VALUE (a parameter index or name, a value 0 to 1), not '" + spec +
            "'");
    }
    const std::string which = spec.substr(0, equals);
    const int count = record().numParams;
    int index = -1;
    if (which.find_first_not_of("0123456789") == std::string::npos) {
        if (count == 0) throw Failure("plug-in " + path_ + " has no parameters");
        index = static_cast<int>(parseIntegerInRange(which, "--param index", 0, count - 1));
    } else {
        index = findParameter(which);
        if (index < 0)
            throw Failure("plug-in " + path_ + " has no parameter named '" + which + "'");
    }
    const double value =
        parseNumberInRange(spec.substr(equals + 1), "--param " + which + " value", 0.0, 1.0);
    plugin_->setParameter(index, static_cast<float>(value));
}

std::string EffectInstance::parameterDisplay(int index) {
    const std::string display = trimmed(plugin_->text(effGetParamDisplay, index));
    const std::string label = trimmed(plugin_->text(effGetParamLabel, index));
    return label.empty() ? display : display + " " + label;
}

void EffectInstance::start() {
    if (running_) return;
    plugin_->start(settings_.sampleRate, settings_.blockSize, settings_.precision);
    running_ = true;
}

void EffectInstance::stop() {
    if (!running_) return;
    plugin_->stop();
    running_ = false;
}

void EffectInstance::process(float** inputs, float** outputs, int frames) {
    if ((record().flags & effFlagsCanReplacing) != 0 && record().processReplacing != nullptr) {
        plugin_->processReplacing(inputs, outputs, frames);
        return;
    }
    std::fill(outputs[0], outputs[0] + frames, 0.0f);
    std::fill(outputs[1], outputs[1] + frames, 0.0f);
    plugin_->process(inputs, outputs, frames);
}

void EffectInstance::process(double** inputs, double** outputs, int frames) {
    plugin_->processDoubleReplacing(inputs, outputs, frames);
}

}  // namespace varic
