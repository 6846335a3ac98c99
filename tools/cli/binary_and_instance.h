#pragma once
// A plug-in binary as varic uses it (PluginBinary: loaded, with clear errors) and an effect
// instance made from it (EffectInstance: set up as a host does, with open, sample rate, block
// size, precision, resume and start; parameters set by name or index; stereo blocks processed
// in either precision).

#include <memory>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "plugin_location.h"

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

using vsthost::Precision;  // 32-bit and 64-bit samples

// What the host tells an instance, and answers when the instance asks.
struct HostSettings {
    float sampleRate = 44100.0f;
    int blockSize = 4096;
    Precision precision = Precision::float32;
};

// One instance made through the binary's entry; closed when destroyed. Throws Failure when
// the entry makes no instance or makes a record that is not a VST effect.
class EffectInstance {
public:
    EffectInstance(const PluginBinary& binary, const HostSettings& settings);
    ~EffectInstance();
    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    vsthost::Plugin& plugin() { return *plugin_; }
    const AEffect& record() const { return *plugin_->effect(); }
    const std::string& path() const { return path_; }

    // Throws unless the effect has exactly two inputs and two outputs.
    void requireStereo() const;
    bool canProcess(Precision precision) const;
    // Throws unless canProcess(precision).
    void requireProcessing(Precision precision) const;
    // The effect's name, else its product string, else the binary's file name.
    std::string displayName();

    // The index of the parameter whose name, without surrounding blanks and case, is `name`;
    // -1 when there is none.
    int findParameter(const std::string& name);
    // Sets the "Strength" parameter from 0..100 (host value percent / 100).
    void setStrength(double percent);
    // Sets a parameter from "N=VALUE", N an index or a name and VALUE the host value 0..1.
    void setParameterSpec(const std::string& spec);
    std::string parameterDisplay(int index);

    // Settings for the next start().
    void setSettings(const HostSettings& settings) { settings_ = settings; }

    // Sends the set-up requests and switches the effect on; stop() (or destruction) switches
    // it off again.
    void start();
    void stop();

    // Processes one block into separate output buffers, in a precision the effect can
    // process. Effects without replacing processing get the accumulating call onto zeroed
    // outputs.
    void process(float** inputs, float** outputs, int frames);
    void process(double** inputs, double** outputs, int frames);

private:
    std::string path_;
    HostSettings settings_;
    std::unique_ptr<vsthost::Host> host_;
    std::unique_ptr<vsthost::Plugin> plugin_;
    bool running_ = false;
};

}  // namespace varic
