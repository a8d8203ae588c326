// The host's window: one viewer on one image, in a window sized to the displayed picture.
// It loads the image with a progress bar, hands the window to the module, starts playing,
// and from then on passes its paints, keys, right clicks and size changes to the module.
#pragma once

#include <windows.h>

#include <string>

#include "command_line.h"
#include "module/module_info.h"

// The window class, fixed so that tests and tools can find the host's window.
extern const wchar_t kViewerWindowClass[];

class ViewerWindow {
  public:
    ViewerWindow(const ModuleInfo& module, const HostOptions& options);
    ~ViewerWindow();
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // Shows the window, loads the image and starts playing. False, with `error` set and no
    // window left, when the image cannot be opened or the module cannot draw in the window.
    // Once the window is destroyed the thread's message loop receives WM_QUIT.
    bool Open(int show, std::wstring& error);

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    static INT32 ShowProgress(UINT32 done, UINT32 total, void* userData);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateHostWindow(int show);
    bool LoadPicture();
    void ReadPictureSize();
    void FitWindowToPicture();
    void Paint();
    void ShowStatus();
    INT32 Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    const ModuleInfo& module_;
    const HostOptions& options_;
    std::wstring name_;  // of the image, for the title
    HWND window_ = nullptr;
    HWND progressBar_ = nullptr;  // only while loading
    HBRUSH backgroundBrush_ = nullptr;
    TavorenGif* viewer_ = nullptr;
    bool attached_ = false;
    bool opened_ = false;             // Open succeeded: destroying the window ends the loop
    UINT32 pictureSize_[2] = {0, 0};  // displayed width and height, turned with the picture
    std::wstring title_;
};
