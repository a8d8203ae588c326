// The named GUIDs that Windows defines in its import libraries, each written in the registry
// form Windows' documentation gives it, and read into its fields at compile time.
#include <d2d1.h>
#include <wincodec.h>

namespace {

constexpr uint32_t Hex(const char* text, int digits) {
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = text[i];
        value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return value;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx".
constexpr GUID Parse(const char (&text)[37]) {
    GUID guid{Hex(text, 8),
              static_cast<uint16_t>(Hex(text + 9, 4)),
              static_cast<uint16_t>(Hex(text + 14, 4)),
              {}};
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = static_cast<uint8_t>(Hex(text + (i < 2 ? 19 + 2 * i : 20 + 2 * i), 2));
    }
    return guid;
}

}  // namespace

#define TAVOREN_GUID(name, text) extern "C" constinit const GUID name = Parse(text)

TAVOREN_GUID(IID_IUnknown, "00000000-0000-0000-c000-000000000046");
TAVOREN_GUID(IID_IStream, "0000000c-0000-0000-c000-000000000046");
TAVOREN_GUID(IID_ISequentialStream, "0c733a30-2a1c-11ce-ade5-00aa0044773d");

TAVOREN_GUID(CLSID_WICImagingFactory, "cacaf262-9370-4615-a13b-9f5539da4c0a");
TAVOREN_GUID(CLSID_WICImagingFactory2, "317d06e8-5f24-433d-bdf7-79ce68d8abc2");
TAVOREN_GUID(IID_IWICImagingFactory, "ec5ec8a9-c395-4314-9c77-54d7a935ff70");
TAVOREN_GUID(IID_IWICBitmapDecoder, "9edde9e7-8dee-47ea-99df-e6faf2ed44bf");
TAVOREN_GUID(IID_IWICBitmapFrameDecode, "3b16811b-6a43-4ec9-a813-3d930c13b940");
TAVOREN_GUID(IID_IWICMetadataQueryReader, "30989668-e1c9-4597-b395-458eedb808df");
TAVOREN_GUID(IID_IWICPalette, "00000040-a8f2-4877-ba0a-fd2b6645fb94");
TAVOREN_GUID(IID_IWICBitmapSource, "00000120-a8f2-4877-ba0a-fd2b6645fb94");
TAVOREN_GUID(IID_IWICFormatConverter, "00000301-a8f2-4877-ba0a-fd2b6645fb94");

TAVOREN_GUID(GUID_ContainerFormatGif, "1f8a5601-7d4d-4cbd-9c82-1bc8d4eeb9a5");
TAVOREN_GUID(GUID_ContainerFormatWebp, "e094b0e2-67f2-45b3-b0ea-115337ca7cf3");
TAVOREN_GUID(GUID_ContainerFormatPng, "1b7cfaf4-713f-473c-bbcd-6137425faeaf");
TAVOREN_GUID(GUID_ContainerFormatJpeg, "19e4a5aa-5662-4fc5-a0c0-1758028e1057");
TAVOREN_GUID(GUID_ContainerFormatBmp, "0af1d87e-fcfe-4188-bdeb-a7906471cbe3");

TAVOREN_GUID(GUID_WICPixelFormat8bppIndexed, "6fddc324-4e03-4bfe-b185-3d77768dc904");
TAVOREN_GUID(GUID_WICPixelFormat32bppBGRA, "6fddc324-4e03-4bfe-b185-3d77768dc90f");
TAVOREN_GUID(GUID_WICPixelFormat32bppPBGRA, "6fddc324-4e03-4bfe-b185-3d77768dc910");
TAVOREN_GUID(GUID_WICPixelFormat32bppRGBA, "f5c7ad2d-6a8d-43dd-a7a8-a29935261ae9");

TAVOREN_GUID(IID_ID2D1Factory, "06152247-6f50-465a-9245-118bfd3b6007");
TAVOREN_GUID(IID_ID2D1Resource, "2cd90691-12e2-11dc-9fed-001143a055f9");
TAVOREN_GUID(IID_ID2D1Image, "65019f75-8da2-497c-b32c-dfa34e48ede6");
TAVOREN_GUID(IID_ID2D1Bitmap, "a2296057-ea42-4099-983b-539fb6505426");
TAVOREN_GUID(IID_ID2D1RenderTarget, "2cd90694-12e2-11dc-9fed-001143a055f9");
TAVOREN_GUID(IID_ID2D1BitmapRenderTarget, "2cd90695-12e2-11dc-9fed-001143a055f9");
TAVOREN_GUID(IID_ID2D1HwndRenderTarget, "2cd90698-12e2-11dc-9fed-001143a055f9");
TAVOREN_GUID(IID_ID2D1Multithread, "31e6e7bc-e0ff-4d46-8c64-a0a8c41c15d3");
