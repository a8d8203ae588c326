// The window a Linux host lends the module, as C++: the one adapter of the stand-in's window
// contract (tavoren_window.h). A window derives from WindowHost and overrides the hooks it
// needs; a RegisteredWindow turns it into the HWND the module is given. CountingWindow is the
// window nobody sees, which logs the paint requests that a run awaits.
#pragma once

#include <tavoren_window.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// The window's side of the contract. Invalidate and Post may be called from the module's
// worker thread; everything else is called on the window thread. Every hook but the client
// size answers by default as a window that no one looks at would.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void ClientSize(int* width, int* height) = 0;
    // The client area's top-left corner on the screen.
    virtual void ClientOrigin(int* x, int* y) {
        *x = 0;
        *y = 0;
    }
    virtual void Invalidate() {}
    // The module's notifications; taken and dropped unless a window wants them.
    virtual bool Post(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return true; }
    // Top-down premultiplied BGRA, valid only during the call.
    virtual void Present(const BYTE* /*pixels*/, int /*width*/, int /*height*/, int /*stride*/) {}
    virtual bool Occluded() { return false; }
    // Runs a popup menu modally and answers the chosen id; 0 (dismissed) when no one chooses.
    virtual UINT_PTR TrackMenu(const TavorenMenuItem* /*items*/, int /*count*/, int /*x*/,
                               int /*y*/) {
        return 0;
    }
    // Closes the menu that TrackMenu shows now; called from inside it (the module's EndMenu).
    virtual void EndTrackedMenu() {}
};

// `host` registered as a window for as long as this lives; no callback runs after the
// destructor returns.
class RegisteredWindow {
  public:
    explicit RegisteredWindow(WindowHost& host);
    ~RegisteredWindow();
    RegisteredWindow(const RegisteredWindow&) = delete;
    RegisteredWindow& operator=(const RegisteredWindow&) = delete;

    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_;
};

// A window host together with its registration: registered after the host is made and
// unregistered before it goes, so no callback meets half of it.
template <typename Host>
class Registered : public Host {
  public:
    template <typename... Args>
    explicit Registered(Args&&... args) : Host(std::forward<Args>(args)...) {}

    HWND hwnd() const { return window_.hwnd(); }

  private:
    RegisteredWindow window_{*this};
};

// A client area of a set size with no screen behind it. It notes when each of the module's
// paint requests came, so that a caller can await the frames it asked for and time them.
class CountingWindow : public WindowHost {
  public:
    using Clock = std::chrono::steady_clock;

    CountingWindow(int width, int height) : width_(width), height_(height) {}

    // For a WM_SIZE that follows.
    void SetClientSize(int width, int height);
    int width() const;
    int height() const;

    // Forgets the paint requests so far.
    void ForgetInvalidations();
    // The paint requests since the last Forget.
    std::size_t invalidations() const;
    // Waits until `count` paint requests have come since the last Forget; false on timeout.
    bool WaitForInvalidations(std::size_t count, std::chrono::milliseconds timeout);
    // When paint request `index` (from 0) came, or nothing when it has not come in time.
    std::optional<Clock::time_point> InvalidationTime(std::size_t index,
                                                      std::chrono::milliseconds timeout);
    // When each paint request since the last Forget came.
    std::vector<Clock::time_point> InvalidationTimes() const;

    void ClientSize(int* width, int* height) override;
    // From the worker thread.
    void Invalidate() override;

  private:
    mutable std::mutex lock_;
    std::condition_variable invalidated_;
    int width_, height_;                    // guarded by lock_
    std::vector<Clock::time_point> times_;  // guarded by lock_
};
