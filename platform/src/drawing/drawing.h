// The stand-in Direct2D's objects: the factory, pixel surfaces and bitmaps. Pixels are 32-bit
// premultiplied BGRA (pixman's a8r8g8b8 on little-endian), top-down.
#pragma once

#include <d2d1.h>
#include <d2d1_1.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "com/com_object.h"

namespace platform::drawing {

using Microsoft::WRL::ComPtr;

class Factory final : public ComObject<ID2D1Factory>, public ID2D1Multithread {
  public:
    explicit Factory(bool multithreaded) : multithreaded_(multithreaded) {}

    // One object with one count, whichever of its two interfaces is called.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

    // ID2D1Multithread: the lock below, taken and given back by the caller.
    BOOL STDMETHODCALLTYPE GetMultithreadProtected() const override { return multithreaded_; }
    void STDMETHODCALLTYPE Enter() override {
        if (multithreaded_) mutex_.lock();
    }
    void STDMETHODCALLTYPE Leave() override {
        if (multithreaded_) mutex_.unlock();
    }

    HRESULT STDMETHODCALLTYPE
    CreateHwndRenderTarget(const D2D1_RENDER_TARGET_PROPERTIES* renderTargetProperties,
                           const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndRenderTargetProperties,
                           ID2D1HwndRenderTarget** hwndRenderTarget) override;

    // Held for the whole of every call of every object made from this factory. Only a
    // multi-threaded factory locks, as on Windows: a single-threaded one leaves misuse from
    // two threads visible to the thread sanitizer, as it would be a race there.
    std::unique_lock<std::recursive_mutex> Lock() {
        std::unique_lock lock(mutex_, std::defer_lock);
        if (multithreaded_) lock.lock();
        return lock;
    }

  private:
    const bool multithreaded_;
    std::recursive_mutex mutex_;
};

// Resources are bound to the window target whose device made them, and shared with the
// compatible targets made from it, as Direct2D's resource domains are.
using Domain = std::uint64_t;
Domain NewDomain();

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

PixelRect Intersect(const PixelRect& a, const PixelRect& b);

// The pixels of a bitmap or a target: width * 4 bytes a row, no padding.
class Surface {
  public:
    // D2DERR_MAX_TEXTURE_SIZE_EXCEEDED above Direct2D's limit, E_OUTOFMEMORY when the pixels
    // cannot be had; `fill` is the initial value of every pixel. Without one the pixels are
    // left as the allocator gives them, for a caller that writes every one of them next.
    static HRESULT Create(UINT32 width, UINT32 height, std::optional<std::uint32_t> fill,
                          std::unique_ptr<Surface>* surface);

    UINT32 width() const { return width_; }
    UINT32 height() const { return height_; }
    UINT32 stride() const { return width_ * 4; }
    std::uint32_t* pixels() const { return pixels_.get(); }
    PixelRect Bounds() const { return {0, 0, static_cast<int>(width_), static_cast<int>(height_)}; }

  private:
    struct Free {
        void operator()(std::uint32_t* p) const { std::free(p); }
    };
    UINT32 width_ = 0, height_ = 0;
    std::unique_ptr<std::uint32_t, Free> pixels_;
};

// The spare surface (spare_surface.cpp): a released bitmap's pixels, kept until the next
// bitmap of their size that is written whole takes them, or until they are dropped: when any
// other surface is made, at the end of every drawing (a shown picture holds no spare) and
// before libwebp decodes a frame (its working memory is a frame's worth).
void KeepSpareSurface(std::unique_ptr<Surface> surface);
std::unique_ptr<Surface> TakeSpareSurface(UINT32 width, UINT32 height);
void DropSpareSurface();

bool SupportedFormat(const D2D1_PIXEL_FORMAT& format);

class Bitmap final : public ComObject<ID2D1Bitmap> {
  public:
    // `opaque`: every pixel's alpha is known to be 1.
    Bitmap(Factory* factory, Domain domain, std::unique_ptr<Surface> surface,
           D2D1_PIXEL_FORMAT format, FLOAT dpiX, FLOAT dpiY, bool opaque = false)
        : factory_(factory),
          domain_(domain),
          surface_(std::move(surface)),
          format_(format),
          dpiX_(dpiX),
          dpiY_(dpiY),
          opaque_(opaque) {}
    // The pixels become the spare surface.
    ~Bitmap() override { KeepSpareSurface(std::move(surface_)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override;
    D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override;
    D2D1_PIXEL_FORMAT STDMETHODCALLTYPE GetPixelFormat() const override;
    void STDMETHODCALLTYPE GetDpi(FLOAT* dpiX, FLOAT* dpiY) const override;
    HRESULT STDMETHODCALLTYPE CopyFromBitmap(const D2D1_POINT_2U* destPoint, ID2D1Bitmap* bitmap,
                                             const D2D1_RECT_U* srcRect) override;

    Factory* factory() const { return factory_.Get(); }
    Domain domain() const { return domain_; }
    Surface& surface() const { return *surface_; }
    const D2D1_PIXEL_FORMAT& format() const { return format_; }
    FLOAT dpiX() const { return dpiX_; }
    FLOAT dpiY() const { return dpiY_; }
    // True while every pixel is opaque, as far as the bitmap knows: drawn, it is then copied
    // rather than blended, to the same pixels. With the factory's lock held.
    bool opaque() const { return opaque_; }

  private:
    const ComPtr<Factory> factory_;  // the factory and its lock outlive every bitmap
    const Domain domain_;
    std::unique_ptr<Surface> surface_;  // set once; moved out only by the destructor
    const D2D1_PIXEL_FORMAT format_;
    const FLOAT dpiX_, dpiY_;
    bool opaque_;
};

// Bitmaps of Direct2D's own, and none of another implementation's: null for a foreign one.
Bitmap* AsBitmap(ID2D1Bitmap* bitmap);

// The bitmap a target hands out: props checked as ID2D1RenderTarget::CreateBitmap checks them.
HRESULT CreateBitmap(Factory* factory, Domain domain, FLOAT targetDpiX, FLOAT targetDpiY,
                     D2D1_SIZE_U size, const void* data, UINT32 pitch,
                     const D2D1_BITMAP_PROPERTIES* properties, ComPtr<Bitmap>* bitmap);

HRESULT CreateBitmapFromWic(Factory* factory, Domain domain, FLOAT targetDpiX, FLOAT targetDpiY,
                            IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                            ComPtr<Bitmap>* bitmap);

}  // namespace platform::drawing
