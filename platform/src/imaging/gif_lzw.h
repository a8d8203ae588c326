// The stand-in's GIF pixel decoder: a frame's LZW data to palette indices, written straight into
// the caller's rows. giflib is kept beside it as the reference (GifContainer::CopyPixelsByGiflib):
// every answer here, damaged data included, is the one giflib's DGifGetLine loop gives.
#pragma once

#include <wincodec.h>

#include <cstddef>

namespace platform::imaging {

// Where the `streamRow`th row of the data lies: interlaced frames come in passes of every 8th
// row from 0, every 8th from 4, every 4th from 2 and every 2nd from 1.
UINT DisplayRow(UINT streamRow, UINT height, bool interlaced);

// The frame whose LZW minimum code size byte is at `codeSizeOffset` of the file's `size` bytes.
struct GifLzwFrame {
    const BYTE* data;
    size_t size;
    size_t codeSizeOffset;
    UINT width, height;
    bool interlaced;
};

// Decodes the frame's indices into `rect` of it, one row every `stride` bytes of `buffer`. Rows go
// as far as the data does: the row where it ends keeps what was decoded, and every pixel after
// it is `fill`. False only when the decoder's tables cannot be had.
bool DecodeGifIndices(const GifLzwFrame& frame, const WICRect& rect, UINT stride, BYTE* buffer,
                      BYTE fill);

}  // namespace platform::imaging
