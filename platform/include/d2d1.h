// Direct2D: colours, rectangles and the drawing interfaces the viewer holds.
#pragma once

#include "unknwn.h"

typedef struct D2D_COLOR_F {
    FLOAT r;
    FLOAT g;
    FLOAT b;
    FLOAT a;
} D2D_COLOR_F, D2D1_COLOR_F;

typedef struct D2D_RECT_F {
    FLOAT left;
    FLOAT top;
    FLOAT right;
    FLOAT bottom;
} D2D_RECT_F, D2D1_RECT_F;

struct ID2D1Resource : public IUnknown {};
struct ID2D1Image : public ID2D1Resource {};
struct ID2D1Bitmap : public ID2D1Image {};
struct ID2D1RenderTarget : public ID2D1Resource {};
struct ID2D1BitmapRenderTarget : public ID2D1RenderTarget {};
struct ID2D1HwndRenderTarget : public ID2D1RenderTarget {};
struct ID2D1Factory : public IUnknown {};
