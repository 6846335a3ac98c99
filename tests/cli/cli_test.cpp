// varic as a user runs it: the built tool on files generated here, against the crossfeed as
// built and against fake plug-ins that are wrong in one way each.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>

#include "tools/host/plugin_host.h"
#include "tools/host/plugin_under_test.h"
#include "tools/host/stereo_buffer.h"

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

// Every file in a folder (hidden ones included) with its content.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? readFile(entry.path()) : std::string("<not a file>");
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
};

void writeSound(const fs::path& path, int format, int rate, int channels,
                const std::vector<double>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
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
        std::string command = environment + " " + quoted(VARIC_CLI);
        for (const std::string& word : words) command.append(" ").append(quoted(word));
        const fs::path out = root / "stdout";
        const fs::path err = root / "stderr";
        command.append(" </dev/null >").append(quoted(out.string()));
        command.append(" 2>").append(quoted(err.string()));
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
    auto plugin = vsthost::Plugin::create(*library, &host, &error);
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
    EXPECT_EQ(kept.err, "");
    const Sound floats = readSound(at("float.wav"));
    EXPECT_EQ(floats.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_GT(*std::max_element(floats.samples.begin(), floats.samples.end()), 1.5);
}

// Each bad input: a one-line message naming the problem, a failing exit status, and the
// folder exactly as it was (no output, no temporary file, the input untouched).
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
        const char* message;
    };
    const std::string in = "@/in.wav";
    const std::string out = "@/out.wav";
    // clang-format off
    const std::vector<Row> rows = {
        {"missing input", {"render", "@/none.wav", out}, "none.wav: no such file"},
        {"input is no sound file", {"render", "@/notes.txt", out}, "not a sound file"},
        {"input is a folder", {"render", "@/sub", out}, "is a directory"},
        {"mono input", {"render", "@/mono.wav", out}, "is mono; varic renders stereo (add --mono-to-stereo"},
        {"three channels", {"render", "@/three.wav", out}, "has 3 channels"},
        {"output is the input", {"render", in, in}, "is the input file itself"},
        {"output is the input by a symlink", {"render", in, "@/link.wav"}, "is the input file itself"},
        {"output is the input by a hard link", {"render", in, "@/hard.wav"}, "is the input file itself"},
        {"output is the input by another spelling", {"render", in, "@/sub/../in.wav"}, "is the input file itself"},
        {"output folder missing", {"render", in, "@/nowhere/out.wav"}, "cannot write @/nowhere/out.wav"},
        {"output type cannot hold the samples", {"render", in, "@/out.flac"}, "cannot hold 32 bit float samples; choose one of --pcm16, --pcm24"},
        {"plug-in missing", {"render", "--plugin", "@/none.so", in, out}, "plug-in @/none.so: no such file"},
        {"plug-in does not load", {"render", "--plugin", "@/notes.txt", in, out}, "cannot load plug-in @/notes.txt"},
        {"plug-in is not an effect", {"render", "--plugin", FAKE_BAD_MAGIC, in, out}, "is not a VST effect"},
        {"plug-in has no entry", {"render", "--plugin", FAKE_NO_ENTRY, in, out}, "exports neither VSTPluginMain nor main"},
        {"plug-in entry returns null", {"render", "--plugin", FAKE_NULL_ENTRY, in, out}, "made no instance: its entry returned null"},
        {"plug-in is mono", {"render", "--plugin", FAKE_MONO, in, out}, "has 1 input and 1 output; varic needs 2 inputs and 2 outputs"},
        {"strength above range", {"render", in, out, "--strength", "101"}, "--strength 101 is out of range: valid 0 to 100"},
        {"strength below range", {"render", in, out, "--strength", "-1"}, "--strength -1 is out of range: valid 0 to 100"},
        {"strength not a number", {"render", in, out, "--strength", "nan"}, "--strength 'nan' is not a number"},
        {"parameter value above range", {"render", in, out, "--param", "0=1.5"}, "value 1.5 is out of range: valid 0 to 1"},
        {"parameter index beyond the last", {"render", in, out, "--param", "1=0.5"}, "--param index 1 is out of range: valid 0 to 0"},
        {"interrupted in the middle", {"render", "--plugin", FAKE_GAIN, in, out, "--param", "Interrupt=1"}, "interrupted; nothing was written"},
        {"parameter name unknown", {"render", in, out, "--param", "Width=0.5"}, "has no parameter named 'Width'"},
        {"strength on a plug-in without it", {"render", "--plugin", FAKE_GAIN, in, out, "--strength", "10"}, "has no Strength parameter"},
        {"64-bit on a 32-bit plug-in", {"render", "--plugin", FAKE_GAIN, in, out, "--precision", "64"}, "cannot process 64-bit samples"},
        {"precision neither 32 nor 64", {"render", in, out, "--precision", "16"}, "--precision 16 is not valid: use 32 or 64"},
        {"block of no frames", {"render", in, out, "--block", "0"}, "--block 0 is out of range: valid 1 to"},
        {"info on a library without entry", {"info", FAKE_NO_ENTRY}, "exports neither VSTPluginMain nor main"},
        {"response of a mono plug-in", {"response", "--plugin", FAKE_MONO, "--csv", "@/r.csv"}, "has 1 input and 1 output"},
        {"response with strength above range", {"response", "--strength", "10,200", "--csv", "@/r.csv"}, "--strength 200 is out of range"},
        {"plot neither png nor svg", {"response", "--plot", "@/r.jpg"}, "must be a .png or .svg file"},
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
        EXPECT_NE(run.status, 0) << row.name;
        EXPECT_NE(run.err.find(expand(row.message)), std::string::npos)
            << row.name << ": got " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1)
            << row.name << ": " << run.err;
        EXPECT_EQ(run.err.rfind("varic: ", 0), 0u) << row.name << ": " << run.err;
        EXPECT_EQ(snapshot(work), before) << row.name << ": the folder changed";
    }
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
            R"({"index": 1, "name": "Interrupt")",
        }},
    };
    // clang-format on
    for (const Row& row : rows) {
        const Outcome run = varic({"info", row.plugin, "--json"});
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

TEST_F(CliTest, MeasuredResponseMatchesTheFiltersAnalyticGain) {
    const int strengths[] = {0, 10, 50, 100};
    for (const int rate : {44100, 48000}) {
        const Outcome run = varic({"response", "--rate", std::to_string(rate), "--strength",
                                   "0,10,50,100", "--csv", at("r.csv")});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto rows = csvRows(readFile(at("r.csv")));
        ASSERT_GT(rows.size(), 100u);
        ASSERT_EQ(rows[0].size(), 9u);
        EXPECT_EQ(rows[0][1], "sum_db_strength_0");
        EXPECT_EQ(rows[0][8], "difference_db_strength_100");
        ASSERT_EQ(std::stod(rows[1][0]), 0.0);
        ASSERT_EQ(std::stod(rows.back()[0]), rate / 2.0);
        for (std::size_t s = 0; s < std::size(strengths); ++s) {
            const std::string row =
                std::to_string(rate) + " Hz, strength " + std::to_string(strengths[s]);
            const double stored = strengths[s] * 100.0;  // the effect's internal 0..10000
            const double a = 2128.0 / rate;
            const double b = stored / rate;
            const double atZero = 20.0 * std::log10(2128.0 / (2128.0 + 2.0 * stored));
            const double atNyquist = 20.0 * std::log10((2.0 - a) / (2.0 - a + 2.0 * b));
            EXPECT_NEAR(std::stod(rows[1][2 + 2 * s]), atZero, 0.05)
                << row << ", difference at 0 Hz";
            EXPECT_NEAR(std::stod(rows.back()[2 + 2 * s]), atNyquist, 0.05)
                << row << ", difference at Nyquist";
            for (std::size_t r = 1; r < rows.size(); ++r) {
                ASSERT_NEAR(std::stod(rows[r][1 + 2 * s]), 0.0, 0.001)
                    << row << ", sum at " << rows[r][0] << " Hz";
            }
        }
    }
}

TEST_F(CliTest, AnotherEffectIsMeasuredAtItsOwnSetting) {
    // The fake gain doubles both channels: +6.02 dB for sum and difference, at every frequency.
    const Outcome run = varic({"response", "--plugin", FAKE_GAIN, "--csv", at("r.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = csvRows(readFile(at("r.csv")));
    ASSERT_EQ(rows[0], (std::vector<std::string>{"frequency_hz", "sum_db_default",
                                                 "difference_db_default"}));
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
