// Colours as people write them on a command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// "RRGGBB" or "#RRGGBB", hexadecimal digits in either case, or a colour's name ("black",
// "white", "grey", "navy", ...: the sixteen of HTML, and grey, cyan, magenta, orange), in either
// case: 0xRRGGBB, or nothing.
std::optional<uint32_t> ParseColour(std::string_view text);
