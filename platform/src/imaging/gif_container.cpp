// Walks a GIF's blocks once. Every length comes from the file, so each is checked against
// the bytes that remain before it is used; a cut-off file ends the walk at the last block
// that is whole, and its frames so far stay.
#include "imaging/gif_container.h"

#include <cstring>

namespace platform::imaging {
namespace {

constexpr BYTE kExtensionIntroducer = 0x21;
constexpr BYTE kImageSeparator = 0x2C;
constexpr BYTE kTrailer = 0x3B;
constexpr BYTE kGraphicControlLabel = 0xF9;

constexpr BYTE kColorTableFlag = 0x80;

USHORT Le16(const BYTE* p) {
    return static_cast<USHORT>(p[0] | (p[1] << 8));
}

UINT TableColors(BYTE packed) {
    return 2u << (packed & 7);
}

std::vector<WICColor> ReadTable(const BYTE* p, UINT colors) {
    std::vector<WICColor> table(colors);
    for (UINT i = 0; i < colors; ++i, p += 3) {
        table[i] = 0xFF000000u | (UINT32{p[0]} << 16) | (UINT32{p[1]} << 8) | p[2];
    }
    return table;
}

// Skips a run of data sub-blocks and its terminator. False when the file ends inside it.
bool SkipSubBlocks(const BYTE* data, size_t size, size_t* pos) {
    while (*pos < size) {
        // Each length byte depends on the one before, so the walk would wait on memory at
        // every block of a large file; image data mostly comes in full 255-byte blocks, so
        // fetch the lengths a few blocks ahead.
        __builtin_prefetch(data + *pos + 16 * 256);
        const BYTE length = data[(*pos)++];
        if (length == 0) return true;
        if (length > size - *pos) {
            *pos = size;
            return false;
        }
        *pos += length;
    }
    return false;
}

}  // namespace

GifContainer::GifContainer(SharedBytes bytes, GifScreen screen, std::vector<WICColor> globalPalette,
                           std::vector<GifFrameRecord> frames)
    : bytes_(std::move(bytes)),
      screen_(screen),
      globalPalette_(std::move(globalPalette)),
      frames_(std::move(frames)) {}

void GifContainer::FrameSize(UINT index, UINT* width, UINT* height) const {
    *width = frames_[index].width;
    *height = frames_[index].height;
}

HRESULT GifContainer::ContainerMetadata(LPCWSTR path, PROPVARIANT* value) const {
    const BYTE packed = screen_.packed;
    return AnswerQuery(
        {
            {"/logscrdesc/Width", {VT_UI2, screen_.width}},
            {"/logscrdesc/Height", {VT_UI2, screen_.height}},
            {"/logscrdesc/GlobalColorTableFlag", {VT_BOOL, (packed >> 7) & 1u}},
            {"/logscrdesc/ColorResolution", {VT_UI1, (packed >> 4) & 7u}},
            {"/logscrdesc/SortFlag", {VT_BOOL, (packed >> 3) & 1u}},
            {"/logscrdesc/GlobalColorTableSize", {VT_UI1, packed & 7u}},
            {"/logscrdesc/BackgroundColorIndex", {VT_UI1, screen_.backgroundIndex}},
            {"/logscrdesc/PixelAspectRatio", {VT_UI1, screen_.aspectRatio}},
        },
        path, value);
}

HRESULT GifContainer::FrameMetadata(UINT index, LPCWSTR path, PROPVARIANT* value) const {
    const GifFrameRecord& frame = frames_[index];
    const BYTE packed = frame.packed;
    const HRESULT descriptor = AnswerQuery(
        {
            {"/imgdesc/Left", {VT_UI2, frame.left}},
            {"/imgdesc/Top", {VT_UI2, frame.top}},
            {"/imgdesc/Width", {VT_UI2, frame.width}},
            {"/imgdesc/Height", {VT_UI2, frame.height}},
            {"/imgdesc/LocalColorTableFlag", {VT_BOOL, (packed >> 7) & 1u}},
            {"/imgdesc/InterlaceFlag", {VT_BOOL, (packed >> 6) & 1u}},
            {"/imgdesc/SortFlag", {VT_BOOL, (packed >> 5) & 1u}},
            {"/imgdesc/LocalColorTableSize", {VT_UI1, packed & 7u}},
        },
        path, value);
    if (descriptor != WINCODEC_ERR_PROPERTYNOTFOUND) return descriptor;
    const GifControlBlock& control = frame.control;
    if (!control.present) return WINCODEC_ERR_PROPERTYNOTFOUND;
    return AnswerQuery(
        {
            {"/grctlext/Disposal", {VT_UI1, control.disposal}},
            {"/grctlext/UserInputFlag", {VT_BOOL, control.userInput}},
            {"/grctlext/TransparencyFlag", {VT_BOOL, control.transparencyFlag}},
            {"/grctlext/Delay", {VT_UI2, control.delay}},
            {"/grctlext/TransparentColorIndex", {VT_UI1, control.transparentIndex}},
        },
        path, value);
}

// The frame's palette as Windows gives it: the local table, else the global one, else
// Windows' own default of black, white and black again, as many entries as the screen
// descriptor's size field names. The transparent index, when the control block sets its flag
// and the table reaches it, has alpha 0.
HRESULT GifContainer::FramePalette(UINT index, std::vector<WICColor>* colors) const {
    const GifFrameRecord& frame = frames_[index];
    if (frame.packed & kColorTableFlag) {
        *colors = ReadTable(bytes_->data() + frame.localTableOffset, frame.localTableColors);
    } else if (!globalPalette_.empty()) {
        *colors = globalPalette_;
    } else {
        colors->assign(TableColors(screen_.packed), 0xFF000000u);
        (*colors)[1] = 0xFFFFFFFFu;
    }
    const GifControlBlock& control = frame.control;
    if (control.transparencyFlag && control.transparentIndex < colors->size()) {
        (*colors)[control.transparentIndex] &= 0x00FFFFFFu;
    }
    return S_OK;
}

std::unique_ptr<Container> OpenGif(const SharedBytes& bytes) {
    const BYTE* data = bytes->data();
    const size_t size = bytes->size();
    constexpr size_t kHeaderAndScreen = 13;
    if (size < 6 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)) {
        return nullptr;
    }
    if (size < kHeaderAndScreen) return nullptr;

    GifScreen screen;
    screen.width = Le16(data + 6);
    screen.height = Le16(data + 8);
    screen.packed = data[10];
    screen.backgroundIndex = data[11];
    screen.aspectRatio = data[12];
    size_t pos = kHeaderAndScreen;

    std::vector<WICColor> globalPalette;
    if (screen.packed & kColorTableFlag) {
        const UINT colors = TableColors(screen.packed);
        if (size - pos < 3 * size_t{colors}) return nullptr;
        globalPalette = ReadTable(data + pos, colors);
        pos += 3 * size_t{colors};
    }

    std::vector<GifFrameRecord> frames;
    GifControlBlock pending;
    while (pos < size) {
        const BYTE introducer = data[pos++];
        if (introducer == kTrailer) break;
        if (introducer == kExtensionIntroducer) {
            if (pos >= size) break;
            const BYTE label = data[pos++];
            // Only the first control block before an image counts, as "/grctlext" names it.
            if (label == kGraphicControlLabel && !pending.present && pos < size && data[pos] == 4 &&
                size - pos >= 5) {
                const BYTE* block = data + pos + 1;
                pending.present = true;
                pending.disposal = (block[0] >> 2) & 7;
                pending.userInput = (block[0] >> 1) & 1;
                pending.transparencyFlag = block[0] & 1;
                pending.delay = Le16(block + 1);
                pending.transparentIndex = block[3];
            }
            if (!SkipSubBlocks(data, size, &pos)) break;
            continue;
        }
        if (introducer != kImageSeparator) break;  // not a block: the rest is not GIF data

        constexpr size_t kDescriptor = 9;
        if (size - pos < kDescriptor) break;
        GifFrameRecord frame;
        frame.separatorOffset = pos - 1;
        frame.left = Le16(data + pos);
        frame.top = Le16(data + pos + 2);
        frame.width = Le16(data + pos + 4);
        frame.height = Le16(data + pos + 6);
        frame.packed = data[pos + 8];
        frame.control = pending;
        pending = GifControlBlock{};
        pos += kDescriptor;
        if (frame.packed & kColorTableFlag) {
            frame.localTableColors = TableColors(frame.packed);
            frame.localTableOffset = pos;
            if (size - pos < 3 * size_t{frame.localTableColors}) {
                // The table is cut off: the frame is counted but has nothing to decode.
                frame.fetchable = false;
                frames.push_back(frame);
                break;
            }
            pos += 3 * size_t{frame.localTableColors};
        }
        if (pos >= size) {
            frame.fetchable = false;
            frames.push_back(frame);
            break;
        }
        frame.imageDataOffset = pos;
        const BYTE minimumCodeSize = data[pos++];
        // An LZW code size outside 1..8 cannot be decoded at all, unless the frame has no
        // pixels to decode (Wine's decoder takes such a frame too).
        frame.fetchable =
            (minimumCodeSize >= 1 && minimumCodeSize <= 8) || frame.width == 0 || frame.height == 0;
        frames.push_back(frame);
        // Image data cut short still leaves a frame: its decode ends where the data does.
        if (!SkipSubBlocks(data, size, &pos)) break;
    }
    return std::make_unique<GifContainer>(bytes, screen, std::move(globalPalette),
                                          std::move(frames));
}

}  // namespace platform::imaging
