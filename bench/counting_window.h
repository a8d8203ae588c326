// A window of the Linux window contract for the benchmark programs: a fixed client size,
// nothing shown, and the paint requests counted so that a caller can await them.
#pragma once

#include <tavoren_window.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

class CountingWindow {
  public:
    CountingWindow(int width, int height) : width_(width), height_(height) {
        callbacks_ = {this,    ClientSize, ClientOrigin, Invalidate, Post,
                      Present, Occluded,   nullptr,      nullptr};
        hwnd_ = TavorenCreateWindow(&callbacks_);
    }
    ~CountingWindow() { TavorenDestroyWindow(hwnd_); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

    void Forget() {
        std::lock_guard lock(mutex_);
        invalidations_ = 0;
    }
    bool WaitFor(int count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return invalidations_ >= count; });
    }

  private:
    static void ClientSize(void* context, int* width, int* height) {
        *width = static_cast<CountingWindow*>(context)->width_;
        *height = static_cast<CountingWindow*>(context)->height_;
    }
    static void ClientOrigin(void*, int* x, int* y) { *x = *y = 0; }
    static void Invalidate(void* context) {
        auto* self = static_cast<CountingWindow*>(context);
        std::lock_guard lock(self->mutex_);
        ++self->invalidations_;
        self->changed_.notify_all();
    }
    static int Post(void*, UINT, WPARAM, LPARAM) { return 1; }
    static void Present(void*, const BYTE*, int, int, int) {}
    static int Occluded(void*) { return 0; }

    const int width_, height_;
    TavorenWindowCallbacks callbacks_;
    HWND hwnd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int invalidations_ = 0;
};
