// One image at or beyond the module's limits, measured in a process of its own so that the
// peak resident memory belongs to that image alone: load, attach, composition of every frame
// in the worker's order, one paint, destroy. tools/limits runs it once per case and prints the
// table.
//
// Run: limits_probe --list | limits_probe NAME | limits_probe FILE. NAME is one of
// tests/support/limit_images.h; FILE is read from disk (the corpus's decompression bombs).
// Prints one line: name, load result, frames, canvas, whether a composition surface was
// made, frames composed, the paint's answer, peak resident memory, wall time.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/support/corpus.h"
#include "tests/support/limit_images.h"
#include "tests/support/load_recorder.h"
#include "tests/support/resident_memory.h"
#include "tests/support/test_window.h"

namespace {

// The worker's order: frame 0 on a cleared canvas, then each frame after the previous one's
// disposal. Answers how many composed before the first failure.
UINT ComposeEveryFrame(TavorenGif* viewer) {
    UINT composed = 0;
    for (UINT i = 0; i < viewer->frameCount; ++i) {
        viewer->currentFrame = i;
        if (!viewer->ComposeNextFrame()) break;
        ++composed;
    }
    return composed;
}

int Measure(const std::string& name, const std::vector<uint8_t>& bytes) {
    const long residentBefore = ResidentKilobytes();
    const auto start = std::chrono::steady_clock::now();

    TestWindow window(64, 64);
    TavorenGif* viewer = CreateInstance(nullptr);
    const LoadRecord record = LoadFromMemory(viewer, {bytes.begin(), bytes.end()});
    const INT32 attached = AttachWindow(viewer, window.hwnd());
    const bool surface = viewer->composeTarget != nullptr;
    const UINT composed = ComposeEveryFrame(viewer);
    RECT source{0, 0, 64, 64}, dest{0, 0, 64, 64};
    const INT32 painted = Render(viewer, 0, &source, &dest, 1);
    const UINT frames = viewer->frameCount, width = viewer->width, height = viewer->height;
    DestroyInstance(viewer);

    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "%-37s load %2d  frames %5u  canvas %11s  surface %-3s  composed %5u  paint %2d  "
        "peak RSS %7.1f MB (%.1f at start)  %8.1f ms\n",
        name.c_str(), record.result, frames,
        (std::to_string(width) + "x" + std::to_string(height)).c_str(), surface ? "yes" : "no",
        composed, painted, usage.ru_maxrss / 1024.0, residentBefore / 1024.0, ms);
    // The attach's answer is 0 for every image that reaches it; anything else is worth a line.
    if (attached != 0) std::printf("  (attach answered %d)\n", attached);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: limits_probe --list | NAME | FILE\n");
        return 2;
    }
    const std::string what = argv[1];
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (what == "--list") {
        for (const LimitImage& image : LimitImages()) {
            std::printf("%s\t%s\n", image.name.c_str(), image.what.c_str());
        }
        return 0;
    }
    if (what.find('/') != std::string::npos) {
        const std::vector<uint8_t> bytes = ReadBytes(what);
        if (bytes.empty()) {
            std::fprintf(stderr, "cannot read %s\n", what.c_str());
            return 1;
        }
        return Measure(std::filesystem::path(what).filename().string(), bytes);
    }
    // Only the case asked for is kept: the others' bytes would count in its peak.
    std::vector<uint8_t> bytes;
    {
        std::vector<LimitImage> images = LimitImages();
        for (LimitImage& image : images) {
            if (image.name == what) bytes = std::move(image.bytes);
        }
    }
    if (bytes.empty()) {
        std::fprintf(stderr, "no case named %s (see --list)\n", what.c_str());
        return 2;
    }
    return Measure(what, bytes);
}
