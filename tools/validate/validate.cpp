#include "validate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "check_support.h"
#include "child_process.h"
#include "command_line.h"
#include "json_text.h"
#include "plugin_host.h"

namespace validate {

namespace {

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
            throw varic::UsageError("--only: no group or check '" + name + "' (groups: " + groups +
                                    ")");
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

// In the child: runs one check and writes "result VERDICT detail" to the results channel.
int runInChild(const Options& options) {
    varic::prepareChildProcess();
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
        varic::endProcess(0);
    }
    return 3;
}

// The last few lines of the child's own output: a crash report (the C library's, a
// sanitizer's summary) comes last, after whatever banner the plug-in printed first.
std::string lastLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.size() > 200 ? line.substr(0, 200) + "..." : line);
    }
    std::string text;
    for (std::size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        text += (text.empty() ? "" : " | ") + lines[i];
    return text;
}

// What a child reported, read from its results channel.
struct ChildReport {
    Outcome outcome{Verdict::fail, ""};
    bool haveResult = false;
    std::string at;            // the case it was in
    std::string call;          // the request or call it was in, if it had not returned
    std::string cause;         // what its crash handler found
    std::string offers = "?";  // the precisions the instance offered ("" none; "?" not told)
};

ChildReport readReport(const std::string& results) {
    ChildReport report;
    std::istringstream lines(results);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("at ", 0) == 0) {
            report.at = line.substr(3);
            report.call.clear();
        } else if (line.rfind("in ", 0) == 0) {
            report.call = line.substr(3);
        } else if (line == "out") {
            report.call.clear();
        } else if (line.rfind("cause ", 0) == 0) {
            report.cause = line.substr(6);
        } else if (line.rfind("offers", 0) == 0) {
            report.offers = line.size() > 7 ? line.substr(7) : "";
        } else if (line.rfind("result ", 0) == 0 && line.size() >= 11) {
            const std::string verdict = line.substr(7, 4);
            report.outcome.verdict = verdict == "PASS"   ? Verdict::pass
                                     : verdict == "WARN" ? Verdict::warn
                                     : verdict == "INFO" ? Verdict::info
                                                         : Verdict::fail;
            report.outcome.detail = line.size() > 12 ? line.substr(12) : "";
            report.haveResult = true;
        }
    }
    return report;
}

ChildReport runInParent(const Check& check, const Options& options,
                        const std::vector<std::string>& self, const varic::StopRequest& stop) {
    std::vector<std::string> command = self;
    command.insert(command.end(), {options.plugin, "--child", fullName(check)});
    if (options.quick) command.push_back("--quick");
    const varic::ChildEnd end = varic::runChild(command, {options.timeout, stop, true});
    if (end.stoppedBy != 0) throw varic::Interrupted(end.stoppedBy);
    if (stop && stop() != 0) throw varic::Interrupted(stop());

    ChildReport report = readReport(end.results);
    if (!end.exitedCleanly || !report.haveResult) {
        Outcome& outcome = report.outcome;
        outcome.verdict = Verdict::fail;
        outcome.detail = end.how.empty() ? "ended without a result" : end.how;
        if (!report.cause.empty()) outcome.detail += ": " + report.cause;
        if (report.haveResult) {
            outcome.detail += " after its result";
        } else {
            if (!report.call.empty()) outcome.detail += " in " + report.call;
            if (!report.at.empty())
                outcome.detail += (report.call.empty() ? " at " : ", at ") + report.at;
        }
        const std::string said = lastLines(end.output);
        if (!said.empty()) outcome.detail += "; it printed: " + said;
    }
    return report;
}

struct Reported {
    std::string group;
    std::string name;
    Outcome outcome;
};

// The run's lines or its JSON object.
class Report {
public:
    explicit Report(const Options& options) : options_(options) {
        if (!options.json && !options.quiet) {
            std::printf("validating %s%s\n", options.plugin.c_str(),
                        options.quick ? " (quick)" : "");
            std::fflush(stdout);
        }
    }
    void add(const Check& check, const Outcome& outcome) {
        ++counts_[static_cast<int>(outcome.verdict)];
        reported_.push_back({check.group, check.name, outcome});
        if (!options_.json && !(options_.quiet && (outcome.verdict == Verdict::pass ||
                                                   outcome.verdict == Verdict::info))) {
            std::printf("%s  %-34s %s\n", verdictName(outcome.verdict), fullName(check).c_str(),
                        outcome.detail.c_str());
            std::fflush(stdout);
        }
    }
    // Checks that could not run, said once.
    void skip(const std::vector<const Check*>& checks, const std::string& why) {
        if (checks.empty()) return;
        skipped_ = checks;
        skipReason_ = why;
        if (!options_.json) {
            std::printf("SKIP  %-34s %s\n",
                        format("%zu check%s", checks.size(), checks.size() == 1 ? "" : "s").c_str(),
                        why.c_str());
        }
    }
    int finish(double seconds) const {
        if (options_.json) {
            printJson(seconds);
        } else {
            std::printf("summary: %d PASS, %d WARN, %d FAIL, %d INFO%s in %.1f s\n", counts_[0],
                        counts_[1], counts_[2], counts_[3],
                        skipped_.empty() ? "" : format(", %zu SKIP", skipped_.size()).c_str(),
                        seconds);
        }
        return counts_[static_cast<int>(Verdict::fail)] > 0 ? 1 : 0;
    }

private:
    void printJson(double seconds) const {
        std::printf("{\n  \"plugin\": %s,\n  \"quick\": %s,\n  \"checks\": [\n",
                    varic::jsonString(options_.plugin).c_str(), options_.quick ? "true" : "false");
        for (std::size_t i = 0; i < reported_.size(); ++i) {
            const Reported& r = reported_[i];
            std::printf(
                "    {\"group\": %s, \"check\": %s, \"verdict\": \"%s\", \"detail\": %s}%s\n",
                varic::jsonString(r.group).c_str(), varic::jsonString(r.name).c_str(),
                verdictName(r.outcome.verdict), varic::jsonString(r.outcome.detail).c_str(),
                i + 1 < reported_.size() ? "," : "");
        }
        std::printf("  ],\n  \"skipped\": [");
        for (std::size_t i = 0; i < skipped_.size(); ++i) {
            std::printf("%s%s", i == 0 ? "" : ", ",
                        varic::jsonString(fullName(*skipped_[i])).c_str());
        }
        std::printf("],\n");
        if (!skipped_.empty())
            std::printf("  \"skipped because\": %s,\n", varic::jsonString(skipReason_).c_str());
        std::printf(
            "  \"summary\": {\"pass\": %d, \"warn\": %d, \"fail\": %d, \"info\": %d, "
            "\"skip\": %zu},\n  \"seconds\": %.1f\n}\n",
            counts_[0], counts_[1], counts_[2], counts_[3], skipped_.size(), seconds);
    }

    const Options& options_;
    std::vector<Reported> reported_;
    std::vector<const Check*> skipped_;
    std::string skipReason_;
    int counts_[4] = {0, 0, 0, 0};
};

const Check& entryCheck() {
    return allChecks().front();  // loading/entry
}

}  // namespace

int runValidate(const Options& given, const std::vector<std::string>& self,
                const varic::StopRequest& stop) {
    if (!given.child.empty()) return runInChild(given);
    const std::vector<Check> checks = selected(given.only);
    Options options = given;
    {
        // Said once here rather than by every check; the children get the absolute path.
        std::string error;
        options.plugin = vsthost::pluginFile(options.plugin, &error);
        if (options.plugin.empty()) throw varic::Failure(error);
        std::ifstream probe(options.plugin, std::ios::binary);
        if (!probe) throw varic::Failure("plug-in " + options.plugin + ": cannot be read");
    }

    const auto started = std::chrono::steady_clock::now();
    Report report(options);
    // Loading first, whatever was chosen: every other check needs an instance, and a binary
    // that does not load, or hangs loading, would otherwise cost each check its time limit to
    // say the same thing.
    const auto isEntry = [](const Check& check) {
        return fullName(check) == fullName(entryCheck());
    };
    const ChildReport loading = runInParent(entryCheck(), options, self, stop);
    const bool loads = loading.outcome.verdict != Verdict::fail;
    const bool processes = loads && !loading.offers.empty();
    if (!loads || std::any_of(checks.begin(), checks.end(), isEntry))
        report.add(entryCheck(), loading.outcome);
    std::vector<const Check*> skipped;
    for (const Check& check : checks) {
        if (isEntry(check)) continue;
        if (!loads || (check.processes && !processes))
            skipped.push_back(&check);
        else
            report.add(check, runInParent(check, options, self, stop).outcome);
    }
    report.skip(skipped, !loads ? "not run: they need an instance, and loading failed"
                                : "not run: they process audio, and the effect offers no "
                                  "replacing processing (effFlagsCanReplacing with "
                                  "processReplacing, or effFlagsCanDoubleReplacing with "
                                  "processDoubleReplacing)");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report.finish(seconds);
}

}  // namespace validate
