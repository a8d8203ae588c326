// A GIF frame's palette indices, decoded from the frame's own place in the file, so one frame
// costs its own data however many frames come before it. Rows go straight into the caller's
// buffer when the whole frame is asked for, so even a 65535 x 65535 frame costs no more memory
// than the buffer the caller brings; a frame read in parts is decoded once and kept meanwhile.
//
// Wine's decoder (giflib-derived) reads the whole file at creation and refuses it when any
// frame's data is cut short or corrupt; Windows opens such files, and the index here keeps their
// frames too. Their pixels decode as far as the data goes: a row cut short keeps what was
// decoded, and every pixel after is the transparent index when the frame has one, else 0, so a
// damaged frame lets the one below show through rather than paint over it.
//
// The LZW decoder is our own (gif_lzw.cpp), as giflib's walks each string a code at a time.
// giflib decodes the same frame here too, as the reference the decoder is tested and fuzzed
// against: it reads a stream made of the file's header, screen descriptor and global table
// followed by the frame's blocks, one row at a time.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "imaging/gif_container.h"
#include "imaging/gif_lzw.h"

namespace platform::imaging {
namespace {

constexpr BYTE kInterlaceFlag = 0x40;

// The pieces of bytes giflib reads one after the other.
class PieceReader {
  public:
    void Add(const BYTE* data, size_t size) {
        if (size) pieces_[count_++] = {data, size};
    }
    // A byte of our own, for the lengths a cut-off file lacks.
    void AddByte(BYTE value) {
        own_[owned_] = value;
        Add(own_ + owned_++, 1);
    }

    // giflib's InputFunc: as many bytes as are left, up to `length`.
    static int Read(GifFileType* gif, GifByteType* out, int length) {
        auto* reader = static_cast<PieceReader*>(gif->UserData);
        size_t given = 0;
        while (given < static_cast<size_t>(length) && reader->current_ < reader->count_) {
            const Piece& piece = reader->pieces_[reader->current_];
            const size_t n =
                std::min(static_cast<size_t>(length) - given, piece.size - reader->at_);
            std::memcpy(out + given, piece.data + reader->at_, n);
            given += n;
            reader->at_ += n;
            if (reader->at_ == piece.size) {
                ++reader->current_;
                reader->at_ = 0;
            }
        }
        return static_cast<int>(given);
    }

  private:
    struct Piece {
        const BYTE* data;
        size_t size;
    };
    Piece pieces_[5] = {};
    size_t count_ = 0, current_ = 0, at_ = 0;
    BYTE own_[2] = {};
    size_t owned_ = 0;
};

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

}  // namespace

// Fills the rect's rows with the frame's fill index, which the data then overwrites as far as it
// goes, and answers it.
BYTE GifContainer::FillRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) const {
    const GifFrameRecord& frame = frames_[index];
    const BYTE fill = frame.control.transparencyFlag ? frame.control.transparentIndex : 0;
    for (INT y = 0; y < rect.Height; ++y) {
        std::memset(buffer + size_t{stride} * static_cast<UINT>(y), fill,
                    static_cast<UINT>(rect.Width));
    }
    return fill;
}

HRESULT GifContainer::Decode(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) const {
    const GifFrameRecord& frame = frames_[index];
    if (!frame.fetchable) return WINCODEC_ERR_BADIMAGE;
    const BYTE fill = frame.control.transparencyFlag ? frame.control.transparentIndex : 0;
    const GifLzwFrame lzw{bytes_->data(), bytes_->size(), frame.imageDataOffset,
                          frame.width,    frame.height,   (frame.packed & kInterlaceFlag) != 0};
    return DecodeGifIndices(lzw, rect, stride, buffer, fill) ? S_OK : E_OUTOFMEMORY;
}

// IWICBitmapSource::CopyPixels on a GIF frame: the rect's 8bpp palette indices, row by row.
HRESULT GifContainer::CopyPixels(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) {
    const GifFrameRecord& frame = frames_[index];
    const bool whole = rect.X == 0 && rect.Y == 0 && static_cast<UINT>(rect.Width) == frame.width &&
                       static_cast<UINT>(rect.Height) == frame.height;
    // Frames of up to this many pixels are kept whole while read in parts; a larger one (its
    // size is the file's word, not its data's) is decoded again for each part.
    constexpr size_t kLargestKept = size_t{1} << 26;
    const size_t pixels = size_t{frame.width} * frame.height;
    std::unique_lock<std::mutex> guard(partsLock_);
    if (parts_ && (whole || partsIndex_ != index)) parts_.reset();
    if (whole || !frame.fetchable || pixels > kLargestKept) {
        guard.unlock();
        return Decode(index, rect, stride, buffer);
    }
    if (!parts_) {
        std::unique_ptr<BYTE[]> decoded(new (std::nothrow) BYTE[pixels]);
        if (!decoded) return Decode(index, rect, stride, buffer);
        const WICRect all{0, 0, frame.width, frame.height};
        if (HRESULT hr = Decode(index, all, frame.width, decoded.get()); FAILED(hr)) return hr;
        parts_ = std::move(decoded);
        partsIndex_ = index;
    }
    const BYTE* from =
        parts_.get() + size_t{frame.width} * static_cast<UINT>(rect.Y) + static_cast<UINT>(rect.X);
    for (INT y = 0; y < rect.Height; ++y, from += frame.width) {
        std::memcpy(buffer + size_t{stride} * static_cast<UINT>(y), from,
                    static_cast<UINT>(rect.Width));
    }
    if (static_cast<UINT>(rect.Y + rect.Height) == frame.height) parts_.reset();
    return S_OK;
}

// The same rect decoded by giflib.
HRESULT GifContainer::CopyPixelsByGiflib(UINT index, const WICRect& rect, UINT stride,
                                         BYTE* buffer) const {
    const GifFrameRecord& frame = frames_[index];
    if (!frame.fetchable) return WINCODEC_ERR_BADIMAGE;
    const BYTE fill = FillRows(index, rect, stride, buffer);

    // The frame's sub-blocks, up to the terminator or to where the file ends. A sub-block cut
    // off gets the length of what is left and a terminator after it, so giflib stops at the
    // end of the data instead of failing to skip past it after the last row.
    const BYTE* data = bytes_->data();
    const size_t size = bytes_->size();
    PieceReader reader;
    reader.Add(data, 13 + 3 * globalPalette_.size());
    size_t pos = frame.imageDataOffset + 1;
    while (pos < size && data[pos] != 0 && data[pos] < size - pos) pos += 1 + size_t{data[pos]};
    if (pos < size && data[pos] == 0) {
        reader.Add(data + frame.separatorOffset, pos + 1 - frame.separatorOffset);
    } else {
        reader.Add(data + frame.separatorOffset, pos - frame.separatorOffset);
        if (pos < size) {
            reader.AddByte(static_cast<BYTE>(size - pos - 1));
            reader.Add(data + pos + 1, size - pos - 1);
        }
        reader.AddByte(0);
    }

    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, PieceReader::Read, &error));
    if (!gif) return error == D_GIF_ERR_NOT_ENOUGH_MEM ? E_OUTOFMEMORY : WINCODEC_ERR_BADIMAGE;
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type != IMAGE_DESC_RECORD_TYPE ||
        DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        return gif->Error == D_GIF_ERR_NOT_ENOUGH_MEM ? E_OUTOFMEMORY : S_OK;
    }

    const bool interlaced = (frame.packed & kInterlaceFlag) != 0;
    std::vector<GifPixelType> line(frame.width);
    const UINT top = static_cast<UINT>(rect.Y), bottom = top + static_cast<UINT>(rect.Height);
    UINT placed = 0;
    for (UINT streamRow = 0; streamRow < frame.height && placed < bottom - top; ++streamRow) {
        std::fill(line.begin(), line.end(), fill);
        // giflib writes a row as it decodes it, so a row that fails keeps its first pixels.
        const bool whole = DGifGetLine(gif.get(), line.data(), frame.width) == GIF_OK;
        const UINT y = DisplayRow(streamRow, frame.height, interlaced);
        if (y >= top && y < bottom) {
            std::memcpy(buffer + size_t{stride} * (y - top), line.data() + rect.X,
                        static_cast<UINT>(rect.Width));
            ++placed;
        }
        if (!whole) break;
    }
    return S_OK;
}

}  // namespace platform::imaging
