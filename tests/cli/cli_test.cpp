// varic as a user runs it: the built tool on files generated here, against the crossfeed as
// built and against fake plug-ins that are wrong in one way each.

#include <gtest/gtest.h>
#include <pty.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>

#include "crossfeed_filter.h"
#include "instance.h"
#include "plugin_host.h"
#include "plugin_under_test.h"
#include "stereo_buffer.h"

using vsthost::bitsOf;

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// Every file in a folder (hidden ones included) with its size and a hash of its content.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string content = entry.is_regular_file() ? readFile(entry.path()) : "";
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? std::to_string(content.size()) + " bytes, hash " +
                                          std::to_string(std::hash<std::string>{}(content))
                                    : std::string("<not a file>");
    }
    return files;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

struct Sound {
    SF_INFO info{};
    std::vector<double> samples;  // interleaved
    std::vector<float> floats;    // the same, read as 32-bit floats
    std::map<int, std::string> strings;
};

using SoundStrings = std::vector<std::pair<int, std::string>>;

void writeSound(const fs::path& path, int format, int rate, int channels,
                const std::vector<double>& interleaved, const SoundStrings& strings = {}) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    for (const auto& [type, text] : strings) EXPECT_EQ(sf_set_string(file, type, text.c_str()), 0);
    const auto frames = static_cast<sf_count_t>(interleaved.size() / channels);
    EXPECT_EQ(sf_writef_double(file, interleaved.data(), frames), frames);
    sf_close(file);
}

Sound readSound(const fs::path& path) {
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sound.info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return sound;
    }
    const std::size_t count = static_cast<std::size_t>(sound.info.frames) * sound.info.channels;
    sound.samples.resize(count);
    sf_readf_double(file, sound.samples.data(), sound.info.frames);
    sf_seek(file, 0, SEEK_SET);
    sound.floats.resize(count);
    sf_readf_float(file, sound.floats.data(), sound.info.frames);
    for (int type = SF_STR_FIRST; type <= SF_STR_LAST; ++type) {
        if (const char* text = sf_get_string(file, type)) sound.strings[type] = text;
    }
    sf_close(file);
    return sound;
}

std::vector<double> noise(std::size_t frames, int channels, std::uint32_t seed, double amplitude) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> sample(-amplitude, amplitude);
    std::vector<double> out(frames * channels);
    for (double& x : out) x = sample(random);
    return out;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                              "/varic-cli-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        work = root / "work";
        fs::create_directory(work);
    }
    void TearDown() override { fs::remove_all(root); }

    std::string at(const std::string& name) const { return (work / name).string(); }

    // Runs varic with the words given; `environment` is put before the command, e.g. "PATH=x".
    Outcome varic(const std::vector<std::string>& words, const std::string& environment = "") {
        std::string command = environment + " \"$VARIC\"";
        for (const std::string& word : words) command.append(" ").append(quoted(word));
        return shell(command + " </dev/null");
    }

    // Runs a shell command line, in which $VARIC names the tool.
    Outcome shell(std::string command) {
        const fs::path out = root / "stdout";
        const fs::path err = root / "stderr";
        command = "VARIC=" + quoted(VARIC_CLI) + "; { " + command + "; } >" + quoted(out.string()) +
                  " 2>" + quoted(err.string());
        const int raw = std::system(command.c_str());
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = readFile(out);
        run.err = readFile(err);
        return run;
    }

    fs::path root;
    fs::path work;  // the user's folder: only what varic is asked to write appears here
};

// What the host library gives for the same samples, processed in one call.
template <class Sample>
std::vector<Sample> throughHostLibrary(const std::vector<Sample>& interleaved, int rate,
                                       int blockSize, std::optional<int> strength) {
    std::string error;
    auto library = vsthost::PluginLibrary::load(vsthost::builtPluginPath(), &error);
    EXPECT_NE(library, nullptr) << error;
    vsthost::Host host;
    auto plugin = vsthost::Instance::create(*library, &host, &error);
    EXPECT_NE(plugin, nullptr) << error;
    plugin->setSampleRate(static_cast<float>(rate));
    plugin->setBlockSize(blockSize);
    if (strength) plugin->setParameter(0, static_cast<float>(*strength / 100.0));
    plugin->resume();
    const std::size_t frames = interleaved.size() / 2;
    vsthost::StereoBuffer<Sample> in(frames), out(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        in.left[n] = interleaved[2 * n];
        in.right[n] = interleaved[2 * n + 1];
    }
    plugin->processSamples(in.channels(), out.channels(), static_cast<VstInt32>(frames));
    std::vector<Sample> result(interleaved.size());
    for (std::size_t n = 0; n < frames; ++n) {
        result[2 * n] = out.left[n];
        result[2 * n + 1] = out.right[n];
    }
    return result;
}

template <class Sample>
void expectSameBits(const std::vector<Sample>& expected, const std::vector<Sample>& actual,
                    const std::string& row) {
    ASSERT_EQ(expected.size(), actual.size()) << row;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (bitsOf(expected[i]) != bitsOf(actual[i])) {
            FAIL() << row << ": first difference at frame " << i / 2 << ", channel " << i % 2
                   << ": expected " << expected[i] << ", got " << actual[i];
        }
    }
}

// ---- render ----------------------------------------------------------------------------------

TEST_F(CliTest, RenderEqualsTheHostLibraryBitForBit) {
    struct Row {
        const char* name;
        int precision;
        int block;
        std::optional<int> strength;
    };
    // clang-format off
    const Row rows[] = {
        {"32-bit, blocks of 4096, default strength", 32, 4096, std::nullopt},
        {"32-bit, odd blocks of 777, strength 37", 32, 777, 37},
        {"64-bit, blocks of 4096, strength 37", 64, 4096, 37},
        {"64-bit, odd blocks of 1001, default strength", 64, 1001, std::nullopt},
    };
    // clang-format on
    constexpr int kRate = 48000;
    const std::vector<double> signal = noise(20000, 2, 7, 0.5);
    for (const Row& row : rows) {
        const int subtype = row.precision == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
        writeSound(at("in.wav"), SF_FORMAT_WAV | subtype, kRate, 2, signal);
        std::vector<std::string> words = {"render",
                                          at("in.wav"),
                                          at("out.wav"),
                                          "--precision",
                                          std::to_string(row.precision),
                                          "--block",
                                          std::to_string(row.block)};
        if (row.strength) {
            words.push_back("--strength");
            words.push_back(std::to_string(*row.strength));
        }
        const Outcome run = varic(words);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.err;
        EXPECT_EQ(run.err, "") << row.name;
        const Sound input = readSound(at("in.wav"));
        const Sound output = readSound(at("out.wav"));
        EXPECT_EQ(output.info.format, SF_FORMAT_WAV | subtype) << row.name;
        EXPECT_EQ(output.info.samplerate, kRate) << row.name;
        if (row.precision == 64) {
            expectSameBits(throughHostLibrary(input.samples, kRate, row.block, row.strength),
                           output.samples, row.name);
        } else {
            expectSameBits(throughHostLibrary(input.floats, kRate, row.block, row.strength),
                           output.floats, row.name);
        }
    }
}

TEST_F(CliTest, MonoToStereoFeedsTheOneChannelToBothInputs) {
    // Equal channels have no difference, so the crossfeed passes them unchanged: the output
    // is the input on both sides, exactly, even through 16-bit samples.
    const std::vector<double> mono = noise(5000, 1, 3, 0.7);
    writeSound(at("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, mono);
    const Outcome run = varic({"render", at("mono.wav"), at("out.wav"), "--mono-to-stereo"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Sound input = readSound(at("mono.wav"));
    const Sound output = readSound(at("out.wav"));
    ASSERT_EQ(output.info.channels, 2);
    EXPECT_EQ(output.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(output.samples.size(), 2 * input.samples.size());
    for (std::size_t n = 0; n < input.samples.size(); ++n) {
        ASSERT_EQ(output.samples[2 * n], input.samples[n]) << "left, frame " << n;
        ASSERT_EQ(output.samples[2 * n + 1], input.samples[n]) << "right, frame " << n;
    }
}

TEST_F(CliTest, OutputBeyondFullScaleIsClippedAndReportedInIntegerFormats) {
    // The fake gain doubles the signal: a sine at 0.8 reaches 1.6.
    std::vector<double> sine(2 * 4410);
    for (std::size_t n = 0; n < sine.size() / 2; ++n) {
        sine[2 * n] = sine[2 * n + 1] =
            0.8 * std::sin(2.0 * std::numbers::pi * 441.0 * n / 44100.0);
    }
    writeSound(at("loud.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, sine);

    const Outcome clipped = varic({"render", "--plugin", FAKE_GAIN, at("loud.wav"), at("pcm.wav")});
    ASSERT_EQ(clipped.status, 0) << clipped.err;
    EXPECT_NE(clipped.err.find("exceeded full scale"), std::string::npos) << clipped.err;
    EXPECT_NE(clipped.err.find("--float"), std::string::npos) << clipped.err;
    const Sound pcm = readSound(at("pcm.wav"));
    const Sound input = readSound(at("loud.wav"));
    ASSERT_EQ(pcm.samples.size(), input.samples.size());
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        const double expected = std::clamp(2.0 * input.samples[i], -1.0, 32767.0 / 32768.0);
        ASSERT_EQ(pcm.samples[i], expected) << "sample " << i << ": clipped, not wrapped around";
    }

    const Outcome kept =
        varic({"render", "--plugin", FAKE_GAIN, at("loud.wav"), at("float.wav"), "--float"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.err.find("full scale"), std::string::npos) << kept.err;
    const Sound floats = readSound(at("float.wav"));
    EXPECT_EQ(floats.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_GT(*std::max_element(floats.samples.begin(), floats.samples.end()), 1.5);
}

// Each bad input: a one-line message naming the problem, exit status 2 for a wrong command
// line and 1 for a failure while running, and the folder exactly as it was (no output, no
// temporary file, the input untouched).
TEST_F(CliTest, BadInputFailsWithOneLineAndWritesNothing) {
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, noise(3000, 2, 1, 0.5));
    writeSound(at("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(3000, 1, 2, 0.5));
    writeSound(at("three.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 3, noise(3000, 3, 3, 0.5));
    std::ofstream(at("notes.txt")) << "not a sound\n";
    fs::create_symlink(at("in.wav"), at("link.wav"));
    fs::create_hard_link(at("in.wav"), at("hard.wav"));
    fs::create_directory(at("sub"));

    struct Row {
        const char* name;
        std::vector<std::string> words;  // "@" stands for the work folder
        int status;
        const char* message;
    };
    const std::string in = "@/in.wav";
    const std::string out = "@/out.wav";
    // clang-format off
    const std::vector<Row> rows = {
        {"missing input", {"render", "@/none.wav", out}, 1, "none.wav: no such file"},
        {"input is no sound file", {"render", "@/notes.txt", out}, 1, "not a sound file"},
        {"input is a folder", {"render", "@/sub", out}, 1, "is a directory"},
        {"mono input", {"render", "@/mono.wav", out}, 1, "is mono; varic renders stereo (add --mono-to-stereo"},
        {"three channels", {"render", "@/three.wav", out}, 1, "has 3 channels"},
        {"output is the input", {"render", in, in}, 1, "is the input file itself"},
        {"output is the input by a symlink", {"render", in, "@/link.wav"}, 1, "is the input file itself"},
        {"output is the input by a hard link", {"render", in, "@/hard.wav"}, 1, "is the input file itself"},
        {"output is the input by another spelling", {"render", in, "@/sub/../in.wav"}, 1, "is the input file itself"},
        {"output folder missing", {"render", in, "@/nowhere/out.wav"}, 1, "cannot write @/nowhere/out.wav"},
        {"output type cannot hold the samples", {"render", in, "@/out.ogg", "--pcm16"}, 1, ": OGG (OGG Container format) files cannot hold Signed 16 bit PCM samples"},
        {"output type unknown", {"render", in, "@/out.xyz"}, 2, "does not know the file type .xyz"},
        {"plug-in missing", {"render", "--plugin", "@/none.so", in, out}, 1, "plug-in @/none.so: no such file"},
        {"plug-in does not load", {"render", "--plugin", "@/notes.txt", in, out}, 1, "cannot load plug-in @/notes.txt"},
        {"plug-in is not an effect", {"render", "--plugin", FAKE_BAD_MAGIC, in, out}, 1, "is not a VST effect"},
        {"plug-in has no entry", {"render", "--plugin", FAKE_NO_ENTRY, in, out}, 1, "exports neither VSTPluginMain nor main"},
        {"plug-in entry returns null", {"render", "--plugin", FAKE_NULL_ENTRY, in, out}, 1, "made no instance: its entry returned null"},
        {"plug-in is mono", {"render", "--plugin", FAKE_MONO, in, out}, 1, "has 1 input and 1 output; varic needs 2 inputs and 2 outputs"},
        {"strength above range", {"render", in, out, "--strength", "101"}, 2, "--strength 101 is out of range: valid 0 to 100"},
        {"strength below range", {"render", in, out, "--strength", "-1"}, 2, "--strength -1 is out of range: valid 0 to 100"},
        {"strength not a number", {"render", in, out, "--strength", "nan"}, 2, "--strength 'nan' is not a number"},
        {"parameter value above range", {"render", in, out, "--param", "0=1.5"}, 2, "value 1.5 is out of range: valid 0 to 1"},
        {"parameter index beyond the last", {"render", in, out, "--param", "1=0.5"}, 2, "--param index 1 is out of range: valid 0 to 0"},
        {"parameter name unknown", {"render", in, out, "--param", "Width=0.5"}, 1, "has no parameter named 'Width'"},
        {"strength on a plug-in without it", {"render", "--plugin", FAKE_GAIN, in, out, "--strength", "10"}, 1, "has no Strength parameter"},
        {"64-bit on a 32-bit plug-in", {"render", "--plugin", FAKE_GAIN, in, out, "--precision", "64"}, 1, "cannot process 64-bit samples"},
        {"precision neither 32 nor 64", {"render", in, out, "--precision", "48"}, 2, "--precision 48 is not valid: use 32 or 64"},
        {"block of no frames", {"render", in, out, "--block", "0"}, 2, "--block 0 is out of range: valid 1 to"},
        {"dither of no known kind", {"render", in, out, "--dither", "rpdf"}, 2, "--dither rpdf is not valid: use none or tpdf"},
        {"no jobs", {"render", in, "--output-dir", "@/sub", "--jobs", "0"}, 2, "--jobs 0 is out of range: valid 1 to 1024"},
        {"jobs for one file", {"render", in, out, "--jobs", "2"}, 2, "--jobs goes with --output-dir"},
        {"single-dash word", {"render", in, "-x"}, 2, "unknown option -x for 'render'"},
        {"info on a library without entry", {"info", FAKE_NO_ENTRY}, 1, "exports neither VSTPluginMain nor main"},
        {"response of a mono plug-in", {"response", "--plugin", FAKE_MONO, "--csv", "@/r.csv"}, 1, "has 1 input and 1 output"},
        {"response with strength above range", {"response", "--strength", "10,200", "--csv", "@/r.csv"}, 2, "--strength 200 is out of range"},
        {"response at a rate that is no number", {"response", "--rate", "abc"}, 2, "--rate 'abc' is not a number"},
        {"plot neither png, svg nor pdf", {"response", "--plot", "@/r.jpg"}, 2, "must be a .png, .svg or .pdf file"},
        {"no command", {}, 2, "usage: varic COMMAND"},
        {"unknown command", {"mix"}, 2, "unknown command 'mix'"},
        {"help on an unknown command", {"help", "mix"}, 2, "no command 'mix'"},
    };
    // clang-format on
    const auto expand = [this](std::string text) {
        for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@'))
            text.replace(at, 1, work.string());
        return text;
    };
    const auto before = snapshot(work);
    for (const Row& row : rows) {
        std::vector<std::string> words;
        for (const std::string& word : row.words) words.push_back(expand(word));
        const Outcome run = varic(words);
        EXPECT_EQ(run.status, row.status) << row.name;
        EXPECT_NE(run.err.find(expand(row.message)), std::string::npos)
            << row.name << ": got " << run.err;
        if (!words.empty()) {  // without a command: the usage
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1)
                << row.name << ": " << run.err;
            EXPECT_EQ(run.err.rfind("varic: ", 0), 0u) << row.name << ": " << run.err;
        }
        EXPECT_EQ(snapshot(work), before) << row.name << ": the folder changed";
    }
}

// Every command takes a plug-in by a bare file name from the current folder, as a user types
// it, and says once that a name that is not there does not exist.
TEST_F(CliTest, EveryCommandTakesAPluginByItsBareName) {
    fs::copy_file(vsthost::builtPluginPath(), work / "MyEffect.so");
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, noise(2000, 2, 7, 0.5));
    const std::vector<std::string> commands = {
        // clang-format off
        "\"$VARIC\" info @",
        "\"$VARIC\" info --plugin @",
        "VARIC_PLUGIN=@ \"$VARIC\" info",
        "\"$VARIC\" render --plugin @ in.wav out.wav",
        "\"$VARIC\" response --plugin @ --csv response.csv",
        "\"$VARIC\" validate @ --quick --only loading,processing/in-place",
        // clang-format on
    };
    for (std::string command : commands) {
        for (const std::string name : {"MyEffect.so", "Missing.so"}) {
            std::string line = command;
            line.replace(line.find('@'), 1, name);
            const Outcome run = shell("cd " + quoted(work.string()) + " && " + line);
            if (name == "MyEffect.so") {
                EXPECT_EQ(run.status, 0) << line << ": " << run.err;
            } else {
                EXPECT_EQ(run.status, 1) << line;
                EXPECT_EQ(run.err, "varic: plug-in Missing.so: no such file\n") << line;
            }
        }
    }
}

// ---- output files ----------------------------------------------------------------------------

TEST_F(CliTest, RenderIntoACharacterDeviceLeavesTheDevice) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node with mknod needs root";
    if (::mknod(at("null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
        GTEST_SKIP() << "mknod refused to make a device node here: " << std::strerror(errno);
    }
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(4000, 2, 1, 0.5));
    const Outcome run = varic({"render", at("in.wav"), at("null")});
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat status {};
    ASSERT_EQ(::lstat(at("null").c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << "the device was replaced";
    EXPECT_EQ(status.st_rdev, ::makedev(1, 3));
    EXPECT_EQ(snapshot(work).size(), 2u) << "a temporary file was left";
}

TEST_F(CliTest, AWriteErrorOnADeviceFailsWithAMessage) {
    // A device that is always full. As root, a node of its own here: a faulty build run as
    // root must not be able to replace the system's /dev/full.
    std::string full = "/dev/full";
    if (::geteuid() == 0) {
        full = at("full");
        if (::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) {
            GTEST_SKIP() << "mknod refused to make a device node here: " << std::strerror(errno);
        }
    }
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(4000, 2, 1, 0.5));
    for (const auto& words : std::vector<std::vector<std::string>>{{"render", at("in.wav"), full},
                                                                   {"response", "--csv", full}}) {
        const Outcome run = varic(words);
        EXPECT_EQ(run.status, 1) << words[0];
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    }
}

// An output that exists keeps what makes it what it is: a link stays a link and its target
// is written, the mode stays, hard links stay together. The same for --csv and --plot.
TEST_F(CliTest, AnExistingOutputKeepsItsLinksAndMode) {
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(4000, 2, 1, 0.5));
    const auto old = [this](const std::string& name) { std::ofstream(at(name)) << "old\n"; };
    const auto mode = [this](const std::string& name) {
        return fs::status(at(name)).permissions() & fs::perms::mask;
    };
    const bool gnuplot = std::system("command -v gnuplot >/dev/null 2>&1") == 0;
    struct Row {
        const char* name;
        std::function<void()> before;
        std::vector<std::string> words;
        std::string written;  // the file that must hold the new content
        std::function<void()> check;
    };
    const std::vector<Row> rows = {
        {"symbolic link",
         [&] {
             old("target.wav");
             fs::create_symlink("target.wav", at("link.wav"));
         },
         {"render", at("in.wav"), at("link.wav")},
         "target.wav",
         [&] { EXPECT_TRUE(fs::is_symlink(at("link.wav"))); }},
        {"symbolic link to a file still to be made",
         [&] { fs::create_symlink("made.wav", at("ahead.wav")); },
         {"render", at("in.wav"), at("ahead.wav")},
         "made.wav",
         [&] { EXPECT_TRUE(fs::is_symlink(at("ahead.wav"))); }},
        {"mode 0600",
         [&] {
             old("private.wav");
             fs::permissions(at("private.wav"), fs::perms::owner_read | fs::perms::owner_write);
         },
         {"render", at("in.wav"), at("private.wav")},
         "private.wav",
         [&] { EXPECT_EQ(mode("private.wav"), fs::perms::owner_read | fs::perms::owner_write); }},
        {"hard link",
         [&] {
             old("one.wav");
             fs::create_hard_link(at("one.wav"), at("two.wav"));
         },
         {"render", at("in.wav"), at("one.wav")},
         "two.wav",
         [&] { EXPECT_TRUE(fs::equivalent(at("one.wav"), at("two.wav"))); }},
        {"--csv through a symbolic link",
         [&] {
             old("r.csv");
             fs::create_symlink("r.csv", at("csvlink.csv"));
         },
         {"response", "--strength", "10", "--csv", at("csvlink.csv")},
         "r.csv",
         [&] { EXPECT_TRUE(fs::is_symlink(at("csvlink.csv"))); }},
        {"--plot of mode 0600",
         [&] {
             old("r.png");
             fs::permissions(at("r.png"), fs::perms::owner_read | fs::perms::owner_write);
         },
         {"response", "--strength", "10", "--plot", at("r.png")},
         "r.png",
         [&] { EXPECT_EQ(mode("r.png"), fs::perms::owner_read | fs::perms::owner_write); }},
    };
    for (const Row& row : rows) {
        if (!gnuplot && row.words.back() == at("r.png")) continue;
        row.before();
        const Outcome run = varic(row.words);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.err;
        EXPECT_NE(readFile(at(row.written)), "old\n") << row.name << ": not written";
        row.check();
        for (const auto& [name, content] : snapshot(work)) {
            EXPECT_NE(name.front(), '.') << row.name << ": left " << name;
        }
    }
}

TEST_F(CliTest, AFileInAFolderVaricMayNotWriteIsRewrittenInPlace) {
    // Root may write any folder: run varic as root without the capabilities that override
    // permissions then, so that the folder's mode holds for it as for its owner.
    const std::string asOwner =
        ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search" : "";
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(4000, 2, 1, 0.5));
    fs::create_directory(at("locked"));
    std::ofstream(at("locked/out.wav")) << "old\n";
    fs::permissions(at("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const Outcome run = varic({"-v", "render", at("in.wav"), at("locked/out.wav")}, asOwner);
    fs::permissions(at("locked"), fs::perms::owner_all);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("is not writable; the file is rewritten in place"), std::string::npos)
        << run.err;
    EXPECT_EQ(readSound(at("locked/out.wav")).info.frames, 4000);
    EXPECT_EQ(snapshot(at("locked")).size(), 1u);
}

// ---- signals ---------------------------------------------------------------------------------

TEST_F(CliTest, ASignalMidRenderLeavesNothingAndExitsWith128PlusItsNumber) {
    // The fake raises the signal at its 100th block: frame 6400 of 44100, in blocks of 64.
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, noise(44100, 2, 5, 0.5));
    std::ofstream(at("old.wav")) << "an output from before\n";
    struct Row {
        const char* signal;
        const char* value;  // the fake's parameter: the signal's number / 100
        int status;
    };
    const Row rows[] = {
        {"SIGHUP", "0.01", 129},
        {"SIGINT", "0.02", 130},
        {"SIGPIPE", "0.13", 141},
        {"SIGTERM", "0.15", 143},
    };
    fs::create_directory(at("batch"));
    fs::copy_file(at("in.wav"), at("again.wav"));
    const auto before = snapshot(work);
    for (const Row& row : rows) {
        const std::string signal = std::string("Signal=") + row.value;
        for (const char* output : {"new.wav", "old.wav"}) {
            const Outcome run = varic({"render", "--plugin", FAKE_GAIN, at("in.wav"), at(output),
                                       "--block", "64", "--param", signal});
            EXPECT_EQ(run.status, row.status) << row.signal << ", " << output << ": " << run.err;
            EXPECT_EQ(snapshot(work), before) << row.signal << ", " << output;
        }
        // A batch on two threads: every worker's output goes.
        const Outcome run =
            varic({"render", "--plugin", FAKE_GAIN, at("in.wav"), at("again.wav"), "--output-dir",
                   at("batch"), "--jobs", "2", "--block", "64", "--param", signal});
        EXPECT_EQ(run.status, row.status) << row.signal << ", batch: " << run.err;
        EXPECT_TRUE(fs::is_empty(at("batch"))) << row.signal << ", batch";
    }
}

// ---- standard input and output ---------------------------------------------------------------

TEST_F(CliTest, DashIsStandardInputAndOutput) {
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, noise(20000, 2, 9, 0.5));
    const std::string in = quoted(at("in.wav"));
    // Through a pipe: the same as two renders in a row through files.
    const Outcome piped =
        shell("$VARIC render " + in + " - | $VARIC render - " + quoted(at("piped.wav")));
    ASSERT_EQ(piped.status, 0) << piped.err;
    ASSERT_EQ(varic({"render", at("in.wav"), at("once.wav")}).status, 0);
    ASSERT_EQ(varic({"render", at("once.wav"), at("twice.wav")}).status, 0);
    expectSameBits(readSound(at("twice.wav")).floats, readSound(at("piped.wav")).floats, "piped");

    // Into a file, standard output gets WAV; into a pipe, AU, which streams.
    ASSERT_EQ(shell("$VARIC render " + in + " - >" + quoted(at("stdout.wav"))).status, 0);
    EXPECT_EQ(readSound(at("stdout.wav")).info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Outcome au = shell("$VARIC render " + in + " - | head -c 4");
    EXPECT_EQ(au.out, ".snd");

    // The CSV on standard output, the summary on stderr.
    const Outcome csv = varic({"response", "--strength", "10", "--csv", "-"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("frequency_hz,sum_db_strength_10,", 0), 0u) << csv.out;
    EXPECT_NE(csv.err.find("strength 10"), std::string::npos) << csv.err;

    // FLAC needs to be read by seeking: from a pipe, a clear refusal.
    writeSound(at("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, noise(20000, 2, 9, 0.5));
    const Outcome flac =
        shell("cat " + quoted(at("in.flac")) + " | $VARIC render - " + quoted(at("x.wav")));
    EXPECT_EQ(flac.status, 1);
    EXPECT_NE(flac.err.find("from a pipe"), std::string::npos) << flac.err;
    EXPECT_NE(flac.err.find("give FLAC and the others by file name"), std::string::npos);
}

// ---- formats and what a render says ----------------------------------------------------------

TEST_F(CliTest, ThirtyTwoBitIntegersPassBitIdenticalAtStrengthZero) {
    std::mt19937 random(11);
    std::vector<int> samples(2 * 10000);
    for (int& x : samples) x = static_cast<int>(random());
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_32;
    SNDFILE* file = sf_open(at("in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_int(file, samples.data(), 10000);
    sf_close(file);

    const Outcome run = varic({"render", at("in.wav"), at("out.wav"), "--strength", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    SF_INFO outInfo{};
    file = sf_open(at("out.wav").c_str(), SFM_READ, &outInfo);
    ASSERT_NE(file, nullptr);
    std::vector<int> out(samples.size());
    EXPECT_EQ(sf_readf_int(file, out.data(), 10000), 10000);
    sf_close(file);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(out[i], samples[i]) << "frame " << i / 2 << ", channel " << i % 2;
    }
}

// Mean and RMS of the error of `output` against `reference`, in steps of `bits`-bit samples,
// and the largest error.
struct QuantisationError {
    double mean = 0.0, rms = 0.0, largest = 0.0;
};
QuantisationError errorInSteps(const Sound& reference, const Sound& output, int bits) {
    QuantisationError error;
    const std::size_t count = reference.samples.size();
    EXPECT_EQ(output.samples.size(), count);
    if (output.samples.size() != count || count == 0) return error;
    const double scale = std::ldexp(1.0, bits - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const double e = (output.samples[i] - reference.samples[i]) * scale;
        error.mean += e;
        error.rms += e * e;
        error.largest = std::max(error.largest, std::fabs(e));
    }
    error.mean /= static_cast<double>(count);
    error.rms = std::sqrt(error.rms / static_cast<double>(count));
    return error;
}

TEST_F(CliTest, SixteenBitOutputsAreRoundedOrDitheredInEveryContainer) {
    // Rounding leaves an error uniform over one step (RMS 0.29); TPDF dither adds triangular
    // noise of RMS 0.41, for 0.5 in all. Truncation would show as a mean of -0.5.
    std::vector<double> signal = noise(44100, 2, 21, 0.5);
    std::fill(signal.begin() + 20000, signal.begin() + 21000, 0.0);  // digital silence
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, signal);
    ASSERT_EQ(varic({"render", at("in.wav"), at("float.wav"), "--strength", "0", "-q"}).status, 0);
    const Sound reference = readSound(at("float.wav"));
    for (const char* container : {"wav", "aiff", "flac"}) {
        for (const char* dither : {"none", "tpdf"}) {
            const std::string name = std::string("out-") + dither + "." + container;
            const Outcome run = varic({"render", at("in.wav"), at(name), "--pcm16", "--strength",
                                       "0", "--dither", dither, "-q"});
            ASSERT_EQ(run.status, 0) << name << ": " << run.err;
            const Sound output = readSound(at(name));
            const QuantisationError error = errorInSteps(reference, output, 16);
            std::printf("%-14s mean %+.4f LSB, RMS %.4f LSB\n", name.c_str(), error.mean,
                        error.rms);
            if (dither == std::string("none")) {
                EXPECT_LT(std::fabs(error.mean), 0.01) << name;
                EXPECT_LE(error.rms, 0.30) << name;
                EXPECT_LE(error.largest, 0.5) << name;
            } else {
                EXPECT_LT(std::fabs(error.mean), 0.02) << name;
                EXPECT_NEAR(error.rms, 0.5, 0.05) << name;
            }
            for (std::size_t i = 20000; i < 21000; ++i) {
                ASSERT_EQ(output.samples[i], 0.0) << name << ": silence got noise at " << i;
            }
        }
    }
    // A 16-bit input that the effect leaves alone comes back as it was, dither or not.
    writeSound(at("pcm16.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, signal);
    ASSERT_EQ(varic({"render", at("pcm16.wav"), at("same.wav"), "--strength", "0", "-q"}).status,
              0);
    EXPECT_EQ(readSound(at("same.wav")).samples, readSound(at("pcm16.wav")).samples);
}

TEST_F(CliTest, IntegerOutputsRoundToTheNearestStep) {
    // Against the same render in floating point, every sample is within half a step.
    struct Row {
        int inputType;
        const char* output;
        std::vector<std::string> options;
        int bits;
    };
    // clang-format off
    const Row rows[] = {
        {SF_FORMAT_PCM_U8, "out.wav", {"--dither", "none"}, 8},
        {SF_FORMAT_FLOAT, "out.wav", {"--pcm24"}, 24},
        {SF_FORMAT_FLOAT, "out.aiff", {"--pcm24"}, 24},
        {SF_FORMAT_FLOAT, "out.flac", {"--pcm24"}, 24},
        {SF_FORMAT_DOUBLE, "out.wav", {"--pcm32"}, 32},  // 64-bit processing
        {SF_FORMAT_DOUBLE, "out.aiff", {"--pcm32"}, 32},
    };
    // clang-format on
    for (const Row& row : rows) {
        const std::string name = std::to_string(row.bits) + "-bit " + row.output;
        writeSound(at("in.wav"), SF_FORMAT_WAV | row.inputType, 44100, 2, noise(20000, 2, 5, 0.5));
        const std::string exact = row.inputType == SF_FORMAT_DOUBLE ? "--double" : "--float";
        ASSERT_EQ(varic({"render", at("in.wav"), at("exact.wav"), exact, "-q"}).status, 0);
        std::vector<std::string> words = {"render", at("in.wav"), at(row.output), "-q"};
        words.insert(words.end(), row.options.begin(), row.options.end());
        const Outcome run = varic(words);
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        const QuantisationError error =
            errorInSteps(readSound(at("exact.wav")), readSound(at(row.output)), row.bits);
        EXPECT_LE(error.largest, 0.5) << name;
        EXPECT_LT(std::fabs(error.mean), 0.01) << name;
        EXPECT_GT(error.rms, 0.0) << name << ": nothing was left to round";
    }
}

TEST_F(CliTest, AnotherContainerGetsASampleTypeItHolds) {
    const std::vector<double> signal = noise(9600, 2, 4, 0.5);
    writeSound(at("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, signal);
    writeSound(at("pcm16.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, signal);
    writeSound(at("vorbis.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, signal);
    struct Row {
        const char* input;
        const char* output;
        int format;
    };
    const Row rows[] = {
        {"float.wav", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {"pcm16.wav", "out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"pcm16.wav", "out.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
        {"vorbis.ogg", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    };
    for (const Row& row : rows) {
        const Outcome run = varic({"render", at(row.input), at(row.output)});
        ASSERT_EQ(run.status, 0) << row.input << " to " << row.output << ": " << run.err;
        EXPECT_EQ(readSound(at(row.output)).info.format, row.format)
            << row.input << " to " << row.output;
    }
}

TEST_F(CliTest, MetadataIsCopiedWhereBothFormatsHoldIt) {
    const SoundStrings strings = {{SF_STR_TITLE, "Night Drive"},
                                  {SF_STR_ARTIST, "Nalt"},
                                  {SF_STR_ALBUM, "Crossfed"},
                                  {SF_STR_COMMENT, "hard-panned"},
                                  {SF_STR_DATE, "2024"}};
    const std::vector<double> signal = noise(4000, 2, 6, 0.5);
    writeSound(at("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, signal, strings);
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, signal, strings);
    for (const char* input : {"in.flac", "in.wav"}) {
        const Sound source = readSound(at(input));
        ASSERT_EQ(varic({"render", at(input), at("out.flac")}).status, 0) << input;
        const Sound output = readSound(at("out.flac"));
        for (const auto& [type, text] : source.strings) {
            EXPECT_EQ(output.strings.count(type) ? output.strings.at(type) : "<none>", text)
                << input << ", string " << type;
        }
        EXPECT_GE(source.strings.size(), 4u) << input << " holds too few strings to tell";
    }
}

TEST_F(CliTest, ACutShortInputIsRenderedWithAWarningNamingBothCounts) {
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(1000, 2, 2, 0.5));
    fs::resize_file(at("in.wav"), fs::file_size(at("in.wav")) - 400);  // 100 frames
    const Outcome run = varic({"render", at("in.wav"), at("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("its header promises 1000 frames, the file holds 900"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(readSound(at("out.wav")).info.frames, 900);
}

TEST_F(CliTest, NonFiniteSamplesAreReportedApartFromClipping) {
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(20000, 2, 2, 0.5));
    const Outcome run = varic({"render", "--plugin", FAKE_GAIN, at("in.wav"), at("out.wav"),
                               "--block", "64", "--param", "Gain=0.2", "--param", "Infinity=1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "varic: warning: 1 sample from the plug-in was not finite (NaN or infinite); "
              "written as 0 (NaN) or full scale (infinite)\n");
}

TEST_F(CliTest, RenderWarnsWhenTheEffectWouldResonateOrChangeNothing) {
    struct Row {
        const char* name;
        int rate;
        std::vector<std::string> options;
        const char* warning;  // null: none
    };
    // clang-format off
    const Row rows[] = {
        {"8 kHz, Strength 39: near the limit", 8000, {"--strength", "39"}, "Varic Crossfeed boosts the channel difference by 32.6 dB at 1.52 kHz"},
        {"8 kHz, Strength 40: beyond it", 8000, {"--strength", "40"}, "Varic Crossfeed changes nothing at 8000 Hz"},
        {"22.05 kHz, Strength 100", 22050, {"--strength", "100"}, "Varic Crossfeed boosts the channel difference by 21.6 dB at 3.78 kHz"},
        {"44.1 kHz, Strength 100: 5.9 dB", 44100, {"--strength", "100"}, nullptr},
        {"8 kHz, Strength 40, -q", 8000, {"--strength", "40", "-q"}, nullptr},
        {"another effect: a gain of 2", 44100, {"--plugin", FAKE_GAIN}, "fake_gain_effect boosts the channel sum by 6.0 dB at 0 Hz"},
    };
    // clang-format on
    for (const Row& row : rows) {
        writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, row.rate, 2,
                   noise(2000, 2, 3, 0.1));
        std::vector<std::string> words = {"render", at("in.wav"), at("out.wav")};
        words.insert(words.end(), row.options.begin(), row.options.end());
        const Outcome run = varic(words);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.err;
        if (row.warning == nullptr) {
            EXPECT_EQ(run.err, "") << row.name;
        } else {
            EXPECT_EQ(run.err.rfind(std::string("varic: warning: ") + row.warning, 0), 0u)
                << row.name << ": " << run.err;
        }
    }
}

TEST_F(CliTest, SeveralInputsGoIntoTheOutputFolderUnderTheirNames) {
    writeSound(at("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(3000, 2, 1, 0.5));
    writeSound(at("b.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, noise(3000, 2, 2, 0.5));
    // The folder does not exist yet: the batch makes it.
    const std::vector<std::string> batch = {"render", at("a.wav"), at("b.flac"), "--output-dir",
                                            at("done")};
    const Outcome first = varic(batch);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(readSound(at("done/a.wav")).info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(readSound(at("done/b.flac")).info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);

    std::ofstream(at("done/a.wav")) << "kept\n";
    const auto before = snapshot(at("done"));
    const Outcome again = varic(batch);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("done/a.wav exists; add --force to replace it"), std::string::npos)
        << again.err;
    EXPECT_EQ(snapshot(at("done")), before) << "something was written without --force";

    std::vector<std::string> forced = batch;
    forced.push_back("--force");
    ASSERT_EQ(varic(forced).status, 0);
    EXPECT_EQ(readSound(at("done/a.wav")).info.frames, 3000);
}

TEST_F(CliTest, ABatchOnSeveralThreadsWritesWhatASerialOneWrites) {
    // Dithered 16-bit outputs among them: the noise depends on nothing but the file. A file
    // that fails, and one with a warning: the messages come in the order of the files.
    writeSound(at("a.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, noise(30000, 2, 1, 0.5));
    writeSound(at("b.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, noise(20000, 2, 2, 0.5));
    std::ofstream(at("c.wav")) << "not a sound\n";
    writeSound(at("d.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(9000, 2, 3, 0.5));
    fs::resize_file(at("d.wav"), fs::file_size(at("d.wav")) - 400);
    writeSound(at("e.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 2, noise(25000, 2, 4, 0.5));
    writeSound(at("f.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 2, noise(40000, 2, 5, 0.5));
    const std::vector<std::string> inputs = {"a.wav", "b.flac", "c.wav",
                                             "d.wav", "e.aiff", "f.wav"};
    std::map<std::string, Outcome> runs;
    for (const std::string jobs : {"1", "2"}) {
        fs::create_directory(at("jobs" + jobs));
        std::vector<std::string> words = {"render", "--output-dir", at("jobs" + jobs), "--jobs",
                                          jobs};
        for (const std::string& input : inputs) words.push_back(at(input));
        runs[jobs] = varic(words);
        EXPECT_EQ(runs[jobs].status, 1) << "--jobs " << jobs << ": " << runs[jobs].err;
    }
    EXPECT_EQ(runs["1"].err, runs["2"].err);
    EXPECT_NE(runs["1"].err.find("c.wav: not a sound file"), std::string::npos) << runs["1"].err;
    EXPECT_LT(runs["1"].err.find("c.wav: not a sound file"), runs["1"].err.find("d.wav is cut"))
        << runs["1"].err;
    EXPECT_NE(runs["1"].err.find("varic: 1 of 6 files failed\n"), std::string::npos);
    const auto serial = snapshot(at("jobs1"));
    EXPECT_EQ(serial.size(), 5u) << "outputs, and nothing else";
    EXPECT_EQ(snapshot(at("jobs2")), serial);
}

// Runs varic on a pseudo-terminal, as a person at a terminal sees it; returns what it wrote.
std::string onTerminal(const std::vector<std::string>& words) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<std::string> args = {VARIC_CLI};
        args.insert(args.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& word : args) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(VARIC_CLI, argv.data());
        ::_exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, got);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    return seen;
}

TEST_F(CliTest, OnATerminalTheProgressReachesTheEndAndLeavesASummary) {
    // The fake takes 2 ms a block: 300 blocks, long enough for the bar to show.
    writeSound(at("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, noise(132300, 2, 1, 0.3));
    const std::string seen =
        onTerminal({"render", "--plugin", FAKE_GAIN, at("in.wav"), at("out.wav"), "--block", "441",
                    "--param", "Gain=0.3", "--param", "Slow=1"});
    EXPECT_NE(seen.find("x real time,"), std::string::npos) << seen;
    EXPECT_NE(seen.find(" left"), std::string::npos) << seen;
    EXPECT_NE(seen.find("] 100%"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\033[Kvaric: out.wav: 3.0 s of audio in "), std::string::npos) << seen;

    // A batch on two threads: one bar and one summary for all of it.
    fs::copy_file(at("in.wav"), at("again.wav"));
    fs::create_directory(at("done"));
    const std::string batch = onTerminal(
        {"render", "--plugin", FAKE_GAIN, at("in.wav"), at("again.wav"), "--output-dir", at("done"),
         "--jobs", "2", "--block", "441", "--param", "Gain=0.3", "--param", "Slow=1"});
    EXPECT_NE(batch.find("2 files ["), std::string::npos) << batch;
    EXPECT_NE(batch.find("\033[Kvaric: 2 files: 6.0 s of audio in "), std::string::npos) << batch;
    EXPECT_EQ(batch.find("in.wav:"), std::string::npos) << batch;
}

// ---- info ------------------------------------------------------------------------------------

TEST_F(CliTest, InfoJsonShowsThePluginsIdentity) {
    struct Row {
        std::string plugin;
        std::vector<const char*> fields;
    };
    // clang-format off
    const Row rows[] = {
        {vsthost::builtPluginPath(), {
            R"("effectName": "Varic Crossfeed")",
            R"("productString": "Varic Crossfeed")",
            R"("vendorString": "Nalt")",
            R"("vendorVersion": 1000)",
            R"("uniqueId": 1851159160)",
            R"("uniqueIdChars": "nVrx")",
            R"("version": 1)",
            R"("vstVersion": 2400)",
            R"("category": 0)",
            R"("numInputs": 2)",
            R"("numOutputs": 2)",
            R"("flags": 4112)",
            R"("flagNames": ["canReplacing", "canDoubleReplacing"])",
            R"({"index": 0, "name": "Varic Crossfeed"})",
            R"({"index": 0, "name": "Strength ", "display": "10", "label": "", "value": 0.099999994, "automatable": true})",
            R"("receiveVstMidiEvent": 0)",
        }},
        {FAKE_GAIN, {
            R"("uniqueIdChars": "Gain")",
            R"("flagNames": ["canReplacing"])",
            R"({"index": 0, "name": "Gain")",
            R"({"index": 1, "name": "Signal")",
        }},
    };
    // clang-format on
    for (const Row& row : rows) {
        const Outcome run = varic({"info", "--plugin", row.plugin, "--json"});
        ASSERT_EQ(run.status, 0) << row.plugin << ": " << run.err;
        EXPECT_EQ(run.out.front(), '{');
        EXPECT_EQ(run.out.substr(run.out.size() - 2), "}\n");
        for (const char* field : row.fields) {
            EXPECT_NE(run.out.find(field), std::string::npos)
                << row.plugin << ": no " << field << " in\n"
                << run.out;
        }
    }
}

// ---- response --------------------------------------------------------------------------------

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::istringstream cellStream(line);
        std::string cell;
        while (std::getline(cellStream, cell, ',')) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
    struct Row {
        std::vector<std::string> words;
        const char* start;
    };
    // clang-format off
    const Row rows[] = {
        {{"--help"}, "usage: varic COMMAND"},
        {{"help"}, "usage: varic COMMAND"},
        {{"help", "render"}, "usage: varic render"},
        {{"render", "--help"}, "usage: varic render"},
        {{"render", "in.wav", "-h"}, "usage: varic render"},
        {{"response", "-h"}, "usage: varic response"},
        {{"info", "--help"}, "usage: varic info"},
        {{"--version"}, "varic "},
    };
    // clang-format on
    for (const Row& row : rows) {
        const Outcome run = varic(row.words);
        const std::string words = row.words.front() + (row.words.size() > 1 ? " ..." : "");
        EXPECT_EQ(run.status, 0) << words << ": " << run.err;
        EXPECT_EQ(run.out.rfind(row.start, 0), 0u) << words << ": " << run.out;
        EXPECT_EQ(run.err, "") << words;
    }
    EXPECT_NE(
        varic({"--version"}).out.find("default plug-in: " + vsthost::builtPluginPath() + "\n"),
        std::string::npos);
    EXPECT_NE(varic({"help", "render"}).out.find("Exit status: 0 done, 1 failed"),
              std::string::npos);
    EXPECT_TRUE(snapshot(work).empty()) << "help wrote a file";
}

// A gain in dB as the CSV gives it: silence is -400 dB.
double decibels(double magnitude) {
    return magnitude > 0.0 ? std::max(-400.0, 20.0 * std::log10(magnitude)) : -400.0;
}

TEST_F(CliTest, MeasuredResponseMatchesTheFiltersOwnResponse) {
    struct Row {
        int rate;
        std::vector<int> strengths;
    };
    // 16 kHz: just below the limit of stability at 79, passed through at 100.
    const Row rows[] = {{44100, {0, 10, 50, 100}},
                        {48000, {10, 25, 100}},
                        {96000, {10, 100}},
                        {16000, {10, 79, 100}}};
    const std::pair<const char*, std::complex<double> crossfeed::Filter::Response::*> paths[] = {
        {"sum", &crossfeed::Filter::Response::sum},
        {"difference", &crossfeed::Filter::Response::difference},
        {"same_side", &crossfeed::Filter::Response::sameSide},
        {"opposite_side", &crossfeed::Filter::Response::oppositeSide}};
    double largest = 0.0;
    for (const Row& row : rows) {
        std::string list;
        for (const int s : row.strengths) list += (list.empty() ? "" : ",") + std::to_string(s);
        const Outcome run = varic(
            {"response", "--rate", std::to_string(row.rate), "--strength", list, "--csv", "-"});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto csv = csvRows(run.out.substr(run.out.find("frequency_hz")));
        ASSERT_GT(csv.size(), 100u);
        ASSERT_EQ(std::stod(csv.back()[0]), row.rate / 2.0);
        for (const int strength : row.strengths) {
            crossfeed::Filter filter;
            filter.setup(static_cast<std::uint32_t>(row.rate),
                         crossfeed::strengthFromParameter(static_cast<float>(strength / 100.0)));
            for (const auto& [name, path] : paths) {
                const std::string column =
                    std::string(name) + "_db_strength_" + std::to_string(strength);
                const auto found = std::find(csv[0].begin(), csv[0].end(), column);
                ASSERT_NE(found, csv[0].end()) << column;
                const auto c = static_cast<std::size_t>(found - csv[0].begin());
                for (std::size_t r = 1; r < csv.size(); ++r) {
                    const double hz = std::stod(csv[r][0]);
                    if (hz >= 0.9 * row.rate / 2) break;
                    const double expected = decibels(std::abs(filter.response(hz).*path));
                    const double deviation = std::fabs(std::stod(csv[r][c]) - expected);
                    largest = std::max(largest, deviation);
                    ASSERT_LE(deviation, 0.01)
                        << row.rate << " Hz, " << column << " at " << hz << " Hz";
                }
            }
        }
    }
    std::cout << "largest deviation from the filter's own response: " << largest << " dB\n";
}

TEST_F(CliTest, AnotherEffectIsMeasuredAtItsOwnSetting) {
    // The fake gain doubles both channels: +6.02 dB for sum and difference, at every frequency.
    const Outcome run = varic({"response", "--plugin", FAKE_GAIN, "--csv", at("r.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = csvRows(readFile(at("r.csv")));
    ASSERT_EQ(rows[0],
              (std::vector<std::string>{"frequency_hz", "sum_db_default", "difference_db_default",
                                        "same_side_db_default", "opposite_side_db_default",
                                        "opposite_delay_us_default"}));
    EXPECT_NE(run.out.find("(impulse responses of up to 1 sample)"), std::string::npos) << run.out;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_NEAR(std::stod(rows[r][1]), 20.0 * std::log10(2.0), 1e-4)
            << "sum at " << rows[r][0] << " Hz";
        ASSERT_NEAR(std::stod(rows[r][2]), 20.0 * std::log10(2.0), 1e-4)
            << "difference at " << rows[r][0] << " Hz";
    }
    EXPECT_NE(varic({"response", "--plugin", FAKE_GAIN, "--strength", "10"})
                  .err.find("has no Strength parameter"),
              std::string::npos);
}

TEST_F(CliTest, WithoutGnuplotTheResponseGoesToCsvWithAdvice) {
    const Outcome run =
        varic({"response", "--strength", "10", "--plot", at("r.png")}, "PATH=/nonexistent");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("apt-get install gnuplot-nox"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(at("r.png")));
    EXPECT_NE(readFile(at("r.csv")).find("difference_db_strength_10"), std::string::npos);
}

TEST_F(CliTest, AFailingGnuplotLeavesNoPicture) {
    const fs::path bin = root / "bin";
    fs::create_directory(bin);
    std::ofstream(bin / "gnuplot")
        << "#!/bin/sh\necho 'line 3: unknown terminal type' >&2\nexit 1\n";
    fs::permissions(bin / "gnuplot", fs::perms::owner_all);
    const Outcome run = varic({"response", "--strength", "10", "--plot", at("r.png")},
                              "PATH=" + quoted(bin.string()));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(
        run.err.find("gnuplot could not draw " + at("r.png") + ": line 3: unknown terminal type"),
        std::string::npos)
        << run.err;
    EXPECT_TRUE(snapshot(work).empty()) << "the picture or its temporary file was left behind";
}

// ---- demo ------------------------------------------------------------------------------------

TEST_F(CliTest, DemoLeavesInputOutputAndResponse) {
    const Outcome run = varic({"demo", "--out", at("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Sound input = readSound(at("demo/input.wav"));
    const Sound output = readSound(at("demo/output.wav"));
    EXPECT_EQ(input.info.channels, 2);
    EXPECT_EQ(output.info.format, input.info.format);
    EXPECT_EQ(output.samples.size(), input.samples.size());
    EXPECT_NE(output.samples, input.samples) << "the crossfeed changed nothing";
    EXPECT_NE(run.out.find(at("demo/output.wav")), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(at("demo/response.csv")));
    if (std::system("command -v gnuplot >/dev/null 2>&1") == 0) {
        EXPECT_EQ(readFile(at("demo/response.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_NE(run.out.find(at("demo/response.png")), std::string::npos) << run.out;
    }
}

}  // namespace
