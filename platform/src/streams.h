// The stand-in's streams, and the one way the decoders take their bytes from them.
#pragma once

#include <objidl.h>

#include <memory>
#include <vector>

namespace platform {

using SharedBytes = std::shared_ptr<const std::vector<BYTE>>;

// Every byte of the stream from its start, as one shared buffer: a memory stream hands over
// its own copy, any other stream is read to its end. Null when the bytes cannot be had.
SharedBytes ReadWholeStream(IStream* stream);

}  // namespace platform
