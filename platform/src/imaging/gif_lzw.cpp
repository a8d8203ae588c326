// GIF's LZW, decoded a code at a time with each code's whole string written at once.
//
// Each code's string is kept as its last 1 to 8 bytes (`tail`) and the code whose string is all
// the bytes before those, a multiple of 8 long (`head`): a string is written 8 bytes a step from
// its end back to its start, and a new entry costs one table row, whatever its length. A string
// that ends at least 8 bytes before its row does is written in place (the store's spill past
// its end is overwritten by the strings after it); one that meets the row's end goes through a
// buffer and is cut across the rows.
//
// A literal code, most of the codes of a noisy picture, is written as its one byte, without
// reading its entry.
//
// Well-formed data never leaves that walk. Damaged data may name a code the table does not hold
// yet; giflib still decodes some of those, by rules of its own (a made-up last byte, entries
// that lead to codes not yet defined), and the rest of such a frame is decoded by a copy of
// giflib's own walk over its prefix and suffix table, so that every frame decodes as giflib
// decodes it. Every step reads its code from the bits the data holds, and every table index is
// below 4096.
#include "imaging/gif_lzw.h"

#include <algorithm>
#include <bit>
#include <cstddef>
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

// One code's string: its last 1 to 8 bytes, the code of all the bytes before them, its length
// and first byte; and giflib's view of it, the code before it and its last byte. 16 bytes, so a
// code's entry is one load and a new one two stores.
struct Entry {
    uint64_t tail;
    uint16_t head, length, prefix;
    uint8_t first, suffix;
};
static_assert(sizeof(Entry) == 16);

struct Tables {
    Entry entry[kCodes];
    // A string on its way across rows, or giflib's stack; 8 bytes for the last store's spill.
    uint8_t string[kCodes + 8];
};

// The code stream: the data sub-blocks one after the other, up to the terminator or the end of
// the file, where a sub-block cut off gives the bytes it has.
struct Blocks {
    const BYTE* data;
    size_t size;
    const BYTE* end;  // of the current sub-block
    size_t next;      // the offset of the next sub-block's length byte
};

// The bits read from the blocks and not yet taken. Held by value, so that the decoding loop
// keeps them in registers.
struct Bits {
    uint64_t word;
    unsigned count;
    const BYTE* at;
};

// Tops `bits` up to 56 or more, byte by byte across sub-blocks; fewer where the data ends.
Bits RefillAcrossBlocks(Bits bits, Blocks& blocks) {
    bits.word &= bits.count ? ~uint64_t{0} >> (64 - bits.count) : 0;
    while (bits.count <= 56) {
        if (bits.at == blocks.end) {
            const size_t start = blocks.next + 1;
            if (start >= blocks.size || blocks.data[blocks.next] == 0) break;
            const size_t length = blocks.data[blocks.next];
            bits.at = blocks.data + start;
            blocks.end = blocks.data + std::min(blocks.size, start + length);
            blocks.next = start + length;
        }
        bits.word |= uint64_t{*bits.at++} << bits.count;
        bits.count += 8;
    }
    return bits;
}

// Makes `wanted` bits available: false when the data ends first.
inline bool Need(Bits& bits, unsigned wanted, Blocks& blocks) {
    if (bits.count >= wanted) return true;
    if (blocks.end - bits.at >= 8) {
        // Eight bytes of the same sub-block: the bits above the count are the ones that follow.
        uint64_t word;
        std::memcpy(&word, bits.at, 8);
        bits.word |= word << bits.count;
        bits.at += (63 - bits.count) >> 3;
        bits.count |= 56;
        return true;
    }
    bits = RefillAcrossBlocks(bits, blocks);
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
    // The data ended in the current row after `written` pixels: the rest of it, and every row
    // after, is the fill.
    void Cut(BYTE* row, UINT written) {
        std::memset(row + written, fill_, width_ - written);
        Place();
        while (placed_ < wanted_ && ++streamRow_ < height_) {
            const UINT y = DisplayRow(streamRow_, height_, interlaced_);
            if (y < top_ || y - top_ >= wanted_) continue;
            std::memset(buffer_ + size_t{stride_} * (y - top_), fill_, rectWidth_);
            ++placed_;
        }
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

// Writes the string of `entry` at `out`, and up to 7 bytes of spill after it.
inline void WriteString(const Tables& t, const Entry& entry, BYTE* out) {
    size_t at = (entry.length - 1u) & ~size_t{7};
    std::memcpy(out + at, &entry.tail, 8);
    for (unsigned code = entry.head; at != 0; code = t.entry[code].head) {
        at -= 8;
        std::memcpy(out + at, &t.entry[code].tail, 8);
    }
}

// Defines `to` as the string of `before` (whose entry is `from`) and then `next`: two words
// computed and stored whole, the second packed as the entry lies in memory (head, length,
// prefix, first and suffix).
inline void Extend(Entry& to, const Entry& from, unsigned before, BYTE next) {
    uint64_t tail, rest;
    std::memcpy(&tail, &from.tail, 8);
    std::memcpy(&rest, &from.head, 8);
    const unsigned used = from.length & 7u;
    tail = used ? tail | uint64_t{next} << (8 * used) : next;
    rest = (rest + (uint64_t{1} << 16)) & 0x00FF0000FFFFFFFFu;  // longer; first kept
    rest = (used ? rest : (rest & ~uint64_t{0xFFFF}) | before) | uint64_t{before} << 32 |
           uint64_t{next} << 56;
    std::memcpy(&to.tail, &tail, 8);
    std::memcpy(&to.head, &rest, 8);
}
static_assert(offsetof(Entry, head) == 8 && offsetof(Entry, length) == 10 &&
              offsetof(Entry, prefix) == 12 && offsetof(Entry, first) == 14 &&
              offsetof(Entry, suffix) == 15);

// Where the next pixel goes: its row and column.
struct Cursor {
    BYTE* row;
    UINT x;
};

// Writes `string` from `at` on where it meets the end of the row, through the buffer and across
// the rows: where the string ends, or a null row once no more rows are wanted.
Cursor PutAcrossRows(Tables& t, const Entry& string, Cursor at, UINT width, RowSink& rows) {
    WriteString(t, string, t.string);
    UINT length = string.length;
    for (const BYTE* from = t.string;;) {
        const UINT n = std::min<UINT>(length, width - at.x);
        std::memcpy(at.row + at.x, from, n);
        at.x += n;
        from += n;
        length -= n;
        if (at.x == width) {
            if (!(at.row = rows.Next())) return at;
            at.x = 0;
        }
        if (length == 0) return at;
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
        if (++running > limit) {
            if (running > kRunningStop) {
                running = kRunningStop;
            } else if (bits < kMaxBits) {
                limit <<= 1;
                ++bits;
            }
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
[[gnu::noinline]] void DecodeAsGiflib(Tables& t, const Frame& f, RowSink& rows, Blocks& blocks,
                                      Bits in, Counter counter, unsigned last, unsigned defined,
                                      unsigned code, BYTE* row, UINT x) {
    const unsigned clear = f.clear, end = clear + 1;
    // Entries not defined have no prefix; their suffixes are never written out.
    Entry* const e = t.entry;
    for (unsigned i = 0; i < kCodes; i = i == clear + 1 ? defined : i + 1) {
        e[i].prefix = kNoCode;
        e[i].suffix = 0;
    }
    // giflib's DGifGetPrefixChar: the first byte of a string, by a walk of bounded length.
    const auto prefixChar = [&](unsigned c) {
        unsigned steps = 0;
        while (c > clear && steps++ <= kLastCode) {
            if (c > kLastCode) return kNoCode;
            c = e[c].prefix;
        }
        return c;
    };
    BYTE* const stack = t.string;
    for (;;) {
        if (code == end) return rows.Cut(row, x);
        if (code == clear) {
            for (Entry& entry : t.entry) entry.prefix = kNoCode;
            counter.Reset(clear, f.minimum);
            last = kNoCode;
        } else {
            const unsigned entry = counter.running - 2;
            unsigned depth = 0;
            if (code < clear) {
                stack[depth++] = static_cast<BYTE>(code);
            } else {
                unsigned walk = code;
                if (e[code].prefix == kNoCode) {
                    walk = last;
                    const auto byte = static_cast<BYTE>(prefixChar(code == entry ? last : code));
                    e[entry].suffix = byte;
                    stack[depth++] = byte;
                }
                while (depth < kLastCode && walk > clear && walk <= kLastCode) {
                    stack[depth++] = e[walk].suffix;
                    walk = e[walk].prefix;
                }
                if (depth >= kLastCode || walk > kLastCode) return rows.Cut(row, x);
                stack[depth++] = static_cast<BYTE>(walk);
            }
            if (last != kNoCode && entry < kCodes && e[entry].prefix == kNoCode) {
                e[entry].prefix = static_cast<uint16_t>(last);
                e[entry].suffix = static_cast<BYTE>(prefixChar(code == entry ? last : code));
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
        if (!Need(in, counter.bits, blocks)) return rows.Cut(row, x);
        code = static_cast<unsigned>(in.word) & (counter.limit - 1);
        in.word >>= counter.bits;
        in.count -= counter.bits;
        counter.Count();
    }
}

// The walk, compiled twice (below): without BMI2, every variable shift goes through one register,
// and moving the code width and the bit count in and out of it is a good part of a code's work.
[[gnu::always_inline]] inline void DecodeWalk(Tables& t, const Frame& f, RowSink& rows,
                                              size_t firstBlock) {
    const unsigned clear = f.clear, width = f.width;
    for (unsigned i = 0; i < clear; ++i) {
        t.entry[i] = Entry{i, 0, 1, kNoCode, uint8_t(i), uint8_t(i)};
    }
    t.entry[clear].length = t.entry[clear + 1].length = 0;  // clear and end have no string

    Blocks blocks{f.data, f.size, nullptr, firstBlock};
    Bits in{0, 0, nullptr};
    BYTE* row = rows.First();
    UINT x = 0;
    // Writes `code`'s string; false once no more rows are wanted.
    const auto put = [&](unsigned code) __attribute__((always_inline)) {
        const Entry& string = t.entry[code];
        if (x + string.length + 7u <= width) {
            WriteString(t, string, row + x);
            x += string.length;
            return true;
        }
        const Cursor next = PutAcrossRows(t, string, Cursor{row, x}, width, rows);
        row = next.row;
        x = next.x;
        return row != nullptr;
    };
    const auto take = [&](unsigned bits) {
        const unsigned code = static_cast<unsigned>(in.word) & ((1u << bits) - 1);
        in.word >>= bits;
        in.count -= bits;
        return code;
    };
    for (;;) {
        // The first code, at the start or after a clear: a literal, as no string comes before.
        Counter counter;
        counter.Reset(clear, f.minimum);
        unsigned defined = clear + 2;  // entries below are defined
        if (!Need(in, counter.bits, blocks)) return rows.Cut(row, x);
        unsigned last = take(counter.bits);
        counter.Count();
        if (last == clear) continue;
        if (last > clear) {
            return DecodeAsGiflib(t, f, rows, blocks, in, counter, kNoCode, defined, last, row, x);
        }
        if (!put(last)) return;

        // Each code defines the next entry: the string before and this one's first byte. Here
        // giflib's count of codes is `defined` + 2 once a code is read.
        unsigned bits = counter.bits;
        for (; defined < kCodes; ++defined) {
            if (!Need(in, bits, blocks)) return rows.Cut(row, x);
            const unsigned code = take(bits);
            // The count past what the width holds (`defined` + 2 > 1 << bits) widens it.
            if ((defined + 1) >> bits && bits < kMaxBits) ++bits;
            if (code < clear) {
                // A literal, the commonest code of a noisy picture: one byte, no string to copy.
                Extend(t.entry[defined], t.entry[last], last, static_cast<BYTE>(code));
                last = code;
                row[x] = static_cast<BYTE>(code);
                if (++x == width) {
                    if (!(row = rows.Next())) return;
                    x = 0;
                }
                continue;
            }
            if (code < defined && t.entry[code].length != 0) {
                Extend(t.entry[defined], t.entry[last], last, t.entry[code].first);
            } else if (code == defined) {
                // The entry being defined: the string before, and its own first byte again.
                Extend(t.entry[defined], t.entry[last], last, t.entry[last].first);
            } else if (code == clear) {
                break;
            } else {
                // The end code where pixels are still wanted, or a code the table lacks.
                return DecodeAsGiflib(t, f, rows, blocks, in,
                                      Counter{defined + 2, bits, 1u << bits}, last, defined, code,
                                      row, x);
            }
            last = code;
            if (!put(code)) return;
        }
        if (defined < kCodes) continue;  // a clear

        // A full table is kept until a clear: giflib's count stays at 4097.
        for (;;) {
            if (!Need(in, bits, blocks)) return rows.Cut(row, x);
            const unsigned code = take(bits);
            if (t.entry[code].length == 0) {
                if (code == clear) break;
                return DecodeAsGiflib(t, f, rows, blocks, in,
                                      Counter{kRunningStop, bits, 1u << bits}, last, defined, code,
                                      row, x);
            }
            last = code;
            if (!put(code)) return;
        }
    }
}

[[gnu::noinline]] void DecodeBaseline(Tables& t, const Frame& f, RowSink& rows, size_t first) {
    DecodeWalk(t, f, rows, first);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::noinline, gnu::target("bmi2")]] void DecodeBmi2(Tables& t, const Frame& f, RowSink& rows,
                                                       size_t first) {
    DecodeWalk(t, f, rows, first);
}
#endif

void Decode(Tables& t, const Frame& f, RowSink& rows, size_t firstBlock) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool bmi2 = __builtin_cpu_supports("bmi2");
    if (bmi2) return DecodeBmi2(t, f, rows, firstBlock);
#endif
    DecodeBaseline(t, f, rows, firstBlock);
}

}  // namespace

bool DecodeGifIndices(const GifLzwFrame& frame, const WICRect& rect, UINT stride, BYTE* buffer,
                      BYTE fill) {
    if (frame.width == 0 || frame.height == 0 || rect.Width <= 0 || rect.Height <= 0) return true;
    // giflib refuses a code size above 8 before any row: every row is the fill.
    if (frame.codeSizeOffset >= frame.size || frame.data[frame.codeSizeOffset] > 8) {
        for (INT y = 0; y < rect.Height; ++y) {
            std::memset(buffer + size_t{stride} * static_cast<UINT>(y), fill,
                        static_cast<UINT>(rect.Width));
        }
        return true;
    }
    const unsigned minimum = frame.data[frame.codeSizeOffset];
    std::unique_ptr<Tables> tables(new (std::nothrow) Tables);
    std::unique_ptr<BYTE[]> own(new (std::nothrow) BYTE[frame.width]);
    if (!tables || !own) return false;
    RowSink rows(frame, rect, stride, buffer, own.get(), fill);
    Decode(*tables, Frame{frame.data, frame.size, frame.width, minimum, 1u << minimum}, rows,
           frame.codeSizeOffset + 1);
    return true;
}

}  // namespace platform::imaging
