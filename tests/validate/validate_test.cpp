// varic validate as a developer runs it: on the crossfeed, on plug-ins built with one fault
// each, and on a correct plug-in written without the project's classes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
    int status = -1;
    std::string out;
};

Result varic(const std::string& arguments) {
    Result run;
    FILE* pipe = popen((std::string(VARIC_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        run.out.append(chunk, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string fake(const std::string& name) {
    return std::string(FAKES_DIR) + "/validate_" + name + ".so";
}

struct Expected {
    const char* verdict;
    const char* says;  // a part of the reason
};

struct Row {
    std::string plugin;
    std::string options;
    std::map<std::string, Expected> notPassing;  // every other check must PASS
};

const Row kRows[] = {
    {VARIC_PLUGIN_BUILT, "", {{"speed/speed", {"INFO", "ns/frame"}}}},
    {fake("plain_panner"),
     "--quick",
     {{"speed/speed", {"INFO", "ns/frame"}},
      {"processing/in-place", {"INFO", "1 inputs, 2 outputs"}}}},
    {fake("allocates_in_processing"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"realtime/allocation", {"FAIL", "in 32-bit processing calls, the first malloc"}}}},
    {fake("locks_in_processing"),
     "--quick",
     {{"speed/speed", {"INFO", ""}}, {"realtime/locks", {"FAIL", "the first pthread_mutex_lock"}}}},
    {fake("prints_in_processing"),
     "--quick",
     {{"speed/speed", {"INFO", ""}}, {"realtime/io", {"FAIL", "I/O in 32-bit processing calls"}}}},
    {fake("writes_past_text"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"requests/text-answers", {"FAIL", "47 effGetVendorString, index 0, into 64 bytes"}}}},
    {fake("leaves_mxcsr_changed"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"float-mode/mxcsr-preserved",
       {"FAIL", "processReplacing changed the caller's MXCSR from 0x1F80 to 0x9FC0"}}}},
    {fake("denormal_after_silence"),
     "--quick",
     {{"speed/speed", {"INFO", ""}}, {"processing/silence", {"FAIL", "a subnormal in output 0"}}}},
    {fake("crashes_on_request"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"requests/every-request", {"FAIL", "at request 35 effGetPlugCategory"}}}},
    {fake("hangs_on_request"),
     "--only requests --timeout 3",
     {{"requests/every-request", {"FAIL", "timed out after 3 s at request 58 effGetVstVersion"}}}},
    {fake("leaks_per_instance"),
     "--quick",
     {{"speed/speed", {"INFO", ""}}, {"lifecycle/open-close", {"FAIL", "a leak"}}}},
    {fake("depends_on_block_splitting"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"processing/block-splitting", {"WARN", "changes the output"}}}},
    {fake("wrong_flags"),
     "--quick",
     {{"speed/speed", {"INFO", ""}},
      {"loading/record",
       {"FAIL", "effFlagsCanDoubleReplacing is set but processDoubleReplacing is null"}}}},
};

TEST(Validate, EachPluginGetsExactlyItsVerdicts) {
    const std::regex line(R"(^(PASS|WARN|FAIL|INFO)  (\S+) +(.*)$)");
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.plugin + " " + row.options);
        const Result run = varic("validate " + row.plugin + " " + row.options);
        int checks = 0;
        bool failed = false;
        std::istringstream lines(run.out);
        for (std::string text; std::getline(lines, text);) {
            std::smatch match;
            if (!std::regex_match(text, match, line)) continue;
            ++checks;
            failed = failed || match[1] == "FAIL";
            const auto expected = row.notPassing.find(match[2]);
            if (expected == row.notPassing.end()) {
                EXPECT_EQ(match[1], "PASS") << text;
            } else {
                EXPECT_EQ(match[1], expected->second.verdict) << text;
                EXPECT_NE(match[3].str().find(expected->second.says), std::string::npos) << text;
            }
        }
        EXPECT_GE(checks, row.options.find("--only") == std::string::npos ? 25 : 3) << run.out;
        EXPECT_EQ(run.status, failed ? 1 : 0) << run.out;
    }
}

TEST(Validate, JsonReportsEveryCheckWithItsVerdictAndASummary) {
    const Result run =
        varic(std::string("validate --json --only loading,speed ") + VARIC_PLUGIN_BUILT);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::regex check(
        R"re(\{"group": "(\w+)", "check": "([\w-]+)", "verdict": "(PASS|INFO)", "detail": ")re");
    const auto found = std::distance(std::sregex_iterator(run.out.begin(), run.out.end(), check),
                                     std::sregex_iterator());
    EXPECT_EQ(found, 5) << run.out;
    EXPECT_NE(run.out.find(R"re("summary": {"pass": 4, "warn": 0, "fail": 0, "info": 1})re"),
              std::string::npos)
        << run.out;
}

TEST(Validate, WrongCommandLinesExitWithTwoAndAMissingFileWithOne) {
    const struct {
        std::string arguments;
        int status;
        const char* says;
    } rows[] = {
        {std::string(VARIC_PLUGIN_BUILT) + " --only", 2, "--only needs a value"},
        {std::string(VARIC_PLUGIN_BUILT) + " --only sound", 2, "no group or check 'sound'"},
        {std::string(VARIC_PLUGIN_BUILT) + " --timeout -1", 2, "not a number of seconds"},
        {std::string(VARIC_PLUGIN_BUILT) + " --fast", 2, "unknown option --fast"},
        {"/nonexistent/plugin.so", 1, "plug-in /nonexistent/plugin.so: no such file"},
    };
    for (const auto& row : rows) {
        const Result run = varic("validate " + row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments << ": " << run.out;
        EXPECT_NE(run.out.find(row.says), std::string::npos) << row.arguments << ": " << run.out;
    }
}

}  // namespace
