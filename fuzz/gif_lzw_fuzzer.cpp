// The stand-in's own LZW decoder against giflib on the same frames: any difference in the
// indices, or in the answer, is a finding. A GIF file is taken as it is; any other input is
// one frame's LZW data behind a header made from its first 4 bytes (code size, width, height,
// and flags: interlaced, a transparent fill, cut off without a terminator, sub-block length),
// so that mutations reach the code stream rather than the container.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/gif_decoders_compare.h"

namespace {

std::vector<uint8_t> FrameAround(const uint8_t* data, size_t size) {
    const uint8_t minimum = 1 + data[0] % 8, flags = data[3];
    const uint8_t width = 1 + data[1], height = 1 + data[2] % 64;
    const size_t blockLength = 1 + (flags >> 3) * 8;
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', width, 0, height, 0, 0x87, 0, 0};
    for (int i = 0; i < 256; ++i) file.insert(file.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    if (flags & 2) file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, 0x5A, 0});
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, width, 0, height, 0});
    file.push_back(flags & 1 ? 0x40 : 0);
    file.push_back(minimum);
    for (size_t at = 4; at < size; at += blockLength) {
        const size_t length = std::min(blockLength, size - at);
        file.push_back(static_cast<uint8_t>(length));
        file.insert(file.end(), data + at, data + at + length);
    }
    if (!(flags & 4)) file.insert(file.end(), {0, 0x3B});
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return -1;
    const bool gif = size >= 6 && std::memcmp(data, "GIF8", 4) == 0;
    const std::vector<uint8_t> file =
        gif ? std::vector<uint8_t>(data, data + size) : FrameAround(data, size);
    const std::string difference = FirstDecoderDifference(file);
    if (!difference.empty()) {
        std::fprintf(stderr, "gif_lzw_fuzzer: our decoder and giflib differ: %s\n",
                     difference.c_str());
        std::abort();
    }
    return 0;
}
