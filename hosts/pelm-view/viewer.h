// One viewer object of the module, driven through the record's entry points only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "host/viewer_messages.h"
#include "module/module_info.h"

// The picture as the module displays it: after rotation, so 90 and 270 swap the sides.
struct DisplayedSize {
    int width = 0;
    int height = 0;
};

class Viewer {
  public:
    // Called during a load with the frames scanned so far and the frame count.
    using Progress = std::function<void(UINT32 done, UINT32 total)>;

    explicit Viewer(const ModuleInfo& module);
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    bool valid() const { return viewer_ != nullptr; }

    // The module's result is 0 for an opened image and -1 otherwise.
    bool LoadFile(const std::u16string& path, Progress progress);
    bool LoadMemory(const unsigned char* data, size_t size, Progress progress);
    bool Attach(HWND window);

    INT32 Send(UINT32 message, WPARAM wParam = 0, LPARAM lParam = 0);
    INT32 Render(const RECT& source, const RECT& dest, BYTE interpolation);

    DisplayedSize Size();
    INT32 DurationMs();
    INT32 PositionMs();
    // The host's colour, 0xRRGGBB, as the module takes it (0x00BBGGRR).
    void SetBackground(uint32_t rgb);

  private:
    const ModuleInfo& module_;
    TavorenGif* viewer_;
};
