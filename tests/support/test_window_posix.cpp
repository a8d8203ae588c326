#include "tests/support/test_window.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <utility>

TestWindow::TestWindow(int clientWidth, int clientHeight)
    : width_(clientWidth), height_(clientHeight) {
    registration_.emplace(static_cast<WindowHost&>(*this));
    hwnd_ = registration_->hwnd();
}

TestWindow::~TestWindow() {
    registration_.reset();
}

std::vector<uint32_t> TestWindow::Capture() const {
    std::lock_guard lock(mutex_);
    return CaptureLocked();
}

std::vector<uint32_t> TestWindow::CaptureWhen(
    const std::function<bool(const std::vector<uint32_t>&)>& done, unsigned timeoutMs) {
    std::unique_lock lock(mutex_);
    std::vector<uint32_t> pixels;
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return done(pixels = CaptureLocked()); });
    return pixels;
}

std::vector<uint32_t> TestWindow::CaptureLocked() const {
    std::vector<uint32_t> pixels(static_cast<size_t>(width_) * height_, 0);
    // A frame of another size than the client area shows from the top-left corner.
    int width = std::min(width_, frameWidth_), height = std::min(height_, frameHeight_);
    for (int y = 0; y < height; ++y) {
        std::copy_n(frame_.begin() + static_cast<std::ptrdiff_t>(y) * frameWidth_, width,
                    pixels.begin() + static_cast<std::ptrdiff_t>(y) * width_);
    }
    return pixels;
}

int TestWindow::invalidations() const {
    std::lock_guard lock(mutex_);
    return invalidations_;
}

bool TestWindow::WaitForInvalidation(int count, unsigned timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return invalidations_ >= count; });
}

bool TestWindow::WaitUntil(const std::function<bool()>& done, unsigned timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(); });
}

std::vector<TestWindow::Message> TestWindow::PostedMessages() {
    std::lock_guard lock(mutex_);
    return std::exchange(posted_, {});
}

bool TestWindow::WaitForPostedMessage(UINT message, unsigned timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(posted_.begin(), posted_.end(),
                           [&](const Message& m) { return std::get<0>(m) == message; });
    });
}

void TestWindow::SetOccluded(bool occluded) {
    std::lock_guard lock(mutex_);
    occluded_ = occluded;
}

void TestWindow::SetClientSize(int width, int height) {
    std::lock_guard lock(mutex_);
    width_ = width;
    height_ = height;
}

void TestWindow::SetScreenOrigin(int x, int y) {
    std::lock_guard lock(mutex_);
    originX_ = x;
    originY_ = y;
}

void TestWindow::PumpMessages() {}

void TestWindow::ClientSize(int* width, int* height) {
    std::lock_guard lock(mutex_);
    *width = width_;
    *height = height_;
}

void TestWindow::ClientOrigin(int* x, int* y) {
    std::lock_guard lock(mutex_);
    *x = originX_;
    *y = originY_;
}

void TestWindow::Invalidate() {
    std::lock_guard lock(mutex_);
    ++invalidations_;
    // Notified under the lock: a waiter that sees the change may destroy the window at once.
    changed_.notify_all();
}

bool TestWindow::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(mutex_);
    posted_.emplace_back(message, wParam, lParam);
    changed_.notify_all();
    return true;
}

// Runs on the thread that called TrackPopupMenu, outside the window's lock: the script may
// call the module, which may paint into this window.
UINT_PTR TestWindow::TrackMenu(const TavorenMenuItem* items, int count, int x, int y) {
    ++menusShown_;
    std::vector<MenuItem> shown;
    for (int i = 0; i < count; ++i) {
        shown.push_back({items[i].flags & (MF_SEPARATOR | MF_CHECKED), items[i].id,
                         items[i].label ? items[i].label : u""});
    }
    return menuScript_ ? menuScript_(shown, POINT{x, y}) : 0;
}

int TestWindow::menusEnded() {
    return menusEnded_;
}

void TestWindow::EndTrackedMenu() {
    ++menusEnded_;
}

void TestWindow::Present(const BYTE* pixels, int width, int height, int stride) {
    std::lock_guard lock(mutex_);
    frame_.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const BYTE* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const BYTE* p = row + x * 4;  // B, G, R, A in memory
            frame_[static_cast<size_t>(y) * width + x] =
                uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        }
    }
    frameWidth_ = width;
    frameHeight_ = height;
    changed_.notify_all();
}

bool TestWindow::Occluded() {
    std::lock_guard lock(mutex_);
    return occluded_;
}
