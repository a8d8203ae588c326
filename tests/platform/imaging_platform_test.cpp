// The imaging behaviour the scan depends on, pinned on every target: under Wine these run
// against Windows' own imaging component, natively against the stand-in.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>

#include "tests/support/gif_builder.h"
#include "tests/support/platform_info.h"

#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

namespace {

using Microsoft::WRL::ComPtr;

class ImagingPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(factory_.GetAddressOf())),
                  S_OK);
    }

    HRESULT Open(const std::vector<uint8_t>& bytes, ComPtr<IWICBitmapDecoder>* decoder) {
        ComPtr<IStream> stream;
        stream.Attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
        if (!stream) return E_FAIL;
        return factory_->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder->GetAddressOf());
    }

    static VARTYPE TypeOf(IWICMetadataQueryReader* reader, LPCWSTR path, HRESULT* result) {
        PROPVARIANT value;
        PropVariantInit(&value);
        *result = reader->GetMetadataByName(path, &value);
        VARTYPE type = value.vt;
        PropVariantClear(&value);
        return type;
    }

    ComPtr<IWICImagingFactory> factory_;
};

GifImage TwoFrames() {
    GifImage image;
    image.width = 6;
    image.height = 4;
    image.globalTable = {{0x11, 0x22, 0x33}, {0xAA, 0xBB, 0xCC}};
    image.backgroundIndex = 1;
    GifFrame first;
    first.left = 1;
    first.width = 3;
    first.height = 2;
    first.control = GifControl{};
    first.control->delay = 7;
    first.control->disposal = 2;
    first.control->transparencyFlag = true;
    GifFrame second;  // no graphic control block
    image.frames = {first, second};
    return image;
}

TEST_F(ImagingPlatformTest, GifQueriesAnswerWithTheTypesTheScanExpects) {
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Open(BuildGif(TwoFrames()), &decoder), S_OK);
    GUID format;
    ASSERT_EQ(decoder->GetContainerFormat(&format), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_ContainerFormatGif));
    UINT count = 0;
    ASSERT_EQ(decoder->GetFrameCount(&count), S_OK);
    EXPECT_EQ(count, 2u);

    ComPtr<IWICMetadataQueryReader> screen;
    ASSERT_EQ(decoder->GetMetadataQueryReader(screen.GetAddressOf()), S_OK);
    HRESULT hr;
    EXPECT_EQ(TypeOf(screen.Get(), TEXT("/logscrdesc/Width"), &hr), VT_UI2);
    EXPECT_EQ(TypeOf(screen.Get(), TEXT("/logscrdesc/Height"), &hr), VT_UI2);
    EXPECT_EQ(TypeOf(screen.Get(), TEXT("/logscrdesc/GlobalColorTableFlag"), &hr), VT_BOOL);
    EXPECT_EQ(TypeOf(screen.Get(), TEXT("/logscrdesc/GlobalColorTableSize"), &hr), VT_UI1);
    EXPECT_EQ(TypeOf(screen.Get(), TEXT("/logscrdesc/BackgroundColorIndex"), &hr), VT_UI1);

    PROPVARIANT value;
    PropVariantInit(&value);
    ASSERT_EQ(screen->GetMetadataByName(TEXT("/logscrdesc/Width"), &value), S_OK);
    EXPECT_EQ(value.uiVal, 6);
    PropVariantClear(&value);

    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(0, frame.GetAddressOf()), S_OK);
    UINT width = 0, height = 0;
    ASSERT_EQ(frame->GetSize(&width, &height), S_OK);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(height, 2u);
    ComPtr<IWICMetadataQueryReader> reader;
    ASSERT_EQ(frame->GetMetadataQueryReader(reader.GetAddressOf()), S_OK);
    EXPECT_EQ(TypeOf(reader.Get(), TEXT("/imgdesc/Left"), &hr), VT_UI2);
    EXPECT_EQ(TypeOf(reader.Get(), TEXT("/imgdesc/LocalColorTableSize"), &hr), VT_UI1);
    EXPECT_EQ(TypeOf(reader.Get(), TEXT("/grctlext/Delay"), &hr), VT_UI2);
    EXPECT_EQ(TypeOf(reader.Get(), TEXT("/grctlext/Disposal"), &hr), VT_UI1);
    EXPECT_EQ(TypeOf(reader.Get(), TEXT("/grctlext/TransparencyFlag"), &hr), VT_BOOL);
    ASSERT_EQ(reader->GetMetadataByName(TEXT("/grctlext/Delay"), &value), S_OK);
    EXPECT_EQ(value.uiVal, 7);
    PropVariantClear(&value);
    ASSERT_EQ(reader->GetMetadataByName(TEXT("/grctlext/TransparencyFlag"), &value), S_OK);
    EXPECT_NE(value.boolVal, 0);
    PropVariantClear(&value);
}

TEST_F(ImagingPlatformTest, AFrameWithoutControlBlockHasNoSuchProperty) {
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Open(BuildGif(TwoFrames()), &decoder), S_OK);
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(1, frame.GetAddressOf()), S_OK);
    ComPtr<IWICMetadataQueryReader> reader;
    ASSERT_EQ(frame->GetMetadataQueryReader(reader.GetAddressOf()), S_OK);
    HRESULT hr = S_OK;
    TypeOf(reader.Get(), TEXT("/grctlext/Delay"), &hr);
    EXPECT_EQ(hr, WINCODEC_ERR_PROPERTYNOTFOUND);
    TypeOf(reader.Get(), TEXT("/imgdesc/Top"), &hr);
    EXPECT_EQ(hr, S_OK);
}

TEST_F(ImagingPlatformTest, GlobalPaletteColoursAreOpaqueArgb) {
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Open(BuildGif(TwoFrames()), &decoder), S_OK);
    ComPtr<IWICPalette> palette;
    ASSERT_EQ(factory_->CreatePalette(palette.GetAddressOf()), S_OK);
    ASSERT_EQ(decoder->CopyPalette(palette.Get()), S_OK);
    WICColor colors[256] = {};
    UINT delivered = 0;
    ASSERT_EQ(palette->GetColors(256, colors, &delivered), S_OK);
    ASSERT_EQ(delivered, 2u);
    EXPECT_EQ(colors[0] & 0x00FFFFFFu, 0x112233u);
    EXPECT_EQ(colors[1] & 0x00FFFFFFu, 0xAABBCCu);
}

TEST_F(ImagingPlatformTest, UnknownBytesFindNoDecoder) {
    ComPtr<IWICBitmapDecoder> decoder;
    EXPECT_EQ(Open({'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '.', '.', '.'}, &decoder),
              WINCODEC_ERR_COMPONENTNOTFOUND);
    EXPECT_EQ(decoder, nullptr);
}

TEST_F(ImagingPlatformTest, ADecoderOutlivesItsFactoryAndTheCallersBytes) {
    std::vector<uint8_t> bytes = BuildGif(TwoFrames());
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Open(bytes, &decoder), S_OK);
    std::memset(bytes.data(), 0, bytes.size());  // the memory stream kept its own copy
    factory_.Reset();
    UINT count = 0;
    ASSERT_EQ(decoder->GetFrameCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    ComPtr<IWICBitmapFrameDecode> frame;
    EXPECT_EQ(decoder->GetFrame(1, frame.GetAddressOf()), S_OK);
}

// Windows' WebP decoder hands out its frames as 32bppRGBA: bytes R, G, B, A with straight
// alpha. The module then goes through the converter's swap and premultiplication, which a
// decoder giving premultiplied BGRA already would leave untried.
TEST_F(ImagingPlatformTest, WebPFramesAreStraightRgbaThatTheConverterPremultiplies) {
    SKIP_WITHOUT_WEBP_DECODER();
#if !TAVOREN_HAS_WEBP_BUILDER
    GTEST_SKIP() << "no WebP encoder in this build to make the image";
#else
    // Half, almost and fully opaque, and fully transparent: red, green and blue all differ.
    const std::vector<uint32_t> argb = {0x80FF4020, 0xFE102030, 0xFF0A0B0C, 0x00123456,
                                        0x01FFFFFF, 0x7F804020, 0xC0336699, 0x40FFFFFF};
    WebPTestFrame first;
    first.pixels = argb;
    WebPTestFrame second;  // a second frame, so that the file is an animation
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Open(BuildAnimatedWebP(4, 2, {first, second}), &decoder), S_OK);
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(0, frame.GetAddressOf()), S_OK);
    WICPixelFormatGUID format{};
    ASSERT_EQ(frame->GetPixelFormat(&format), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat32bppRGBA));

    std::vector<BYTE> straight(argb.size() * 4);
    ASSERT_EQ(frame->CopyPixels(nullptr, 16, static_cast<UINT>(straight.size()), straight.data()),
              S_OK);
    ComPtr<IWICFormatConverter> converter;
    ASSERT_EQ(factory_->CreateFormatConverter(converter.GetAddressOf()), S_OK);
    ASSERT_EQ(
        converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom),
        S_OK);
    std::vector<BYTE> converted(argb.size() * 4);
    ASSERT_EQ(
        converter->CopyPixels(nullptr, 16, static_cast<UINT>(converted.size()), converted.data()),
        S_OK);

    for (size_t i = 0; i < argb.size(); ++i) {
        SCOPED_TRACE(i);
        const int a = static_cast<int>(argb[i] >> 24);
        const int rgb[3] = {static_cast<int>((argb[i] >> 16) & 0xFF),
                            static_cast<int>((argb[i] >> 8) & 0xFF),
                            static_cast<int>(argb[i] & 0xFF)};
        const BYTE* rgba = &straight[4 * i];
        EXPECT_EQ(rgba[3], a);
        EXPECT_EQ(rgba[0], rgb[0]) << "red first";
        EXPECT_EQ(rgba[1], rgb[1]);
        EXPECT_EQ(rgba[2], rgb[2]) << "blue third";
        // Premultiplied and rounded to nearest, as Windows' converter does, in B, G, R, A.
        const BYTE* bgra = &converted[4 * i];
        EXPECT_EQ(bgra[3], a);
        EXPECT_EQ(bgra[2], (rgb[0] * a + 127) / 255) << "red";
        EXPECT_EQ(bgra[1], (rgb[1] * a + 127) / 255) << "green";
        EXPECT_EQ(bgra[0], (rgb[2] * a + 127) / 255) << "blue";
    }
#endif
}

TEST(PlatformStreams, MemoryStreamKeepsItsOwnCopy) {
    BYTE bytes[4] = {1, 2, 3, 4};
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(bytes, sizeof(bytes)));
    ASSERT_TRUE(stream);
    bytes[0] = 9;
    BYTE read[8] = {};
    ULONG count = 0;
    stream->Read(read, sizeof(read), &count);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(read[0], 1);
    EXPECT_EQ(read[3], 4);
}

}  // namespace
