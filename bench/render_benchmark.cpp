// Composition and painting against their floors: giflib's bare decode of the same frames,
// and a memcpy of the same bytes as a paint.
//
// Run: build/linux/bin/render_benchmark. The GIF is generated once per run: 100 frames of
// 1920x1080, each a band of noise over a flat area, as screen recordings tend to be.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench/giflib_decode.h"
#include "tests/support/corpus.h"
#include "tests/support/viewer_harness.h"

namespace {

constexpr unsigned kFrames = 100;
constexpr uint16_t kWidth = 1920, kHeight = 1080;

const std::vector<uint8_t>& HdGif() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<GifColor> palette(256);
        for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)};
        std::mt19937 random(7);
        const GifImage image =
            PaintedAnimation(kFrames, kWidth, kHeight, 4, 1, palette,
                             [&](unsigned f, std::vector<uint8_t>& indices) {
                                 std::fill(indices.begin(), indices.end(), static_cast<uint8_t>(f));
                                 const size_t band = (f % 10) * (kHeight / 10) * size_t{kWidth};
                                 for (size_t i = 0; i < size_t{kWidth} * (kHeight / 10); ++i) {
                                     indices[band + i] = static_cast<uint8_t>(random());
                                 }
                             });
        return BuildGif(image);
    }();
    return bytes;
}

void SetPixels(benchmark::State& state, double pixelsPerIteration) {
    state.counters["MP/s"] =
        benchmark::Counter(pixelsPerIteration * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

// One worker step: undo the previous frame, decode and draw the next.
void ComposeFrame(benchmark::State& state) {
    ViewerHarness harness(64, 64);
    if (!harness.Open(HdGif())) state.SkipWithError("open failed");
    UINT frame = 0;
    for (auto _ : state) {
        if (!harness.Step(frame)) state.SkipWithError("compose failed");
        frame = (frame + 1) % kFrames;
    }
    SetPixels(state, double(kWidth) * kHeight);
}

// The same step over the corpus's largest animation (by canvas area), when the corpus is there.
void ComposeCorpusFrame(benchmark::State& state) {
    std::filesystem::path largest;
    UINT area = 0, frames = 0;
    std::vector<uint8_t> bytes;
    for (const auto& file : CorpusFiles("gif")) {
        std::vector<uint8_t> candidate = ReadBytes(file);
        ViewerHarness probe(8, 8);
        if (!probe.Open(candidate) || probe.viewer()->frameCount < 2) continue;
        if (probe.viewer()->width * probe.viewer()->height > area) {
            area = probe.viewer()->width * probe.viewer()->height;
            frames = probe.viewer()->frameCount;
            largest = file;
            bytes = std::move(candidate);
        }
    }
    if (bytes.empty()) {
        state.SkipWithError("no corpus beside the project");
        return;
    }
    ViewerHarness harness(8, 8);
    harness.Open(bytes);
    UINT frame = 0;
    for (auto _ : state) {
        if (!harness.Step(frame)) state.SkipWithError("compose failed");
        frame = (frame + 1) % frames;
    }
    state.SetLabel(largest.filename().string());
    SetPixels(state, double(area));
}

// giflib decoding the same frames into indices, nothing else.
void GiflibDecodeFrame(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = HdGif();
    std::vector<GifByteType> line(kWidth);
    for (auto _ : state) {
        state.PauseTiming();
        GifMemoryReader reader{&bytes};
        int error = 0;
        GifFileType* gif = OpenGif(reader, &error);
        state.ResumeTiming();
        // Decode every frame, then count it as kFrames iterations' worth below.
        const int decoded = DecodeAllFrames(gif, line, &error);
        if (decoded != static_cast<int>(kFrames)) state.SkipWithError("giflib failed");
    }
    state.counters["ms/frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    SetPixels(state, double(kWidth) * kHeight * kFrames);
}

// A paint of the whole canvas into a window of the same size, linear filter.
void RenderCanvas(benchmark::State& state) {
    ViewerHarness harness(kWidth, kHeight);
    if (!harness.Open(HdGif()) || !harness.Step(0)) state.SkipWithError("open failed");
    RECT source{0, 0, kWidth, kHeight}, dest{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        if (Render(harness.viewer(), 0, &source, &dest, 1) != 0)
            state.SkipWithError("render failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

// The floor of a paint: the same bytes copied once.
void MemcpyCanvas(benchmark::State& state) {
    std::vector<uint8_t> from(size_t{kWidth} * kHeight * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(from.size()));
}

}  // namespace

BENCHMARK(ComposeFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ComposeCorpusFrame)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(GiflibDecodeFrame)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RenderCanvas)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(MemcpyCanvas)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
