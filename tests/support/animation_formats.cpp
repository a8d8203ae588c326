#include "tests/support/animation_formats.h"

#include <stdexcept>

#include "tests/support/gif_builder.h"
#include "tests/support/platform_info.h"

#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

const char* FormatName(ImageFormat format) {
    return format == ImageFormat::Gif ? "Gif" : "WebP";
}

std::string FormatUnavailable(ImageFormat format) {
    if (format == ImageFormat::Gif) return {};
#if !TAVOREN_HAS_WEBP_BUILDER
    return "no WebP encoder in this build to make the images";
#else
    if (RunningUnderWine()) return "Wine's imaging component has no WebP decoder";
    return {};
#endif
}

std::vector<BYTE> BuildSolidAnimation(ImageFormat format, int width, int height,
                                      const std::vector<int>& delaysMs, bool still) {
    if (format == ImageFormat::Gif) {
        GifImage image =
            SimpleAnimation(static_cast<unsigned>(delaysMs.size()), static_cast<uint16_t>(width),
                            static_cast<uint16_t>(height), 0);
        for (size_t i = 0; i < delaysMs.size(); ++i) {
            if (delaysMs[i] % 10) throw std::invalid_argument("GIF delays are hundredths");
            image.frames[i].control->delay = static_cast<uint16_t>(delaysMs[i] / 10);
        }
        const std::vector<uint8_t> bytes = BuildGif(image);
        return {bytes.begin(), bytes.end()};
    }
#if TAVOREN_HAS_WEBP_BUILDER
    std::vector<WebPTestFrame> frames(delaysMs.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].durationMs = delaysMs[i];
        frames[i].argb = 0xFF000000u | (0x3F7Fu * static_cast<uint32_t>(i + 1));
    }
    const std::vector<uint8_t> bytes = BuildAnimatedWebP(width, height, frames, still);
    return {bytes.begin(), bytes.end()};
#else
    (void)still;
    throw std::logic_error("no WebP encoder in this build");
#endif
}
