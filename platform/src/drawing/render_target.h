// Render targets: the drawing state every target shares, and the interface methods of
// ID2D1RenderTarget, written once for both the window and the compatible target.
#pragma once

#include <vector>

#include "drawing/drawing.h"

namespace platform::drawing {

// The state and the drawing of one target. Not locked itself: every caller holds the
// factory's lock.
class DrawingContext {
  public:
    DrawingContext(Factory* factory, Domain domain, D2D1_PIXEL_FORMAT format, FLOAT dpiX,
                   FLOAT dpiY, Surface* surface)
        : factory_(factory),
          domain_(domain),
          format_(format),
          dpiX_(dpiX),
          dpiY_(dpiY),
          surface_(surface) {}

    Factory* factory() const { return factory_.Get(); }
    Domain domain() const { return domain_; }
    FLOAT dpiX() const { return dpiX_; }
    FLOAT dpiY() const { return dpiY_; }
    const D2D1_PIXEL_FORMAT& format() const { return format_; }
    Surface& surface() const { return *surface_; }
    void SetSurface(Surface* surface) { surface_ = surface; }
    bool drawing() const { return drawing_; }

    HRESULT CreateCompatibleTarget(const D2D1_SIZE_F* desiredSize,
                                   const D2D1_SIZE_U* desiredPixelSize,
                                   const D2D1_PIXEL_FORMAT* desiredFormat,
                                   ID2D1BitmapRenderTarget** target);
    void DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* destination, FLOAT opacity,
                    D2D1_BITMAP_INTERPOLATION_MODE interpolation, const D2D1_RECT_F* source);
    void SetTransform(const D2D1_MATRIX_3X2_F* transform) {
        if (transform) transform_ = *transform;
    }
    void PushClip(const D2D1_RECT_F* rect);
    void PopClip();
    void Clear(const D2D1_COLOR_F* colour);
    void BeginDraw();
    HRESULT EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2);
    D2D1_SIZE_F Size() const {
        return {surface_->width() * 96.0f / dpiX_, surface_->height() * 96.0f / dpiY_};
    }
    D2D1_SIZE_U PixelSize() const { return {surface_->width(), surface_->height()}; }

  private:
    // The first error since the last EndDraw is the one EndDraw reports.
    void Fail(HRESULT hr) {
        if (SUCCEEDED(error_)) error_ = hr;
    }
    // Whether a drawing call may draw: outside BeginDraw/EndDraw it records
    // D2DERR_WRONG_STATE; after an error nothing more is drawn until EndDraw.
    bool MayDraw() {
        if (!drawing_) Fail(D2DERR_WRONG_STATE);
        return drawing_ && SUCCEEDED(error_);
    }
    PixelRect ClipRect() const {
        return clips_.empty() ? surface_->Bounds() : Intersect(clips_.back(), surface_->Bounds());
    }

    const ComPtr<Factory> factory_;  // the factory and its lock outlive every target
    const Domain domain_;
    const D2D1_PIXEL_FORMAT format_;
    const FLOAT dpiX_, dpiY_;
    Surface* surface_;
    D2D1_MATRIX_3X2_F transform_{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    std::vector<PixelRect> clips_;  // in target pixels, each within the one below
    bool drawing_ = false;
    HRESULT error_ = S_OK;
};

// ID2D1RenderTarget's methods for a target interface, each under the factory's lock.
template <typename Interface>
class RenderTarget : public ComObject<Interface> {
  public:
    explicit RenderTarget(DrawingContext context) : context_(std::move(context)) {}

    // ID2D1RenderTarget::CreateBitmap: a bitmap in this target's resource domain.
    HRESULT STDMETHODCALLTYPE CreateBitmap(D2D1_SIZE_U size, const void* data, UINT32 pitch,
                                           const D2D1_BITMAP_PROPERTIES* properties,
                                           ID2D1Bitmap** bitmap) override {
        auto lock = context_.factory()->Lock();
        if (!bitmap) return E_POINTER;
        *bitmap = nullptr;
        ComPtr<Bitmap> made;
        HRESULT hr = drawing::CreateBitmap(context_.factory(), context_.domain(), context_.dpiX(),
                                           context_.dpiY(), size, data, pitch, properties, &made);
        if (SUCCEEDED(hr)) *bitmap = made.Detach();
        return hr;
    }
    // ID2D1RenderTarget::CreateBitmapFromWicBitmap: the source's pixels copied at once.
    HRESULT STDMETHODCALLTYPE CreateBitmapFromWicBitmap(IWICBitmapSource* source,
                                                        const D2D1_BITMAP_PROPERTIES* properties,
                                                        ID2D1Bitmap** bitmap) override {
        auto lock = context_.factory()->Lock();
        if (!bitmap) return E_POINTER;
        *bitmap = nullptr;
        ComPtr<Bitmap> made;
        HRESULT hr = CreateBitmapFromWic(context_.factory(), context_.domain(), context_.dpiX(),
                                         context_.dpiY(), source, properties, &made);
        if (SUCCEEDED(hr)) *bitmap = made.Detach();
        return hr;
    }
    // ID2D1RenderTarget::CreateCompatibleRenderTarget: an off-screen target sharing this
    // target's resources.
    HRESULT STDMETHODCALLTYPE CreateCompatibleRenderTarget(
        const D2D1_SIZE_F* desiredSize, const D2D1_SIZE_U* desiredPixelSize,
        const D2D1_PIXEL_FORMAT* desiredFormat, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS /*options*/,
        ID2D1BitmapRenderTarget** target) override {
        auto lock = context_.factory()->Lock();
        return context_.CreateCompatibleTarget(desiredSize, desiredPixelSize, desiredFormat,
                                               target);
    }
    // ID2D1RenderTarget::DrawBitmap.
    void STDMETHODCALLTYPE DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* destination,
                                      FLOAT opacity, D2D1_BITMAP_INTERPOLATION_MODE interpolation,
                                      const D2D1_RECT_F* source) override {
        auto lock = context_.factory()->Lock();
        context_.DrawBitmap(bitmap, destination, opacity, interpolation, source);
    }
    // ID2D1RenderTarget::SetTransform: state, allowed outside BeginDraw/EndDraw too.
    void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) override {
        auto lock = context_.factory()->Lock();
        context_.SetTransform(transform);
    }
    // ID2D1RenderTarget::PushAxisAlignedClip.
    void STDMETHODCALLTYPE PushAxisAlignedClip(const D2D1_RECT_F* rect,
                                               D2D1_ANTIALIAS_MODE /*mode*/) override {
        auto lock = context_.factory()->Lock();
        context_.PushClip(rect);
    }
    // ID2D1RenderTarget::PopAxisAlignedClip.
    void STDMETHODCALLTYPE PopAxisAlignedClip() override {
        auto lock = context_.factory()->Lock();
        context_.PopClip();
    }
    // ID2D1RenderTarget::Clear.
    void STDMETHODCALLTYPE Clear(const D2D1_COLOR_F* colour) override {
        auto lock = context_.factory()->Lock();
        context_.Clear(colour);
    }
    // ID2D1RenderTarget::BeginDraw.
    void STDMETHODCALLTYPE BeginDraw() override {
        auto lock = context_.factory()->Lock();
        context_.BeginDraw();
    }
    // ID2D1RenderTarget::EndDraw.
    HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2) override {
        auto lock = context_.factory()->Lock();
        return context_.EndDraw(tag1, tag2);
    }
    // ID2D1RenderTarget::GetPixelFormat: the format the target was made with.
    D2D1_PIXEL_FORMAT STDMETHODCALLTYPE GetPixelFormat() const override {
        auto lock = context_.factory()->Lock();
        return context_.format();
    }
    // ID2D1RenderTarget::GetSize: the size in DIPs.
    D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override {
        auto lock = context_.factory()->Lock();
        return context_.Size();
    }
    // ID2D1RenderTarget::GetPixelSize.
    D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override {
        auto lock = context_.factory()->Lock();
        return context_.PixelSize();
    }
    // ID2D1RenderTarget::GetMaximumBitmapSize: the side a common device takes.
    UINT32 STDMETHODCALLTYPE GetMaximumBitmapSize() const override {
        return D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE;
    }

  protected:
    DrawingContext context_;
};

// An off-screen target that draws into its own bitmap (D2D1_BITMAP_OPTIONS_TARGET).
class CompatibleTarget final : public RenderTarget<ID2D1BitmapRenderTarget> {
  public:
    CompatibleTarget(DrawingContext context, ComPtr<Bitmap> bitmap)
        : RenderTarget(std::move(context)), bitmap_(std::move(bitmap)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetBitmap(ID2D1Bitmap** bitmap) override;

  private:
    const ComPtr<Bitmap> bitmap_;
};

}  // namespace platform::drawing
