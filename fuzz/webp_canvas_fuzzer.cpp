// The stand-in's WebP frames, composed on its own canvas, against libwebp's animation decoder
// on the same file: any difference in a frame's pixels, or in which frames decode, is a
// finding. Canvases above 4 M pixels are passed over: both decoders would hold several of them.
#include <webp/demux.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/webp_decoders_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0) {
        return -1;  // not kept in the corpus
    }
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK ||
        uint64_t(features.width) * uint64_t(features.height) > (uint64_t{1} << 22)) {
        return 0;
    }
    const std::string difference =
        FirstWebPCanvasDifference(std::vector<uint8_t>(data, data + size));
    if (!difference.empty()) {
        std::fprintf(stderr, "webp_canvas_fuzzer: ours and libwebp differ: %s\n",
                     difference.c_str());
        std::abort();
    }
    return 0;
}
