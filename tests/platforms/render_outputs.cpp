// Renders everything the crossfeed computes for a fixed set of long random signals through a
// plug-in binary, and compares two renderings. The same source is built for Linux and for
// Windows: the Linux module and the Windows DLL must give the same bits, on every case.
//
//   render_outputs render PLUGIN FILE     run every case through PLUGIN, write the results
//   render_outputs compare FILE FILE      name the first difference of each case; status 0
//                                         when the two files hold the same bits
//
// The signals and block sizes come from std::mt19937, whose output the language fixes, turned
// into samples by exact integer scaling: both platforms feed the plug-in identical input.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "instance.h"
#include "plugin_host.h"
#include "stereo_buffer.h"

namespace {

constexpr char kFileMagic[8] = {'V', 'A', 'R', 'I', 'C', 'O', 'U', 'T'};
constexpr std::size_t kNameBytes = 64;

// How a record's units are named in a report.
enum class Kind : std::uint32_t {
    samples32 = 0,  // interleaved left/right 32-bit samples
    samples64 = 1,  // interleaved left/right 64-bit samples
    entries = 2,    // fixed-size entries of a table
};

struct Record {
    std::string name;
    Kind kind = Kind::entries;
    std::uint32_t unitBytes = 0;
    std::vector<unsigned char> bytes;
};

// ---- Rendering -------------------------------------------------------------------------------

// One processing run. Halfway through, between two blocks, the host may move Strength and the
// sample rate (negative: left alone), as hosts do while playing.
struct Case {
    const char* name;
    float rate;
    float strength;  // the host's parameter value
    float laterStrength;
    float laterRate;
};

const Case kCases[] = {
    {"44100 Hz, default strength", 44100.0f, 0.1f, -1.0f, -1.0f},
    {"48000 Hz, strength 0, then 35", 48000.0f, 0.0f, 0.35f, -1.0f},
    {"96000 Hz, full strength", 96000.0f, 1.0f, -1.0f, -1.0f},
    {"22050 Hz, strength 50, then 88200 Hz", 22050.0f, 0.5f, -1.0f, 88200.0f},
    {"192000 Hz, smallest strength, then 99.99", 192000.0f, 0.0001f, 0.9999f, -1.0f},
    {"44100.9 Hz, strength 25, then 44100.2 Hz", 44100.9f, 0.25f, -1.0f, 44100.2f},
    {"8000 Hz, strength 39.99", 8000.0f, 0.3999f, -1.0f, -1.0f},
    {"2128 Hz, lowest rate, strength 10", 2128.0f, 0.1f, -1.0f, -1.0f},
    {"16000 Hz, full strength passes through, then 32000 Hz", 16000.0f, 1.0f, -1.0f, 32000.0f},
    {"176400 Hz, strength 12.35, then 3", 176400.0f, 0.12345f, 0.03f, -1.0f},
};

constexpr std::size_t kFrames = std::size_t{1} << 17;
constexpr std::size_t kSegment = 8192;
constexpr std::uint32_t kLongestBlock = 4096;

// Sound in segments: loud noise, hard-panned noise, quiet noise and long silences, in which
// the filter's state decays until it is flushed to zero.
enum class Segment { noise, silence, leftOnly, quiet };
constexpr Segment kPattern[] = {Segment::noise,   Segment::silence, Segment::leftOnly,
                                Segment::silence, Segment::silence, Segment::silence,
                                Segment::quiet,   Segment::noise,   Segment::silence,
                                Segment::silence, Segment::noise};

// A sample in [-1, 1) with every bit of the mantissa used, from raw generator output.
template <class Sample>
Sample randomSample(std::mt19937& random) {
    const std::uint32_t high = static_cast<std::uint32_t>(random());
    if constexpr (sizeof(Sample) == 4) {
        return static_cast<float>(static_cast<std::int32_t>(high)) * 0x1p-31f;
    } else {
        const std::uint64_t bits =
            (std::uint64_t{high} << 32) | static_cast<std::uint32_t>(random());
        return static_cast<double>(static_cast<std::int64_t>(bits)) * 0x1p-63;
    }
}

template <class Sample>
std::vector<Sample> makeSignal(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Sample> interleaved(2 * kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        const Segment segment = kPattern[(n / kSegment) % std::size(kPattern)];
        Sample left = 0, right = 0;
        switch (segment) {
            case Segment::noise:
                left = randomSample<Sample>(random);
                right = randomSample<Sample>(random);
                break;
            case Segment::leftOnly: left = randomSample<Sample>(random); break;
            case Segment::quiet:
                left = randomSample<Sample>(random) * Sample(0x1p-40);
                right = randomSample<Sample>(random) * Sample(0x1p-40);
                break;
            case Segment::silence: break;
        }
        interleaved[2 * n] = left;
        interleaved[2 * n + 1] = right;
    }
    return interleaved;
}

// Block sizes from 1 to kLongestBlock, with runs of very short blocks.
std::vector<std::uint32_t> makeBlockSizes(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint32_t> sizes;
    std::size_t total = 0;
    while (total < kFrames) {
        const std::uint32_t r = static_cast<std::uint32_t>(random());
        const std::uint32_t size = r % 8 == 0 ? 1 + (r >> 8) % 3 : 1 + (r >> 8) % kLongestBlock;
        sizes.push_back(size);
        total += size;
    }
    return sizes;
}

// An instance opened with a host of its own.
std::unique_ptr<vsthost::Instance> open(const vsthost::PluginLibrary& library) {
    std::string error;
    auto instance = vsthost::Instance::open(library, vsthost::HostAnswers{}, &error);
    if (!instance) std::fprintf(stderr, "render_outputs: %s\n", error.c_str());
    return instance;
}

template <class Sample>
bool renderCase(const vsthost::PluginLibrary& library, const Case& c, std::uint32_t seed,
                Record& record) {
    const std::unique_ptr<vsthost::Instance> instance = open(library);
    if (!instance) return false;
    vsthost::Instance& plugin = *instance;
    plugin.setSampleRate(c.rate);
    plugin.setBlockSize(static_cast<VstInt32>(kLongestBlock));
    plugin.resume();
    plugin.setParameter(0, c.strength);

    const std::vector<Sample> input = makeSignal<Sample>(seed);
    vsthost::StereoBuffer<Sample> in(kFrames), out(kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        in.left[n] = input[2 * n];
        in.right[n] = input[2 * n + 1];
    }
    bool changed = false;
    std::size_t done = 0;
    for (std::uint32_t size : makeBlockSizes(seed ^ 0x9E3779B9u)) {
        if (done >= kFrames) break;
        if (!changed && done >= kFrames / 2) {
            if (c.laterStrength >= 0.0f) plugin.setParameter(0, c.laterStrength);
            if (c.laterRate > 0.0f) plugin.setSampleRate(c.laterRate);
            changed = true;
        }
        const std::size_t frames = std::min<std::size_t>(size, kFrames - done);
        plugin.processSamples(in.channelsFrom(done), out.channelsFrom(done),
                              static_cast<VstInt32>(frames));
        done += frames;
    }
    plugin.suspend();

    record.name = std::string(c.name) + (sizeof(Sample) == 4 ? " (32-bit)" : " (64-bit)");
    record.kind = sizeof(Sample) == 4 ? Kind::samples32 : Kind::samples64;
    record.unitBytes = sizeof(Sample);
    record.bytes.resize(2 * kFrames * sizeof(Sample));
    for (std::size_t n = 0; n < kFrames; ++n) {
        std::memcpy(&record.bytes[(2 * n) * sizeof(Sample)], &out.left[n], sizeof(Sample));
        std::memcpy(&record.bytes[(2 * n + 1) * sizeof(Sample)], &out.right[n], sizeof(Sample));
    }
    return true;
}

// The Strength parameter at every stored value: the value read back and the display, which
// goes through wsprintfA on Windows and sprintf elsewhere. Entry k is for host value k / 10000.
bool renderParameterTable(const vsthost::PluginLibrary& library, Record& record) {
    const std::unique_ptr<vsthost::Instance> instance = open(library);
    if (!instance) return false;
    constexpr std::size_t kEntry = 16;  // 4 bytes of value, then the display and its terminator
    record.name = "Strength: value read back and display, per stored value";
    record.kind = Kind::entries;
    record.unitBytes = kEntry;
    record.bytes.assign(10001 * kEntry, 0);
    for (int k = 0; k <= 10000; ++k) {
        instance->setParameter(0, static_cast<float>(k) * 0.0001f);
        const float value = instance->getParameter(0);
        const std::string display = instance->text(effGetParamDisplay, 0);
        unsigned char* entry = &record.bytes[static_cast<std::size_t>(k) * kEntry];
        std::memcpy(entry, &value, 4);
        std::memcpy(entry + 4, display.c_str(), std::min(display.size() + 1, kEntry - 5));
    }
    return true;
}

// The texts a host reads, each copied with lstrcpyA on Windows.
bool renderTexts(const vsthost::PluginLibrary& library, Record& record) {
    const std::unique_ptr<vsthost::Instance> instance = open(library);
    if (!instance) return false;
    vsthost::Instance& plugin = *instance;
    constexpr std::size_t kEntry = 64;
    std::vector<std::string> texts = {
        plugin.text(effGetEffectName),      plugin.text(effGetProductString),
        plugin.text(effGetVendorString),    plugin.text(effGetParamName, 0),
        plugin.text(effGetParamLabel, 0),   plugin.text(effGetProgramName),
        plugin.text(effGetParamDisplay, 0),
    };
    char renamed[] = "A program name of thirty-one ch";
    plugin.dispatch(effSetProgramName, 0, 0, renamed);
    texts.push_back(plugin.text(effGetProgramName));
    record.name = "texts a host reads";
    record.kind = Kind::entries;
    record.unitBytes = kEntry;
    record.bytes.assign(texts.size() * kEntry, 0);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::memcpy(&record.bytes[i * kEntry], texts[i].c_str(),
                    std::min(texts[i].size() + 1, kEntry - 1));
    }
    return true;
}

bool writeRecord(std::FILE* file, const Record& record) {
    char name[kNameBytes] = {};
    std::memcpy(name, record.name.c_str(), std::min(record.name.size(), kNameBytes - 1));
    const std::uint32_t header[3] = {static_cast<std::uint32_t>(record.kind), record.unitBytes,
                                     static_cast<std::uint32_t>(record.bytes.size())};
    return std::fwrite(name, 1, kNameBytes, file) == kNameBytes &&
           std::fwrite(header, sizeof header, 1, file) == 1 &&
           std::fwrite(record.bytes.data(), 1, record.bytes.size(), file) == record.bytes.size();
}

int render(const std::string& pluginPath, const std::string& outputPath) {
    std::string error;
    auto library = vsthost::PluginLibrary::load(pluginPath, &error);
    if (!library) {
        std::fprintf(stderr, "render_outputs: %s\n", error.c_str());
        return 1;
    }
    std::vector<Record> records;
    std::uint32_t seed = 1;
    for (const Case& c : kCases) {
        Record floats, doubles;
        if (!renderCase<float>(*library, c, seed, floats)) return 1;
        if (!renderCase<double>(*library, c, seed, doubles)) return 1;
        records.push_back(std::move(floats));
        records.push_back(std::move(doubles));
        ++seed;
    }
    Record parameters, texts;
    if (!renderParameterTable(*library, parameters) || !renderTexts(*library, texts)) return 1;
    records.push_back(std::move(parameters));
    records.push_back(std::move(texts));

    std::FILE* file = std::fopen(outputPath.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "render_outputs: cannot write %s\n", outputPath.c_str());
        return 1;
    }
    bool written = std::fwrite(kFileMagic, 1, sizeof kFileMagic, file) == sizeof kFileMagic;
    for (const Record& record : records) written = written && writeRecord(file, record);
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "render_outputs: cannot write %s\n", outputPath.c_str());
        return 1;
    }
    std::printf("render_outputs: %zu records from %s\n", records.size(), pluginPath.c_str());
    return 0;
}

// ---- Comparing -------------------------------------------------------------------------------

bool readRecords(const std::string& path, std::vector<Record>& records) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "render_outputs: cannot read %s\n", path.c_str());
        return false;
    }
    char magic[sizeof kFileMagic];
    bool good = std::fread(magic, 1, sizeof magic, file) == sizeof magic &&
                std::memcmp(magic, kFileMagic, sizeof magic) == 0;
    while (good) {
        char name[kNameBytes];
        const std::size_t got = std::fread(name, 1, kNameBytes, file);
        if (got == 0 && std::feof(file)) break;
        std::uint32_t header[3];
        good = got == kNameBytes && std::fread(header, sizeof header, 1, file) == 1 &&
               header[0] <= static_cast<std::uint32_t>(Kind::entries) && header[1] != 0 &&
               header[2] % header[1] == 0 && header[2] <= (std::uint32_t{1} << 30);
        if (!good) break;
        Record record;
        name[kNameBytes - 1] = '\0';
        record.name = name;
        record.kind = static_cast<Kind>(header[0]);
        record.unitBytes = header[1];
        record.bytes.resize(header[2]);
        good = std::fread(record.bytes.data(), 1, record.bytes.size(), file) == record.bytes.size();
        if (good) records.push_back(std::move(record));
    }
    std::fclose(file);
    if (!good)
        std::fprintf(stderr, "render_outputs: %s is not a complete rendering\n", path.c_str());
    return good;
}

// A sample as the hexadecimal number of its bits; an entry as its first bytes in order.
std::string hexOf(const Record& record, std::size_t unit) {
    const unsigned char* bytes = &record.bytes[unit * record.unitBytes];
    const bool number = record.kind != Kind::entries;
    const std::uint32_t shown = std::min<std::uint32_t>(record.unitBytes, 24);
    std::string text = number ? "0x" : "";
    char digits[3];
    for (std::uint32_t i = 0; i < shown; ++i) {
        // Samples are little-endian: the most significant byte comes last.
        std::snprintf(digits, sizeof digits, "%02x", bytes[number ? shown - 1 - i : i]);
        text += digits;
    }
    return text;
}

std::string describeUnit(const Record& record, std::size_t unit) {
    if (record.kind == Kind::entries) return "entry " + std::to_string(unit);
    return "frame " + std::to_string(unit / 2) + (unit % 2 == 0 ? ", left" : ", right");
}

int compare(const std::string& firstPath, const std::string& secondPath) {
    std::vector<Record> first, second;
    if (!readRecords(firstPath, first) || !readRecords(secondPath, second)) return 2;
    if (first.empty() || first.size() != second.size()) {
        std::printf("different renderings: %zu records in %s, %zu in %s\n", first.size(),
                    firstPath.c_str(), second.size(), secondPath.c_str());
        return 1;
    }
    int differing = 0;
    for (std::size_t r = 0; r < first.size(); ++r) {
        const Record& a = first[r];
        const Record& b = second[r];
        if (a.name != b.name || a.kind != b.kind || a.unitBytes != b.unitBytes ||
            a.bytes.size() != b.bytes.size()) {
            std::printf("record %zu: \"%s\" and \"%s\" are not the same case\n", r, a.name.c_str(),
                        b.name.c_str());
            ++differing;
            continue;
        }
        const std::size_t units = a.bytes.size() / a.unitBytes;
        std::size_t different = 0, firstDifferent = units;
        for (std::size_t u = 0; u < units; ++u) {
            if (std::memcmp(&a.bytes[u * a.unitBytes], &b.bytes[u * a.unitBytes], a.unitBytes) !=
                0) {
                if (different++ == 0) firstDifferent = u;
            }
        }
        if (different == 0) {
            std::printf("same bits: %s (%zu units)\n", a.name.c_str(), units);
            continue;
        }
        ++differing;
        std::printf("DIFFERENT: %s: %zu of %zu units differ, first at %s: %s vs %s\n",
                    a.name.c_str(), different, units, describeUnit(a, firstDifferent).c_str(),
                    hexOf(a, firstDifferent).c_str(), hexOf(b, firstDifferent).c_str());
    }
    if (differing != 0) {
        std::printf("%d of %zu records differ between %s and %s\n", differing, first.size(),
                    firstPath.c_str(), secondPath.c_str());
        return 1;
    }
    std::printf("all %zu records are identical\n", first.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 4 && command == "render") return render(argv[2], argv[3]);
    if (argc == 4 && command == "compare") return compare(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: render_outputs render PLUGIN FILE\n"
                 "       render_outputs compare FILE FILE\n");
    return 2;
}
