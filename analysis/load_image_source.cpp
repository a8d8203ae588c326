// LoadImageSource: hands the viewer a new image from a file or from memory.
#include <cstdint>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"

INT32 LoadImageSource(TavorenGif* viewer, LPCWSTR /*filePath*/, const BYTE* /*memoryData*/,
                      SIZE_T memorySize, INT32* memoryResult, UINT_PTR /*unused6*/,
                      UINT_PTR /*unused7*/, ProgressCallback /*progressCallback*/,
                      void* /*userData*/) {
    viewer->ReleaseResources();
    if (memorySize != 0 && memoryResult) *memoryResult = 0;
    // The image stream and the decoders are not built yet: no image can be opened.
    return -1;
}
