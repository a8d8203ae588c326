// PNG, JPEG and BMP by signature: the Windows imaging component opens them too, as one frame
// with none of the GIF metadata. Their pixels are never needed by the module.
#include <cstring>

#include "imaging/container.h"

namespace platform::imaging {
namespace {

UINT Be32(const BYTE* p) {
    return (UINT{p[0]} << 24) | (UINT{p[1]} << 16) | (UINT{p[2]} << 8) | p[3];
}
UINT Le32(const BYTE* p) {
    return (UINT{p[3]} << 24) | (UINT{p[2]} << 16) | (UINT{p[1]} << 8) | p[0];
}

class StillContainer final : public Container {
  public:
    StillContainer(const GUID& format, UINT width, UINT height)
        : format_(format), width_(width), height_(height) {}

    const GUID& Format() const override { return format_; }
    UINT FrameCount() const override { return 1; }
    bool FrameFetchable(UINT) const override { return true; }
    void FrameSize(UINT, UINT* width, UINT* height) const override {
        *width = width_;
        *height = height_;
    }
    HRESULT ContainerMetadata(LPCWSTR, PROPVARIANT*) const override {
        return WINCODEC_ERR_PROPERTYNOTFOUND;
    }
    HRESULT FrameMetadata(UINT, LPCWSTR, PROPVARIANT*) const override {
        return WINCODEC_ERR_PROPERTYNOTFOUND;
    }
    const std::vector<WICColor>& GlobalPalette() const override { return noPalette_; }

  private:
    const GUID format_;
    const UINT width_, height_;
    const std::vector<WICColor> noPalette_;
};

}  // namespace

std::unique_ptr<Container> OpenStill(const SharedBytes& bytes) {
    const BYTE* data = bytes->data();
    const size_t size = bytes->size();
    static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 24 && std::memcmp(data, kPng, 8) == 0) {
        return std::make_unique<StillContainer>(GUID_ContainerFormatPng, Be32(data + 16),
                                                Be32(data + 20));
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        // The size sits in a frame header further in; nothing in the module asks for it.
        return std::make_unique<StillContainer>(GUID_ContainerFormatJpeg, 0, 0);
    }
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const INT32 height = static_cast<INT32>(Le32(data + 22));
        return std::make_unique<StillContainer>(
            GUID_ContainerFormatBmp, Le32(data + 18),
            height < 0 ? 0u - static_cast<UINT>(height) : static_cast<UINT>(height));
    }
    return nullptr;
}

}  // namespace platform::imaging
