// varic info: what a host sees of a plug-in, as text or as JSON.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "binary_and_instance.h"
#include "commands.h"
#include "json_text.h"
#include "plugin_location.h"

namespace varic {
namespace {

struct FlagName {
    VstInt32 bit;
    const char* name;
};

constexpr FlagName kFlagNames[] = {
    {effFlagsHasEditor, "hasEditor"},
    {effFlagsHasClip, "hasClip"},
    {effFlagsHasVu, "hasVu"},
    {effFlagsCanMono, "canMono"},
    {effFlagsCanReplacing, "canReplacing"},
    {effFlagsProgramChunks, "programChunks"},
    {effFlagsIsSynth, "isSynth"},
    {effFlagsNoSoundInStop, "noSoundInStop"},
    {effFlagsExtIsAsync, "extIsAsync"},
    {effFlagsExtHasBuffer, "extHasBuffer"},
    {effFlagsCanDoubleReplacing, "canDoubleReplacing"},
};

constexpr const char* kCategoryNames[] = {
    "unknown",     "effect",          "synth",       "analysis",        "mastering", "spacializer",
    "room effect", "surround effect", "restoration", "offline process", "shell",     "generator",
};

// Texts hosts commonly ask with effCanDo; the answer is 1 (yes), -1 (no) or 0 (don't know).
constexpr const char* kCanDoTexts[] = {
    "sendVstEvents",
    "sendVstMidiEvent",
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "receiveVstTimeInfo",
    "offline",
    "midiProgramNames",
    "bypass",
    "1in1out",
    "2in2out",
    "noRealTime",
    "plugAsChannelInsert",
    "plugAsSend",
    "mixDynamic",
};

std::string categoryName(VstIntPtr category) {
    if (category >= 0 && category < static_cast<VstIntPtr>(std::size(kCategoryNames))) {
        return kCategoryNames[category];
    }
    return "category " + std::to_string(category);
}

std::vector<std::string> flagNames(VstInt32 flags) {
    std::vector<std::string> names;
    VstInt32 known = 0;
    for (const FlagName& flag : kFlagNames) {
        known |= flag.bit;
        if ((flags & flag.bit) != 0) names.emplace_back(flag.name);
    }
    for (int bit = 0; bit < 32; ++bit) {
        const auto mask = static_cast<VstInt32>(1u << bit);
        if ((flags & mask) != 0 && (known & mask) == 0)
            names.push_back("bit" + std::to_string(bit));
    }
    return names;
}

std::string floatText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

struct Program {
    int index;
    std::string name;
};

struct Parameter {
    int index;
    std::string name, display, label;
    float value;
    bool automatable;
};

// Everything info shows, asked of the instance once.
struct Description {
    std::string path, effectName, productName, vendor;
    VstIntPtr vendorVersion = 0, vstVersion = 0, category = 0;
    VstInt32 uniqueId = 0, version = 0, inputs = 0, outputs = 0, flags = 0, initialDelay = 0;
    VstIntPtr currentProgram = 0;
    std::vector<Program> programs;
    std::vector<Parameter> parameters;
    std::vector<std::pair<std::string, VstIntPtr>> canDo;
};

Description describe(Instance& plugin, const std::string& path) {
    const AEffect& e = plugin.record();
    Description d;
    d.path = path;
    d.effectName = plugin.text(effGetEffectName);
    d.productName = plugin.text(effGetProductString);
    d.vendor = plugin.text(effGetVendorString);
    d.vendorVersion = plugin.dispatch(effGetVendorVersion);
    d.vstVersion = plugin.dispatch(effGetVstVersion);
    d.category = plugin.dispatch(effGetPlugCategory);
    d.uniqueId = e.uniqueID;
    d.version = e.version;
    d.inputs = e.numInputs;
    d.outputs = e.numOutputs;
    d.flags = e.flags;
    d.initialDelay = e.initialDelay;
    d.currentProgram = plugin.dispatch(effGetProgram);
    for (int i = 0; i < e.numPrograms; ++i) {
        std::vector<char> name(1024, '\0');
        if (plugin.dispatch(effGetProgramNameIndexed, i, -1, name.data()) == 0) {
            // Older effects name only the current program.
            plugin.dispatch(effSetProgram, 0, i);
            std::fill(name.begin(), name.end(), '\0');
            plugin.dispatch(effGetProgramName, 0, 0, name.data());
        }
        name.back() = '\0';
        d.programs.push_back({i, name.data()});
    }
    if (e.numPrograms > 0) plugin.dispatch(effSetProgram, 0, d.currentProgram);
    for (int i = 0; i < e.numParams; ++i) {
        d.parameters.push_back({i, plugin.text(effGetParamName, i),
                                plugin.text(effGetParamDisplay, i),
                                plugin.text(effGetParamLabel, i), plugin.getParameter(i),
                                plugin.dispatch(effCanBeAutomated, i) != 0});
    }
    for (const char* text : kCanDoTexts) {
        std::string question = text;
        d.canDo.emplace_back(text, plugin.dispatch(effCanDo, 0, 0, question.data()));
    }
    return d;
}

void printText(const Description& d) {
    std::string flags;
    for (const std::string& name : flagNames(d.flags)) flags += (flags.empty() ? "" : " ") + name;
    std::printf("plug-in:        %s\n", d.path.c_str());
    std::printf("effect:         %s\n", d.effectName.c_str());
    std::printf("product:        %s\n", d.productName.c_str());
    std::printf("vendor:         %s (version %ld)\n", d.vendor.c_str(),
                static_cast<long>(d.vendorVersion));
    std::printf("unique ID:      %d '%s'\n", d.uniqueId, vsthost::fourChars(d.uniqueId).c_str());
    std::printf("version:        %d\n", d.version);
    std::printf("VST version:    %ld\n", static_cast<long>(d.vstVersion));
    std::printf("category:       %s\n", categoryName(d.category).c_str());
    std::printf("channels:       %d in, %d out\n", d.inputs, d.outputs);
    std::printf("latency:        %d samples\n", d.initialDelay);
    std::printf("flags:          0x%X %s\n", static_cast<unsigned>(d.flags), flags.c_str());
    std::printf("programs:       %zu\n", d.programs.size());
    for (const Program& p : d.programs) {
        std::printf("  %3d%s %s\n", p.index, p.index == d.currentProgram ? "*" : " ",
                    p.name.c_str());
    }
    std::printf("parameters:     %zu\n", d.parameters.size());
    for (const Parameter& p : d.parameters) {
        std::printf("  %3d  %-24s %s%s%s  (value %s%s)\n", p.index, ("\"" + p.name + "\"").c_str(),
                    p.display.c_str(), p.label.empty() ? "" : " ", p.label.c_str(),
                    floatText(p.value).c_str(), p.automatable ? ", automatable" : "");
    }
    std::printf("can do:        ");
    for (const auto& [text, answer] : d.canDo) {
        std::printf(" %s=%s", text.c_str(), answer > 0 ? "yes" : answer < 0 ? "no" : "?");
    }
    std::printf("\n");
}

void printJson(const Description& d) {
    std::string out = "{\n";
    const auto field = [&out](const std::string& name, const std::string& value,
                              bool last = false) {
        out += "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
    };
    field("path", jsonString(d.path));
    field("effectName", jsonString(d.effectName));
    field("productString", jsonString(d.productName));
    field("vendorString", jsonString(d.vendor));
    field("vendorVersion", std::to_string(d.vendorVersion));
    field("uniqueId", std::to_string(d.uniqueId));
    field("uniqueIdChars", jsonString(vsthost::fourChars(d.uniqueId)));
    field("version", std::to_string(d.version));
    field("vstVersion", std::to_string(d.vstVersion));
    field("category", std::to_string(d.category));
    field("categoryName", jsonString(categoryName(d.category)));
    field("numInputs", std::to_string(d.inputs));
    field("numOutputs", std::to_string(d.outputs));
    field("initialDelay", std::to_string(d.initialDelay));
    field("flags", std::to_string(d.flags));
    std::string names;
    for (const std::string& name : flagNames(d.flags))
        names += (names.empty() ? "" : ", ") + jsonString(name);
    field("flagNames", "[" + names + "]");
    field("currentProgram", std::to_string(d.currentProgram));
    std::string programs;
    for (const Program& p : d.programs) {
        programs += std::string(programs.empty() ? "" : ",") +
                    "\n    {\"index\": " + std::to_string(p.index) +
                    ", \"name\": " + jsonString(p.name) + "}";
    }
    field("programs", "[" + programs + (programs.empty() ? "]" : "\n  ]"));
    std::string parameters;
    for (const Parameter& p : d.parameters) {
        parameters += std::string(parameters.empty() ? "" : ",") +
                      "\n    {\"index\": " + std::to_string(p.index) +
                      ", \"name\": " + jsonString(p.name) +
                      ", \"display\": " + jsonString(p.display) +
                      ", \"label\": " + jsonString(p.label) + ", \"value\": " + floatText(p.value) +
                      ", \"automatable\": " + (p.automatable ? "true" : "false") + "}";
    }
    field("parameters", "[" + parameters + (parameters.empty() ? "]" : "\n  ]"));
    std::string canDo;
    for (const auto& [text, answer] : d.canDo) {
        canDo += std::string(canDo.empty() ? "" : ",") + "\n    " + jsonString(text) + ": " +
                 std::to_string(answer);
    }
    field("canDo", "{" + canDo + "\n  }", true);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
}

}  // namespace

const CommandHelp& infoHelp() {
    static const CommandHelp help{
        "info",
        {"[PLUGIN | --plugin P] [--json]"},
        "What a host sees of the plug-in: names, vendor and version, unique ID as a number and "
        "as four characters, channels, decoded flags, VST version, category, programs, every "
        "parameter (name, display, label, value) and the answers to common canDo questions.",
        {
            {"--plugin", "P", "the plug-in, as PLUGIN names it"},
            {"--json", "", "the same as JSON, for scripts"},
        }};
    return help;
}

int runInfo(const std::vector<std::string>& words, Verbosity verbosity) {
    const Arguments args(infoHelp(), words, verbosity);
    args.expectOperands(0, 1, "at most one PLUGIN");
    const auto option = args.value("--plugin");
    if (option && !args.operands().empty()) {
        throw UsageError("name the plug-in once: as PLUGIN or with --plugin");
    }
    const std::string path = option                    ? *option
                             : args.operands().empty() ? defaultPluginPath()
                                                       : args.operands()[0];
    const PluginBinary binary(path);
    const std::unique_ptr<Instance> effect = openEffect(binary, HostSettings{});
    const Description description = describe(*effect, binary.path());
    if (args.flag("--json")) {
        printJson(description);
    } else {
        printText(description);
    }
    return 0;
}

}  // namespace varic
