// A window that is never on screen: always visible to the module, at the origin, without a
// menu, and whose paints are done by the run itself after each paint request.
#include "headless_window.h"

void HeadlessWindow::SetClientSize(int width, int height) {
    width_ = width;
    height_ = height;
}

void HeadlessWindow::ForgetInvalidations() {
    std::lock_guard guard(lock_);
    invalidations_ = 0;
}

bool HeadlessWindow::WaitForInvalidations(int count, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return invalidated_.wait_for(guard, timeout, [&] { return invalidations_ >= count; });
}

// The size changes only while the worker waits for a step, so it is read unguarded.
void HeadlessWindow::ClientSize(int* width, int* height) {
    *width = width_;
    *height = height_;
}

void HeadlessWindow::ClientOrigin(int* x, int* y) {
    *x = 0;
    *y = 0;
}

// From the worker thread.
void HeadlessWindow::Invalidate() {
    {
        std::lock_guard guard(lock_);
        ++invalidations_;
    }
    invalidated_.notify_all();
}

// The module's notifications need no answer here: the run reads the size and the timing
// again itself after each request of its own.
bool HeadlessWindow::Post(UINT, WPARAM, LPARAM) {
    return true;
}

void HeadlessWindow::Present(const BYTE* pixels, int width, int height, int stride) {
    frame_.Take(pixels, width, height, stride);
}

bool HeadlessWindow::Occluded() {
    return false;
}

// No one is there to choose.
UINT_PTR HeadlessWindow::TrackMenu(const TavorenMenuItem*, int, int, int) {
    return 0;
}
