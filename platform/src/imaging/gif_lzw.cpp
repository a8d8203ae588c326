// GIF's LZW, decoded a code at a time with each code's whole string written at once.
//
// Each code's string is kept as its last 1 to 8 bytes (`tail`) and the code whose string is all
// the bytes before those, a multiple of 8 long (`head`): a string is written 8 bytes a step from
// its end back to its start, and a new entry costs one table row, whatever its length. A string
// that ends at least 8 bytes before its row does is written in place (the store's spill past
// its end is overwritten by the strings after it); one that meets the row's end goes through a
// buffer and is cut across the rows.
//
// Well-formed data never leaves that walk. Damaged data may name a code the table does not hold
// yet; giflib still decodes some of those, by rules of its own (a made-up last byte, entries
// that lead to codes not yet defined), and the rest of such a frame is decoded by a copy of
// giflib's own walk over its prefix and suffix table, so that every frame decodes as giflib
// decodes it. Every step reads its code from the bits the data holds, and every table index is
// below 4096.
#include "gif_lzw.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace platform::imaging {

UINT DisplayRow(UINT streamRow, UINT height, bool interlaced) {
    if (!interlaced) return streamRow;
    const UINT firstPass = (height + 7) / 8, secondPass = (height + 3) / 8;
    const UINT thirdPass = (height + 1) / 4;
    if (streamRow < firstPass) return streamRow * 8;
    streamRow -= firstPass;
    if (streamRow < secondPass) return 4 + streamRow * 8;
    streamRow -= secondPass;
    if (streamRow < thirdPass) return 2 + streamRow * 4;
    return 1 + (streamRow - thirdPass) * 2;
}

namespace {

static_assert(std::endian::native == std::endian::little, "codes are read as little-endian words");

constexpr unsigned kCodes = 4096;  // 12-bit codes
constexpr unsigned kLastCode = kCodes - 1;
constexpr unsigned kMaxBits = 12;
// giflib's marks: an entry not defined, and the count of codes read past which a full table
// stays as it is.
constexpr unsigned kNoCode = 4098;
constexpr unsigned kRunningStop = kCodes + 1;

struct Tables {
    uint64_t tail[kCodes];
    uint16_t head[kCodes];
    uint16_t length[kCodes];
    uint8_t first[kCodes];
    // giflib's table: each entry's code before it and its last byte.
    uint16_t prefix[kCodes];
    uint8_t suffix[kCodes];
    // A string on its way across rows, or giflib's stack; 8 bytes for the last store's spill.
    uint8_t string[kCodes + 8];
};

// The code stream's bits: the data sub-blocks one after the other, up to the terminator or the
// end of the file, where a sub-block cut off gives the bytes it has. Held by value, so that the
// decoding loop keeps it in registers.
struct Bits {
    uint64_t word;
    unsigned count;
    const BYTE* at;
    const BYTE* blockEnd;
    size_t nextBlock;  // the offset of the next sub-block's length byte
};

// Tops `bits` up to 56 or more, byte by byte across sub-blocks; fewer where the data ends.
Bits RefillAcrossBlocks(Bits bits, const BYTE* data, size_t size) {
    bits.word &= bits.count ? ~uint64_t{0} >> (64 - bits.count) : 0;
    while (bits.count <= 56) {
        if (bits.at == bits.blockEnd) {
            if (bits.nextBlock >= size || data[bits.nextBlock] == 0) break;
            const size_t start = bits.nextBlock + 1, length = data[bits.nextBlock];
            if (start >= size) break;
            bits.at = data + start;
            bits.blockEnd = data + std::min(size, start + length);
            bits.nextBlock = start + length;
        }
        bits.word |= uint64_t{*bits.at++} << bits.count;
        bits.count += 8;
    }
    return bits;
}

// Makes `wanted` bits available: false when the data ends first.
inline bool Need(Bits& bits, unsigned wanted, const BYTE* data, size_t size) {
    if (bits.count >= wanted) return true;
    if (bits.blockEnd - bits.at >= 8) {
        // Eight bytes of the same sub-block: the bits above the count are the ones that follow.
        uint64_t word;
        std::memcpy(&word, bits.at, 8);
        bits.word |= word << bits.count;
        bits.at += (63 - bits.count) >> 3;
        bits.count |= 56;
        return true;
    }
    bits = RefillAcrossBlocks(bits, data, size);
    return bits.count >= wanted;
}

// The rows the pixels go to, in the order the data gives them: the caller's row itself when the
// rect spans the frame's width, else a row of our own that is copied into the rect when done.
class RowSink {
  public:
    RowSink(const GifLzwFrame& frame, const WICRect& rect, UINT stride, BYTE* buffer, BYTE* own,
            BYTE fill)
        : height_(frame.height),
          width_(frame.width),
          interlaced_(frame.interlaced),
          top_(static_cast<UINT>(rect.Y)),
          left_(static_cast<UINT>(rect.X)),
          rectWidth_(static_cast<UINT>(rect.Width)),
          wanted_(static_cast<UINT>(rect.Height)),
          stride_(stride),
          buffer_(buffer),
          own_(own),
          fill_(fill),
          whole_(rect.X == 0 && rectWidth_ == width_) {}

    BYTE* First() { return Start(); }
    // Ends the current row, whole: the next, or null when no other is wanted.
    BYTE* Next() {
        Place();
        if (placed_ == wanted_ || ++streamRow_ == height_) return nullptr;
        return Start();
    }
    // The data ended in the current row after `written` pixels: the rest of it is the fill.
    void Cut(BYTE* row, UINT written) {
        std::memset(row + written, fill_, width_ - written);
        Place();
    }

  private:
    BYTE* Start() {
        const UINT y = DisplayRow(streamRow_, height_, interlaced_);
        inRect_ = y >= top_ && y - top_ < wanted_;
        target_ = inRect_ ? buffer_ + size_t{stride_} * (y - top_) : nullptr;
        return inRect_ && whole_ ? target_ : own_;
    }
    void Place() {
        if (!inRect_) return;
        if (!whole_) std::memcpy(target_, own_ + left_, rectWidth_);
        ++placed_;
    }

    const UINT height_, width_;
    const bool interlaced_;
    const UINT top_, left_, rectWidth_, wanted_, stride_;
    BYTE* const buffer_;
    BYTE* const own_;
    const BYTE fill_;
    const bool whole_;
    UINT streamRow_ = 0, placed_ = 0;
    bool inRect_ = false;
    BYTE* target_ = nullptr;
};

// Writes `code`'s string of `length` bytes at `out`, and up to 7 bytes of spill after it.
inline void WriteString(const Tables& t, unsigned code, unsigned length, BYTE* out) {
    size_t at = (length - 1) & ~size_t{7};
    std::memcpy(out + at, &t.tail[code], 8);
    while (at != 0) {
        code = t.head[code];
        at -= 8;
        std::memcpy(out + at, &t.tail[code], 8);
    }
}

// Entry `entry`: the string of `before` and then `next`.
inline void Define(Tables& t, unsigned entry, unsigned before, BYTE next) {
    const unsigned length = t.length[before], used = length & 7;
    t.length[entry] = static_cast<uint16_t>(length + 1);
    t.first[entry] = t.first[before];
    t.prefix[entry] = static_cast<uint16_t>(before);
    t.suffix[entry] = next;
    if (used) {
        t.tail[entry] = t.tail[before] | uint64_t{next} << (8 * used);
        t.head[entry] = t.head[before];
    } else {
        t.tail[entry] = next;
        t.head[entry] = static_cast<uint16_t>(before);
    }
}

// The code counter as giflib keeps it: each code read counts, and the width grows once the
// count passes what the width holds, up to 12 bits; a full table stops the count.
struct Counter {
    unsigned running, bits, limit;  // limit: 1 << bits

    void Reset(unsigned clear, unsigned minimum) {
        running = clear + 2;
        bits = minimum + 1;
        limit = 1u << bits;
    }
    void Count() {
        if (running < kRunningStop && ++running > limit && bits < kMaxBits) {
            limit <<= 1;
            ++bits;
        }
    }
};

struct Frame {
    const BYTE* data;
    size_t size;
    UINT width;
    unsigned minimum, clear;
};

// giflib's DGifDecompressLine from `code` on (read and counted, not yet decoded), on the table
// as the fast walk left it, to the end of the frame.
void DecodeAsGiflib(Tables& t, const Frame& f, RowSink& rows, Bits in, Counter counter,
                    unsigned last, unsigned defined, unsigned code, BYTE* row, UINT x) {
    const unsigned clear = f.clear, end = clear + 1;
    // Entries not defined have no prefix; their suffixes are never written out.
    std::fill(t.prefix, t.prefix + clear + 2, uint16_t{kNoCode});
    std::fill(t.prefix + defined, t.prefix + kCodes, uint16_t{kNoCode});
    std::fill(t.suffix, t.suffix + clear + 2, uint8_t{0});
    std::fill(t.suffix + defined, t.suffix + kCodes, uint8_t{0});
    // giflib's DGifGetPrefixChar: the first byte of a string, by a walk of bounded length.
    const auto prefixChar = [&](unsigned c) {
        unsigned steps = 0;
        while (c > clear && steps++ <= kLastCode) {
            if (c > kLastCode) return kNoCode;
            c = t.prefix[c];
        }
        return c;
    };
    BYTE* const stack = t.string;
    for (;;) {
        if (code == end) return rows.Cut(row, x);
        if (code == clear) {
            std::fill(t.prefix, t.prefix + kCodes, uint16_t{kNoCode});
            counter.Reset(clear, f.minimum);
            last = kNoCode;
        } else {
            const unsigned entry = counter.running - 2;
            unsigned depth = 0;
            if (code < clear) {
                stack[depth++] = static_cast<BYTE>(code);
            } else {
                unsigned walk = code;
                if (t.prefix[code] == kNoCode) {
                    walk = last;
                    const auto byte = static_cast<BYTE>(prefixChar(code == entry ? last : code));
                    t.suffix[entry] = byte;
                    stack[depth++] = byte;
                }
                while (depth < kLastCode && walk > clear && walk <= kLastCode) {
                    stack[depth++] = t.suffix[walk];
                    walk = t.prefix[walk];
                }
                if (depth >= kLastCode || walk > kLastCode) return rows.Cut(row, x);
                stack[depth++] = static_cast<BYTE>(walk);
            }
            if (last != kNoCode && entry < kCodes && t.prefix[entry] == kNoCode) {
                t.prefix[entry] = static_cast<uint16_t>(last);
                t.suffix[entry] = static_cast<BYTE>(prefixChar(code == entry ? last : code));
            }
            last = code;
            while (depth != 0) {
                row[x++] = stack[--depth];
                if (x == f.width) {
                    if (!(row = rows.Next())) return;
                    x = 0;
                }
            }
        }
        if (!Need(in, counter.bits, f.data, f.size)) return rows.Cut(row, x);
        code = static_cast<unsigned>(in.word) & (counter.limit - 1);
        in.word >>= counter.bits;
        in.count -= counter.bits;
        counter.Count();
    }
}

void Decode(Tables& t, const Frame& f, RowSink& rows, size_t firstBlock) {
    const unsigned clear = f.clear, width = f.width;
    for (unsigned i = 0; i < clear; ++i) {
        t.length[i] = 1;
        t.first[i] = static_cast<uint8_t>(i);
        t.tail[i] = i;
    }
    t.length[clear] = t.length[clear + 1] = 0;  // clear and end have no string

    Bits in{0, 0, nullptr, nullptr, firstBlock};
    Counter counter;
    counter.Reset(clear, f.minimum);
    unsigned defined = clear + 2;  // entries below are defined
    unsigned last = kNoCode;
    BYTE* row = rows.First();
    UINT x = 0;
    for (;;) {
        if (!Need(in, counter.bits, f.data, f.size)) return rows.Cut(row, x);
        const unsigned code = static_cast<unsigned>(in.word) & (counter.limit - 1);
        in.word >>= counter.bits;
        in.count -= counter.bits;
        counter.Count();
        // The entry this code defines, when the one before it was a string and the table has
        // room (right after a clear it is the end code, and nothing is defined).
        const unsigned entry = counter.running - 2;
        unsigned length;
        if (code < defined && (length = t.length[code]) != 0) {
            if (entry == defined) Define(t, defined++, last, t.first[code]);
        } else if (code == entry && entry == defined) {
            // The entry being defined: the string before, and its own first byte again.
            Define(t, defined++, last, t.first[last]);
            length = t.length[code];
        } else if (code == clear) {
            counter.Reset(clear, f.minimum);
            defined = clear + 2;
            last = kNoCode;
            continue;
        } else {
            // The end code where pixels are still wanted, or a code the table does not hold.
            return DecodeAsGiflib(t, f, rows, in, counter, last, defined, code, row, x);
        }
        last = code;
        if (x + length + 7 <= width) {
            WriteString(t, code, length, row + x);
            x += length;
            continue;
        }
        WriteString(t, code, length, t.string);
        for (const BYTE* from = t.string;;) {
            const UINT n = std::min<UINT>(length, width - x);
            std::memcpy(row + x, from, n);
            x += n;
            from += n;
            length -= n;
            if (x == width) {
                if (!(row = rows.Next())) return;
                x = 0;
            }
            if (length == 0) break;
        }
    }
}

}  // namespace

bool DecodeGifIndices(const GifLzwFrame& frame, const WICRect& rect, UINT stride, BYTE* buffer,
                      BYTE fill) {
    if (frame.width == 0 || frame.height == 0 || rect.Width <= 0 || rect.Height <= 0 ||
        frame.codeSizeOffset >= frame.size) {
        return true;
    }
    // giflib refuses a code size above 8 before any row: every row keeps the fill.
    const unsigned minimum = frame.data[frame.codeSizeOffset];
    if (minimum > 8) return true;
    std::unique_ptr<Tables> tables(new (std::nothrow) Tables);
    std::unique_ptr<BYTE[]> own(new (std::nothrow) BYTE[frame.width]);
    if (!tables || !own) return false;
    RowSink rows(frame, rect, stride, buffer, own.get(), fill);
    Decode(*tables, Frame{frame.data, frame.size, frame.width, minimum, 1u << minimum}, rows,
           frame.codeSizeOffset + 1);
    return true;
}

}  // namespace platform::imaging
