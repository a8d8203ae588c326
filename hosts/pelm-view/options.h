// What pelm-view is asked to do, read from its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hosts/core/host_defaults.h"

struct Options {
    bool headless = false;
    std::string module;                        // empty: the module beside the executable
    std::vector<std::string> files;            // files or a folder; none: the demo animation
    uint32_t background = kDefaultBackground;  // 0xRRGGBB, the host's colour
    // Headless only.
    std::string outDir;
    std::optional<uint32_t> frames;  // unset: every frame
    int width = 0, height = 0;       // 0: the displayed picture's size
    std::string keys;                // G and I, pressed before the first frame
    int rotate = 0;                  // one rotation step in degrees before the first frame
};

// The options, or nullopt after printing why they cannot be used (or the usage, for --help,
// or the version, for --version, with `helpAsked` set).
std::optional<Options> ParseOptions(int argc, char** argv, bool* helpAsked);
