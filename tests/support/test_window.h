// A window for the painting tests to hand the module, and to read back what it shows.
// Linux: a window of the host core's window adapter that keeps the last presented frame.
// Windows: a real borderless top-level window at the screen's top-left corner, topmost so
// nothing covers it, read back through GDI.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/linux/window_host.h"
#endif

#if defined(_WIN32)
class TestWindow {
#else
class TestWindow : private WindowHost {
#endif
  public:
    using Message = std::tuple<UINT, WPARAM, LPARAM>;

    // A popup menu's item as shown: MF_SEPARATOR and MF_CHECKED of its flags, its id and
    // its label (empty for a separator).
    struct MenuItem {
        UINT flags;
        UINT_PTR id;
        std::basic_string<WCHAR> label;
        bool operator==(const MenuItem&) const = default;
    };
    // Plays the user in a popup menu's modal loop: given the items and the menu's screen
    // position, answers the id to choose, or 0 to dismiss. It runs inside TrackPopupMenu, on
    // the window's thread, so it may call the module's entry points as a host's loop would.
    using MenuScript = std::function<UINT_PTR(const std::vector<MenuItem>& items, POINT at)>;

    // Created on the calling thread, which on Windows must also be the one that pumps.
    TestWindow(int clientWidth, int clientHeight);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const {
        return hwnd_;
    }

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

    // Linux: the window's menu tracker. Windows: the real menu, read when it opens and driven
    // by keys posted from its idle notification. Without a script, menus are dismissed.
    void SetMenuScript(MenuScript script) {
        menuScript_ = std::move(script);
    }
    int menusShown() const {
        return menusShown_;
    }
    // Menus that the application ended while they were tracked (EndMenu). Linux: the
    // tracker was asked to close. Windows: the keys of the script's choice reached the window
    // because the loop had ended before it read them (this pumps to see them); a menu that a
    // script destroyed is left to the application and counts when its loop ends within a few
    // seconds, otherwise the test window ends it and it does not count.
    int menusEnded();

  private:
#if defined(_WIN32)
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // Pumps until `done` holds or the timeout ends, checking again at least every pollMs.
    template <typename Done>
    bool PumpUntil(Done done, unsigned timeoutMs, unsigned pollMs = INFINITE);
#else
    // WindowHost.
    void ClientSize(int* width, int* height) override;
    void ClientOrigin(int* x, int* y) override;
    void Invalidate() override;
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Present(const BYTE* pixels, int width, int height, int stride) override;
    bool Occluded() override;
    UINT_PTR TrackMenu(const TavorenMenuItem* items, int count, int x, int y) override;
    void EndTrackedMenu() override;
    std::vector<uint32_t> CaptureLocked() const;

    // Ended first in the destructor, so that no callback meets a member already gone.
    std::optional<RegisteredWindow> registration_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int width_, height_;
    int originX_ = 0, originY_ = 0;
    bool occluded_ = false;
    std::vector<uint32_t> frame_;  // as presented, frameWidth_ * frameHeight_
    int frameWidth_ = 0, frameHeight_ = 0;
#endif
    HWND hwnd_ = nullptr;
    MenuScript menuScript_;
    int menusShown_ = 0;
    int menusEnded_ = 0;
#if defined(_WIN32)
    bool menuLeftToApplication_ = false;  // a script destroyed it; the deadline timer runs
    ULONGLONG menuDeadline_ = 0;
    void EndMenuLeftOpen();
    std::vector<MenuItem> openingMenu_;  // read at WM_INITMENUPOPUP
    HMENU openingMenuHandle_ = nullptr;
    bool menuAnswered_ = true;
    void ReadOpeningMenu(HMENU menu);
    void AnswerMenu(HWND menuWindow);
#endif
    int invalidations_ = 0;
    std::vector<Message> posted_;
};
