#include "binary_and_instance.h"

#include <algorithm>
#include <cctype>

#include "command_line.h"
#include "files.h"

namespace varic {
namespace {

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

// ---- Instances -------------------------------------------------------------------------------

std::unique_ptr<Instance> openEffect(const PluginBinary& binary, const HostSettings& settings) {
    vsthost::HostAnswers answers;
    answers.sampleRate = settings.sampleRate;
    answers.blockSize = settings.blockSize;
    answers.processLevel = vsthost::kProcessLevelOffline;
    answers.processLevelInProcessing = vsthost::kProcessLevelOffline;
    answers.vendor = "Nalt";
    answers.product = "varic";
    answers.vendorVersion = 1000;
    answers.keep = 0;  // a render may be hours long: no log that grows with it
    std::string error;
    vsthost::EntryFault fault = vsthost::EntryFault::none;
    std::unique_ptr<Instance> effect = Instance::open(binary.library(), answers, &error, &fault);
    const std::string& path = binary.path();
    switch (fault) {
        case vsthost::EntryFault::none: break;
        case vsthost::EntryFault::notAnEffect:
            throw Failure("plug-in " + path +
                          " is not a VST effect: its record lacks the 'VstP' mark");
        case vsthost::EntryFault::noInstance:
            throw Failure("plug-in " + path + " made no instance: its entry returned null");
        case vsthost::EntryFault::noEntry: throw Failure("plug-in " + path + ": " + error);
    }
    configure(*effect, settings);
    return effect;
}

void configure(Instance& effect, const HostSettings& settings) {
    effect.configure(settings.sampleRate, settings.blockSize, settings.precision);
}

void requireStereo(const Instance& effect, const std::string& plugin) {
    const AEffect& e = effect.record();
    if (e.numInputs == 2 && e.numOutputs == 2) return;
    const auto count = [](int n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    throw Failure("plug-in " + plugin + " has " + count(e.numInputs, "input") + " and " +
                  count(e.numOutputs, "output") + "; varic needs 2 inputs and 2 outputs");
}

void requireProcessing(const Instance& effect, Precision precision, const std::string& plugin) {
    if (effect.canProcess(precision)) return;
    throw Failure("plug-in " + plugin + " cannot process " + vsthost::precisionName(precision) +
                  " samples" + (precision == Precision::float64 ? "; use --precision 32" : ""));
}

std::string displayName(Instance& effect, const std::string& plugin) {
    std::string name = effect.text(effGetEffectName);
    if (name.empty()) name = effect.text(effGetProductString);
    if (name.empty()) name = stemOf(plugin);
    return name;
}

int findParameter(Instance& effect, const std::string& name) {
    const std::string wanted = lowerCase(trimmed(name));
    for (int i = 0; i < effect.record().numParams; ++i) {
        if (lowerCase(trimmed(effect.text(effGetParamName, i))) == wanted) return i;
    }
    return -1;
}

void setStrength(Instance& effect, double percent, const std::string& plugin) {
    const int index = findParameter(effect, "Strength");
    if (index < 0) {
        throw Failure("plug-in " + plugin + " has no Strength parameter; use --param N=VALUE");
    }
    effect.setParameter(index, static_cast<float>(percent / 100.0));
}

void setParameterSpec(Instance& effect, const std::string& spec, const std::string& plugin) {
    const std::size_t equals = spec.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError(
            "--param wants N=VALUE (a parameter index or name, a value 0 to 1), not '" + spec +
            "'");
    }
    const std::string which = spec.substr(0, equals);
    const int count = effect.record().numParams;
    int index = -1;
    if (which.find_first_not_of("0123456789") == std::string::npos) {
        if (count == 0) throw Failure("plug-in " + plugin + " has no parameters");
        index = static_cast<int>(parseIntegerInRange(which, "--param index", 0, count - 1));
    } else {
        index = findParameter(effect, which);
        if (index < 0)
            throw Failure("plug-in " + plugin + " has no parameter named '" + which + "'");
    }
    const double value =
        parseNumberInRange(spec.substr(equals + 1), "--param " + which + " value", 0.0, 1.0);
    effect.setParameter(index, static_cast<float>(value));
}

std::string parameterDisplay(Instance& effect, int index) {
    const std::string display = trimmed(effect.text(effGetParamDisplay, index));
    const std::string label = trimmed(effect.text(effGetParamLabel, index));
    return label.empty() ? display : display + " " + label;
}

}  // namespace varic
