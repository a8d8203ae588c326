// The fit rule of the window: centred, shrunk to fit, never enlarged.
#include "picture_placement.h"

#include <algorithm>
#include <cmath>

PicturePlacement PlacePicture(int pictureWidth, int pictureHeight, int clientWidth,
                              int clientHeight) {
    PicturePlacement placement{{0, 0, pictureWidth, pictureHeight}, {0, 0, 0, 0}, 0};
    if (pictureWidth <= 0 || pictureHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) {
        return placement;
    }
    const double scale = std::min({1.0, static_cast<double>(clientWidth) / pictureWidth,
                                   static_cast<double>(clientHeight) / pictureHeight});
    int width = pictureWidth, height = pictureHeight;
    if (scale < 1.0) {
        // Rounded, but never past the client area, and at least one pixel each way.
        width = std::clamp(static_cast<int>(std::lround(pictureWidth * scale)), 1, clientWidth);
        height = std::clamp(static_cast<int>(std::lround(pictureHeight * scale)), 1, clientHeight);
        placement.interpolation = 1;
    }
    // The odd pixel of a centring goes to the right and the bottom.
    const int left = (clientWidth - width) / 2;
    const int top = (clientHeight - height) / 2;
    placement.dest = {left, top, left + width, top + height};
    return placement;
}
