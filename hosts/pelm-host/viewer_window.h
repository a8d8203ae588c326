// The host's window: one viewer browsing a folder (or the demo), in a window sized to the
// displayed picture. The host core's session does the module's side; this does Win32's:
// the window and its messages, the progress bar, the Open dialog, dropped files, fullscreen.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hosts/pelm-host/command_line.h"
#include "hosts/core/host_session.h"

// The window class, fixed so that tests and tools can find the host's window.
extern const wchar_t kViewerWindowClass[];

class ViewerWindow : public SessionWindow {
  public:
    ViewerWindow(std::shared_ptr<const HostModule> module, const HostOptions& options);
    ~ViewerWindow() override;
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // Shows the window and the first picture, playing. False, with `error` set and no window
    // left, when there is nothing to browse or the module cannot draw in the window. Once the
    // window is destroyed the thread's message loop receives WM_QUIT.
    bool Open(int show, std::wstring& error);

    // SessionWindow.
    void* Handle() override { return window_; }
    PictureSize ClientSize() override;
    void ShowProgress(uint32_t done, uint32_t total) override;
    void Repaint() override;
    void StatusChanged() override { ShowStatus(); }
    void SizeToPicture() override;
    bool IsFullscreen() override { return fullscreen_; }
    void ToggleFullscreen() override;
    void ChooseFile() override;
    void Close() override;
    void ShowHelp() override;
    void CopyFrame() override;
    unsigned ModuleMenusTracked() override { return moduleMenus_; }
    HostAction ChooseFromHostMenu(int x, int y) override;

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateHostWindow(int show);
    bool OpenPaths(const std::vector<std::wstring>& paths);
    // The host's commands at the end of the window's system menu, reachable on an animation
    // too, whose right click belongs to the module.
    void AddCommandsToSystemMenu();
    // The watcher's poll: the folder changed on disk, or the shown file was rewritten.
    void CheckDisk();
    void WatchFolder();
    void Paint();
    void ShowStatus();
    void PressKey(unsigned key);
    void Dropped(HDROP drop);
    POINT Cursor() const;

    std::shared_ptr<const HostModule> module_;
    const HostOptions& options_;
    HWND window_ = nullptr;
    HBRUSH backgroundBrush_ = nullptr;
    std::unique_ptr<HostSession> session_;
    bool opened_ = false;  // Open succeeded: destroying the window ends the loop
    bool fullscreen_ = false;
    WINDOWPLACEMENT normalPlacement_{};  // before fullscreen
    std::optional<POINT> dragFrom_;
    std::wstring title_;
    unsigned moduleMenus_ = 0;
    bool hostMenuOpen_ = false;
    int wheel_ = 0;  // wheel delta not yet a whole notch
    // The browsed folder's change notification, and the shown file as last loaded.
    HANDLE folderChange_ = INVALID_HANDLE_VALUE;
    std::filesystem::path watchedFolder_;
    FILETIME shownWritten_{};
};
