#include "hosts/core/colour.h"

#include <algorithm>
#include <cctype>

namespace {

struct NamedColour {
    std::string_view name;
    uint32_t rgb;
};

constexpr NamedColour kNamedColours[] = {
    {"black", 0x000000},   {"white", 0xFFFFFF},   {"gray", 0x808080},   {"grey", 0x808080},
    {"silver", 0xC0C0C0},  {"red", 0xFF0000},     {"maroon", 0x800000}, {"yellow", 0xFFFF00},
    {"olive", 0x808000},   {"lime", 0x00FF00},    {"green", 0x008000},  {"aqua", 0x00FFFF},
    {"cyan", 0x00FFFF},    {"teal", 0x008080},    {"blue", 0x0000FF},   {"navy", 0x000080},
    {"fuchsia", 0xFF00FF}, {"magenta", 0xFF00FF}, {"purple", 0x800080}, {"orange", 0xFFA500},
};

std::optional<uint32_t> NamedColourOf(std::string_view text) {
    for (const NamedColour& named : kNamedColours) {
        if (std::equal(
                text.begin(), text.end(), named.name.begin(), named.name.end(),
                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
            return named.rgb;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> ParseColour(std::string_view text) {
    if (const std::optional<uint32_t> named = NamedColourOf(text)) return named;
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}
