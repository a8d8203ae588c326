// The module's paint of each named file's composed picture 1:1 into a window of the canvas's
// size, against a memcpy of the same number of bytes (width * height * 4), the least any
// paint of that many pixels costs:
//   Render/NAME  Render with the host's 1:1 arguments (the whole picture, interpolation 0):
//                clear to the host colour, draw the canvas, present. The window's present does
//                nothing, so what a host does with the pixels is not counted.
//   Memcpy/NAME  one copy of width * height * 4 bytes between two buffers.
// Each file's first frame is composed before the paints are timed; bench/big_picture_paint
// measures big stills in a window of a host's size.
//
// Run: side_by_side_paint [--benchmark_...] FILE...
#include <benchmark/benchmark.h>
#include <tavoren_window.h>

#include <cstring>
#include <vector>

#include "platform/linux/window_host.h"
#include "bench/file_arguments.h"
#include "module/entry_points.h"
#include "module/tavoren_gif.h"

namespace {

void RenderCanvas(benchmark::State& state, const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = FileBytes(file);
    TavorenGif* viewer = CreateInstance(nullptr);
    INT32 memoryResult = 0;
    if (LoadImageSource(viewer, nullptr, bytes.data(), bytes.size(), &memoryResult, 0, 0, nullptr,
                        nullptr) != 0) {
        DestroyInstance(viewer);
        return state.SkipWithError("the module did not open the file");
    }
    const LONG width = static_cast<LONG>(viewer->width), height = static_cast<LONG>(viewer->height);
    {
        Registered<CountingWindow> window(width, height);
        if (AttachWindow(viewer, window.hwnd()) != 0 || !viewer->ComposeFrame()) {
            DestroyInstance(viewer);
            return state.SkipWithError("the module did not compose frame 0");
        }
        const RECT source{0, 0, width, height}, dest{0, 0, width, height};
        for (auto _ : state) {
            if (Render(viewer, 0, &source, &dest, 0) != 0) {
                state.SkipWithError("Render failed");
                break;
            }
        }
        // The viewer's surfaces name the window: it goes before the window does.
        DestroyInstance(viewer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * width * height * 4);
    state.counters["width"] = width;
    state.counters["height"] = height;
}

void MemcpyCanvas(benchmark::State& state, const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = FileBytes(file);
    TavorenGif* viewer = CreateInstance(nullptr);
    INT32 memoryResult = 0;
    LoadImageSource(viewer, nullptr, bytes.data(), bytes.size(), &memoryResult, 0, 0, nullptr,
                    nullptr);
    const size_t width = viewer->width, height = viewer->height;
    DestroyInstance(viewer);
    if (width == 0 || height == 0) return state.SkipWithError("the module did not open the file");
    std::vector<uint8_t> from(width * height * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(from.size()));
    state.counters["width"] = static_cast<double>(width);
    state.counters["height"] = static_cast<double>(height);
}

}  // namespace

int main(int argc, char** argv) {
    return RunForEachFile(argc, argv, [](const std::filesystem::path& file) {
        RegisterForFile("Render", RenderCanvas, file, 0.2);
        RegisterForFile("Memcpy", MemcpyCanvas, file, 0.2);
    });
}
