// A window for the painting tests to hand the module, and to read back what it shows.
// Linux: a window registered through tavoren_window.h that keeps the last presented frame.
// Windows: a real borderless top-level window at the screen's top-left corner, topmost so
// nothing covers it, read back through GDI.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <tuple>
#include <vector>

#if !defined(_WIN32)
#include <tavoren_window.h>

#include <condition_variable>
#include <mutex>
#endif

class TestWindow {
  public:
    using Message = std::tuple<UINT, WPARAM, LPARAM>;

    // Created on the calling thread, which on Windows must also be the one that pumps.
    TestWindow(int clientWidth, int clientHeight);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return hwnd_; }

    // The client area as 0xAARRGGBB, row-major, client width * client height.
    // Linux: the last presented frame, premultiplied as presented; all 0 before the first.
    // Windows: read from the screen; alpha is always 0xFF.
    std::vector<uint32_t> Capture() const;
    // Captures until `done` accepts the pixels or the timeout ends; answers the last capture.
    // A frame reaches the screen some time after EndDraw answers (Wine by default presents
    // from its own thread, Windows composes on the next refresh) and nothing tells when, so on
    // Windows this polls, pumping messages between tries. Linux: waits for presents.
    std::vector<uint32_t> CaptureWhen(const std::function<bool(const std::vector<uint32_t>&)>& done,
                                      unsigned timeoutMs);

    // Linux: calls of the contract's invalidate. Windows: WM_PAINTs received, so invalidations
    // made between two pumps count once, as Windows merges them into one paint.
    int invalidations() const;
    bool WaitForInvalidation(int count, unsigned timeoutMs);

    // Waits until `done` holds, looking again after each invalidation (Linux: under the
    // window's lock, so none is missed; Windows: after each paint, pumping meanwhile). For
    // what the worker changes before it invalidates.
    bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs);

    // Messages posted to the window since the last call, oldest first. Windows: only those
    // from WM_USER up, as the system posts its own to any window.
    std::vector<Message> PostedMessages();
    bool WaitForPostedMessage(UINT message, unsigned timeoutMs);

    // Linux: what the contract's occluded answers. Windows: does nothing, the window stays
    // topmost and visible.
    void SetOccluded(bool occluded);
    void SetClientSize(int width, int height);
    // The screen position of the client area's top-left corner.
    void SetScreenOrigin(int x, int y);
    // Windows: dispatches what is queued for this thread. Linux: nothing to do.
    void PumpMessages();

  private:
#if defined(_WIN32)
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // Pumps until `done` holds or the timeout ends, checking again at least every pollMs.
    template <typename Done>
    bool PumpUntil(Done done, unsigned timeoutMs, unsigned pollMs = INFINITE);
#else
    static void ClientSize(void* context, int* width, int* height);
    static void ClientOrigin(void* context, int* x, int* y);
    static void Invalidate(void* context);
    static int Post(void* context, UINT message, WPARAM wParam, LPARAM lParam);
    static void Present(void* context, const BYTE* pixels, int width, int height, int stride);
    static int Occluded(void* context);
    std::vector<uint32_t> CaptureLocked() const;

    TavorenWindowCallbacks callbacks_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int width_, height_;
    int originX_ = 0, originY_ = 0;
    bool occluded_ = false;
    std::vector<uint32_t> frame_;  // as presented, frameWidth_ * frameHeight_
    int frameWidth_ = 0, frameHeight_ = 0;
#endif
    HWND hwnd_ = nullptr;
    int invalidations_ = 0;
    std::vector<Message> posted_;
};
