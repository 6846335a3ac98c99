#pragma once
// A plug-in binary as varic uses it (PluginBinary: loaded, with clear errors), an instance of
// the host library opened from it with varic's answers, and what varic asks of an instance:
// two channels each way, a precision it processes, parameters set by name or index.

#include <memory>
#include <string>
#include <vector>

#include "instance.h"
#include "plugin_host.h"

namespace varic {

// A loaded plug-in binary that exports an entry. Throws Failure when the file is missing,
// does not load, or exports neither VSTPluginMain nor main.
class PluginBinary {
public:
    explicit PluginBinary(const std::string& path);
    const vsthost::PluginLibrary& library() const { return *library_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::unique_ptr<vsthost::PluginLibrary> library_;
};

using vsthost::Instance;
using vsthost::Precision;  // 32-bit and 64-bit samples

// What the host tells an instance, and answers when the instance asks.
struct HostSettings {
    float sampleRate = 44100.0f;
    int blockSize = 4096;
    Precision precision = Precision::float32;
};

// An instance made through the binary's entry and opened, with a host of its own that answers
// as varic (the settings' rate and block size, offline processing, vendor and product) and keeps
// no log of the requests, configured with the settings; switched off and closed when destroyed.
// Throws Failure when the entry makes no instance or makes a record that is not a VST effect.
std::unique_ptr<Instance> openEffect(const PluginBinary& binary, const HostSettings& settings);
// What the next start() tells the effect.
void configure(Instance& effect, const HostSettings& settings);

// The plug-in's messages name it as the user did: `plugin` is PluginBinary::path().
// Throws unless the effect has exactly two inputs and two outputs.
void requireStereo(const Instance& effect, const std::string& plugin);
// Throws unless effect.canProcess(precision).
void requireProcessing(const Instance& effect, Precision precision, const std::string& plugin);
// The effect's name, else its product string, else the binary's file name.
std::string displayName(Instance& effect, const std::string& plugin);

// The index of the parameter whose name, without surrounding blanks and case, is `name`;
// -1 when there is none.
int findParameter(Instance& effect, const std::string& name);
// Sets the "Strength" parameter from 0..100 (host value percent / 100).
void setStrength(Instance& effect, double percent, const std::string& plugin);
// Sets a parameter from "N=VALUE", N an index or a name and VALUE the host value 0..1.
void setParameterSpec(Instance& effect, const std::string& spec, const std::string& plugin);
std::string parameterDisplay(Instance& effect, int index);

}  // namespace varic
