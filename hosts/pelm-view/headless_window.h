// The window of a headless run: a client area of a fixed size with no screen behind it. It
// counts the module's paint requests so that the run can wait for the frame it stepped to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "presented_frame.h"
#include "registered_window.h"

class HeadlessWindow : public WindowHost {
  public:
    HeadlessWindow(int width, int height) : width_(width), height_(height) {}

    // For a WM_SIZE that follows: the run changes the size only between frames.
    void SetClientSize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Forgets the paint requests so far.
    void ForgetInvalidations();
    // Waits until `count` paint requests have come since the last Forget; false on timeout.
    bool WaitForInvalidations(int count, std::chrono::milliseconds timeout);

    PresentedFrame& frame() { return frame_; }

    // WindowHost.
    void ClientSize(int* width, int* height) override;
    void ClientOrigin(int* x, int* y) override;
    void Invalidate() override;
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Present(const BYTE* pixels, int width, int height, int stride) override;
    bool Occluded() override;
    UINT_PTR TrackMenu(const TavorenMenuItem* items, int count, int x, int y) override;

  private:
    int width_, height_;
    std::mutex lock_;
    std::condition_variable invalidated_;
    int invalidations_ = 0;  // guarded by lock_
    PresentedFrame frame_;
};
