// The last picture the module presented to the window, kept as a QImage.
#pragma once

#include <QImage>

#include <windows.h>

class PresentedFrame {
  public:
    // Copies the module's pixels (top-down premultiplied BGRA, which is what Qt calls
    // ARGB32_Premultiplied on a little-endian machine); they are only lent for the call.
    void Take(const BYTE* pixels, int width, int height, int stride);

    // Whether a Take came since the last Forget: a paint that the module declined (occluded,
    // no surface) presents nothing.
    bool fresh() const { return fresh_; }
    void Forget() { fresh_ = false; }
    const QImage& image() const { return image_; }

  private:
    QImage image_;
    bool fresh_ = false;
};
