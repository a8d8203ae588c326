// Where the displayed picture goes in the client area, and how it is drawn there: the one
// fit rule of both reference hosts.
#pragma once

#include <windows.h>

struct PicturePlacement {
    RECT source;         // the whole displayed picture
    RECT dest;           // in client pixels
    BYTE interpolation;  // 0 nearest neighbour at 1:1, 1 linear when scaled
};

// The picture centred in the client area, 1:1 when it fits and otherwise shrunk to fit,
// keeping its aspect ratio. Small pictures are not enlarged: an animation's pixels are
// usually meant to be seen as they are. An empty destination when either size is empty.
PicturePlacement PlacePicture(int pictureWidth, int pictureHeight, int clientWidth,
                              int clientHeight);
