// Big pictures in a host's 1280x800 window, against a memcpy of the window's pixels (the least
// any paint of the window costs):
//   BigStill/Fit       an 8000x6000 still GIF repainted whole, fitted into the window (linear)
//   BigStill/Panned    the same repainted 1:1, a window's worth from the middle (nearest)
//   OverLimit/Fit      a 20000x200 still GIF, wider than the device holds, repainted fitted
//   OverLimit/Shown    the same loaded, attached and painted the first time; its counter
//                      "drawn" is 1 when the paint put the picture in the window
//   Memcpy/Window      one copy of 1280 * 800 * 4 bytes
// The pictures are generated in memory once; each repaint row has the picture loaded,
// attached and painted once before it is timed.
//
// Run: big_picture_paint [--benchmark_...]
//      big_picture_paint --write DIR   writes the two pictures to DIR instead (for the peak
//                                      memory player and the hosts), and prints their paths
#include <benchmark/benchmark.h>
#include <tavoren_window.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/window_host.h"
#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/gif_builder.h"

namespace {

constexpr LONG kWindowWidth = 1280, kWindowHeight = 800;

std::vector<GifColor> Palette() {
    std::vector<GifColor> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
    return palette;
}

// A photograph-like still: smooth shading with a speckle of noise, so that the LZW data is
// neither trivial nor incompressible.
std::vector<uint8_t> StillGif(uint16_t width, uint16_t height) {
    std::mt19937 random(5);
    return BuildGif(PaintedAnimation(
        1, width, height, 0, 0, Palette(), [&](unsigned, std::vector<uint8_t>& indices) {
            for (size_t y = 0; y < height; ++y) {
                for (size_t x = 0; x < width; ++x) {
                    indices[y * width + x] =
                        static_cast<uint8_t>((x / 31 + y / 23 + (random() % 4)) & 0xFF);
                }
            }
        }));
}

// A viewer with `bytes` loaded into a window of the host's size, painted once.
class ShownPicture {
  public:
    explicit ShownPicture(const std::vector<uint8_t>& bytes)
        : window_(kWindowWidth, kWindowHeight), viewer_(CreateInstance(nullptr)) {
        INT32 memoryResult = 0;
        loaded_ = LoadImageSource(viewer_, nullptr, bytes.data(), bytes.size(), &memoryResult, 0, 0,
                                  nullptr, nullptr) == 0 &&
                  AttachWindow(viewer_, window_.hwnd()) == 0;
    }
    ~ShownPicture() { DestroyInstance(viewer_); }  // before the window it names
    ShownPicture(const ShownPicture&) = delete;
    ShownPicture& operator=(const ShownPicture&) = delete;

    bool loaded() const { return loaded_; }
    INT32 Paint(const RECT& source, const RECT& dest, BYTE interpolation) {
        return Render(viewer_, 0, &source, &dest, interpolation);
    }
    // The picture fitted into the window, centred.
    void Fit(RECT* source, RECT* dest) const {
        const double w = viewer_->width, h = viewer_->height;
        const double scale = std::min(kWindowWidth / w, kWindowHeight / h);
        const auto dw = static_cast<LONG>(w * scale + 0.5), dh = static_cast<LONG>(h * scale + 0.5);
        *source = {0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
        *dest = {(kWindowWidth - dw) / 2, (kWindowHeight - dh) / 2, (kWindowWidth + dw) / 2,
                 (kWindowHeight + dh) / 2};
    }
    TavorenGif* viewer() const { return viewer_; }

  private:
    Registered<CountingWindow> window_;
    TavorenGif* viewer_;
    bool loaded_ = false;
};

ShownPicture& BigStill() {
    static const std::unique_ptr<ShownPicture> shown =
        std::make_unique<ShownPicture>(StillGif(8000, 6000));
    return *shown;
}

const std::vector<uint8_t>& OverLimitBytes() {
    static const std::vector<uint8_t> bytes = StillGif(20000, 200);
    return bytes;
}

void Repaint(benchmark::State& state, ShownPicture& shown, const RECT& source, const RECT& dest,
             BYTE interpolation) {
    if (!shown.loaded()) return state.SkipWithError("the module did not open the picture");
    // The first paint after an attach composes the picture: the repaints are the ones timed.
    if (shown.Paint(source, dest, interpolation) != 0) return state.SkipWithError("Render failed");
    for (auto _ : state) {
        if (shown.Paint(source, dest, interpolation) != 0) {
            return state.SkipWithError("Render failed");
        }
    }
}

void BigStillFit(benchmark::State& state) {
    RECT source, dest;
    BigStill().Fit(&source, &dest);
    Repaint(state, BigStill(), source, dest, 1);
}

void BigStillPanned(benchmark::State& state) {
    const RECT source{3000, 2000, 3000 + kWindowWidth, 2000 + kWindowHeight};
    const RECT dest{0, 0, kWindowWidth, kWindowHeight};
    Repaint(state, BigStill(), source, dest, 0);
}

void OverLimitFit(benchmark::State& state) {
    static ShownPicture shown(OverLimitBytes());
    RECT source, dest;
    shown.Fit(&source, &dest);
    Repaint(state, shown, source, dest, 1);
}

void OverLimitShown(benchmark::State& state) {
    double drawn = 0;
    for (auto _ : state) {
        ShownPicture shown(OverLimitBytes());
        RECT source, dest;
        shown.Fit(&source, &dest);
        drawn =
            shown.loaded() && shown.viewer()->composeTarget && shown.Paint(source, dest, 1) == 0;
    }
    state.counters["drawn"] = drawn;
}

void MemcpyWindow(benchmark::State& state) {
    std::vector<uint8_t> from(size_t{kWindowWidth} * kWindowHeight * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BigStillFit)->Name("BigStill/Fit")->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BigStillPanned)->Name("BigStill/Panned")->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(OverLimitFit)->Name("OverLimit/Fit")->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(OverLimitShown)->Name("OverLimit/Shown")->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(MemcpyWindow)->Name("Memcpy/Window")->Unit(benchmark::kMicrosecond)->MinTime(0.2);
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write") {
        const std::filesystem::path dir = argv[2];
        std::filesystem::create_directories(dir);
        const std::pair<const char*, std::vector<uint8_t>> pictures[] = {
            {"still-8000x6000.gif", StillGif(8000, 6000)},
            {"overlimit-20000x200.gif", OverLimitBytes()}};
        for (const auto& [name, bytes] : pictures) {
            std::ofstream(dir / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            std::printf("%s\n", (dir / name).string().c_str());
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
