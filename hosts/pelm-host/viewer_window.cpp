#include "hosts/pelm-host/viewer_window.h"

#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "hosts/core/host_commands.h"
#include "hosts/core/host_defaults.h"
#include "hosts/demo/demo_animation.h"

const wchar_t kViewerWindowClass[] = L"PelmHostWindow";

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr int kProgressMargin = 16, kProgressHeight = 24;
// The host's commands in the system menu: ids below SC_SIZE, with the low four bits clear,
// which the system keeps for itself.
constexpr UINT kSystemCommandBase = 0x1000, kSystemCommandStep = 0x10;
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchMs = 300;

DWORD ExtendedStyle(const HostOptions& options) {
    return options.topmost ? WS_EX_TOPMOST : 0;
}

std::wstring Wide(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

COLORREF ColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

bool Held(int key) {
    return GetKeyState(key) < 0;
}

// The command table as a Win32 menu: item ids are `base` + index * `step`.
HMENU AppendHostCommands(HMENU menu, UINT base, UINT step) {
    const auto commands = HostMenuCommands();
    for (size_t i = 0; i < commands.size(); ++i) {
        if (!commands[i].label) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::wstring text = Wide(commands[i].label) + L"\t" + Wide(commands[i].shortcut);
        AppendMenuW(menu, MF_STRING, base + static_cast<UINT>(i) * step, text.c_str());
    }
    return menu;
}

HostAction CommandOf(UINT_PTR id, UINT base, UINT step) {
    const auto commands = HostMenuCommands();
    if (id < base || (id - base) % step != 0 || (id - base) / step >= commands.size()) {
        return HostAction::None;
    }
    return commands[(id - base) / step].action;
}

FILETIME LastWritten(const std::filesystem::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return {};
    return data.ftLastWriteTime;
}

}  // namespace

ViewerWindow::ViewerWindow(std::shared_ptr<const HostModule> module, const HostOptions& options)
    : module_(std::move(module)), options_(options) {}

ViewerWindow::~ViewerWindow() {
    if (folderChange_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(folderChange_);
    if (window_) DestroyWindow(window_);
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

bool ViewerWindow::Open(int show, std::wstring& error) {
    session_ = std::make_unique<HostSession>(module_, *this, options_.background);
    if (!session_->viewer().valid()) {
        error = L"the module cannot create a viewer";
        return false;
    }
    std::string reason;
    std::vector<std::filesystem::path> paths(options_.imagePaths.begin(),
                                             options_.imagePaths.end());
    if (!paths.empty() && !session_->Browse(paths, &reason)) {
        error = Wide(reason);
        return false;
    }
    if (!CreateHostWindow(show)) {
        error = L"cannot create the window (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    if (paths.empty()) {
        session_->ShowMemory("demo", kDemoAnimation, kDemoAnimationSize);
    } else {
        // A file that does not open shows its reason in the window; the keys go on.
        session_->ShowCurrent();
    }
    if (session_->windowRefused()) {
        error = Wide(session_->error());
        DestroyWindow(window_);
        return false;
    }
    if (paths.empty() && !session_->shown()) {
        error = L"cannot open the demo animation";
        DestroyWindow(window_);
        return false;
    }
    opened_ = true;
    return true;
}

bool ViewerWindow::CreateHostWindow(int show) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof(c);
        // Every size change repaints all of the client area: the picture moves to the centre.
        c.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        c.lpfnWndProc = WindowProcedure;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.lpszClassName = kViewerWindowClass;
        return RegisterClassExW(&c);  // no background brush: the module paints it all
    }();
    if (!windowClass) return false;
    backgroundBrush_ = CreateSolidBrush(ColorRef(options_.background));

    RECT outer{0, 0, kMinimumClientWidth, kMinimumClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, ExtendedStyle(options_));
    window_ = CreateWindowExW(ExtendedStyle(options_) | WS_EX_ACCEPTFILES, kViewerWindowClass,
                              L"pelm-host", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!window_) return false;

    AddCommandsToSystemMenu();
    SetTimer(window_, kWatchTimer, kWatchMs, nullptr);
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return true;
}

PictureSize ViewerWindow::ClientSize() {
    RECT client{};
    GetClientRect(window_, &client);
    return {client.right, client.bottom};
}

// The load runs on this thread and the message loop waits for it: the bar is drawn at once,
// with GDI, over the client area, which the first paint after the load covers. Not a progress
// control: under Wine a child window, even for a moment, makes Direct3D draw the module's
// frames into an offscreen copy, which without X's Composite extension never reaches the
// screen, and Wine goes back to the window only at a later change of the window.
void ViewerWindow::ShowProgress(uint32_t done, uint32_t total) {
    RECT client{};
    GetClientRect(window_, &client);
    RECT bar{kProgressMargin, kProgressMargin,
             std::max<LONG>(kProgressMargin, client.right - kProgressMargin),
             kProgressMargin + kProgressHeight};
    HDC dc = GetDC(window_);
    FrameRect(dc, &bar, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&bar, -1, -1);
    FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
    if (total > 0) {
        bar.right = bar.left + MulDiv(bar.right - bar.left, static_cast<int>(std::min(done, total)),
                                      static_cast<int>(total));
        FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    ReleaseDC(window_, dc);
    SetWindowTextW(window_, Wide(LoadingText(session_->name(), done, total)).c_str());
}

void ViewerWindow::Repaint() {
    InvalidateRect(window_, nullptr, FALSE);
    WatchFolder();
}

// The first picture: the window takes its size, within the work area and at least the
// minimum; not in fullscreen or maximised, where the window's size is the user's.
void ViewerWindow::SizeToPicture() {
    if (fullscreen_ || IsZoomed(window_)) return;
    const PictureSize picture = session_->picture();
    if (picture.width <= 0 || picture.height <= 0) return;
    const DWORD exStyle = ExtendedStyle(options_);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kStyle, FALSE, exStyle);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::max(kMinimumClientWidth,
                               std::min(picture.width, int(work.right - work.left) - frameWidth));
    const int height = std::max(
        kMinimumClientHeight, std::min(picture.height, int(work.bottom - work.top) - frameHeight));
    // Keeps the window where it is, moved back into the work area if it would stick out.
    RECT current{};
    GetWindowRect(window_, &current);
    const LONG left =
        std::clamp(current.left, work.left, std::max(work.left, work.right - (width + frameWidth)));
    const LONG top =
        std::clamp(current.top, work.top, std::max(work.top, work.bottom - (height + frameHeight)));
    SetWindowPos(window_, nullptr, left, top, width + frameWidth, height + frameHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ViewerWindow::OpenPaths(const std::vector<std::wstring>& paths) {
    std::string reason;
    if (!session_->Browse(std::vector<std::filesystem::path>(paths.begin(), paths.end()),
                          &reason)) {
        SetWindowTextW(window_, Wide(reason).c_str());
        return false;
    }
    session_->ShowCurrent();
    return true;
}

void ViewerWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (!session_->Paint()) {
        // Nothing for the module to draw: the host's colour, and the reason if a file failed.
        FillRect(dc, &paint.rcPaint, backgroundBrush_);
        if (!session_->error().empty()) {
            RECT client{};
            GetClientRect(window_, &client);
            InflateRect(&client, -16, -16);
            const std::wstring text =
                L"cannot open " + Wide(session_->name()) + L":\n" + Wide(session_->error());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0xE0, 0xE0, 0xE0));
            DrawTextW(dc, text.c_str(), -1, &client, DT_CENTER | DT_WORDBREAK);
        }
    }
    EndPaint(window_, &paint);
    ShowStatus();
}

// The status line in the title, the same words as pelm-view's status bar.
void ViewerWindow::ShowStatus() {
    std::wstring title = Wide(session_->Status());
    if (title == title_) return;  // every frame paints; the caption needs redrawing less often
    title_ = std::move(title);
    SetWindowTextW(window_, title_.c_str());
}

POINT ViewerWindow::Cursor() const {
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(window_, &at);
    RECT client{};
    GetClientRect(window_, &client);
    if (!PtInRect(&client, at)) at = {client.right / 2, client.bottom / 2};
    return at;
}

void ViewerWindow::PressKey(unsigned key) {
    const POINT at = Cursor();
    session_->PressKey({key, Held(VK_CONTROL), Held(VK_SHIFT), Held(VK_MENU)}, at.x, at.y);
}

void ViewerWindow::Close() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

// Fullscreen: no frame, the whole monitor; back to the placement it had.
void ViewerWindow::ToggleFullscreen() {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
    if (!fullscreen_) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        normalPlacement_.length = sizeof(normalPlacement_);
        if (!GetWindowPlacement(window_, &normalPlacement_) ||
            !GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            return;
        }
        fullscreen_ = true;
        SetWindowLongPtrW(window_, GWL_STYLE, style & ~WS_OVERLAPPEDWINDOW);
        const RECT& r = monitor.rcMonitor;
        SetWindowPos(window_, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    } else {
        fullscreen_ = false;
        SetWindowLongPtrW(window_, GWL_STYLE, style | WS_OVERLAPPEDWINDOW);
        SetWindowPlacement(window_, &normalPlacement_);
        SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
    InvalidateRect(window_, nullptr, FALSE);
}

// The module's filter as the dialog's: "*.gif|*.webp" becomes "*.gif;*.webp".
void ViewerWindow::ChooseFile() {
    std::wstring patterns;
    for (const std::string& pattern : session_->filter().patterns()) {
        patterns += (patterns.empty() ? L"" : L";") + Wide(pattern);
    }
    std::wstring filter = L"Images (" + patterns + L")";
    filter += L'\0';
    filter += patterns;
    filter += L'\0';
    filter += L"All files";
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (GetOpenFileNameW(&dialog)) OpenPaths({file.data()});
}

void ViewerWindow::ShowHelp() {
    const std::wstring text = Wide(HelpText());
    MessageBoxW(window_, text.c_str(), L"pelm-host keys", MB_OK);
}

// What the window shows of the picture, read back from the screen, as a device-independent
// bitmap on the clipboard.
void ViewerWindow::CopyFrame() {
    const PixelRect dest = session_->Place().dest;
    const PictureSize client = ClientSize();
    const int left = std::max(0, dest.left), top = std::max(0, dest.top);
    const int width = std::min(client.width, dest.right) - left;
    const int height = std::min(client.height, dest.bottom) - top;
    if (width <= 0 || height <= 0) return;
    HDC screen = GetDC(window_);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
        SelectObject(memory, old);
    }
    ReleaseDC(window_, screen);
    DeleteDC(memory);
    const size_t pixels = size_t(width) * size_t(height) * 4;
    HGLOBAL global =
        copied ? GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + pixels) : nullptr;
    if (global) {
        auto* out = static_cast<BYTE*>(GlobalLock(global));
        std::memcpy(out, &info.bmiHeader, sizeof(BITMAPINFOHEADER));
        std::memcpy(out + sizeof(BITMAPINFOHEADER), bits, pixels);
        GlobalUnlock(global);
        if (!OpenClipboard(window_)) {
            GlobalFree(global);
        } else {
            EmptyClipboard();
            if (!SetClipboardData(CF_DIB, global)) GlobalFree(global);  // else the system's
            CloseClipboard();
        }
    }
    if (bitmap) DeleteObject(bitmap);
}

HostAction ViewerWindow::ChooseFromHostMenu(int x, int y) {
    HMENU menu = AppendHostCommands(CreatePopupMenu(), 1, 1);
    if (!menu) return HostAction::None;
    POINT at{x, y};
    ClientToScreen(window_, &at);
    hostMenuOpen_ = true;
    const UINT_PTR id = static_cast<UINT_PTR>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
    hostMenuOpen_ = false;
    DestroyMenu(menu);
    return CommandOf(id, 1, 1);
}

void ViewerWindow::AddCommandsToSystemMenu() {
    if (HMENU system = GetSystemMenu(window_, FALSE)) {
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendHostCommands(system, kSystemCommandBase, kSystemCommandStep);
    }
}

// The folder's change notification, moved to the browsed folder when it is another one.
void ViewerWindow::WatchFolder() {
    if (!session_ || !session_->browsing()) return;
    shownWritten_ = LastWritten(session_->listing().current());
    const std::filesystem::path& folder = session_->listing().folder();
    if (folder == watchedFolder_) return;
    if (folderChange_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(folderChange_);
    watchedFolder_ = folder;
    folderChange_ = folder.empty()
                        ? INVALID_HANDLE_VALUE
                        : FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                                       FILE_NOTIFY_CHANGE_FILE_NAME |
                                                           FILE_NOTIFY_CHANGE_LAST_WRITE |
                                                           FILE_NOTIFY_CHANGE_SIZE);
}

void ViewerWindow::CheckDisk() {
    // During a load (the module may dispatch messages while it waits), the next tick.
    if (folderChange_ == INVALID_HANDLE_VALUE || !session_ || session_->loading() ||
        WaitForSingleObject(folderChange_, 0) != WAIT_OBJECT_0) {
        return;
    }
    FindNextChangeNotification(folderChange_);
    const FILETIME written = LastWritten(session_->listing().current());
    if (CompareFileTime(&written, &shownWritten_) != 0) {
        session_->Reload();  // rewritten, or gone
    } else {
        session_->FolderChanged();
    }
}

// Only GIF and WebP files and folders are taken: one browses its folder (or its files),
// several are browsed as they are.
void ViewerWindow::Dropped(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (folder || session_->filter().Accepts(std::filesystem::path(path))) {
            paths.push_back(std::move(path));
        }
    }
    DragFinish(drop);
    if (!paths.empty()) OpenPaths(paths);
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
            if (session_) session_->Resized();
            return 0;
        case WM_KEYDOWN:
            PressKey(static_cast<unsigned>(wParam));
            return 0;
        case WM_SYSKEYDOWN:
            // F10 is a system key: Shift+F10 comes this way.
            if (wParam == VK_F10) {
                PressKey(static_cast<unsigned>(wParam));
                return 0;
            }
            break;
        case WM_RBUTTONDOWN:
            // The module runs its context menu's modal loop inside this call; the host's
            // menu follows where the module offers none.
            session_->RightClick(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_ENTERMENULOOP:
            // TrackPopupMenu with this window as owner: the module's menu, unless it is ours.
            if (wParam && !hostMenuOpen_) ++moduleMenus_;
            return 0;
        case WM_SYSCOMMAND: {
            const HostAction action =
                CommandOf(wParam & 0xFFF0, kSystemCommandBase, kSystemCommandStep);
            if (action == HostAction::None) break;
            const POINT at = Cursor();
            session_->Command(action, 0, at.x, at.y);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kWatchTimer) CheckDisk();
            return 0;
        case WM_LBUTTONDOWN:
            if (session_->shown() && session_->geometry().Pannable(ClientSize())) {
                dragFrom_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                SetCapture(window_);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (dragFrom_) {
                const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                session_->geometry().Pan(ClientSize(), at.x - dragFrom_->x, at.y - dragFrom_->y);
                dragFrom_ = at;
                InvalidateRect(window_, nullptr, FALSE);
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (dragFrom_) {
                dragFrom_.reset();
                if (message == WM_LBUTTONUP) ReleaseCapture();
            }
            return 0;
        case WM_LBUTTONDBLCLK:
            ToggleFullscreen();
            return 0;
        case WM_MOUSEWHEEL: {
            // One notch (WHEEL_DELTA) is one step: a touchpad's small deltas add up to it.
            wheel_ += GET_WHEEL_DELTA_WPARAM(wParam);
            const int notches = wheel_ / WHEEL_DELTA;
            wheel_ -= notches * WHEEL_DELTA;
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
            ScreenToClient(window_, &at);
            session_->Command(MapWheel(notches, GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL), 0, at.x,
                              at.y);
            return 0;
        }
        case WM_DROPFILES:
            Dropped(reinterpret_cast<HDROP>(wParam));
            return 0;
        case VM_NOTIFY:
            session_->Notified(wParam);
            return 0;
        case WM_DESTROY:
            KillTimer(window_, kWatchTimer);
            // The viewer goes with the window it draws in.
            session_.reset();
            // Not when Open gives up: a pending quit would close its error's message box.
            if (opened_) PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}
