// Copying a presented picture, reusing the image while the window keeps its size.
#include "hosts/pelm-view/presented_frame.h"

#include <cstring>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "BGRA bytes read as ARGB32 words");

void PresentedFrame::Take(const BYTE* pixels, int width, int height, int stride) {
    if (width <= 0 || height <= 0 || stride < width * 4) return;
    if (image_.width() != width || image_.height() != height) {
        image_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
        if (image_.isNull()) return;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(image_.scanLine(y), pixels + static_cast<size_t>(y) * stride,
                    static_cast<size_t>(width) * 4);
    }
    fresh_ = true;
}
