// How much pixel work one fuzz input may cause. A few bytes can name a 16384 x 16384 canvas or
// a 65535 x 65535 frame, which the module and the stand-in handle (the stand-in refuses what
// Direct2D's texture limit refuses), but decoding such frames one input after another would
// make every run a test of memory bandwidth instead of the parsers. The fuzzers stop an
// input's pixel work once its budget is spent; what it asked for before then is all done.
#pragma once

#include <cstdint>

// Pixels written or read per input. A decoder walk writes each pixel about three times
// (indices, colours, a second copy); the module about five (decode, convert, compose, save,
// restore). At these budgets the slowest input takes a few tenths of a second with the
// sanitizers, and a large frame is still decoded as far as the budget goes.
constexpr uint64_t kDecoderPixelBudget = uint64_t{1} << 21;  // 2 M pixels, 8 MB at 32 bits
constexpr uint64_t kModulePixelBudget = uint64_t{1} << 23;   // 8 M pixels, 32 MB at 32 bits
// Frames composed or decoded per input, whatever their size.
constexpr unsigned kMaxFramesPerInput = 300;

class PixelBudget {
  public:
    explicit PixelBudget(uint64_t pixels) : left_(pixels) {}

    // Takes `pixels` from the budget when it has them; false leaves the budget spent.
    bool Take(uint64_t pixels) {
        if (spent_ || pixels > left_) {
            spent_ = true;
            return false;
        }
        left_ -= pixels;
        return true;
    }
    uint64_t left() const { return spent_ ? 0 : left_; }

  private:
    uint64_t left_;
    bool spent_ = false;
};
