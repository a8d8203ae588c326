// Test animations in either container the module plays, for the behaviours that hold for both:
// one routine runs its cases over each format.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class ImageFormat { Gif, WebP };

inline constexpr ImageFormat kBothFormats[] = {ImageFormat::Gif, ImageFormat::WebP};

// "Gif" or "WebP", for the names of parameterised cases.
const char* FormatName(ImageFormat format);

// The name of a case that runs for each format: "…/Gif", "…/WebP".
struct FormatCaseName {
    template <typename ParamInfo>
    std::string operator()(const ParamInfo& info) const {
        return FormatName(info.param);
    }
};

// Empty where this build can make the format and the platform decode it; else why not.
std::string FormatUnavailable(ImageFormat format);

// width x height, one full-canvas solid frame per delay, each frame in its own colour. Delays
// are milliseconds; a GIF stores hundredths, so each must be a multiple of 10. With one delay
// and `still`, a still picture: a GIF of one frame, a plain WebP.
std::vector<BYTE> BuildSolidAnimation(ImageFormat format, int width, int height,
                                      const std::vector<int>& delaysMs, bool still = false);

#define SKIP_UNLESS_FORMAT_AVAILABLE(format)                                               \
    if (const std::string unavailable = FormatUnavailable(format); !unavailable.empty()) { \
        GTEST_SKIP() << unavailable;                                                       \
    }
