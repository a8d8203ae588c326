// The spare surface: the pixels of the last large bitmap released, kept for the next bitmap of
// the same size that is written whole. A player releases frame N's bitmap and makes frame
// N + 1's at once; without the spare, each frame would have the system map, zero and unmap a
// block of the canvas's size (at 4000x3000, more of the frame's time than its decoding), as a
// graphics device reuses its freed texture memory instead.
#include <mutex>

#include "drawing/drawing.h"

namespace platform::drawing {
namespace {

// Smaller blocks the allocator keeps and hands back by itself.
constexpr size_t kSmallestKept = size_t{1} << 20;

struct Spare {
    std::mutex lock;
    std::unique_ptr<Surface> surface;
};

// Never destroyed: a bitmap may be released during the process's exit.
Spare& TheSpare() {
    static Spare* spare = new Spare();
    return *spare;
}

}  // namespace

void KeepSpareSurface(std::unique_ptr<Surface> surface) {
    if (!surface || size_t{surface->stride()} * surface->height() < kSmallestKept) return;
    Spare& spare = TheSpare();
    std::unique_ptr<Surface> previous;  // freed outside the lock
    std::lock_guard<std::mutex> guard(spare.lock);
    previous = std::move(spare.surface);
    spare.surface = std::move(surface);
}

std::unique_ptr<Surface> TakeSpareSurface(UINT32 width, UINT32 height) {
    Spare& spare = TheSpare();
    std::lock_guard<std::mutex> guard(spare.lock);
    if (!spare.surface || spare.surface->width() != width || spare.surface->height() != height) {
        return nullptr;
    }
    return std::move(spare.surface);
}

void DropSpareSurface() {
    Spare& spare = TheSpare();
    std::unique_ptr<Surface> dropped;
    std::lock_guard<std::mutex> guard(spare.lock);
    dropped = std::move(spare.surface);
}

}  // namespace platform::drawing
