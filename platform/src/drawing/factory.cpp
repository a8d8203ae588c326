// The factory and the window target: a target that draws into its own pixels and presents
// them to the host's window at EndDraw.
#include <windows.h>

#include <new>

#include "user/window.h"
#include "drawing/render_target.h"

namespace platform::drawing {
namespace {

class WindowTarget final : public RenderTarget<ID2D1HwndRenderTarget> {
  public:
    WindowTarget(DrawingContext context, std::unique_ptr<Surface> surface, HWND window)
        : RenderTarget(std::move(context)), surface_(std::move(surface)), window_(window) {}

    // IUnknown::QueryInterface: an ID2D1HwndRenderTarget and what it derives from.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object,
                      {{&IID_ID2D1Resource, static_cast<ID2D1Resource*>(this)},
                       {&IID_ID2D1RenderTarget, static_cast<ID2D1RenderTarget*>(this)},
                       {&IID_ID2D1HwndRenderTarget, static_cast<ID2D1HwndRenderTarget*>(this)}});
    }

    // ID2D1RenderTarget::EndDraw on a window target: the frame is presented whatever the
    // drawing's result, and a window that is gone is no error, as a failed present is none.
    HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2) override {
        auto lock = context_.factory()->Lock();
        const bool presenting = context_.drawing();
        const HRESULT hr = context_.EndDraw(tag1, tag2);
        if (presenting) {
            PresentToWindow(window_, reinterpret_cast<const BYTE*>(surface_->pixels()),
                            static_cast<int>(surface_->width()),
                            static_cast<int>(surface_->height()),
                            static_cast<int>(surface_->stride()));
        }
        return hr;
    }

    // ID2D1HwndRenderTarget::CheckWindowState: occluded while nothing of the window shows.
    D2D1_WINDOW_STATE STDMETHODCALLTYPE CheckWindowState() override {
        auto lock = context_.factory()->Lock();
        return WindowOccluded(window_) ? D2D1_WINDOW_STATE_OCCLUDED : D2D1_WINDOW_STATE_NONE;
    }

    // ID2D1HwndRenderTarget::Resize: new pixels of the new size; on failure the old stay.
    HRESULT STDMETHODCALLTYPE Resize(const D2D1_SIZE_U* pixelSize) override {
        auto lock = context_.factory()->Lock();
        if (!pixelSize) return E_INVALIDARG;
        std::unique_ptr<Surface> resized;
        HRESULT hr =
            Surface::Create(pixelSize->width, pixelSize->height, Fill(context_.format()), &resized);
        if (FAILED(hr)) return hr;
        surface_ = std::move(resized);
        context_.SetSurface(surface_.get());
        return S_OK;
    }

    // An ignored alpha reads as opaque: the pixels start opaque black and keep alpha at one,
    // so that the window gets honest premultiplied BGRA.
    static std::uint32_t Fill(const D2D1_PIXEL_FORMAT& format) {
        return format.alphaMode == D2D1_ALPHA_MODE_IGNORE ? 0xFF000000u : 0;
    }

  private:
    std::unique_ptr<Surface> surface_;
    const HWND window_;
};

}  // namespace

// IUnknown::QueryInterface: ID2D1Factory and its lock, ID2D1Multithread; later factory
// versions are not made.
HRESULT STDMETHODCALLTYPE Factory::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object,
                  {{&IID_ID2D1Factory, static_cast<ID2D1Factory*>(this)},
                   {&IID_ID2D1Multithread, static_cast<ID2D1Multithread*>(this)}});
}

// ID2D1Factory::CreateHwndRenderTarget: a window IsWindow rejects is
// HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE); an unknown format is 32-bit BGRA with
// alpha ignored; DPI 0, 0 is the desktop's 96; a size of 0 x 0 is a target of no pixels.
HRESULT STDMETHODCALLTYPE Factory::CreateHwndRenderTarget(
    const D2D1_RENDER_TARGET_PROPERTIES* renderTargetProperties,
    const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndRenderTargetProperties,
    ID2D1HwndRenderTarget** hwndRenderTarget) {
    auto lock = Lock();
    if (!hwndRenderTarget) return E_POINTER;
    *hwndRenderTarget = nullptr;
    if (!renderTargetProperties || !hwndRenderTargetProperties) return E_INVALIDARG;
    if (!IsWindow(hwndRenderTargetProperties->hwnd)) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    }
    D2D1_PIXEL_FORMAT format = renderTargetProperties->pixelFormat;
    if (format.format == DXGI_FORMAT_UNKNOWN) format.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    if (format.alphaMode == D2D1_ALPHA_MODE_UNKNOWN) format.alphaMode = D2D1_ALPHA_MODE_IGNORE;
    if (!SupportedFormat(format)) return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    FLOAT dpiX = renderTargetProperties->dpiX, dpiY = renderTargetProperties->dpiY;
    if (dpiX == 0.0f && dpiY == 0.0f) {
        dpiX = dpiY = 96.0f;
    } else if (!(dpiX > 0.0f && dpiY > 0.0f)) {
        return E_INVALIDARG;
    }
    const D2D1_SIZE_U size = hwndRenderTargetProperties->pixelSize;
    std::unique_ptr<Surface> surface;
    HRESULT hr = Surface::Create(size.width, size.height, WindowTarget::Fill(format), &surface);
    if (FAILED(hr)) return hr;
    Surface* pixels = surface.get();
    auto* target = new (std::nothrow)
        WindowTarget(DrawingContext(this, NewDomain(), format, dpiX, dpiY, pixels),
                     std::move(surface), hwndRenderTargetProperties->hwnd);
    if (!target) return E_OUTOFMEMORY;
    *hwndRenderTarget = target;
    return S_OK;
}

}  // namespace platform::drawing

// D2D1CreateFactory: single- or multi-threaded, any other type is E_INVALIDARG; only
// ID2D1Factory is answered, later factory versions are E_NOINTERFACE.
extern "C" HRESULT WINAPI D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, REFIID riid,
                                            const D2D1_FACTORY_OPTIONS* /*pFactoryOptions*/,
                                            void** ppIFactory) {
    if (!ppIFactory) return E_POINTER;
    *ppIFactory = nullptr;
    if (factoryType != D2D1_FACTORY_TYPE_SINGLE_THREADED &&
        factoryType != D2D1_FACTORY_TYPE_MULTI_THREADED) {
        return E_INVALIDARG;
    }
    platform::drawing::ComPtr<platform::drawing::Factory> factory;
    factory.Attach(new (std::nothrow)
                       platform::drawing::Factory(factoryType == D2D1_FACTORY_TYPE_MULTI_THREADED));
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppIFactory);
}
