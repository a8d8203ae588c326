// A viewer loaded from a built image and attached to a test window, with the steps the
// playback worker takes, so that tests can compose frame by frame and read back the window.
#pragma once

#include <cstdint>
#include <vector>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/gif_builder.h"
#include "tests/support/load_recorder.h"
#include "tests/support/test_window.h"

inline D2D1_COLOR_F Opaque(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
            1.0f};
}

class ViewerHarness {
  public:
    ViewerHarness(int windowWidth, int windowHeight)
        : window_(windowWidth, windowHeight), windowWidth_(windowWidth) {
        viewer_ = CreateInstance(nullptr);
    }
    ~ViewerHarness() { DestroyInstance(viewer_); }
    ViewerHarness(const ViewerHarness&) = delete;
    ViewerHarness& operator=(const ViewerHarness&) = delete;

    // Loads, attaches, and sets the picture's and the host's background colours.
    // Opening again reloads the same viewer and attaches it to the same window.
    bool Open(const std::vector<uint8_t>& bytes, uint32_t background = 0x000000,
              uint32_t host = 0x808080) {
        LoadRecord record = LoadFromMemory(viewer_, std::vector<BYTE>(bytes.begin(), bytes.end()));
        if (record.result != 0) return false;
        viewer_->WriteColor(viewer_->backgroundColor, Opaque(background));
        viewer_->WriteColor(viewer_->hostBackgroundColor, Opaque(host));
        return AttachWindow(viewer_, window_.hwnd()) == 0;
    }
    bool Open(const GifImage& image, uint32_t background = 0x000000, uint32_t host = 0x808080) {
        return Open(BuildGif(image), background, host);
    }

    // The worker's step to frame `index` from the one composed before (frame 0 first).
    bool Step(UINT index) {
        viewer_->currentFrame = index;
        return viewer_->ComposeNextFrame();
    }

    // Paints the whole displayed picture 1:1 at the window's origin and reads the window.
    std::vector<uint32_t> PaintAndCapture(BYTE interpolation = 0) {
        const bool turned = viewer_->rotation == 90 || viewer_->rotation == 270;
        const LONG w = static_cast<LONG>(turned ? viewer_->height : viewer_->width);
        const LONG h = static_cast<LONG>(turned ? viewer_->width : viewer_->height);
        RECT source{0, 0, w, h};
        RECT dest{0, 0, w, h};
        lastRender_ = Render(viewer_, 0, &source, &dest, interpolation);
        return window_.Capture();
    }

    // Pixel (x, y) of a capture, as 0xRRGGBB.
    uint32_t At(const std::vector<uint32_t>& capture, int x, int y) const {
        return capture[static_cast<size_t>(y) * windowWidth_ + x] & 0xFFFFFF;
    }

    TavorenGif* viewer() { return viewer_; }
    // For a test that destroyed the viewer itself.
    void Forget() { viewer_ = nullptr; }
    TestWindow& window() { return window_; }
    INT32 lastRender() const { return lastRender_; }

  private:
    TestWindow window_;
    const int windowWidth_;
    TavorenGif* viewer_ = nullptr;
    INT32 lastRender_ = 0;
};
