// Direct2D as the module's composition uses it, checked as pixels: copies between bitmaps,
// axis-aligned clips, and the compatible target's own bitmap. On Linux this is the stand-in;
// under Wine the same cases run against Direct2D itself, which gives Windows' answers.
#include <d2d1.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/gif_builder.h"
#include "tests/support/test_window.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kSide = 8;  // the window, in pixels
constexpr uint32_t kHost = 0x808080;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Rows of 0xRRGGBB, `width` a row.
using Pixels = std::vector<uint32_t>;

D2D1_COLOR_F Colour(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
            1.0f};
}

// A 4x4 pattern whose sixteen pixels all differ.
Pixels Pattern() {
    Pixels pixels;
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) pixels.push_back(0x101010 * (4 * y + x) + 0x000008);
    }
    return pixels;
}

// The window's pixels with `picture` (`width` wide) at the top-left corner, the host colour
// around it.
Pixels OnWindow(const Pixels& picture, int width) {
    Pixels window(kSide * kSide, kHost);
    const int height = static_cast<int>(picture.size()) / width;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) window[y * kSide + x] = picture[y * width + x];
    }
    return window;
}

// The window's pixels with the rectangle [left, right) x [top, bottom) in `inside` and the
// rest in `outside`.
Pixels Rectangle(int left, int top, int right, int bottom, uint32_t inside, uint32_t outside) {
    Pixels window(kSide * kSide, outside);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) window[y * kSide + x] = inside;
    }
    return window;
}

std::string Differences(const Pixels& shown, const Pixels& expected) {
    std::ostringstream out;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (shown[i] != expected[i]) {
            out << std::hex << " (" << std::dec << i % kSide << "," << i / kSide << std::hex
                << ") 0x" << shown[i] << " not 0x" << expected[i] << ";";
        }
    }
    return out.str();
}

// One window and one window target for every case: under Wine each new target makes a
// Direct3D device, which costs seconds.
class Direct2DBehaviour : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        window_ = std::make_unique<TestWindow>(kSide, kSide);
        ComPtr<ID2D1Factory> factory;
        ASSERT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, IID_ID2D1Factory, nullptr,
                                    reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        const D2D1_RENDER_TARGET_PROPERTIES target{
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE},
            0.0f,
            0.0f,
            D2D1_RENDER_TARGET_USAGE_NONE,
            D2D1_FEATURE_LEVEL_DEFAULT};
        const D2D1_HWND_RENDER_TARGET_PROPERTIES window{
            window_->hwnd(), {kSide, kSide}, D2D1_PRESENT_OPTIONS_NONE};
        ASSERT_EQ(factory->CreateHwndRenderTarget(&target, &window, windowTarget_.GetAddressOf()),
                  S_OK);
    }
    static void TearDownTestSuite() {
        windowTarget_.Reset();
        window_.reset();
    }
    void SetUp() override { ASSERT_TRUE(windowTarget_) << "no window target to draw on"; }

    // An opaque bitmap of the window target's device, in the compatible target's format.
    ComPtr<ID2D1Bitmap> Bitmap(const Pixels& rgb, UINT32 width) {
        std::vector<uint32_t> bgra;
        for (uint32_t pixel : rgb) bgra.push_back(0xFF000000u | pixel);
        const D2D1_BITMAP_PROPERTIES properties{
            {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED}, 96.0f, 96.0f};
        ComPtr<ID2D1Bitmap> bitmap;
        EXPECT_EQ(
            windowTarget_->CreateBitmap({width, static_cast<UINT32>(rgb.size()) / width},
                                        bgra.data(), width * 4, &properties, bitmap.GetAddressOf()),
            S_OK);
        return bitmap;
    }

    // A compatible target of `side` x `side` DIPs, made as the module makes its canvas.
    ComPtr<ID2D1BitmapRenderTarget> CompatibleTarget(float side) {
        const D2D1_SIZE_F size{side, side};
        ComPtr<ID2D1BitmapRenderTarget> target;
        EXPECT_EQ(windowTarget_->CreateCompatibleRenderTarget(
                      &size, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                      target.GetAddressOf()),
                  S_OK);
        return target;
    }

    // The bitmap the compatible target draws into.
    static ComPtr<ID2D1Bitmap> BitmapOf(ID2D1BitmapRenderTarget* target) {
        ComPtr<ID2D1Bitmap> bitmap;
        EXPECT_EQ(target->GetBitmap(bitmap.GetAddressOf()), S_OK);
        return bitmap;
    }

    // Draws on the window over the host colour, then expects the window to show `expected`
    // (the frame reaches the screen some time after EndDraw) before the timeout ends.
    template <typename Draw>
    void ExpectShown(Draw draw, const Pixels& expected, const char* when = "") {
        windowTarget_->BeginDraw();
        const D2D1_COLOR_F host = Colour(kHost);
        windowTarget_->Clear(&host);
        draw(windowTarget_.Get());
        EXPECT_EQ(windowTarget_->EndDraw(), S_OK);
        auto rgb = [](std::vector<uint32_t> pixels) {
            for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
            return pixels;
        };
        const Pixels shown = rgb(window_->CaptureWhen(
            [&](const std::vector<uint32_t>& pixels) { return rgb(pixels) == expected; }, 5000));
        EXPECT_EQ(shown, expected) << when << Differences(shown, expected);
    }

    // The bitmap drawn pixel for pixel at the window's top-left corner.
    void ExpectShownBitmap(ID2D1Bitmap* bitmap, const Pixels& expected, const char* when = "") {
        ExpectShown(
            [bitmap](ID2D1RenderTarget* target) {
                const D2D1_SIZE_U size = bitmap->GetPixelSize();
                const D2D1_RECT_F at{0.0f, 0.0f, static_cast<float>(size.width),
                                     static_cast<float>(size.height)};
                target->DrawBitmap(bitmap, &at, 1.0f,
                                   D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr);
            },
            expected, when);
    }

    // Released in this order when the suite ends.
    static inline ComPtr<ID2D1HwndRenderTarget> windowTarget_;
    static inline std::unique_ptr<TestWindow> window_;
};

// CopyFromBitmap's rectangle names the source by its edges (left, top, right, bottom, the
// right and bottom ones outside it), and the point is where its top-left pixel lands; the
// rest of the destination keeps its pixels.
TEST_F(Direct2DBehaviour, CopyFromBitmapTakesTheRectangleByItsEdgesToThePoint) {
    const Pixels pattern = Pattern();
    ComPtr<ID2D1Bitmap> source = Bitmap(pattern, 4);
    ComPtr<ID2D1Bitmap> destination = Bitmap(Pixels(16, kYellow), 4);
    ASSERT_TRUE(source && destination);
    const D2D1_POINT_2U point{2, 1};
    const D2D1_RECT_U rect{1, 2, 3, 4};
    ASSERT_EQ(destination->CopyFromBitmap(&point, source.Get(), &rect), S_OK);

    Pixels expected(16, kYellow);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) expected[(1 + y) * 4 + 2 + x] = pattern[(2 + y) * 4 + 1 + x];
    }
    const Pixels want = OnWindow(expected, 4);
    ExpectShownBitmap(destination.Get(), want);
}

// Without a point or a rectangle the whole source lands at the origin: how the module saves
// its canvas and brings it back for a restore-to-previous frame.
TEST_F(Direct2DBehaviour, CopyFromBitmapWithoutPointOrRectangleCopiesTheWholeBitmap) {
    const Pixels pattern = Pattern();
    ComPtr<ID2D1Bitmap> source = Bitmap(pattern, 4);
    ComPtr<ID2D1Bitmap> destination = Bitmap(Pixels(16, kYellow), 4);
    ASSERT_TRUE(source && destination);
    ASSERT_EQ(destination->CopyFromBitmap(nullptr, source.Get(), nullptr), S_OK);

    const Pixels want = OnWindow(pattern, 4);
    ExpectShownBitmap(destination.Get(), want);
}

// A rectangle that reaches past the source, or a copy that would reach past the destination,
// copies nothing at all, not the part that fits.
TEST_F(Direct2DBehaviour, CopyFromBitmapThatDoesNotFitCopiesNothing) {
    ComPtr<ID2D1Bitmap> source = Bitmap(Pattern(), 4);
    ComPtr<ID2D1Bitmap> destination = Bitmap(Pixels(16, kYellow), 4);
    ASSERT_TRUE(source && destination);
    const D2D1_RECT_U pastSource{2, 2, 5, 4};
    destination->CopyFromBitmap(nullptr, source.Get(), &pastSource);
    const D2D1_POINT_2U nearEdge{3, 0};
    const D2D1_RECT_U twoWide{0, 0, 2, 2};
    destination->CopyFromBitmap(&nearEdge, source.Get(), &twoWide);

    const Pixels want = OnWindow(Pixels(16, kYellow), 4);
    ExpectShownBitmap(destination.Get(), want);
}

// An axis-aligned clip limits Clear (which otherwise ignores the transform) to the pixels
// whose centres it covers: the clip's rectangle goes through the transform, and a clip
// pushed inside another is cut to it. Popped, the clip limits nothing.
TEST_F(Direct2DBehaviour, AxisAlignedClipLimitsClearToThePixelsItCovers) {
    const D2D1_COLOR_F red = Colour(kRed);
    const D2D1_MATRIX_3X2_F identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    struct Case {
        const char* what;
        D2D1_MATRIX_3X2_F transform;
        std::vector<D2D1_RECT_F> clips;
        Pixels expected;
    };
    const Case cases[] = {
        {"whole pixels", identity, {{2, 1, 5, 3}}, Rectangle(2, 1, 5, 3, kRed, kHost)},
        {"fractional edges, aliased",
         identity,
         {{1.4f, 0.6f, 3.4f, 2.4f}},
         Rectangle(1, 1, 3, 2, kRed, kHost)},
        {"moved by the transform",
         {1.0f, 0.0f, 0.0f, 1.0f, 3.0f, 2.0f},
         {{0, 0, 2, 2}},
         Rectangle(3, 2, 5, 4, kRed, kHost)},
        {"within the clip below",
         identity,
         {{0, 0, 6, 6}, {4, 4, 8, 8}},
         Rectangle(4, 4, 6, 6, kRed, kHost)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectShown(
            [&](ID2D1RenderTarget* target) {
                target->SetTransform(&c.transform);
                for (const D2D1_RECT_F& clip : c.clips) {
                    target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_ALIASED);
                }
                target->Clear(&red);
                for (size_t i = 0; i < c.clips.size(); ++i) target->PopAxisAlignedClip();
                target->SetTransform(&identity);
            },
            c.expected);
    }

    // The module's own case: whole-pixel edges under per-primitive antialiasing, then popped.
    const D2D1_COLOR_F blue = Colour(kBlue);
    const Pixels expected = Rectangle(1, 2, 4, 7, kRed, kBlue);
    ExpectShown(
        [&](ID2D1RenderTarget* target) {
            target->Clear(&blue);
            const D2D1_RECT_F frame{1, 2, 4, 7};
            target->PushAxisAlignedClip(&frame, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
            target->Clear(&red);
            target->PopAxisAlignedClip();
        },
        expected);
}

// A new compatible target is transparent black, so a canvas shown before anything was drawn
// on it shows what lies beneath.
TEST_F(Direct2DBehaviour, NewCompatibleTargetIsTransparent) {
    ComPtr<ID2D1BitmapRenderTarget> canvas = CompatibleTarget(4.0f);
    ASSERT_TRUE(canvas);
    ComPtr<ID2D1Bitmap> bitmap = BitmapOf(canvas.Get());
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->GetPixelSize().width, 4u);
    EXPECT_EQ(bitmap->GetPixelSize().height, 4u);

    const Pixels want(kSide * kSide, kHost);
    ExpectShownBitmap(bitmap.Get(), want);
}

// The compatible target's bitmap is the target's own pixels, not a copy: it shows what is
// drawn after it was fetched, and what is copied into it is what the target then holds and
// draws over.
TEST_F(Direct2DBehaviour, CompatibleTargetBitmapIsTheTargetsOwnPixels) {
    ComPtr<ID2D1BitmapRenderTarget> canvas = CompatibleTarget(4.0f);
    ASSERT_TRUE(canvas);
    ComPtr<ID2D1Bitmap> early = BitmapOf(canvas.Get());
    ASSERT_TRUE(early);
    canvas->BeginDraw();
    const D2D1_COLOR_F red = Colour(kRed);
    canvas->Clear(&red);
    ASSERT_EQ(canvas->EndDraw(), S_OK);
    const Pixels allRed = OnWindow(Pixels(16, kRed), 4);
    ExpectShownBitmap(early.Get(), allRed, "drawn after GetBitmap:");

    ComPtr<ID2D1Bitmap> blue = Bitmap(Pixels(16, kBlue), 4);
    ASSERT_TRUE(blue);
    ASSERT_EQ(early->CopyFromBitmap(nullptr, blue.Get(), nullptr), S_OK);
    canvas->BeginDraw();
    const D2D1_RECT_F left{0, 0, 2, 4};
    canvas->PushAxisAlignedClip(&left, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const D2D1_COLOR_F green = Colour(kGreen);
    canvas->Clear(&green);
    canvas->PopAxisAlignedClip();
    ASSERT_EQ(canvas->EndDraw(), S_OK);
    ComPtr<ID2D1Bitmap> late = BitmapOf(canvas.Get());
    ASSERT_TRUE(late);
    Pixels halves = Pixels(16, kBlue);
    for (int y = 0; y < 4; ++y) halves[y * 4] = halves[y * 4 + 1] = kGreen;
    const Pixels want = OnWindow(halves, 4);
    ExpectShownBitmap(late.Get(), want, "copied into, then drawn over:");
}

// A bitmap made from an opaque frame shows the frame, and once a transparent bitmap is copied
// into part of it, that part blends over what is below.
TEST_F(Direct2DBehaviour, OpaqueFrameBitmapBlendsWhatIsCopiedIntoIt) {
    GifImage image;
    image.width = image.height = 4;
    image.globalTable = {{0xFF, 0x00, 0x00}};
    image.frames = {SolidFrame(0, 0, 4, 4, 0, 10, 1)};
    const std::vector<uint8_t> bytes = BuildGif(image);
    ComPtr<IWICImagingFactory> wic;
    ASSERT_EQ(
        CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IWICImagingFactory, reinterpret_cast<void**>(wic.GetAddressOf())),
        S_OK);
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    ASSERT_EQ(wic->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                           decoder.GetAddressOf()),
              S_OK);
    ASSERT_EQ(decoder->GetFrame(0, frame.GetAddressOf()), S_OK);
    ASSERT_EQ(wic->CreateFormatConverter(converter.GetAddressOf()), S_OK);
    ASSERT_EQ(
        converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom),
        S_OK);
    ComPtr<ID2D1Bitmap> bitmap;
    ASSERT_EQ(
        windowTarget_->CreateBitmapFromWicBitmap(converter.Get(), nullptr, bitmap.GetAddressOf()),
        S_OK);
    ExpectShownBitmap(bitmap.Get(), OnWindow(Pixels(16, kRed), 4), "the frame:");

    ComPtr<ID2D1BitmapRenderTarget> canvas = CompatibleTarget(4.0f);
    ASSERT_TRUE(canvas);
    ComPtr<ID2D1Bitmap> transparent = BitmapOf(canvas.Get());
    ASSERT_TRUE(transparent);
    const D2D1_RECT_U left{0, 0, 2, 4};
    ASSERT_EQ(bitmap->CopyFromBitmap(nullptr, transparent.Get(), &left), S_OK);
    Pixels halves = Pixels(16, kRed);
    for (int y = 0; y < 4; ++y) halves[y * 4] = halves[y * 4 + 1] = kHost;
    ExpectShownBitmap(bitmap.Get(), OnWindow(halves, 4), "half copied from a transparent one:");
}

}  // namespace
