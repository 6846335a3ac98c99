#include "tools/validate/validate.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "tools/host/plugin_host.h"
#include "tools/validate/check_support.h"
#include "tools/validate/child_process.h"

namespace validate {

namespace {

struct Options {
    std::string plugin;
    bool quick = false;
    bool json = false;
    bool quiet = false;  // only the WARN and FAIL lines, and the summary
    std::vector<std::string> only;
    double timeout = 120.0;
    std::string child;    // the check a child process runs
    std::string results;  // where it writes its result
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

Options parse(const std::vector<std::string>& words, const std::string& defaultPlugin) {
    Options options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= words.size()) throw UsageError(word + " needs a value");
            return words[++i];
        };
        if (word == "--quick") {
            options.quick = true;
        } else if (word == "--json") {
            options.json = true;
        } else if (word == "-q" || word == "-v") {
            options.quiet = word == "-q";
        } else if (word == "--only") {
            options.only = splitList(value());
        } else if (word == "--timeout") {
            const std::string text = value();
            char* end = nullptr;
            options.timeout = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' ||
                !(options.timeout > 0 && options.timeout <= 86400)) {
                throw UsageError("--timeout " + text +
                                 " is not a number of seconds from 0 to 86400");
            }
        } else if (word == "--child") {  // the two options a child process is started with
            options.child = value();
        } else if (word == "--results") {
            options.results = value();
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError("unknown option " + word);
        } else if (options.plugin.empty()) {
            options.plugin = word;
        } else {
            throw UsageError("one plug-in at a time: " + word + " is one too many");
        }
    }
    if (options.plugin.empty()) options.plugin = defaultPlugin;
    if (options.plugin.empty()) throw UsageError("no plug-in binary given to validate");
    return options;
}

const std::vector<Check>& allChecks() {
    static const std::vector<Check> checks = [] {
        std::vector<Check> all;
        addProtocolChecks(all);
        addAudioChecks(all);
        return all;
    }();
    return checks;
}

std::string fullName(const Check& check) {
    return std::string(check.group) + "/" + check.name;
}

std::vector<Check> selected(const std::vector<std::string>& only) {
    if (only.empty()) return allChecks();
    std::set<std::string> known;
    for (const Check& check : allChecks()) {
        known.insert(check.group);
        known.insert(fullName(check));
    }
    std::string groups;
    for (const std::string& name : only) {
        if (known.count(name) == 0) {
            for (const Check& check : allChecks()) {
                if (groups.find(check.group) == std::string::npos)
                    groups += std::string(groups.empty() ? "" : ", ") + check.group;
            }
            throw UsageError("--only: no group or check '" + name + "' (groups: " + groups + ")");
        }
    }
    std::vector<Check> chosen;
    for (const Check& check : allChecks()) {
        for (const std::string& name : only) {
            if (name == check.group || name == fullName(check)) {
                chosen.push_back(check);
                break;
            }
        }
    }
    return chosen;
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::pass: return "PASS";
        case Verdict::warn: return "WARN";
        case Verdict::fail: return "FAIL";
        case Verdict::info: return "INFO";
    }
    return "?";
}

// In the child: runs one check and writes "result VERDICT detail" to the results file.
int runInChild(const Options& options) {
    prepareChildProcess();
    std::FILE* results = std::fopen(options.results.c_str(), "w");
    if (results == nullptr) return 3;
    for (const Check& check : allChecks()) {
        if (fullName(check) != options.child) continue;
        Context context(options.plugin, options.quick, results);
        Outcome outcome;
        try {
            outcome = check.run(context);
        } catch (const CheckFailed& failure) {
            outcome = {Verdict::fail, failure.what()};
        } catch (const std::exception& error) {
            outcome = {Verdict::fail, std::string("the validator failed: ") + error.what()};
        }
        std::string detail = outcome.detail;
        for (char& c : detail) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        std::fprintf(results, "result %s %s\n", verdictName(outcome.verdict), detail.c_str());
        std::fclose(results);
        // The plug-in may leave threads or leaks behind: that is for the checks to judge,
        // not for the process's exit.
        endProcess(0);
    }
    return 3;
}

// The first line of the child's own output (a sanitizer's report, an assertion), if any.
std::string firstLine(const std::string& path) {
    std::ifstream log(path);
    for (std::string line; std::getline(log, line);) {
        if (line.find_first_not_of(" \t\r") != std::string::npos) return line.substr(0, 160);
    }
    return "";
}

struct Reported {
    const Check* check;
    Outcome outcome;
};

Outcome runInParent(const Check& check, const Options& options,
                    const std::vector<std::string>& self) {
    const std::string results = scratchPath("result");
    const std::string log = scratchPath("log");
    std::vector<std::string> command = self;
    command.insert(command.end(),
                   {options.plugin, "--child", fullName(check), "--results", results});
    if (options.quick) command.push_back("--quick");
    const ChildEnd end = runChild(command, log, options.timeout);

    std::string at;
    Outcome outcome{Verdict::fail, ""};
    bool haveResult = false;
    std::ifstream file(results);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("at ", 0) == 0) at = line.substr(3);
        if (line.rfind("result ", 0) == 0 && line.size() >= 11) {
            const std::string verdict = line.substr(7, 4);
            outcome.verdict = verdict == "PASS"   ? Verdict::pass
                              : verdict == "WARN" ? Verdict::warn
                              : verdict == "INFO" ? Verdict::info
                                                  : Verdict::fail;
            outcome.detail = line.size() > 12 ? line.substr(12) : "";
            haveResult = true;
        }
    }
    file.close();
    if (!end.exitedCleanly || !haveResult) {
        outcome.verdict = Verdict::fail;
        outcome.detail = (end.how.empty() ? "ended without a result" : end.how) +
                         (haveResult   ? " after its result"
                          : at.empty() ? ""
                                       : " at " + at);
        const std::string said = firstLine(log);
        if (!said.empty()) outcome.detail += "; it printed: " + said;
    }
    std::remove(results.c_str());
    std::remove(log.c_str());
    return outcome;
}

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += '\\', out += static_cast<char>(c);
        else if (c < 0x20)
            out += format("\\u%04x", c);
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

}  // namespace

int runValidate(const std::vector<std::string>& words, const std::vector<std::string>& self,
                const std::string& defaultPlugin) {
    Options options = parse(words, defaultPlugin);
    if (!options.child.empty()) return runInChild(options);
    const std::vector<Check> checks = selected(options.only);
    {
        // Said once here rather than by every check; the children get the absolute path.
        std::string error;
        options.plugin = vsthost::pluginFile(options.plugin, &error);
        if (options.plugin.empty()) throw std::runtime_error(error);
        std::ifstream probe(options.plugin, std::ios::binary);
        if (!probe) throw std::runtime_error("plug-in " + options.plugin + ": cannot be read");
    }

    const auto started = std::chrono::steady_clock::now();
    if (!options.json && !options.quiet)
        std::printf("validating %s%s\n", options.plugin.c_str(), options.quick ? " (quick)" : "");
    std::vector<Reported> reported;
    int counts[4] = {0, 0, 0, 0};
    for (const Check& check : checks) {
        const Outcome outcome = runInParent(check, options, self);
        ++counts[static_cast<int>(outcome.verdict)];
        reported.push_back({&check, outcome});
        if (!options.json && !(options.quiet && (outcome.verdict == Verdict::pass ||
                                                 outcome.verdict == Verdict::info))) {
            std::printf("%s  %-34s %s\n", verdictName(outcome.verdict), fullName(check).c_str(),
                        outcome.detail.c_str());
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    if (options.json) {
        std::printf("{\n  \"plugin\": %s,\n  \"quick\": %s,\n  \"checks\": [\n",
                    jsonText(options.plugin).c_str(), options.quick ? "true" : "false");
        for (std::size_t i = 0; i < reported.size(); ++i) {
            const Reported& r = reported[i];
            std::printf(
                "    {\"group\": %s, \"check\": %s, \"verdict\": \"%s\", \"detail\": %s}%s\n",
                jsonText(r.check->group).c_str(), jsonText(r.check->name).c_str(),
                verdictName(r.outcome.verdict), jsonText(r.outcome.detail).c_str(),
                i + 1 < reported.size() ? "," : "");
        }
        std::printf(
            "  ],\n  \"summary\": {\"pass\": %d, \"warn\": %d, \"fail\": %d, \"info\": %d},\n"
            "  \"seconds\": %.1f\n}\n",
            counts[0], counts[1], counts[2], counts[3], seconds);
    } else {
        std::printf("summary: %d PASS, %d WARN, %d FAIL, %d INFO in %.1f s\n", counts[0], counts[1],
                    counts[2], counts[3], seconds);
    }
    return counts[static_cast<int>(Verdict::fail)] > 0 ? 1 : 0;
}

}  // namespace validate
