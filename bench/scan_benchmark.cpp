// The load and metadata scan against the two costs it sits between: merely reading the
// file's bytes (the floor) and giflib decoding every frame (what the scan must not do).
//
// Run: build/linux/bin/scan_benchmark [--benchmark_...]. The test file is generated once
// per run: 600 frames of 512x384 noise, about 120 MB.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/gif_builder.h"
#include "tests/support/wide_path.h"

namespace {

constexpr unsigned kFrames = 600;
constexpr uint16_t kWidth = 512, kHeight = 384;

const std::filesystem::path& BigGif() {
    static const std::filesystem::path path = [] {
        std::filesystem::path file = std::filesystem::temp_directory_path() / "tavoren-bench.gif";
        std::vector<GifColor> palette(256);
        for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
        std::mt19937 random(1234);
        const GifImage image = PaintedAnimation(kFrames, kWidth, kHeight, 4, 0, palette,
                                                [&](unsigned, std::vector<uint8_t>& indices) {
                                                    for (auto& index : indices)
                                                        index = static_cast<uint8_t>(random());
                                                });
        std::vector<uint8_t> bytes = BuildGif(image);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file;
    }();
    return path;
}

// Resident memory now, from /proc/self/statm.
double ResidentMB() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void SetBytes(benchmark::State& state) {
    const auto size = static_cast<int64_t>(std::filesystem::file_size(BigGif()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["MB"] = static_cast<double>(size) / 1e6;
}

// The floor: the file's bytes read into memory. `fresh` gets new memory for every read, as
// any load must; otherwise one buffer is reused, which no load can do.
void ReadFileBytes(benchmark::State& state) {
    const bool fresh = state.range(0) != 0;
    const std::string path = BigGif().string();
    const size_t size = std::filesystem::file_size(BigGif());
    std::unique_ptr<char[]> reused(new char[size]);
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(fresh ? new char[size] : nullptr);
        char* target = fresh ? buffer.get() : reused.get();
        int fd = open(path.c_str(), O_RDONLY);
        size_t total = 0;
        while (total < size) {
            ssize_t got = read(fd, target + total, size - total);
            if (got <= 0) break;
            total += static_cast<size_t>(got);
        }
        close(fd);
        benchmark::DoNotOptimize(target);
    }
    SetBytes(state);
}

// The module's load of the file: stream, decoder with its index, and the metadata scan.
void LoadAndScan(benchmark::State& state) {
    const auto path = Wide(BigGif().string());
    TavorenGif* viewer = CreateInstance(nullptr);
    const double before = ResidentMB();
    for (auto _ : state) {
        INT32 result =
            LoadImageSource(viewer, path.c_str(), nullptr, 0, nullptr, 0, 0, nullptr, nullptr);
        if (result != 0 || viewer->frameCount != kFrames) state.SkipWithError("load failed");
    }
    // What a loaded viewer holds: the file's bytes and the frame index, no pixels.
    state.counters["heldMB"] = ResidentMB() - before;
    DestroyInstance(viewer);
    SetBytes(state);
}

// giflib's full decode of every frame of the same file.
void GiflibSlurp(benchmark::State& state) {
    const std::string path = BigGif().string();
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
        if (gif) DGifCloseFile(gif, &error);
    }
    SetBytes(state);
}

}  // namespace

BENCHMARK(ReadFileBytes)
    ->ArgName("fresh")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK(LoadAndScan)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(GiflibSlurp)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
