// A host window as the module sees it: what pelm-view implements for the stand-in's window
// contract (tavoren_window.h), and the registration that turns it into an HWND.
#pragma once

#include <tavoren_window.h>
#include <windows.h>

// The window's side of the contract. Invalidate and Post may be called from the module's
// worker thread; everything else is called on the window thread.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void ClientSize(int* width, int* height) = 0;
    virtual void ClientOrigin(int* x, int* y) = 0;
    virtual void Invalidate() = 0;
    virtual bool Post(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Top-down premultiplied BGRA, valid only during the call.
    virtual void Present(const BYTE* pixels, int width, int height, int stride) = 0;
    virtual bool Occluded() = 0;
    virtual UINT_PTR TrackMenu(const TavorenMenuItem* items, int count, int x, int y) = 0;
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
