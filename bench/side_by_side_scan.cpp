// The module's open of each named file as a host opens it, to set beside `identify -ping` and
// `gifsicle --info` on the same files: a new viewer, LoadImageSource from the file's path
// (stream, decoder with its frame index, and the metadata scan; no pixel is decoded), and
// the viewer's teardown. The peers are whole processes that also read the file and exit, so
// tools/bench-compare takes their start-up off before it compares.
//
// Run: side_by_side_scan [--benchmark_...] FILE... (one benchmark "Scan/NAME" a file).
// Counters: loaded (1 when the module opened it), frames, width, height.
#include <benchmark/benchmark.h>

#include "bench/file_arguments.h"
#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/wide_path.h"

namespace {

void Scan(benchmark::State& state, const std::filesystem::path& file) {
    const auto path = Wide(file.string());
    INT32 result = -1;
    UINT frames = 0, width = 0, height = 0;
    for (auto _ : state) {
        TavorenGif* viewer = CreateInstance(nullptr);
        result = LoadImageSource(viewer, path.c_str(), nullptr, 0, nullptr, 0, 0, nullptr, nullptr);
        frames = viewer->frameCount;
        width = viewer->width;
        height = viewer->height;
        DestroyInstance(viewer);
    }
    state.counters["loaded"] = result == 0 ? 1 : 0;
    state.counters["frames"] = frames;
    state.counters["width"] = width;
    state.counters["height"] = height;
}

}  // namespace

int main(int argc, char** argv) {
    return RunForEachFile(argc, argv, [](const std::filesystem::path& file) {
        RegisterForFile("Scan", Scan, file, 0.1);
    });
}
