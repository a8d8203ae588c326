#include "tests/support/gif_builder.h"

#include <algorithm>

namespace {

constexpr unsigned kMaxCodes = 4096;  // 12-bit codes

class Writer {
  public:
    void Byte(unsigned value) { out_.push_back(static_cast<uint8_t>(value)); }
    void Word(unsigned value) {
        Byte(value & 0xFF);
        Byte(value >> 8);
    }
    void Text(const std::string& text) { out_.insert(out_.end(), text.begin(), text.end()); }
    // Data sub-blocks of at most 255 bytes, then the zero-length terminator.
    void SubBlocks(const std::vector<uint8_t>& data) {
        for (size_t at = 0; at < data.size(); at += 255) {
            size_t length = std::min<size_t>(255, data.size() - at);
            Byte(static_cast<unsigned>(length));
            out_.insert(out_.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                        data.begin() + static_cast<std::ptrdiff_t>(at + length));
        }
        Byte(0);
    }
    void Table(const std::vector<GifColor>& table, unsigned entries) {
        for (unsigned i = 0; i < entries; ++i) {
            GifColor color = i < table.size() ? table[i] : GifColor{0, 0, 0};
            Byte(color.r);
            Byte(color.g);
            Byte(color.b);
        }
    }
    std::vector<uint8_t> Take() { return std::move(out_); }

  private:
    std::vector<uint8_t> out_;
};

// Codes go out least significant bit first, as GIF packs them.
class BitPacker {
  public:
    void Put(unsigned code, unsigned width) {
        buffer_ |= static_cast<uint32_t>(code) << count_;
        count_ += width;
        while (count_ >= 8) {
            bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    std::vector<uint8_t> Finish() {
        if (count_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
        count_ = 0;
        buffer_ = 0;
        return std::move(bytes_);
    }

  private:
    uint32_t buffer_ = 0;
    unsigned count_ = 0;
    std::vector<uint8_t> bytes_;
};

unsigned BitsFor(unsigned count) {
    unsigned bits = 1;
    while ((1u << bits) < count) ++bits;
    return bits;
}

struct TableLayout {
    bool present;
    uint8_t sizeField;
    unsigned entriesWritten;
    unsigned colours;  // what a decoder takes the table to hold
};

TableLayout LayOut(const std::vector<GifColor>& table, const std::optional<uint8_t>& sizeField) {
    unsigned padded = std::min(256u, 1u << BitsFor(static_cast<unsigned>(table.size())));
    if (sizeField) {
        unsigned field = *sizeField & 7u;
        return {!table.empty(), static_cast<uint8_t>(field), static_cast<unsigned>(table.size()),
                2u << field};
    }
    if (table.empty()) return {false, 0, 0, 0};
    return {true, static_cast<uint8_t>(BitsFor(padded) - 1), padded, padded};
}

std::vector<uint8_t> DisplayToStreamOrder(const GifFrame& frame) {
    size_t width = frame.width, height = frame.height;
    if (frame.indices.empty()) return std::vector<uint8_t>(width * height, 0);
    if (!frame.interlaced || frame.indices.size() != width * height) return frame.indices;
    std::vector<uint8_t> out;
    out.reserve(frame.indices.size());
    constexpr size_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (size_t row = kStart[pass]; row < height; row += kStep[pass]) {
            auto begin = frame.indices.begin() + static_cast<std::ptrdiff_t>(row * width);
            out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(width));
        }
    }
    return out;
}

void WriteFrame(Writer& out, const GifFrame& frame, const TableLayout& global) {
    if (frame.control) {
        const GifControl& control = *frame.control;
        out.Byte(0x21);
        out.Byte(0xF9);
        out.Byte(4);
        out.Byte(((control.disposal & 7u) << 2) | (control.userInput ? 2u : 0u) |
                 (control.transparencyFlag ? 1u : 0u));
        out.Word(control.delay);
        out.Byte(control.transparentIndex);
        out.Byte(0);
    }

    TableLayout local = LayOut(frame.localTable, frame.localTableSizeField);
    out.Byte(0x2C);
    out.Word(frame.left);
    out.Word(frame.top);
    out.Word(frame.width);
    out.Word(frame.height);
    out.Byte((local.present ? 0x80u : 0u) | (frame.interlaced ? 0x40u : 0u) | local.sizeField);
    out.Table(frame.localTable, local.entriesWritten);
    if (frame.omitImageData) return;

    std::vector<uint8_t> indices = DisplayToStreamOrder(frame);
    unsigned colours = local.present ? local.colours : global.colours;
    unsigned largest = indices.empty() ? 0u : *std::max_element(indices.begin(), indices.end());
    // A code size must cover every index actually used, even one outside a lying table.
    auto codeSize = static_cast<uint8_t>(std::max({2u, BitsFor(colours), BitsFor(largest + 1)}));
    out.Byte(frame.lzwMinimumCodeSize.value_or(codeSize));
    out.SubBlocks(GifLzwEncode(indices, codeSize));
}

}  // namespace

std::vector<uint8_t> GifLzwEncode(const std::vector<uint8_t>& indices, uint8_t minimumCodeSize) {
    const unsigned clear = 1u << minimumCodeSize, end = clear + 1;
    // The code for (prefix code, next index), 0 for none: no added code is ever that small.
    std::vector<uint16_t> dictionary(kMaxCodes * 256, 0);
    unsigned next = 0, width = 0;
    BitPacker bits;
    auto reset = [&] {
        bits.Put(clear, width ? width : minimumCodeSize + 1u);
        std::fill(dictionary.begin(), dictionary.end(), uint16_t{0});
        next = clear + 2;
        width = minimumCodeSize + 1u;
    };
    reset();

    std::optional<unsigned> prefix;
    for (uint8_t index : indices) {
        if (!prefix) {
            prefix = index;
            continue;
        }
        uint16_t& known = dictionary[*prefix * 256 + index];
        if (known) {
            prefix = known;
            continue;
        }
        bits.Put(*prefix, width);
        known = static_cast<uint16_t>(next++);
        // The decoder adds its entries one code behind the encoder, so it widens its reads once
        // the code before `next` no longer fits.
        if (next - 1 == (1u << width) && width < 12) ++width;
        if (next == kMaxCodes) reset();
        prefix = index;
    }
    if (prefix) {
        bits.Put(*prefix, width);
        // Reading that last code adds one more entry on the decoder's side, which may widen the
        // end-of-information code that follows.
        if (next == (1u << width) && width < 12) ++width;
    }
    bits.Put(end, width);
    return bits.Finish();
}

std::vector<uint8_t> BuildGif(const GifImage& image) {
    Writer out;
    out.Text(image.gif87a ? "GIF87a" : "GIF89a");

    TableLayout global = LayOut(image.globalTable, image.globalTableSizeField);
    out.Word(image.width);
    out.Word(image.height);
    // Colour resolution 8 bits, not sorted.
    out.Byte((global.present ? 0x80u : 0u) | 0x70u | global.sizeField);
    out.Byte(image.backgroundIndex);
    out.Byte(0);  // no pixel aspect ratio
    out.Table(image.globalTable, global.entriesWritten);

    if (image.loopCount) {
        out.Byte(0x21);
        out.Byte(0xFF);
        out.Byte(11);
        out.Text("NETSCAPE2.0");
        out.Byte(3);
        out.Byte(1);
        out.Word(*image.loopCount);
        out.Byte(0);
    }

    for (size_t i = 0; i < image.frames.size(); ++i) {
        if (i < image.commentsBeforeFrame.size() && !image.commentsBeforeFrame[i].empty()) {
            const std::string& comment = image.commentsBeforeFrame[i];
            out.Byte(0x21);
            out.Byte(0xFE);
            out.SubBlocks(std::vector<uint8_t>(comment.begin(), comment.end()));
        }
        WriteFrame(out, image.frames[i], global);
    }
    if (!image.omitTrailer) out.Byte(0x3B);
    return out.Take();
}

GifFrame SolidFrame(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index,
                    uint16_t delay, uint8_t disposal) {
    GifFrame frame;
    frame.left = left;
    frame.top = top;
    frame.width = width;
    frame.height = height;
    frame.control = GifControl{};
    frame.control->delay = delay;
    frame.control->disposal = disposal;
    frame.indices.assign(size_t{width} * height, index);
    return frame;
}

GifImage PaintedAnimation(unsigned count, uint16_t width, uint16_t height, uint16_t delay,
                          uint8_t disposal, std::vector<GifColor> palette,
                          const std::function<void(unsigned, std::vector<uint8_t>&)>& paint) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.globalTable = std::move(palette);
    for (unsigned i = 0; i < count; ++i) {
        GifFrame frame = SolidFrame(0, 0, width, height, 0, delay, disposal);
        paint(i, frame.indices);
        image.frames.push_back(std::move(frame));
    }
    return image;
}

GifImage SimpleAnimation(unsigned count, uint16_t width, uint16_t height, uint16_t delay,
                         uint8_t disposal) {
    return PaintedAnimation(count, width, height, delay, disposal,
                            {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
                            [](unsigned i, std::vector<uint8_t>& indices) {
                                std::fill(indices.begin(), indices.end(),
                                          static_cast<uint8_t>(i % 4));
                            });
}
