// The image files that a side-by-side benchmark measures, named on its command line after
// Google Benchmark's own flags, so that tools/bench-compare hands the module and each peer
// the very same files.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

// Google Benchmark takes its flags out of argv; what remains after the program's name are
// the files. Exits with a usage line when none is given.
inline std::vector<std::filesystem::path> FileArguments(int* argc, char** argv) {
    benchmark::Initialize(argc, argv);
    std::vector<std::filesystem::path> files(argv + 1, argv + *argc);
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [--benchmark_...] FILE...\n", argv[0]);
        std::exit(2);
    }
    return files;
}

// A file's bytes; empty when it cannot be read.
inline std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// The benchmark's name: what is measured, then the file's name, so the driver can tell them
// apart in the JSON.
inline std::string BenchmarkName(const char* measure, const std::filesystem::path& file) {
    return std::string(measure) + "/" + file.filename().string();
}

// Registers `measure` of `file` (the function is called with the file), timed in microseconds
// over at least `minSeconds`.
template <typename Function>
void RegisterForFile(const char* measure, Function function, const std::filesystem::path& file,
                     double minSeconds) {
    benchmark::RegisterBenchmark(BenchmarkName(measure, file).c_str(), function, file)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(minSeconds);
}

// A side-by-side program's main: registers each file's benchmarks with `add`, then runs those
// that the flags select.
inline int RunForEachFile(int argc, char** argv,
                          const std::function<void(const std::filesystem::path&)>& add) {
    for (const auto& file : FileArguments(&argc, argv)) add(file);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
