#include "tests/support/test_window.h"

#include "tests/support/screen_capture.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
constexpr wchar_t kClassName[] = L"TavorenTestWindow";
constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
// How long a menu that a script destroyed is left to the application to end.
constexpr UINT kMenuDeadlineMs = 5000;
constexpr UINT_PTR kMenuDeadlineTimer = 1;
constexpr LPARAM kScriptKey = 0x7A5E0001;

// The window's outer rectangle for a client area of that size at the origin.
RECT OuterRect(int width, int height) {
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    return rect;
}
}  // namespace

TestWindow::TestWindow(int clientWidth, int clientHeight) {
    static const ATOM windowClass = [] {
        WNDCLASSW c{};
        c.lpfnWndProc = WindowProcedure;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.lpszClassName = kClassName;
        return RegisterClassW(&c);  // no background brush: nothing erases a presented frame
    }();
    (void)windowClass;
    RECT outer = OuterRect(clientWidth, clientHeight);
    hwnd_ = CreateWindowExW(kExStyle, kClassName, L"Tavoren test window", kStyle, outer.left,
                            outer.top, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The paints that showing the window caused are not the module's.
    PumpMessages();
    invalidations_ = 0;
}

TestWindow::~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

// Read from the screen, not the window's DC: under Wine a Direct2D (OpenGL) frame never
// reaches the window's GDI surface. The window is topmost and unobscured, so the screen shows
// exactly it.
std::vector<uint32_t> TestWindow::Capture() const {
    return CaptureClientArea(hwnd_).pixels;
}

std::vector<uint32_t> TestWindow::CaptureWhen(
    const std::function<bool(const std::vector<uint32_t>&)>& done, unsigned timeoutMs) {
    std::vector<uint32_t> pixels;
    PumpUntil([&] { return done(pixels = Capture()); }, timeoutMs, 5);
    return pixels;
}

int TestWindow::invalidations() const {
    return invalidations_;
}

bool TestWindow::WaitForInvalidation(int count, unsigned timeoutMs) {
    return PumpUntil([&] { return invalidations_ >= count; }, timeoutMs);
}

bool TestWindow::WaitUntil(const std::function<bool()>& done, unsigned timeoutMs) {
    return PumpUntil(done, timeoutMs);
}

std::vector<TestWindow::Message> TestWindow::PostedMessages() {
    PumpMessages();
    return std::exchange(posted_, {});
}

bool TestWindow::WaitForPostedMessage(UINT message, unsigned timeoutMs) {
    return PumpUntil(
        [&] {
            return std::any_of(posted_.begin(), posted_.end(),
                               [&](const Message& m) { return std::get<0>(m) == message; });
        },
        timeoutMs);
}

void TestWindow::SetOccluded(bool) {}

void TestWindow::SetClientSize(int width, int height) {
    RECT outer = OuterRect(width, height);
    int invalidations = invalidations_;
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOACTIVATE);
    // Growing paints the new area (under Wine twice, SWP_NOREDRAW or not), and those paints
    // are the window's, not the module's: SetWindowPos queues them and this pump takes them.
    PumpMessages();
    invalidations_ = invalidations;
}

void TestWindow::SetScreenOrigin(int x, int y) {
    RECT outer = OuterRect(0, 0);
    int invalidations = invalidations_;
    SetWindowPos(hwnd_, HWND_TOPMOST, x + outer.left, y + outer.top, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    PumpMessages();
    invalidations_ = invalidations;  // as for a resize, should a move uncover anything
}

void TestWindow::PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TestWindow::ReadOpeningMenu(HMENU menu) {
    ++menusShown_;
    openingMenuHandle_ = menu;
    menuAnswered_ = false;
    openingMenu_.clear();
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        WCHAR label[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = label;
        info.cch = static_cast<UINT>(std::size(label) - 1);
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        openingMenu_.push_back(
            {(info.fType & MFT_SEPARATOR) | (info.fState & MFS_CHECKED), info.wID, label});
    }
}

// The menu loop is idle for the first time: the script chooses, and the choice is made as a
// user would make it, by keys the loop reads from this thread's queue (down to the item,
// then Enter), or the menu is ended.
void TestWindow::AnswerMenu(HWND menuWindow) {
    menuAnswered_ = true;
    RECT at{};
    GetWindowRect(menuWindow, &at);
    const UINT_PTR chosen = menuScript_ ? menuScript_(openingMenu_, POINT{at.left, at.top}) : 0;
    int downs = 0;
    bool found = false;
    for (const MenuItem& item : openingMenu_) {
        if (item.flags & MF_SEPARATOR) continue;
        ++downs;
        if (chosen && item.id == chosen) {
            found = true;
            break;
        }
    }
    // A menu destroyed meanwhile (the script reloaded or destroyed the viewer) takes no
    // keys, and ending its loop is the application's task: the test window only ends it
    // when the application has not within the deadline.
    if (!IsMenu(openingMenuHandle_)) {
        menuLeftToApplication_ = true;
        menuDeadline_ = GetTickCount64() + kMenuDeadlineMs;
        SetTimer(hwnd_, kMenuDeadlineTimer, kMenuDeadlineMs, nullptr);
        return;
    }
    if (!found) {
        EndMenu();
        PostMessageW(hwnd_, WM_NULL, 0, 0);  // wakes the loop to see it ended
        return;
    }
    // Marked, so that keys which reach the window because the loop had ended first are known.
    for (int i = 0; i < downs; ++i) PostMessageW(hwnd_, WM_KEYDOWN, VK_DOWN, kScriptKey);
    PostMessageW(hwnd_, WM_KEYDOWN, VK_RETURN, kScriptKey);
}

int TestWindow::menusEnded() {
    PumpMessages();
    return menusEnded_;
}

void TestWindow::EndMenuLeftOpen() {
    KillTimer(hwnd_, kMenuDeadlineTimer);
    if (!menuLeftToApplication_) return;
    EndMenu();
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

template <typename Done>
bool TestWindow::PumpUntil(Done done, unsigned timeoutMs, unsigned pollMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        // Wakes for anything queued to this thread, WM_PAINT from another thread's
        // InvalidateRect included.
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, pollMs));
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

LRESULT CALLBACK TestWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // erasing would paint over what Direct2D presented
        case WM_INITMENUPOPUP:
            self->ReadOpeningMenu(reinterpret_cast<HMENU>(wParam));
            return 0;
        case WM_EXITMENULOOP:
            if (self->menuLeftToApplication_) {
                KillTimer(window, kMenuDeadlineTimer);
                self->menuLeftToApplication_ = false;
                if (GetTickCount64() < self->menuDeadline_) ++self->menusEnded_;
            }
            return 0;
        case WM_KEYDOWN:
            // The choice a script made, left over because the application ended the menu's
            // loop (EndMenu) before the loop read it.
            if (lParam == kScriptKey) {
                if (wParam == VK_RETURN) ++self->menusEnded_;
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kMenuDeadlineTimer) {
                self->EndMenuLeftOpen();
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_ENTERIDLE:
            if (wParam == MSGF_MENU && !self->menuAnswered_) {
                self->AnswerMenu(reinterpret_cast<HWND>(lParam));
            }
            return 0;
        case WM_PAINT:
            // Validating without drawing leaves the presented frame on screen.
            ValidateRect(window, nullptr);
            ++self->invalidations_;
            return 0;
        default:
            // Counted here rather than in PumpMessages so that messages a modal loop
            // dispatches (a popup menu's) count too; the module only ever posts these.
            if (message >= WM_USER) self->posted_.emplace_back(message, wParam, lParam);
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
