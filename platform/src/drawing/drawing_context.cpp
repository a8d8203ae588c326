// What a target draws, on pixman: clears, clips and bitmaps under the world transform, in
// premultiplied BGRA.
#include <pixman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "drawing/render_target.h"

namespace platform::drawing {
namespace {

// x' = a x + c y + e, y' = b x + d y + f: Direct2D's 3x2 row-vector layout, in double.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    static Affine From(const D2D1_MATRIX_3X2_F& m) {
        return {m._11, m._12, m._21, m._22, m._31, m._32};
    }
    static Affine Scale(double x, double y) { return {x, 0, 0, y, 0, 0}; }
    static Affine Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }

    // This, then `next`.
    Affine Then(const Affine& n) const {
        return {a * n.a + b * n.c, a * n.b + b * n.d,       c * n.a + d * n.c,
                c * n.b + d * n.d, e * n.a + f * n.c + n.e, e * n.b + f * n.d + n.f};
    }
    void Apply(double x, double y, double* ox, double* oy) const {
        *ox = a * x + c * y + e;
        *oy = b * x + d * y + f;
    }
    bool Invert(Affine* out) const {
        const double det = a * d - b * c;
        if (det == 0 || !std::isfinite(det)) return false;
        *out = {d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
        return true;
    }
};

struct Point {
    double x, y;
};

struct Image {
    pixman_image_t* image;
    explicit Image(pixman_image_t* i) : image(i) {}
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (image) pixman_image_unref(image);
    }
};

pixman_image_t* SurfaceImage(const Surface& surface, pixman_format_code_t format) {
    return pixman_image_create_bits(format, static_cast<int>(surface.width()),
                                    static_cast<int>(surface.height()), surface.pixels(),
                                    static_cast<int>(surface.stride()));
}

// An 8-bit channel as Direct2D's float-to-unorm conversion rounds it.
int Unorm8(float v) {
    if (!(v > 0.0f)) return 0;
    return v >= 1.0f ? 255 : static_cast<int>(std::lround(v * 255.0f));
}

pixman_color_t Colour16(int r, int g, int b, int a) {
    auto wide = [](int v) { return static_cast<uint16_t>(v * 257); };
    return {wide(r), wide(g), wide(b), wide(a)};
}

// The pixels whose centres lie within [x0, x1) x [y0, y1): an aliased axis-aligned edge.
PixelRect Snap(double x0, double y0, double x1, double y1) {
    auto edge = [](double v) {
        return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e9, 1e9));
    };
    return {edge(x0), edge(y0), edge(x1), edge(y1)};
}

bool NearInteger(double v) {
    return std::fabs(v - std::round(v)) < 1e-3;
}

// The convex polygon `in` cut to the half-plane where sign * (coordinate - limit) <= 0.
std::vector<Point> Cut(const std::vector<Point>& in, bool onX, double limit, double sign) {
    std::vector<Point> out;
    auto inside = [&](const Point& p) { return sign * ((onX ? p.x : p.y) - limit) <= 0; };
    for (size_t i = 0; i < in.size(); ++i) {
        const Point& p = in[i];
        const Point& q = in[(i + 1) % in.size()];
        if (inside(p)) out.push_back(p);
        if (inside(p) != inside(q)) {
            const double t = ((onX ? p.x : p.y) - limit) / ((onX ? p.x - q.x : p.y - q.y));
            out.push_back({p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t});
        }
    }
    return out;
}

}  // namespace

// ID2D1RenderTarget::CreateCompatibleRenderTarget: a desired size in DIPs becomes whole
// pixels rounded up at this target's DPI, and the new target's DPI is raised so that the
// desired size still maps to its bottom-right corner; no size at all is this target's size.
// The format defaults to this target's, the alpha mode to premultiplied.
HRESULT DrawingContext::CreateCompatibleTarget(const D2D1_SIZE_F* desiredSize,
                                               const D2D1_SIZE_U* desiredPixelSize,
                                               const D2D1_PIXEL_FORMAT* desiredFormat,
                                               ID2D1BitmapRenderTarget** target) {
    if (!target) return E_POINTER;
    *target = nullptr;
    D2D1_PIXEL_FORMAT format{format_.format, D2D1_ALPHA_MODE_PREMULTIPLIED};
    if (desiredFormat && desiredFormat->format != DXGI_FORMAT_UNKNOWN) {
        format.format = desiredFormat->format;
    }
    if (desiredFormat && desiredFormat->alphaMode != D2D1_ALPHA_MODE_UNKNOWN) {
        format.alphaMode = desiredFormat->alphaMode;
    }
    if (!SupportedFormat(format)) return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
    if (desiredSize && !(desiredSize->width >= 0.0f && desiredSize->height >= 0.0f)) {
        return E_INVALIDARG;
    }
    double width = surface_->width(), height = surface_->height();
    if (desiredPixelSize) {
        width = desiredPixelSize->width;
        height = desiredPixelSize->height;
    } else if (desiredSize) {
        width = std::ceil(double{desiredSize->width} * dpiX_ / 96.0);
        height = std::ceil(double{desiredSize->height} * dpiY_ / 96.0);
    }
    if (width > D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE || height > D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE) {
        return D2DERR_MAX_TEXTURE_SIZE_EXCEEDED;
    }
    const auto pixelsWide = static_cast<UINT32>(width), pixelsHigh = static_cast<UINT32>(height);
    FLOAT dpiX = dpiX_, dpiY = dpiY_;
    if (desiredSize && desiredSize->width != 0.0f && desiredSize->height != 0.0f) {
        dpiX = static_cast<FLOAT>(pixelsWide * 96.0 / desiredSize->width);
        dpiY = static_cast<FLOAT>(pixelsHigh * 96.0 / desiredSize->height);
    }
    // A new target starts transparent black, as Direct2D's does (Windows hands out new
    // textures cleared). An ignored alpha reads as opaque: such a surface starts opaque black,
    // and keeps its alpha at one, so that what it hands on is honest premultiplied BGRA.
    const std::uint32_t fill = format.alphaMode == D2D1_ALPHA_MODE_IGNORE ? 0xFF000000u : 0;
    std::unique_ptr<Surface> surface;
    if (HRESULT hr = Surface::Create(pixelsWide, pixelsHigh, fill, &surface); FAILED(hr)) return hr;
    Surface* pixels = surface.get();
    ComPtr<Bitmap> bitmap;
    bitmap.Attach(new (std::nothrow)
                      Bitmap(factory_.Get(), domain_, std::move(surface), format, dpiX, dpiY));
    if (!bitmap) return E_OUTOFMEMORY;
    auto* made = new (std::nothrow) CompatibleTarget(
        DrawingContext(factory_.Get(), domain_, format, dpiX, dpiY, pixels), std::move(bitmap));
    if (!made) return E_OUTOFMEMORY;
    *target = made;
    return S_OK;
}

// ID2D1RenderTarget::DrawBitmap. As Direct2D: a null destination is the source's size at the
// origin; a destination with reversed edges is drawn in order, not mirrored; a source
// rectangle is cut to the bitmap, and one with reversed edges means the whole bitmap; an
// empty area draws nothing and is no error; an interpolation mode other than nearest or
// linear is E_INVALIDARG at EndDraw; a bitmap of another factory or another target's device
// is refused. The edges of the drawn area are antialiased, as per-primitive antialiasing
// draws them.
void DrawingContext::DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* destination, FLOAT opacity,
                                D2D1_BITMAP_INTERPOLATION_MODE interpolation,
                                const D2D1_RECT_F* source) {
    if (!MayDraw()) return;
    if (interpolation != D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR &&
        interpolation != D2D1_BITMAP_INTERPOLATION_MODE_LINEAR) {
        return Fail(E_INVALIDARG);
    }
    Bitmap* from = AsBitmap(bitmap);
    if (!from) return Fail(E_INVALIDARG);
    if (from->factory() != factory_.Get()) return Fail(D2DERR_WRONG_FACTORY);
    if (from->domain() != domain_) return Fail(D2DERR_WRONG_RESOURCE_DOMAIN);

    // The source in the bitmap's DIPs.
    const Surface& bits = from->surface();
    const double toDipX = 96.0 / from->dpiX(), toDipY = 96.0 / from->dpiY();
    double sl = 0, st = 0, sr = bits.width() * toDipX, sb = bits.height() * toDipY;
    if (source && source->left <= source->right && source->top <= source->bottom) {
        sl = std::max<double>(sl, source->left);
        st = std::max<double>(st, source->top);
        sr = std::min<double>(sr, source->right);
        sb = std::min<double>(sb, source->bottom);
    }
    if (!(sr > sl && sb > st)) return;
    double dl = 0, dt = 0, dr = sr - sl, db = sb - st;
    if (destination) {
        dl = std::min(destination->left, destination->right);
        dr = std::max(destination->left, destination->right);
        dt = std::min(destination->top, destination->bottom);
        db = std::max(destination->top, destination->bottom);
    }
    if (!(dr > dl && db > dt)) return;
    const int alpha = Unorm8(std::min(opacity, 1.0f));
    if (!alpha) return;

    // Bitmap pixels -> bitmap DIPs -> destination DIPs -> world -> target pixels.
    const Affine toDevice =
        Affine::From(transform_).Then(Affine::Scale(dpiX_ / 96.0, dpiY_ / 96.0));
    const Affine bitmapToDevice =
        Affine::Scale(toDipX, toDipY)
            .Then(Affine::Translate(-sl, -st))
            .Then(Affine::Scale((dr - dl) / (sr - sl), (db - dt) / (sb - st)))
            .Then(Affine::Translate(dl, dt))
            .Then(toDevice);
    std::array<Point, 4> corners;
    const double cx[] = {dl, dr, dr, dl}, cy[] = {dt, dt, db, db};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        toDevice.Apply(cx[i], cy[i], &corners[i].x, &corners[i].y);
        minX = std::min(minX, corners[i].x);
        maxX = std::max(maxX, corners[i].x);
        minY = std::min(minY, corners[i].y);
        maxY = std::max(maxY, corners[i].y);
    }
    if (!std::isfinite(minX + maxX + minY + maxY)) return;
    const PixelRect area =
        Intersect(ClipRect(), {static_cast<int>(std::clamp(std::floor(minX), -1e9, 1e9)),
                               static_cast<int>(std::clamp(std::floor(minY), -1e9, 1e9)),
                               static_cast<int>(std::clamp(std::ceil(maxX), -1e9, 1e9)),
                               static_cast<int>(std::clamp(std::ceil(maxY), -1e9, 1e9))});
    if (area.Empty()) return;

    // The source image is the part of the bitmap the source rectangle covers, so that pixman
    // clamps at its edges as Direct2D clamps a drawn bitmap.
    const int px0 = static_cast<int>(std::floor(sl / toDipX + 1e-6));
    const int py0 = static_cast<int>(std::floor(st / toDipY + 1e-6));
    const int px1 = std::min<int>(bits.width(), static_cast<int>(std::ceil(sr / toDipX - 1e-6)));
    const int py1 = std::min<int>(bits.height(), static_cast<int>(std::ceil(sb / toDipY - 1e-6)));
    if (px1 <= px0 || py1 <= py0) return;
    // A source without alpha, or known to be opaque, is copied where drawn whole: pixman
    // blends only a source that may not be opaque.
    const pixman_format_code_t sourceFormat =
        from->format().alphaMode == D2D1_ALPHA_MODE_IGNORE || from->opaque() ? PIXMAN_x8r8g8b8
                                                                             : PIXMAN_a8r8g8b8;
    Image src(pixman_image_create_bits(sourceFormat, px1 - px0, py1 - py0,
                                       bits.pixels() + size_t(py0) * bits.width() + px0,
                                       static_cast<int>(bits.stride())));
    // pixman maps each pixel of the drawn area, relative to its corner, back into the source.
    Affine back;
    if (!Affine::Translate(px0, py0)
             .Then(bitmapToDevice)
             .Then(Affine::Translate(-area.left, -area.top))
             .Invert(&back)) {
        return;
    }
    pixman_f_transform inverse{};
    inverse.m[0][0] = back.a, inverse.m[0][1] = back.c, inverse.m[0][2] = back.e;
    inverse.m[1][0] = back.b, inverse.m[1][1] = back.d, inverse.m[1][2] = back.f;
    inverse.m[2][2] = 1;
    pixman_transform fixed;
    if (!src.image || !pixman_transform_from_pixman_f_transform(&fixed, &inverse)) return;
    pixman_image_set_transform(src.image, &fixed);
    pixman_image_set_filter(src.image,
                            interpolation == D2D1_BITMAP_INTERPOLATION_MODE_LINEAR
                                ? PIXMAN_FILTER_BILINEAR
                                : PIXMAN_FILTER_NEAREST,
                            nullptr, 0);
    pixman_image_set_repeat(src.image, PIXMAN_REPEAT_PAD);

    Image dst(SurfaceImage(*surface_, PIXMAN_a8r8g8b8));
    const pixman_color_t fade = Colour16(alpha, alpha, alpha, alpha);
    const int w = area.right - area.left, h = area.bottom - area.top;

    // An axis-aligned area on whole pixels (any quarter turn, any scale) needs no coverage
    // mask: every pixel of it is wholly inside.
    bool whole = NearInteger(minX) && NearInteger(minY) && NearInteger(maxX) && NearInteger(maxY);
    for (const Point& p : corners) {
        whole = whole && (std::fabs(p.x - minX) < 1e-3 || std::fabs(p.x - maxX) < 1e-3) &&
                (std::fabs(p.y - minY) < 1e-3 || std::fabs(p.y - maxY) < 1e-3);
    }
    if (whole) {
        const PixelRect inside = Intersect(
            area, {static_cast<int>(std::lround(minX)), static_cast<int>(std::lround(minY)),
                   static_cast<int>(std::lround(maxX)), static_cast<int>(std::lround(maxY))});
        if (inside.Empty() || !dst.image) return;
        Image mask(alpha < 255 ? pixman_image_create_solid_fill(&fade) : nullptr);
        pixman_image_composite32(PIXMAN_OP_OVER, src.image, mask.image, dst.image,
                                 inside.left - area.left, inside.top - area.top, 0, 0, inside.left,
                                 inside.top, inside.right - inside.left,
                                 inside.bottom - inside.top);
        return;
    }

    // Otherwise the coverage of the turned or fractional area, rasterised by pixman into an
    // 8-bit mask over the drawn pixels, then faded by the opacity.
    Image mask(pixman_image_create_bits(PIXMAN_a8, w, h, nullptr, 0));
    if (!mask.image || !dst.image) return Fail(E_OUTOFMEMORY);
    // Cut to the drawn pixels first, so that pixman's 16.16 coordinates never overflow.
    std::vector<Point> polygon(corners.begin(), corners.end());
    polygon = Cut(polygon, true, area.left - 1.0, -1);
    polygon = Cut(polygon, true, area.right + 1.0, 1);
    polygon = Cut(polygon, false, area.top - 1.0, -1);
    polygon = Cut(polygon, false, area.bottom + 1.0, 1);
    if (polygon.size() < 3) return;
    std::vector<pixman_triangle_t> fan;
    auto fixedPoint = [&](const Point& p) {
        return pixman_point_fixed_t{pixman_double_to_fixed(p.x - area.left),
                                    pixman_double_to_fixed(p.y - area.top)};
    };
    for (size_t i = 1; i + 1 < polygon.size(); ++i) {
        fan.push_back({fixedPoint(polygon[0]), fixedPoint(polygon[i]), fixedPoint(polygon[i + 1])});
    }
    pixman_add_triangles(mask.image, 0, 0, static_cast<int>(fan.size()), fan.data());
    if (alpha < 255) {
        Image solid(pixman_image_create_solid_fill(&fade));
        pixman_image_composite32(PIXMAN_OP_IN, solid.image, nullptr, mask.image, 0, 0, 0, 0, 0, 0,
                                 w, h);
    }
    pixman_image_composite32(PIXMAN_OP_OVER, src.image, mask.image, dst.image, 0, 0, 0, 0,
                             area.left, area.top, w, h);
}

// ID2D1RenderTarget::PushAxisAlignedClip: the rectangle goes through the current transform
// and its axis-aligned bounding box is the clip, within the clip below it. Edges are taken
// to whole pixels (those whose centres are inside) in either antialias mode, as the aliased
// mode takes them.
void DrawingContext::PushClip(const D2D1_RECT_F* rect) {
    if (!drawing_) return Fail(D2DERR_WRONG_STATE);
    PixelRect clip;
    if (!rect) {
        Fail(E_INVALIDARG);
    } else {
        const Affine toDevice =
            Affine::From(transform_).Then(Affine::Scale(dpiX_ / 96.0, dpiY_ / 96.0));
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (const auto& [x, y] : {std::pair{rect->left, rect->top},
                                   {rect->right, rect->top},
                                   {rect->right, rect->bottom},
                                   {rect->left, rect->bottom}}) {
            double dx, dy;
            toDevice.Apply(x, y, &dx, &dy);
            minX = std::min(minX, dx);
            maxX = std::max(maxX, dx);
            minY = std::min(minY, dy);
            maxY = std::max(maxY, dy);
        }
        if (std::isfinite(minX + maxX + minY + maxY)) clip = Snap(minX, minY, maxX, maxY);
    }
    // Pushed even in an error state, so that the pops still pair.
    clips_.push_back(clips_.empty() ? clip : Intersect(clips_.back(), clip));
}

// ID2D1RenderTarget::PopAxisAlignedClip: a pop with nothing pushed is
// D2DERR_PUSH_POP_UNBALANCED.
void DrawingContext::PopClip() {
    if (!drawing_) return Fail(D2DERR_WRONG_STATE);
    if (clips_.empty()) return Fail(D2DERR_PUSH_POP_UNBALANCED);
    clips_.pop_back();
}

// ID2D1RenderTarget::Clear: the straight colour premultiplied replaces the pixels of the
// clip, or of the whole target; the transform plays no part but through the clip. A null
// colour is transparent black; a target that ignores alpha clears opaque.
void DrawingContext::Clear(const D2D1_COLOR_F* colour) {
    if (!MayDraw()) return;
    const PixelRect area = ClipRect();
    if (area.Empty()) return;
    const D2D1_COLOR_F c = colour ? *colour : D2D1_COLOR_F{0, 0, 0, 0};
    const float a =
        format_.alphaMode == D2D1_ALPHA_MODE_IGNORE ? 1.0f : std::clamp(c.a, 0.0f, 1.0f);
    auto channel = [a](float v) { return Unorm8(std::clamp(v, 0.0f, 1.0f) * a); };
    const pixman_color_t fill = Colour16(channel(c.r), channel(c.g), channel(c.b), Unorm8(a));
    Image dst(SurfaceImage(*surface_, PIXMAN_a8r8g8b8));
    if (!dst.image) return Fail(E_OUTOFMEMORY);
    const pixman_rectangle16_t rect{static_cast<int16_t>(area.left), static_cast<int16_t>(area.top),
                                    static_cast<uint16_t>(area.right - area.left),
                                    static_cast<uint16_t>(area.bottom - area.top)};
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dst.image, &fill, 1, &rect);
}

// ID2D1RenderTarget::BeginDraw: a second BeginDraw before EndDraw is D2DERR_WRONG_STATE, and
// nothing more is drawn until EndDraw.
void DrawingContext::BeginDraw() {
    if (drawing_) return Fail(D2DERR_WRONG_STATE);
    drawing_ = true;
}

// ID2D1RenderTarget::EndDraw: the first error since the last EndDraw (a clip left pushed is
// D2DERR_PUSH_POP_UNBALANCED); without a BeginDraw, D2DERR_WRONG_STATE. No tags are set.
HRESULT DrawingContext::EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2) {
    if (tag1) *tag1 = 0;
    if (tag2) *tag2 = 0;
    if (!drawing_) {
        error_ = S_OK;
        return D2DERR_WRONG_STATE;
    }
    if (!clips_.empty()) Fail(D2DERR_PUSH_POP_UNBALANCED);
    clips_.clear();
    drawing_ = false;
    DropSpareSurface();
    const HRESULT hr = error_;
    error_ = S_OK;
    return hr;
}

// IUnknown::QueryInterface: a compatible target is an ID2D1BitmapRenderTarget, not a window's.
HRESULT STDMETHODCALLTYPE CompatibleTarget::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object,
                  {{&IID_ID2D1Resource, static_cast<ID2D1Resource*>(this)},
                   {&IID_ID2D1RenderTarget, static_cast<ID2D1RenderTarget*>(this)},
                   {&IID_ID2D1BitmapRenderTarget, static_cast<ID2D1BitmapRenderTarget*>(this)}});
}

// ID2D1BitmapRenderTarget::GetBitmap: the target's own surface, shared, not a copy, as
// Direct2D's: what is drawn later shows in it, and what is copied into it the target holds.
HRESULT STDMETHODCALLTYPE CompatibleTarget::GetBitmap(ID2D1Bitmap** bitmap) {
    auto lock = context_.factory()->Lock();
    if (!bitmap) return E_POINTER;
    *bitmap = ComPtr<Bitmap>(bitmap_).Detach();
    return S_OK;
}

}  // namespace platform::drawing
