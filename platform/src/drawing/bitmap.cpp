// Bitmaps and the surfaces under them.
#include <algorithm>
#include <cstring>
#include <new>

#include <tavoren_platform_probe.h>

#include "drawing/drawing.h"
#include "drawing/stand_in_source.h"

namespace platform::drawing {
namespace {

std::atomic<unsigned long long> surfaceByteLimit{0};

}  // namespace

Domain NewDomain() {
    static std::atomic<Domain> next{1};
    return next++;
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Direct2D refuses a side above the device's texture limit before it allocates anything.
HRESULT Surface::Create(UINT32 width, UINT32 height, std::optional<std::uint32_t> fill,
                        std::unique_ptr<Surface>* surface) {
    surface->reset();
    if (width > D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE || height > D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE) {
        return D2DERR_MAX_TEXTURE_SIZE_EXCEEDED;
    }
    std::unique_ptr<Surface> made(new (std::nothrow) Surface());
    if (!made) return E_OUTOFMEMORY;
    const size_t count = size_t{width} * height;
    const unsigned long long limit = surfaceByteLimit;
    if (limit && count * 4 > limit) return E_OUTOFMEMORY;
    // The spare serves a surface of its size written whole; any other is made without it.
    if (!fill) {
        if (std::unique_ptr<Surface> spare = TakeSpareSurface(width, height)) {
            *surface = std::move(spare);
            return S_OK;
        }
    }
    DropSpareSurface();
    // A surface of no pixels still gets a block, so that every surface has an address. A frame
    // bitmap is written whole by its maker: zeroing it first would cost a write of every pixel.
    const size_t bytes = std::max<size_t>(count, 1) * 4;
    made->pixels_.reset(
        static_cast<std::uint32_t*>(fill == 0u ? std::calloc(bytes, 1) : std::malloc(bytes)));
    if (!made->pixels_) return E_OUTOFMEMORY;
    if (fill && *fill) std::fill_n(made->pixels_.get(), count, *fill);
    made->width_ = width;
    made->height_ = height;
    *surface = std::move(made);
    return S_OK;
}

// The formats a Direct2D bitmap of 32-bit BGRA can take.
bool SupportedFormat(const D2D1_PIXEL_FORMAT& format) {
    return format.format == DXGI_FORMAT_B8G8R8A8_UNORM &&
           (format.alphaMode == D2D1_ALPHA_MODE_PREMULTIPLIED ||
            format.alphaMode == D2D1_ALPHA_MODE_IGNORE);
}

Bitmap* AsBitmap(ID2D1Bitmap* bitmap) {
    return dynamic_cast<Bitmap*>(bitmap);
}

namespace {

// A bitmap's DPI: 0, 0 takes the target's, anything else not positive is refused, as
// Direct2D does.
HRESULT ResolveDpi(FLOAT targetX, FLOAT targetY, FLOAT* x, FLOAT* y) {
    if (*x == 0.0f && *y == 0.0f) {
        *x = targetX;
        *y = targetY;
        return S_OK;
    }
    return *x > 0.0f && *y > 0.0f ? S_OK : E_INVALIDARG;
}

}  // namespace

// ID2D1RenderTarget::CreateBitmap: the pixel format must be named (DXGI_FORMAT_UNKNOWN is
// refused, not defaulted), rows are copied from `data` when it is given.
HRESULT CreateBitmap(Factory* factory, Domain domain, FLOAT targetDpiX, FLOAT targetDpiY,
                     D2D1_SIZE_U size, const void* data, UINT32 pitch,
                     const D2D1_BITMAP_PROPERTIES* properties, ComPtr<Bitmap>* bitmap) {
    if (!properties) return E_INVALIDARG;
    if (!SupportedFormat(properties->pixelFormat)) return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    FLOAT dpiX = properties->dpiX, dpiY = properties->dpiY;
    if (HRESULT hr = ResolveDpi(targetDpiX, targetDpiY, &dpiX, &dpiY); FAILED(hr)) return hr;
    if (data && pitch < size.width * 4ull) return E_INVALIDARG;
    std::unique_ptr<Surface> surface;
    const std::optional<std::uint32_t> fill = data ? std::nullopt : std::optional(0u);
    if (HRESULT hr = Surface::Create(size.width, size.height, fill, &surface); FAILED(hr)) {
        return hr;
    }
    if (data) {
        for (UINT32 y = 0; y < size.height; ++y) {
            std::memcpy(surface->pixels() + size_t{y} * size.width,
                        static_cast<const BYTE*>(data) + size_t{y} * pitch, surface->stride());
        }
    }
    bitmap->Attach(new (std::nothrow) Bitmap(factory, domain, std::move(surface),
                                             properties->pixelFormat, dpiX, dpiY));
    return *bitmap ? S_OK : E_OUTOFMEMORY;
}

// ID2D1RenderTarget::CreateBitmapFromWicBitmap: only a premultiplied BGRA source is taken;
// straight alpha must be converted first, as Direct2D requires.
HRESULT CreateBitmapFromWic(Factory* factory, Domain domain, FLOAT targetDpiX, FLOAT targetDpiY,
                            IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                            ComPtr<Bitmap>* bitmap) {
    if (!source) return E_INVALIDARG;
    UINT width = 0, height = 0;
    if (HRESULT hr = source->GetSize(&width, &height); FAILED(hr)) return hr;
    WICPixelFormatGUID wicFormat{};
    if (HRESULT hr = source->GetPixelFormat(&wicFormat); FAILED(hr)) return hr;
    if (!IsEqualGUID(wicFormat, GUID_WICPixelFormat32bppPBGRA)) {
        return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    }
    // What the props leave unknown comes from the source's format.
    D2D1_BITMAP_PROPERTIES resolved = properties ? *properties : D2D1_BITMAP_PROPERTIES{};
    if (resolved.pixelFormat.format == DXGI_FORMAT_UNKNOWN) {
        resolved.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    }
    if (resolved.pixelFormat.alphaMode == D2D1_ALPHA_MODE_UNKNOWN) {
        resolved.pixelFormat.alphaMode = D2D1_ALPHA_MODE_PREMULTIPLIED;
    }
    if (!SupportedFormat(resolved.pixelFormat)) return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    if (HRESULT hr = ResolveDpi(targetDpiX, targetDpiY, &resolved.dpiX, &resolved.dpiY);
        FAILED(hr)) {
        return hr;
    }
    // The stand-in's own source decodes ahead, before the surface exists (but not for a bitmap
    // that Direct2D refuses anyway), and tells whether what it copied is all opaque: frames
    // mostly are, and such a bitmap is drawn as a copy (a third of a blend's time).
    auto* standIn = dynamic_cast<StandInSource*>(source);
    if (standIn && width <= D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE &&
        height <= D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE) {
        if (HRESULT hr = standIn->PreparePixels(); FAILED(hr)) return hr;
    }
    // Every pixel comes from the source, so the surface is not cleared first.
    std::unique_ptr<Surface> surface;
    if (HRESULT hr = Surface::Create(width, height, std::nullopt, &surface); FAILED(hr)) return hr;
    bool opaque = false;
    if (width && height) {
        const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        const UINT bytes = surface->stride() * height;
        BYTE* pixels = reinterpret_cast<BYTE*>(surface->pixels());
        HRESULT hr = standIn ? standIn->CopyPixelsNotingOpacity(&all, surface->stride(), bytes,
                                                                pixels, &opaque)
                             : source->CopyPixels(&all, surface->stride(), bytes, pixels);
        if (FAILED(hr)) return hr;
    }
    bitmap->Attach(new (std::nothrow)
                       Bitmap(factory, domain, std::move(surface), resolved.pixelFormat,
                              resolved.dpiX, resolved.dpiY, opaque));
    return *bitmap ? S_OK : E_OUTOFMEMORY;
}

// IUnknown::QueryInterface: a bitmap answers as ID2D1Bitmap, ID2D1Image and ID2D1Resource.
HRESULT STDMETHODCALLTYPE Bitmap::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object,
                  {{&IID_ID2D1Resource, static_cast<ID2D1Resource*>(this)},
                   {&IID_ID2D1Image, static_cast<ID2D1Image*>(this)},
                   {&IID_ID2D1Bitmap, static_cast<ID2D1Bitmap*>(this)}});
}

// ID2D1Bitmap::GetSize: the size in DIPs, pixels scaled by 96 / DPI.
D2D1_SIZE_F STDMETHODCALLTYPE Bitmap::GetSize() const {
    auto lock = factory_->Lock();
    return {surface_->width() * 96.0f / dpiX_, surface_->height() * 96.0f / dpiY_};
}

// ID2D1Bitmap::GetPixelSize.
D2D1_SIZE_U STDMETHODCALLTYPE Bitmap::GetPixelSize() const {
    auto lock = factory_->Lock();
    return {surface_->width(), surface_->height()};
}

// ID2D1Bitmap::GetPixelFormat: the format the bitmap was made with.
D2D1_PIXEL_FORMAT STDMETHODCALLTYPE Bitmap::GetPixelFormat() const {
    auto lock = factory_->Lock();
    return format_;
}

// ID2D1Bitmap::GetDpi.
void STDMETHODCALLTYPE Bitmap::GetDpi(FLOAT* dpiX, FLOAT* dpiY) const {
    auto lock = factory_->Lock();
    if (dpiX) *dpiX = dpiX_;
    if (dpiY) *dpiY = dpiY_;
}

// ID2D1Bitmap::CopyFromBitmap: no conversion and no resizing; a region that does not fit,
// or bitmaps of different formats, fail. The source may be this bitmap itself.
HRESULT STDMETHODCALLTYPE Bitmap::CopyFromBitmap(const D2D1_POINT_2U* destPoint,
                                                 ID2D1Bitmap* bitmap, const D2D1_RECT_U* srcRect) {
    auto lock = factory_->Lock();
    Bitmap* source = AsBitmap(bitmap);
    if (!source) return E_INVALIDARG;
    if (source->factory_.Get() != factory_.Get()) return D2DERR_WRONG_FACTORY;
    if (source->domain_ != domain_) return D2DERR_WRONG_RESOURCE_DOMAIN;
    if (source->format_.format != format_.format ||
        source->format_.alphaMode != format_.alphaMode) {
        return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    }
    const Surface& from = *source->surface_;
    const D2D1_RECT_U r = srcRect ? *srcRect : D2D1_RECT_U{0, 0, from.width(), from.height()};
    const D2D1_POINT_2U at = destPoint ? *destPoint : D2D1_POINT_2U{0, 0};
    if (r.left > r.right || r.top > r.bottom || r.right > from.width() ||
        r.bottom > from.height()) {
        return E_INVALIDARG;
    }
    const UINT64 w = r.right - r.left, h = r.bottom - r.top;
    if (at.x + w > surface_->width() || at.y + h > surface_->height()) return E_INVALIDARG;
    opaque_ = opaque_ && source->opaque_;
    // Rows in the order that leaves an overlapping copy within one bitmap intact.
    const bool upward = from.pixels() == surface_->pixels() && at.y > r.top;
    for (UINT64 i = 0; i < h; ++i) {
        const UINT64 row = upward ? h - 1 - i : i;
        std::memmove(surface_->pixels() + (at.y + row) * surface_->width() + at.x,
                     from.pixels() + (r.top + row) * from.width() + r.left, w * 4);
    }
    return S_OK;
}

}  // namespace platform::drawing

extern "C" void TavorenSetSurfaceByteLimit(unsigned long long bytes) {
    platform::drawing::surfaceByteLimit = bytes;
}
