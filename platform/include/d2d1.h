// Direct2D: the subset of the factory, render targets and bitmaps that the module calls,
// with Direct2D's names, types and signatures.
#pragma once

#include "dxgiformat.h"
#include "unknwn.h"
#include "wincodec.h"

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

typedef struct D2D_RECT_U {
    UINT32 left;
    UINT32 top;
    UINT32 right;
    UINT32 bottom;
} D2D_RECT_U, D2D1_RECT_U;

typedef struct D2D_POINT_2F {
    FLOAT x;
    FLOAT y;
} D2D_POINT_2F, D2D1_POINT_2F;

typedef struct D2D_POINT_2U {
    UINT32 x;
    UINT32 y;
} D2D_POINT_2U, D2D1_POINT_2U;

typedef struct D2D_SIZE_F {
    FLOAT width;
    FLOAT height;
} D2D_SIZE_F, D2D1_SIZE_F;

typedef struct D2D_SIZE_U {
    UINT32 width;
    UINT32 height;
} D2D_SIZE_U, D2D1_SIZE_U;

typedef struct D2D_MATRIX_3X2_F {
    FLOAT _11, _12;
    FLOAT _21, _22;
    FLOAT _31, _32;
} D2D_MATRIX_3X2_F, D2D1_MATRIX_3X2_F;

typedef UINT64 D2D1_TAG;

// Each enumeration ends in a FORCE_DWORD member, as in Windows' header: it makes every 32-bit
// value one of the type's values, so a caller's number that names no member (a host's
// interpolation byte, say) reaches the method, which refuses it, instead of being undefined.
enum D2D1_FACTORY_TYPE {
    D2D1_FACTORY_TYPE_SINGLE_THREADED = 0,
    D2D1_FACTORY_TYPE_MULTI_THREADED = 1,
    D2D1_FACTORY_TYPE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_ALPHA_MODE {
    D2D1_ALPHA_MODE_UNKNOWN = 0,
    D2D1_ALPHA_MODE_PREMULTIPLIED = 1,
    D2D1_ALPHA_MODE_STRAIGHT = 2,
    D2D1_ALPHA_MODE_IGNORE = 3,
    D2D1_ALPHA_MODE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_RENDER_TARGET_TYPE {
    D2D1_RENDER_TARGET_TYPE_DEFAULT = 0,
    D2D1_RENDER_TARGET_TYPE_SOFTWARE = 1,
    D2D1_RENDER_TARGET_TYPE_HARDWARE = 2,
    D2D1_RENDER_TARGET_TYPE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_RENDER_TARGET_USAGE {
    D2D1_RENDER_TARGET_USAGE_NONE = 0,
    D2D1_RENDER_TARGET_USAGE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_FEATURE_LEVEL {
    D2D1_FEATURE_LEVEL_DEFAULT = 0,
    D2D1_FEATURE_LEVEL_FORCE_DWORD = 0xffffffff,
};

enum D2D1_PRESENT_OPTIONS {
    D2D1_PRESENT_OPTIONS_NONE = 0,
    D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS = 1,
    D2D1_PRESENT_OPTIONS_IMMEDIATELY = 2,
    D2D1_PRESENT_OPTIONS_FORCE_DWORD = 0xffffffff,
};

enum D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS {
    D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE = 0,
    D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_GDI_COMPATIBLE = 1,
    D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_FORCE_DWORD = 0xffffffff,
};

enum D2D1_BITMAP_INTERPOLATION_MODE {
    D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR = 0,
    D2D1_BITMAP_INTERPOLATION_MODE_LINEAR = 1,
    D2D1_BITMAP_INTERPOLATION_MODE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_ANTIALIAS_MODE {
    D2D1_ANTIALIAS_MODE_PER_PRIMITIVE = 0,
    D2D1_ANTIALIAS_MODE_ALIASED = 1,
    D2D1_ANTIALIAS_MODE_FORCE_DWORD = 0xffffffff,
};

enum D2D1_WINDOW_STATE {
    D2D1_WINDOW_STATE_NONE = 0,
    D2D1_WINDOW_STATE_OCCLUDED = 1,
    D2D1_WINDOW_STATE_FORCE_DWORD = 0xffffffff,
};

typedef struct D2D1_PIXEL_FORMAT {
    DXGI_FORMAT format;
    D2D1_ALPHA_MODE alphaMode;
} D2D1_PIXEL_FORMAT;

typedef struct D2D1_BITMAP_PROPERTIES {
    D2D1_PIXEL_FORMAT pixelFormat;
    FLOAT dpiX;
    FLOAT dpiY;
} D2D1_BITMAP_PROPERTIES;

typedef struct D2D1_RENDER_TARGET_PROPERTIES {
    D2D1_RENDER_TARGET_TYPE type;
    D2D1_PIXEL_FORMAT pixelFormat;
    FLOAT dpiX;
    FLOAT dpiY;
    D2D1_RENDER_TARGET_USAGE usage;
    D2D1_FEATURE_LEVEL minLevel;
} D2D1_RENDER_TARGET_PROPERTIES;

typedef struct D2D1_HWND_RENDER_TARGET_PROPERTIES {
    HWND hwnd;
    D2D1_SIZE_U pixelSize;
    D2D1_PRESENT_OPTIONS presentOptions;
} D2D1_HWND_RENDER_TARGET_PROPERTIES;

typedef struct D2D1_FACTORY_OPTIONS {
    UINT32 debugLevel;
} D2D1_FACTORY_OPTIONS;

// Direct2D's limit on a bitmap or surface side, on every device this module targets.
#define D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE 16384u

#define D2DERR_WRONG_STATE _HRESULT_TYPEDEF_(0x88990001L)
#define D2DERR_MAX_TEXTURE_SIZE_EXCEEDED _HRESULT_TYPEDEF_(0x8899000FL)
#define D2DERR_UNSUPPORTED_PIXEL_FORMAT WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT
#define D2DERR_PUSH_POP_UNBALANCED _HRESULT_TYPEDEF_(0x88990016L)
#define D2DERR_WRONG_FACTORY _HRESULT_TYPEDEF_(0x88990012L)
#define D2DERR_WRONG_RESOURCE_DOMAIN _HRESULT_TYPEDEF_(0x88990015L)

EXTERN_GUID(IID_ID2D1Factory);
EXTERN_GUID(IID_ID2D1Resource);
EXTERN_GUID(IID_ID2D1Image);
EXTERN_GUID(IID_ID2D1Bitmap);
EXTERN_GUID(IID_ID2D1RenderTarget);
EXTERN_GUID(IID_ID2D1BitmapRenderTarget);
EXTERN_GUID(IID_ID2D1HwndRenderTarget);

struct ID2D1Resource : public IUnknown {};

struct ID2D1Image : public ID2D1Resource {};

struct ID2D1Bitmap : public ID2D1Image {
    STDMETHOD_(D2D1_SIZE_F, GetSize)() const PURE;
    STDMETHOD_(D2D1_SIZE_U, GetPixelSize)() const PURE;
    STDMETHOD_(D2D1_PIXEL_FORMAT, GetPixelFormat)() const PURE;
    STDMETHOD_(void, GetDpi)(FLOAT* dpiX, FLOAT* dpiY) const PURE;
    STDMETHOD(CopyFromBitmap)
    (const D2D1_POINT_2U* destPoint, ID2D1Bitmap* bitmap, const D2D1_RECT_U* srcRect) PURE;
};

struct ID2D1BitmapRenderTarget;

struct ID2D1RenderTarget : public ID2D1Resource {
    STDMETHOD(CreateBitmap)
    (D2D1_SIZE_U size, const void* srcData, UINT32 pitch,
     const D2D1_BITMAP_PROPERTIES* bitmapProperties, ID2D1Bitmap** bitmap) PURE;
    STDMETHOD(CreateBitmapFromWicBitmap)
    (IWICBitmapSource* wicBitmapSource, const D2D1_BITMAP_PROPERTIES* bitmapProperties,
     ID2D1Bitmap** bitmap) PURE;
    STDMETHOD(CreateCompatibleRenderTarget)
    (const D2D1_SIZE_F* desiredSize, const D2D1_SIZE_U* desiredPixelSize,
     const D2D1_PIXEL_FORMAT* desiredFormat, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS options,
     ID2D1BitmapRenderTarget** bitmapRenderTarget) PURE;
    STDMETHOD_(void, DrawBitmap)
    (ID2D1Bitmap* bitmap, const D2D1_RECT_F* destinationRectangle, FLOAT opacity,
     D2D1_BITMAP_INTERPOLATION_MODE interpolationMode, const D2D1_RECT_F* sourceRectangle) PURE;
    STDMETHOD_(void, SetTransform)(const D2D1_MATRIX_3X2_F* transform) PURE;
    STDMETHOD_(void, PushAxisAlignedClip)
    (const D2D1_RECT_F* clipRect, D2D1_ANTIALIAS_MODE antialiasMode) PURE;
    STDMETHOD_(void, PopAxisAlignedClip)() PURE;
    STDMETHOD_(void, Clear)(const D2D1_COLOR_F* clearColor) PURE;
    STDMETHOD_(void, BeginDraw)() PURE;
    STDMETHOD(EndDraw)(D2D1_TAG* tag1 = nullptr, D2D1_TAG* tag2 = nullptr) PURE;
    STDMETHOD_(D2D1_PIXEL_FORMAT, GetPixelFormat)() const PURE;
    STDMETHOD_(D2D1_SIZE_F, GetSize)() const PURE;
    STDMETHOD_(D2D1_SIZE_U, GetPixelSize)() const PURE;
    STDMETHOD_(UINT32, GetMaximumBitmapSize)() const PURE;
};

struct ID2D1BitmapRenderTarget : public ID2D1RenderTarget {
    STDMETHOD(GetBitmap)(ID2D1Bitmap** bitmap) PURE;
};

struct ID2D1HwndRenderTarget : public ID2D1RenderTarget {
    STDMETHOD_(D2D1_WINDOW_STATE, CheckWindowState)() PURE;
    STDMETHOD(Resize)(const D2D1_SIZE_U* pixelSize) PURE;
};

struct ID2D1Factory : public IUnknown {
    STDMETHOD(CreateHwndRenderTarget)
    (const D2D1_RENDER_TARGET_PROPERTIES* renderTargetProperties,
     const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndRenderTargetProperties,
     ID2D1HwndRenderTarget** hwndRenderTarget) PURE;
};
DECLARE_UUIDOF(ID2D1Factory, IID_ID2D1Factory)

extern "C" HRESULT WINAPI D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, REFIID riid,
                                            const D2D1_FACTORY_OPTIONS* pFactoryOptions,
                                            void** ppIFactory);
extern "C" void WINAPI D2D1MakeRotateMatrix(FLOAT angle, D2D1_POINT_2F center,
                                            D2D1_MATRIX_3X2_F* matrix);
extern "C" BOOL WINAPI D2D1InvertMatrix(D2D1_MATRIX_3X2_F* matrix);

// The C++ overload that takes IID_PPV_ARGS, without factory options.
inline HRESULT D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, REFIID riid, void** ppv) {
    return D2D1CreateFactory(factoryType, riid, nullptr, ppv);
}

// The helpers of d2d1helper.h that the module calls, with Windows' defaults.
namespace D2D1 {

inline D2D1_POINT_2F Point2F(FLOAT x = 0.0f, FLOAT y = 0.0f) {
    return {x, y};
}

inline D2D1_SIZE_F SizeF(FLOAT width = 0.0f, FLOAT height = 0.0f) {
    return {width, height};
}

inline D2D1_SIZE_U SizeU(UINT32 width = 0, UINT32 height = 0) {
    return {width, height};
}

inline D2D1_RECT_F RectF(FLOAT left = 0.0f, FLOAT top = 0.0f, FLOAT right = 0.0f,
                         FLOAT bottom = 0.0f) {
    return {left, top, right, bottom};
}

inline D2D1_PIXEL_FORMAT PixelFormat(DXGI_FORMAT dxgiFormat = DXGI_FORMAT_UNKNOWN,
                                     D2D1_ALPHA_MODE alphaMode = D2D1_ALPHA_MODE_UNKNOWN) {
    return {dxgiFormat, alphaMode};
}

inline D2D1_BITMAP_PROPERTIES BitmapProperties(const D2D1_PIXEL_FORMAT& pixelFormat = PixelFormat(),
                                               FLOAT dpiX = 96.0f, FLOAT dpiY = 96.0f) {
    return {pixelFormat, dpiX, dpiY};
}

inline D2D1_RENDER_TARGET_PROPERTIES RenderTargetProperties(
    D2D1_RENDER_TARGET_TYPE type = D2D1_RENDER_TARGET_TYPE_DEFAULT,
    const D2D1_PIXEL_FORMAT& pixelFormat = PixelFormat(), FLOAT dpiX = 0.0f, FLOAT dpiY = 0.0f,
    D2D1_RENDER_TARGET_USAGE usage = D2D1_RENDER_TARGET_USAGE_NONE,
    D2D1_FEATURE_LEVEL minLevel = D2D1_FEATURE_LEVEL_DEFAULT) {
    return {type, pixelFormat, dpiX, dpiY, usage, minLevel};
}

inline D2D1_HWND_RENDER_TARGET_PROPERTIES HwndRenderTargetProperties(
    HWND hwnd, D2D1_SIZE_U pixelSize = SizeU(),
    D2D1_PRESENT_OPTIONS presentOptions = D2D1_PRESENT_OPTIONS_NONE) {
    return {hwnd, pixelSize, presentOptions};
}

class Matrix3x2F : public D2D1_MATRIX_3X2_F {
  public:
    static Matrix3x2F Rotation(FLOAT angle, D2D1_POINT_2F center = Point2F()) {
        Matrix3x2F rotation;
        D2D1MakeRotateMatrix(angle, center, &rotation);
        return rotation;
    }

    bool Invert() { return D2D1InvertMatrix(this) != FALSE; }

    D2D1_POINT_2F TransformPoint(D2D1_POINT_2F point) const {
        return Point2F(point.x * _11 + point.y * _21 + _31, point.x * _12 + point.y * _22 + _32);
    }
};

}  // namespace D2D1
