#include "viewer_window.h"

#include <commctrl.h>

#include <algorithm>

#include "demo_animation.h"
#include "picture_placement.h"
#include "host/viewer_messages.h"

const wchar_t kViewerWindowClass[] = L"PelmHostWindow";

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr int kLoadingWidth = 320, kLoadingHeight = 64;  // client area while loading
constexpr int kProgressMargin = 16;

// The host's own keys, turning the picture; every other key goes to the module.
constexpr WPARAM kTurnClockwiseKey = 'R';
constexpr WPARAM kTurnCounterClockwiseKey = 'E';

DWORD ExtendedStyle(const HostOptions& options) {
    return options.topmost ? WS_EX_TOPMOST : 0;
}

std::wstring FileName(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/:") + 1);
}

}  // namespace

ViewerWindow::ViewerWindow(const ModuleInfo& module, const HostOptions& options)
    : module_(module),
      options_(options),
      name_(options.imagePath.empty() ? L"demo" : FileName(options.imagePath)) {}

ViewerWindow::~ViewerWindow() {
    if (window_) DestroyWindow(window_);
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

bool ViewerWindow::Open(int show, std::wstring& error) {
    viewer_ = module_.createInstance(nullptr);
    if (!viewer_) {
        error = L"the module cannot create a viewer";
        return false;
    }
    if (!CreateHostWindow(show)) {
        error = L"cannot create the window (error " + std::to_wstring(GetLastError()) + L")";
        module_.destroyInstance(viewer_);
        viewer_ = nullptr;
        return false;
    }
    if (!LoadPicture()) {
        error = L"cannot open " +
                (options_.imagePath.empty() ? L"the demo animation" : options_.imagePath);
        DestroyWindow(window_);  // and with it the viewer
        return false;
    }
    DestroyWindow(progressBar_);
    progressBar_ = nullptr;

    // The module's window surface takes the client size at attach time, so the window gets
    // its final size first.
    ReadPictureSize();
    FitWindowToPicture();
    if (module_.attachWindow(viewer_, window_) != 0) {
        error = L"the module cannot draw in the window";
        DestroyWindow(window_);
        return false;
    }
    attached_ = true;
    opened_ = true;
    Send(VM_SETBKCOLOR, options_.background);
    Send(VM_PLAY);
    InvalidateRect(window_, nullptr, FALSE);
    return true;
}

bool ViewerWindow::CreateHostWindow(int show) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof(c);
        // Every size change repaints all of the client area: the picture moves to the centre.
        c.style = CS_HREDRAW | CS_VREDRAW;
        c.lpfnWndProc = WindowProcedure;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.lpszClassName = kViewerWindowClass;
        return RegisterClassExW(&c);  // no background brush: the module paints it all
    }();
    if (!windowClass) return false;
    backgroundBrush_ = CreateSolidBrush(options_.background);

    RECT outer{0, 0, kLoadingWidth, kLoadingHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, ExtendedStyle(options_));
    window_ = CreateWindowExW(ExtendedStyle(options_), kViewerWindowClass, name_.c_str(), kStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              this);
    if (!window_) return false;

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    progressBar_ = CreateWindowExW(
        0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, kProgressMargin,
        kProgressMargin, kLoadingWidth - 2 * kProgressMargin, kLoadingHeight - 2 * kProgressMargin,
        window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return true;
}

bool ViewerWindow::LoadPicture() {
    if (options_.imagePath.empty()) {
        INT32 memoryResult = 0;
        return module_.loadImageSource(viewer_, nullptr, kDemoAnimation, kDemoAnimationSize,
                                       &memoryResult, 0, 0, ShowProgress, this) == 0;
    }
    return module_.loadImageSource(viewer_, options_.imagePath.c_str(), nullptr, 0, nullptr, 0, 0,
                                   ShowProgress, this) == 0;
}

INT32 ViewerWindow::ShowProgress(UINT32 done, UINT32 total, void* userData) {
    auto* self = static_cast<ViewerWindow*>(userData);
    // The load runs on this thread before the message loop does, so the bar is painted here.
    SendMessageW(self->progressBar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageW(self->progressBar_, PBM_SETPOS, done, 0);
    UpdateWindow(self->progressBar_);
    const std::wstring title = self->name_ + L" \u2014 loading frame " + std::to_wstring(done) +
                               L" of " + std::to_wstring(total);
    SetWindowTextW(self->window_, title.c_str());
    return 0;
}

void ViewerWindow::ReadPictureSize() {
    Send(VM_GETSIZE, reinterpret_cast<WPARAM>(pictureSize_));
}

void ViewerWindow::FitWindowToPicture() {
    const DWORD exStyle = ExtendedStyle(options_);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kStyle, FALSE, exStyle);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    // A picture larger than the screen gets the whole work area and is shown scaled down.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::min(static_cast<int>(pictureSize_[0]),
                               static_cast<int>(work.right - work.left) - frameWidth);
    const int height = std::min(static_cast<int>(pictureSize_[1]),
                                static_cast<int>(work.bottom - work.top) - frameHeight);
    if (width <= 0 || height <= 0) return;  // nothing to fit to: the window keeps its size

    // Keeps the window where it is, moved back into the work area if it would stick out.
    RECT current{};
    GetWindowRect(window_, &current);
    const LONG left = std::clamp(current.left, work.left, work.right - (width + frameWidth));
    const LONG top = std::clamp(current.top, work.top, work.bottom - (height + frameHeight));
    SetWindowPos(window_, nullptr, left, top, width + frameWidth, height + frameHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ViewerWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (attached_) {
        RECT client{};
        GetClientRect(window_, &client);
        const int width = static_cast<int>(pictureSize_[0]);
        const int height = static_cast<int>(pictureSize_[1]);
        const PicturePlacement placement = PlacePicture(width, height, client.right, client.bottom);
        module_.render(viewer_, 0, &placement.source, &placement.dest, placement.interpolation);
    } else {
        // Until the module has the window, the host paints it in its own colour.
        FillRect(dc, &paint.rcPaint, backgroundBrush_);
    }
    EndPaint(window_, &paint);
    if (attached_) ShowStatus();
}

void ViewerWindow::ShowStatus() {
    INT32 duration = 0, position = 0;
    Send(VM_GETDURATION, reinterpret_cast<WPARAM>(&duration));
    Send(VM_GETPOSITION, reinterpret_cast<WPARAM>(&position));
    std::wstring title = name_ + L" \u2014 " + std::to_wstring(pictureSize_[0]) + L"x" +
                         std::to_wstring(pictureSize_[1]) + L" \u2014 " +
                         std::to_wstring(position) + L" / " + std::to_wstring(duration) + L" ms";
    if (title == title_) return;  // every frame paints; the caption needs redrawing less often
    title_ = std::move(title);
    SetWindowTextW(window_, title_.c_str());
}

INT32 ViewerWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return module_.handleMessage(viewer_, message, wParam, lParam);
}

LRESULT CALLBACK ViewerWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* created = static_cast<ViewerWindow*>(create->lpCreateParams);
        created->window_ = window;  // before CreateWindowExW returns: messages come first
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<ViewerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT ViewerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the module clears the window with the host's colour as it paints
        case WM_SIZE:
            if (attached_) Send(WM_SIZE, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
            if (!attached_) break;
            if (wParam == kTurnClockwiseKey) {
                Send(VM_ROTATE, 90);
            } else if (wParam == kTurnCounterClockwiseKey) {
                Send(VM_ROTATE, static_cast<WPARAM>(-90));
            } else {
                Send(WM_KEYDOWN, wParam, lParam);
            }
            return 0;
        case WM_RBUTTONDOWN:
            // The module runs its context menu's modal loop inside this call.
            if (attached_) Send(WM_RBUTTONDOWN, wParam, lParam);
            return 0;
        case VM_NOTIFY:
            if (wParam == kNotifyRotated) {
                ReadPictureSize();
                FitWindowToPicture();
                InvalidateRect(window_, nullptr, FALSE);
            } else if (wParam == kNotifyTimingChanged) {
                ShowStatus();
            }
            return 0;
        case WM_DESTROY:
            attached_ = false;
            if (viewer_) module_.destroyInstance(viewer_);
            viewer_ = nullptr;
            // Not when Open gives up: a pending quit would close its error's message box.
            if (opened_) PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}
