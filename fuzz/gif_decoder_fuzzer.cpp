// The stand-in's GIF decoder alone, through the imaging component's interfaces. Inputs
// without a GIF signature would only test the signature check, so they end at once.
#include <cstring>

#include "fuzz/decoder_walk.h"
#include "fuzz/live_objects_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)) {
        return -1;  // not kept in the corpus
    }
    LiveObjectsCheck check;
    WalkDecoder(data, size);
    return 0;
}
