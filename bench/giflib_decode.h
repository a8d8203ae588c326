// giflib's bare decode of a GIF held in memory, the floor the module's composition is measured
// against: every frame's indices, line by line, and nothing else.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// giflib's input function over a byte list.
struct GifMemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t at = 0;

    static int Read(GifFileType* gif, GifByteType* out, int wanted) {
        auto* self = static_cast<GifMemoryReader*>(gif->UserData);
        const size_t count =
            std::min<size_t>(static_cast<size_t>(wanted), self->bytes->size() - self->at);
        std::memcpy(out, self->bytes->data() + self->at, count);
        self->at += count;
        return static_cast<int>(count);
    }
};

// Opens the file that `reader` reads; null, with giflib's error code in `error`, on failure.
inline GifFileType* OpenGif(GifMemoryReader& reader, int* error) {
    return DGifOpen(&reader, &GifMemoryReader::Read, error);
}

// Decodes every frame's indices of an opened file into `line` and closes it: the number of
// frames decoded, or -1 with giflib's error code in `error`.
inline int DecodeAllFrames(GifFileType* gif, std::vector<GifByteType>& line, int* error) {
    if (!gif) return -1;
    int decoded = 0;
    GifRecordType type;
    bool ok = true;
    while (ok && (ok = DGifGetRecordType(gif, &type) == GIF_OK) && type != TERMINATE_RECORD_TYPE) {
        if (type == IMAGE_DESC_RECORD_TYPE) {
            ok = DGifGetImageDesc(gif) == GIF_OK;
            const int width = gif->Image.Width, height = gif->Image.Height;
            if (ok && static_cast<size_t>(width) > line.size()) line.resize(width);
            for (int y = 0; ok && y < height; ++y) {
                ok = DGifGetLine(gif, line.data(), width) == GIF_OK;
            }
            decoded += ok ? 1 : 0;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* extension = nullptr;
            ok = DGifGetExtension(gif, &code, &extension) == GIF_OK;
            while (ok && extension) ok = DGifGetExtensionNext(gif, &extension) == GIF_OK;
        }
    }
    if (!ok) *error = gif->Error;
    int closeError = 0;
    DGifCloseFile(gif, &closeError);
    return ok ? decoded : -1;
}
