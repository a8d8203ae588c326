// The window of a headless run: a client area of a fixed size with no screen behind it, always
// visible to the module, at the origin, without a menu. The run awaits the paint requests of
// the frame it stepped to, paints it itself and keeps what the module presents.
#pragma once

#include "platform/linux/window_host.h"
#include "hosts/pelm-view/presented_frame.h"

class HeadlessWindow : public CountingWindow {
  public:
    using CountingWindow::CountingWindow;

    PresentedFrame& frame() { return frame_; }

    void Present(const BYTE* pixels, int width, int height, int stride) override {
        frame_.Take(pixels, width, height, stride);
    }

  private:
    PresentedFrame frame_;
};
