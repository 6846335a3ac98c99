// varic validate as a developer runs it: on the crossfeed, on plug-ins built with one fault
// each, on correct plug-ins with a quirk, and on a correct plug-in written without the
// project's classes.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Result {
    int status = -1;
    std::string out;
    double seconds = 0.0;
};

Result varic(const std::string& arguments) {
    Result run;
    const auto started = std::chrono::steady_clock::now();
    FILE* pipe = popen((std::string(VARIC_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        run.out.append(chunk, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return run;
}

std::string fake(const std::string& name) {
    return std::string(FAKES_DIR) + "/validate_" + name + ".so";
}

// The validator's child processes for a plug-in, and the helpers the plug-in forked (copies
// of them): their command lines name the plug-in, then --child.
int checkProcesses(const std::string& plugin) {
    const std::string text = plugin + std::string("\0--child", 8);
    int found = 0;
    DIR* proc = opendir("/proc");
    for (dirent* entry; proc != nullptr && (entry = readdir(proc)) != nullptr;) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        std::ifstream file(std::string("/proc/") + entry->d_name + "/cmdline");
        std::stringstream line;
        line << file.rdbuf();
        if (line.str().find(text) != std::string::npos) ++found;
    }
    if (proc != nullptr) closedir(proc);
    return found;
}

struct Expected {
    const char* verdict;  // one verdict, or alternatives as "PASS|INFO"
    const char* says;     // a part of the reason
};

struct Row {
    std::string plugin;
    std::string options;
    std::map<std::string, Expected> notPassing;  // every other check must PASS
};

const Expected kSpeed{"INFO", "ns/frame"};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // The crossfeed's 32-bit tail holds subnormal samples unless it flushes them.
        {VARIC_PLUGIN_BUILT,
         "",
         {{"speed/speed", kSpeed},
          {"processing/subnormals", {"PASS|INFO", "time per frame in the tail"}}}},
        {fake("plain_panner"),
         "--quick",
         {{"speed/speed", kSpeed}, {"processing/in-place", {"INFO", "1 inputs, 2 outputs"}}}},
        {fake("allocates_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"realtime/allocation", {"FAIL", "in 32-bit processing calls, the first malloc"}}}},
        {fake("locks_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed}, {"realtime/locks", {"FAIL", "the first pthread_mutex_lock"}}}},
        {fake("prints_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed}, {"realtime/io", {"FAIL", "I/O in 32-bit processing calls"}}}},
        {fake("writes_past_text"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"requests/text-answers", {"FAIL", "47 effGetVendorString, index 0, into 64 bytes"}}}},
        {fake("leaves_mxcsr_changed"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"float-mode/mxcsr-preserved",
           {"FAIL", "processReplacing changed the caller's MXCSR from 0x1F80 to 0x9FC0"}}}},
        {fake("denormal_after_silence"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/silence", {"FAIL", "32-bit: still not digital silence 10 s after"}},
          {"processing/subnormals", {"INFO", "subnormal samples in the tail after sound"}}}},
        {fake("crashes_on_request"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"requests/every-request", {"FAIL", "at request 35 effGetPlugCategory"}}}},
        {fake("hangs_on_request"),
         "--only requests --timeout 3",
         {{"requests/every-request",
           {"FAIL", "timed out after 3 s at request 58 effGetVstVersion"}}}},
        {fake("leaks_per_instance"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"lifecycle/open-close", {"FAIL", "a leak"}},
          {"lifecycle/close-while-on", {"FAIL", "a leak"}}}},
        {fake("depends_on_block_splitting"),
         "--quick",
         {{"speed/speed", kSpeed}, {"processing/block-splitting", {"WARN", "changes the output"}}}},
        {fake("wrong_flags"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"loading/record",
           {"FAIL", "effFlagsCanDoubleReplacing is set but processDoubleReplacing is null"}}}},
        {fake("copies_past_block"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/block-sizes",
           {"FAIL", "a block of 0 frames: wrote past the block's end in output 0"}}}},
        {fake("writes_into_inputs"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/block-sizes", {"FAIL", "wrote into input 0, which hosts pass read-only"}}}},
        {fake("loops_on_empty_block"),
         "--quick",
         {{"speed/speed", kSpeed}, {"processing/block-sizes", {"FAIL", "a block of 0 frames"}}}},
        {fake("ignores_parameter"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/parameter-round-trip", {"FAIL", "parameter 0 ignores setParameter"}}}},
        {fake("crashes_closed_while_on"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"lifecycle/close-while-on", {"FAIL", "in request 1 effClose, sent while switched on"}}}},
        {fake("sleeps_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed}, {"realtime/sleep", {"FAIL", "the first usleep"}}}},
        {fake("starts_thread_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed}, {"realtime/spawn", {"FAIL", "the first pthread_create"}}}},
        {fake("forks_in_processing"),
         "--quick",
         {{"speed/speed", kSpeed}, {"realtime/spawn", {"FAIL", "the first fork"}}}},
        {fake("grows_per_call"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"lifecycle/open-close", {"FAIL", "work grows from call to call"}},
          {"lifecycle/close-while-on", {"FAIL", "work grows from call to call"}},
          {"lifecycle/state-changes", {"FAIL", "work grows from call to call"}}}},
        {fake("double_without_flag"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"loading/record", {"WARN", "effFlagsCanDoubleReplacing is not set: hosts will never"}}}},
        {fake("slow_on_subnormals"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/subnormals", {"FAIL", "processing slows down on subnormal values"}}}},
        // Correct plug-ins with a quirk: no FAIL, no WARN.
        {fake("subnormal_tail"),
         "--quick",
         {{"speed/speed", kSpeed},
          {"processing/subnormals", {"INFO", "subnormal samples in the tail after sound"}}}},
        {fake("sets_flush_to_zero"), "--quick", {{"speed/speed", kSpeed}}},
        {fake("asks_host_in_processing"), "--quick", {{"speed/speed", kSpeed}}},
        {fake("try_lock_in_processing"), "--quick", {{"speed/speed", kSpeed}}},
        {fake("has_latency"), "--quick", {{"speed/speed", kSpeed}}},
        {fake("no_parameters"), "--quick", {{"speed/speed", kSpeed}}},
        {fake("latin1_name"), "--quick", {{"speed/speed", kSpeed}}},
    };
    return table;
}

class EachPlugin : public testing::TestWithParam<std::size_t> {};

TEST_P(EachPlugin, GetsExactlyItsVerdictsAndLeavesNoProcessBehind) {
    const Row& row = rows()[GetParam()];
    SCOPED_TRACE(row.plugin + " " + row.options);
    const Result run = varic("validate " + row.plugin + " " + row.options);
    const std::regex line(R"(^(PASS|WARN|FAIL|INFO)  (\S+) +(.*)$)");
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
            EXPECT_TRUE(std::regex_match(match[1].str(), std::regex(expected->second.verdict)))
                << text;
            EXPECT_NE(match[3].str().find(expected->second.says), std::string::npos) << text;
        }
    }
    EXPECT_GE(checks, row.options.find("--only") == std::string::npos ? 29 : 3) << run.out;
    EXPECT_EQ(run.status, failed ? 1 : 0) << run.out;
    // Each check's process group ends with it, helpers the plug-in forked included.
    EXPECT_EQ(checkProcesses(row.plugin), 0);
}

INSTANTIATE_TEST_SUITE_P(Validate, EachPlugin, testing::Range<std::size_t>(0, rows().size()),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                             std::string name = rows()[info.param].plugin;
                             name = name.substr(name.rfind('/') + 1);
                             name = name.substr(0, name.find('.'));
                             return name.rfind("validate_", 0) == 0 ? name.substr(9) : name;
                         });

// A binary that does not load, or offers nothing to process, costs one check, said once: not
// a time limit and a FAIL per check.
TEST(Validate, ALoadingFailureIsSaidOnceAndWhatDependsOnItSkipped) {
    const struct {
        std::string plugin;
        std::string options;
        const char* fails;
        const char* says;
        const char* skipped;
    } rows[] = {
        {fake("hangs_in_open"), "--timeout 3", "loading/entry",
         "timed out after 3 s in request 0 effOpen", "28 checks"},
        {fake("no_replacing"), "--quick", "loading/record", "effFlagsCanReplacing is not set",
         "23 checks"},
    };
    for (const auto& row : rows) {
        const Result run = varic("validate " + row.plugin + " " + row.options);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find(std::string("FAIL  ") + row.fails), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(row.says), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(std::string("SKIP  ") + row.skipped), std::string::npos) << run.out;
        EXPECT_EQ(std::regex_search(run.out, std::regex("(^|\n)FAIL .*\n(.*\n)*FAIL ")), false)
            << run.out;
        EXPECT_LT(run.seconds, 7.0) << run.out;  // about one time limit of 3 s
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
    EXPECT_NE(
        run.out.find(R"re("summary": {"pass": 4, "warn": 0, "fail": 0, "info": 1, "skip": 0})re"),
        std::string::npos)
        << run.out;
}

TEST(Validate, JsonIsValidUtf8WhateverBytesAPluginNames) {
    // The effect names itself in Latin-1 ("Caf\xE9 Gain"); iconv refuses invalid UTF-8.
    const Result run = varic(std::string("validate --json --only loading ") + fake("latin1_name") +
                             " | iconv -f UTF-8 -t UTF-8");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Caf\xEF\xBF\xBD Gain"), std::string::npos) << run.out;
}

TEST(Validate, StopsAtOnceOnSigintAndLeavesNothingBehind) {
    // A check that hangs in the plug-in, as a run that a user interrupts might.
    char folder[] = "/tmp/varic-validate-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string plugin = fake("hangs_on_request");
    const std::string temp = std::string("TMPDIR=") + folder;
    std::vector<char*> environment{const_cast<char*>(temp.c_str())};
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment.push_back(*variable);
    environment.push_back(nullptr);
    const char* argv[] = {VARIC_CLI, "validate", plugin.c_str(), "--only", "requests", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VARIC_CLI, nullptr, nullptr, const_cast<char**>(argv),
                          environment.data()),
              0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_GT(checkProcesses(plugin), 0);  // the check the validator runs
    const auto signalled = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(checkProcesses(plugin), 0);
    EXPECT_EQ(rmdir(folder), 0) << "temporary files left in " << folder;
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
