// The stand-in's streams, and the one way the decoders take their bytes from them.
#pragma once

#include <objidl.h>

#include <cstring>
#include <memory>

namespace platform {

// An image's bytes, held once and shared by a stream, a decoder and its frames.
class ImageBytes {
  public:
    explicit ImageBytes(size_t size) : data_(new BYTE[size ? size : 1]), size_(size) {}
    ImageBytes(const BYTE* data, size_t size) : ImageBytes(size) {
        if (size) std::memcpy(data_.get(), data, size);
    }
    const BYTE* data() const { return data_.get(); }
    BYTE* data() { return data_.get(); }
    size_t size() const { return size_; }
    void Shrink(size_t size) { size_ = size < size_ ? size : size_; }

  private:
    // Not value-initialised: every byte is written by the copy or the read that fills it.
    std::unique_ptr<BYTE[]> data_;
    size_t size_;
};

using SharedBytes = std::shared_ptr<const ImageBytes>;

// Every byte of the stream from its start, as one shared buffer: a memory stream hands over
// its own copy, any other stream is read to its end. Null when the bytes cannot be had.
SharedBytes ReadWholeStream(IStream* stream);

}  // namespace platform
