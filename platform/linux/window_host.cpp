// The C callbacks of the window contract, each handing on to the WindowHost in `context`.
#include "platform/linux/window_host.h"

namespace {

WindowHost& Host(void* context) {
    return *static_cast<WindowHost*>(context);
}

const TavorenWindowCallbacks kCallbacks = {
    nullptr,
    [](void* c, int* width, int* height) { Host(c).ClientSize(width, height); },
    [](void* c, int* x, int* y) { Host(c).ClientOrigin(x, y); },
    [](void* c) { Host(c).Invalidate(); },
    [](void* c, UINT message, WPARAM wParam, LPARAM lParam) {
        return Host(c).Post(message, wParam, lParam) ? 1 : 0;
    },
    [](void* c, const BYTE* pixels, int width, int height, int stride) {
        Host(c).Present(pixels, width, height, stride);
    },
    [](void* c) { return Host(c).Occluded() ? 1 : 0; },
    [](void* c, const TavorenMenuItem* items, int count, int x, int y) {
        return Host(c).TrackMenu(items, count, x, y);
    },
    [](void* c) { Host(c).EndTrackedMenu(); },
};

}  // namespace

RegisteredWindow::RegisteredWindow(WindowHost& host) {
    // The stand-in keeps its own copy of the table.
    TavorenWindowCallbacks callbacks = kCallbacks;
    callbacks.context = &host;
    hwnd_ = TavorenCreateWindow(&callbacks);
}

RegisteredWindow::~RegisteredWindow() {
    TavorenDestroyWindow(hwnd_);
}

void CountingWindow::SetClientSize(int width, int height) {
    std::lock_guard guard(lock_);
    width_ = width;
    height_ = height;
}

int CountingWindow::width() const {
    std::lock_guard guard(lock_);
    return width_;
}

int CountingWindow::height() const {
    std::lock_guard guard(lock_);
    return height_;
}

void CountingWindow::ForgetInvalidations() {
    std::lock_guard guard(lock_);
    times_.clear();
}

std::size_t CountingWindow::invalidations() const {
    std::lock_guard guard(lock_);
    return times_.size();
}

bool CountingWindow::WaitForInvalidations(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return invalidated_.wait_for(guard, timeout, [&] { return times_.size() >= count; });
}

std::optional<CountingWindow::Clock::time_point> CountingWindow::InvalidationTime(
    std::size_t index, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    if (!invalidated_.wait_for(guard, timeout, [&] { return times_.size() > index; })) return {};
    return times_[index];
}

std::vector<CountingWindow::Clock::time_point> CountingWindow::InvalidationTimes() const {
    std::lock_guard guard(lock_);
    return times_;
}

void CountingWindow::ClientSize(int* width, int* height) {
    std::lock_guard guard(lock_);
    *width = width_;
    *height = height_;
}

void CountingWindow::Invalidate() {
    // Taken before the lock, so that waiting for it does not count as the request's lateness.
    const Clock::time_point now = Clock::now();
    std::lock_guard guard(lock_);
    times_.push_back(now);
    // Notified under the lock: a waiter that sees the request may destroy the window at once.
    invalidated_.notify_all();
}
