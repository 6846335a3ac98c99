// Sound files for the tests that run the plug-ins through other programs (lv2apply, PipeWire,
// varic), and their comparison bit for bit.
//
//   signal_files write FILE RATE SECONDS   a stereo 32-bit float WAV: a first frame that is not
//                                          silent, then channels that differ, hard-panned
//                                          bursts and silent stretches, and a quarter second
//                                          of silence at the end
//   signal_files compare EXPECTED ACTUAL [--from-first-sound]
//                                          status 0 when ACTUAL holds EXPECTED's samples bit for
//                                          bit (from its first frame that is not silent, with
//                                          the option: a recording that began before the
//                                          sound); 1 at the first difference, named; 3 when
//                                          ACTUAL ends before EXPECTED does

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kIncomplete = 3;

// A stereo file's samples, interleaved left and right.
bool read(const char* path, std::vector<float>& samples) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr || info.channels != 2) {
        std::fprintf(stderr, "signal_files: %s: %s\n", path,
                     file ? "not two channels" : sf_strerror(nullptr));
        if (file) sf_close(file);
        return false;
    }
    samples.resize(static_cast<std::size_t>(info.frames) * 2);
    samples.resize(static_cast<std::size_t>(sf_readf_float(file, samples.data(), info.frames)) * 2);
    sf_close(file);
    return true;
}

int write(const char* path, int rate, double seconds) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    const std::size_t silentEnd = frames - static_cast<std::size_t>(rate / 4);
    std::mt19937 random(static_cast<std::uint32_t>(rate));
    // Exact integer scaling: the same samples on every platform.
    auto noise = [&random] {
        return static_cast<float>(static_cast<std::int32_t>(random())) * 0x1p-33f;
    };
    std::vector<float> samples(frames * 2, 0.0f);
    for (std::size_t n = 0; n < silentEnd; ++n) {
        const std::size_t stretch =
            n / static_cast<std::size_t>(rate / 8) % 4;  // eighths of a second
        const float left = noise(), right = noise();
        samples[2 * n] = stretch == 2 ? 0.0f : left;                                 // right alone
        samples[2 * n + 1] = stretch == 1 ? 0.0f : right;                            // left alone
        if (stretch == 3 && n % 3 != 0) samples[2 * n] = samples[2 * n + 1] = 0.0f;  // near silence
    }
    samples[0] = 0.5f;  // the start, to be found in a recording
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "signal_files: %s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    const sf_count_t written =
        sf_writef_float(file, samples.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return written == static_cast<sf_count_t>(frames) ? 0 : 1;
}

int compare(const char* expectedPath, const char* actualPath, bool fromFirstSound) {
    std::vector<float> expected, actual;
    if (!read(expectedPath, expected) || !read(actualPath, actual)) return 1;
    std::size_t start = 0;  // in samples: a frame's two at a time
    while (fromFirstSound && start < actual.size() && actual[start] == 0.0f &&
           actual[start + 1] == 0.0f) {
        start += 2;
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (start + i >= actual.size()) {
            std::printf("%s ends at frame %zu of %zu expected (from frame %zu)\n", actualPath,
                        i / 2, expected.size() / 2, start / 2);
            return kIncomplete;
        }
        if (std::memcmp(&expected[i], &actual[start + i], sizeof(float)) != 0) {
            std::printf("first difference at frame %zu (%s channel): expected %.9g, got %.9g\n",
                        i / 2, i % 2 == 0 ? "left" : "right", expected[i], actual[start + i]);
            return 1;
        }
    }
    std::printf("%zu frames identical (from frame %zu of %s)\n", expected.size() / 2, start / 2,
                actualPath);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && argc == 5)
        return write(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    if (command == "compare" &&
        (argc == 4 || (argc == 5 && std::strcmp(argv[4], "--from-first-sound") == 0))) {
        return compare(argv[2], argv[3], argc == 5);
    }
    std::fprintf(stderr,
                 "usage: signal_files write FILE RATE SECONDS\n"
                 "       signal_files compare EXPECTED ACTUAL [--from-first-sound]\n");
    return 2;
}
