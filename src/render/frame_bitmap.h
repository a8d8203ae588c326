// A decoded frame as a drawing bitmap, shrunk when the device cannot hold it at full size.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <wincodec.h>

// The frame's pixels (32bppPBGRA) as a bitmap of `target`. A frame wider or higher than the
// device allows, on a composition surface of a lower resolution than the canvas (`scale`,
// surface pixels a canvas pixel on each axis), is averaged down to that resolution and keeps
// its size in drawing units; a frame that does not fit even so, or that holds more than twice
// the pixels of the device's largest surface, fails as the device's own refusal.
HRESULT CreateFrameBitmap(ID2D1RenderTarget* target, D2D1_SIZE_F scale, IWICBitmapSource* source,
                          ID2D1Bitmap** bitmap);
