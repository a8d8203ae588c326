// The stand-in's WebP decoder alone, through the imaging component's interfaces. Inputs
// without the RIFF/WEBP header would only test the signature check, so they end at once.
#include <cstring>

#include "fuzz/decoder_walk.h"
#include "fuzz/live_objects_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0) {
        return -1;  // not kept in the corpus
    }
    LiveObjectsCheck check;
    WalkDecoder(data, size);
    return 0;
}
