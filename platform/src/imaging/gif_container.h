// The GIF container's index: one walk over the blocks when the decoder is created, keeping
// each frame's descriptor, control block and the offset of its image data. No LZW data is
// decoded here.
#pragma once

#include <memory>
#include <mutex>

#include "imaging/container.h"

namespace platform::imaging {

struct GifControlBlock {
    bool present = false;
    BYTE disposal = 0;
    bool userInput = false;
    bool transparencyFlag = false;
    USHORT delay = 0;
    BYTE transparentIndex = 0;
};

struct GifFrameRecord {
    USHORT left = 0, top = 0, width = 0, height = 0;
    BYTE packed = 0;              // the descriptor's packed byte
    size_t localTableOffset = 0;  // valid when the packed byte has the local table flag
    UINT localTableColors = 0;
    size_t separatorOffset = 0;  // the image separator (0x2C) that starts the frame
    size_t imageDataOffset = 0;  // the LZW minimum code size byte
    bool fetchable = true;
    GifControlBlock control;
};

struct GifScreen {
    USHORT width = 0, height = 0;
    BYTE packed = 0;
    BYTE backgroundIndex = 0;
    BYTE aspectRatio = 0;
};

class GifContainer final : public Container {
  public:
    GifContainer(SharedBytes bytes, GifScreen screen, std::vector<WICColor> globalPalette,
                 std::vector<GifFrameRecord> frames);

    const GUID& Format() const override { return GUID_ContainerFormatGif; }
    UINT FrameCount() const override { return static_cast<UINT>(frames_.size()); }
    bool FrameFetchable(UINT index) const override { return frames_[index].fetchable; }
    void FrameSize(UINT index, UINT* width, UINT* height) const override;
    HRESULT ContainerMetadata(LPCWSTR path, PROPVARIANT* value) const override;
    HRESULT FrameMetadata(UINT index, LPCWSTR path, PROPVARIANT* value) const override;
    const std::vector<WICColor>& GlobalPalette() const override { return globalPalette_; }
    const GUID& PixelFormat(UINT) const override { return GUID_WICPixelFormat8bppIndexed; }
    HRESULT FramePalette(UINT index, std::vector<WICColor>* colors) const override;
    HRESULT CopyPixels(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) override;
    // The same as CopyPixels, decoded by giflib: the reference our LZW decoder answers to.
    HRESULT CopyPixelsByGiflib(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) const;

    const SharedBytes& bytes() const { return bytes_; }
    const GifScreen& screen() const { return screen_; }
    const GifFrameRecord& frame(UINT index) const { return frames_[index]; }

  private:
    // Fills the rect's rows with the frame's fill index (its transparent index, else 0), for
    // giflib.
    BYTE FillRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) const;
    // The frame's rect decoded straight into the buffer.
    HRESULT Decode(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) const;

    const SharedBytes bytes_;
    const GifScreen screen_;
    const std::vector<WICColor> globalPalette_;
    const std::vector<GifFrameRecord> frames_;

    // A frame read in parts (a large picture drawn a band of rows at a time) is decoded whole
    // once, kept until its last row has been read or another frame is, and each part copied
    // from here: the LZW data can only be decoded from its start.
    std::mutex partsLock_;
    UINT partsIndex_ = 0;
    std::unique_ptr<BYTE[]> parts_;
};

}  // namespace platform::imaging
