// What Direct2D's CreateBitmapFromWicBitmap asks of the stand-in's own bitmap sources (the
// format converter), beyond IWICBitmapSource.
#pragma once

#include <wincodec.h>

namespace platform::drawing {

class StandInSource {
  public:
    // Produces the pixels ahead of the copy, for a source whose pixels take working memory to
    // produce (a WebP frame, composed by libwebp on the decoder's canvas): asked before the
    // bitmap's surface is made, so that the working memory is given back before the surface
    // takes as much.
    virtual HRESULT PreparePixels() = 0;
    // IWICBitmapSource::CopyPixels, also answering whether every pixel copied is opaque (false
    // where not known), which the conversion sees for nothing.
    virtual HRESULT CopyPixelsNotingOpacity(const WICRect* rect, UINT stride, UINT bufferSize,
                                            BYTE* buffer, bool* opaque) = 0;

  protected:
    ~StandInSource() = default;
};

}  // namespace platform::drawing
