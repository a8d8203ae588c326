// What a stand-in decoder knows of its image once it is created: the container's index,
// walked once over the file's bytes. Metadata is answered from the index; pixels are decoded
// from the frame's own place in the bytes when they are asked for.
#pragma once

#include <wincodec.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "shell/streams.h"

namespace platform::imaging {

// A scalar metadata value, as a query reader answers it.
struct MetadataValue {
    VARTYPE type;
    UINT32 value;
};

// Writes the value into a PROPVARIANT with the type's own field (VT_BOOL as VARIANT_TRUE or
// VARIANT_FALSE, as Windows gives it).
HRESULT StoreValue(const MetadataValue& value, PROPVARIANT* out);

// True when the UTF-16 query path names the ASCII path, in any letter case.
bool PathIs(LPCWSTR path, const char* name);

// One item of a metadata block: its query path and its value.
struct MetadataItem {
    const char* path;
    MetadataValue value;
};

// Stores the value of the item that `path` names; WINCODEC_ERR_PROPERTYNOTFOUND when none does.
HRESULT AnswerQuery(std::initializer_list<MetadataItem> items, LPCWSTR path, PROPVARIANT* value);

class Container {
  public:
    virtual ~Container() = default;

    virtual const GUID& Format() const = 0;
    virtual UINT FrameCount() const = 0;
    // False: the frame is counted but cannot be fetched.
    virtual bool FrameFetchable(UINT index) const = 0;
    virtual void FrameSize(UINT index, UINT* width, UINT* height) const = 0;

    // Metadata lookups answer WINCODEC_ERR_PROPERTYNOTFOUND for a path the block lacks.
    virtual bool HasContainerReader() const { return true; }
    virtual HRESULT ContainerMetadata(LPCWSTR path, PROPVARIANT* value) const = 0;
    virtual HRESULT FrameMetadata(UINT index, LPCWSTR path, PROPVARIANT* value) const = 0;

    // The container's palette (the GIF global colour table), or empty when there is none.
    virtual const std::vector<WICColor>& GlobalPalette() const = 0;

    // Pixels. The stand-in decodes GIF and WebP frames only: the still formats keep a format
    // but refuse their pixels, which the module never asks for.
    virtual const GUID& PixelFormat(UINT /*index*/) const { return GUID_WICPixelFormat32bppBGRA; }
    // The frame's palette, for an indexed frame.
    virtual HRESULT FramePalette(UINT /*index*/, std::vector<WICColor>* /*colors*/) const {
        return WINCODEC_ERR_PALETTEUNAVAILABLE;
    }
    // Writes `rect` of the frame, already checked against the frame and the buffer, one row
    // every `stride` bytes. Not const: a container may keep decoding state between frames.
    virtual HRESULT CopyPixels(UINT /*index*/, const WICRect& /*rect*/, UINT /*stride*/,
                               BYTE* /*buffer*/) {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    // The same rect already converted to 32bppPBGRA, for a container that keeps a frame's
    // straight RGBA whole: converting from there saves copying it into the buffer first.
    // *opaque: whether every pixel of it is. UNSUPPORTEDOPERATION where the container has no
    // such frame.
    virtual HRESULT CopyPremultipliedPixels(UINT /*index*/, const WICRect& /*rect*/,
                                            UINT /*stride*/, BYTE* /*buffer*/, bool* /*opaque*/) {
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    // Decodes the frame ahead of the copy that will read it, for a container that keeps a
    // decoded frame (see drawing::StandInSource); nothing for one that decodes in the copy.
    virtual HRESULT PreparePixels(UINT /*index*/) { return S_OK; }
};

// Each answers null when the bytes are not of its format or too damaged to open.
std::unique_ptr<Container> OpenGif(const SharedBytes& bytes);
std::unique_ptr<Container> OpenWebP(const SharedBytes& bytes);
// PNG, JPEG and BMP, which the Windows imaging component also opens: one frame and no GIF
// metadata, so a load of one fails as it does on Windows.
std::unique_ptr<Container> OpenStill(const SharedBytes& bytes);

}  // namespace platform::imaging
