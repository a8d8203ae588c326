// One viewer of the module and its life as a host leads it: created, loaded from a file or
// from memory with progress, attached to a window after every load, painted, asked and told
// through messages, destroyed before the module is unloaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "hosts/core/host_module.h"
// The host protocol: VM_NOTIFY, the module's one notification, and what its wParam says.
#include "module/viewer_messages.h"

class TavorenGif;

// A rectangle in pixels, left, top, right, bottom: the picture's part or the window's.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

enum class Interpolation : unsigned char { Nearest = 0, Linear = 1 };

struct PictureSize {
    int width = 0, height = 0;
    bool operator==(const PictureSize&) const = default;
};

class ModuleViewer {
  public:
    // Called during a load with the frames scanned so far and the frame count.
    using Progress = std::function<void(uint32_t done, uint32_t total)>;

    explicit ModuleViewer(std::shared_ptr<const HostModule> module);
    // Destroys the viewer, which stops its worker; the module stays loaded until after.
    ~ModuleViewer();
    ModuleViewer(const ModuleViewer&) = delete;
    ModuleViewer& operator=(const ModuleViewer&) = delete;

    bool valid() const { return viewer_ != nullptr; }

    // The module's result 0 (true) or -1. Every load releases the window surfaces, so Attach
    // follows each one.
    bool LoadFile(const std::filesystem::path& path, const Progress& progress);
    bool LoadMemory(const unsigned char* data, size_t size, const Progress& progress);
    // `window` is the platform's window handle (an HWND).
    bool Attach(void* window);
    int Render(const PixelRect& source, const PixelRect& dest, Interpolation interpolation);

    // Any message, as HandleMessage takes it.
    int Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    // A key as WM_KEYDOWN with its virtual-key code: the module's answer (2 acted, 0 not).
    int Key(unsigned virtualKey);
    // The right-button press at a client point: the module's menu runs inside this call.
    void RightButtonDown(int x, int y);
    void Resized(int width, int height);
    void Play();
    void Stop();
    // -1 without a window surface.
    int Rotate(int degrees);
    // 0xRRGGBB, sent as the module takes it (0x00BBGGRR).
    void SetBackground(uint32_t rgb);

    PictureSize DisplayedSize();
    int DurationMs();
    int PositionMs();
    // The frame count of the last load, from its progress calls; 0 before any.
    uint32_t frameCount() const { return frameCount_; }

  private:
    bool Load(const char16_t* path, const unsigned char* data, size_t size,
              const Progress& progress);
    static int32_t ReportProgress(uint32_t done, uint32_t total, void* userData);

    std::shared_ptr<const HostModule> module_;
    TavorenGif* viewer_;
    const Progress* progress_ = nullptr;  // during a load only
    uint32_t frameCount_ = 0;
};
