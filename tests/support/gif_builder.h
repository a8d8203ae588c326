// Writes GIF files byte by byte, so that tests can make exactly the file they need: well-formed
// animations as well as files with lying tables, bad code sizes or missing data.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct GifColor {
    uint8_t r, g, b;
};

struct GifControl {        // graphic control extension (0x21 0xF9, block size 4)
    uint8_t disposal = 0;  // 0..7, bits 2-4 of the packed byte
    bool userInput = false;
    bool transparencyFlag = false;
    uint16_t delay = 0;  // hundredths of a second
    uint8_t transparentIndex = 0;
};

struct GifFrame {
    uint16_t left = 0, top = 0, width = 1, height = 1;
    // None: no graphic control block.
    std::optional<GifControl> control;
    // Empty: no local table. Padded with black up to a power of two >= 2 (at most 256); the
    // packed size field is log2(n) - 1.
    std::vector<GifColor> localTable;
    // Overrides the packed size field, for lying tables; localTable is then written as given,
    // without padding. With an empty table the flag stays 0 but the field is still written.
    std::optional<uint8_t> localTableSizeField;
    bool interlaced = false;
    // width * height palette indices, row-major in display order; empty: all zero. When
    // interlaced, the rows are written in interlace order (passes of 8/8/4/2). A list of any
    // other length is written as is, for short or overlong data.
    std::vector<uint8_t> indices;
    // Overrides the LZW minimum code size byte only: the data is still encoded with the default
    // size, max(2, bits for the table size, bits for the largest index), so a different value
    // makes the frame undecodable.
    std::optional<uint8_t> lzwMinimumCodeSize;
    // Writes the descriptor (and table) but neither the code size byte nor any sub-block.
    bool omitImageData = false;
};

struct GifImage {
    uint16_t width = 1, height = 1;  // logical screen
    // Empty: no global table (flag 0). Padded like local tables.
    std::vector<GifColor> globalTable;
    std::optional<uint8_t> globalTableSizeField;  // overrides the packed size field, as above
    uint8_t backgroundIndex = 0;
    bool gif87a = false;  // "GIF87a" instead of "GIF89a"; extensions are written all the same
    // NETSCAPE2.0 application extension when set; 0 loops forever.
    std::optional<uint16_t> loopCount;
    // A comment extension before frame i for each non-empty string i; may be shorter than frames.
    std::vector<std::string> commentsBeforeFrame;
    std::vector<GifFrame> frames;
    bool omitTrailer = false;
};

// The complete file, with real, decodable LZW image data.
std::vector<uint8_t> BuildGif(const GifImage& image);

// A width x height frame at (left, top) filled with palette index `index`, with a control
// block of the given delay (hundredths) and disposal.
GifFrame SolidFrame(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index,
                    uint16_t delay, uint8_t disposal);

// `count` full-screen frames of width x height on a global table of 4 colours, frame i filled
// with index i % 4, each with a control block of the given delay (hundredths) and disposal. No
// loop extension.
GifImage SimpleAnimation(unsigned count, uint16_t width, uint16_t height, uint16_t delay,
                         uint8_t disposal = 1);

// `count` full-screen frames of width x height on `palette` as the global table, each with a
// control block of the given delay (hundredths) and disposal; frame i's width * height indices
// are what `paint(i, indices)` leaves in a list of zeros. No loop extension.
GifImage PaintedAnimation(unsigned count, uint16_t width, uint16_t height, uint16_t delay,
                          uint8_t disposal, std::vector<GifColor> palette,
                          const std::function<void(unsigned, std::vector<uint8_t>&)>& paint);

// The GIF LZW code stream for `indices` at the given minimum code size (2..8), before it is cut
// into sub-blocks. Exposed so that tests can build data streams of their own.
std::vector<uint8_t> GifLzwEncode(const std::vector<uint8_t>& indices, uint8_t minimumCodeSize);
