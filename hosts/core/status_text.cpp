#include "hosts/core/status_text.h"

#include <cmath>
#include <cstdio>

std::string FormatTime(int ms) {
    if (ms < 0) ms = 0;
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

namespace {

const char* TransportWord(Transport transport) {
    switch (transport) {
        case Transport::Playing:
            return "playing";
        case Transport::Paused:
            return "paused";
        case Transport::Stopped:
            return "stopped";
        case Transport::Still:
            break;
    }
    return "still";
}

}  // namespace

std::string StatusText(const StatusFacts& facts) {
    std::string text = facts.name;
    if (facts.count > 0) {
        text += "  " + std::to_string(facts.place) + "/" + std::to_string(facts.count);
    }
    const std::string note = facts.note.empty() ? "" : "  " + facts.note;
    if (!facts.error.empty()) return text + "  cannot open: " + facts.error + note;
    text += "  " + std::to_string(facts.width) + "x" + std::to_string(facts.height);
    if (facts.angle != 0) text += "  turned " + std::to_string(facts.angle) + "\u00B0";
    text += "  " + std::to_string(std::lround(facts.scale * 100)) + "%";
    text += "  ";
    text += TransportWord(facts.transport);
    if (facts.transport != Transport::Still) {
        text += "  " + FormatTime(facts.positionMs) + " / " + FormatTime(facts.durationMs);
    }
    return text + note;
}

std::string LoadingText(const std::string& name, uint32_t done, uint32_t total) {
    return name + "  loading frame " + std::to_string(done) + " of " + std::to_string(total);
}

std::string ElideStatus(std::string_view text, const std::function<bool(std::string_view)>& fits) {
    if (fits(text)) return std::string(text);
    static constexpr std::string_view kEllipsis = "\u2026";
    // Whole words first: the text up to each earlier space, with the ellipsis after it.
    for (size_t end = text.rfind(' '); end != std::string_view::npos && end > 0;
         end = text.rfind(' ', end - 1)) {
        const std::string_view kept = text.substr(0, text.find_last_not_of(' ', end) + 1);
        const std::string shorter = std::string(kept) + " " + std::string(kEllipsis);
        if (fits(shorter)) return shorter;
    }
    // The first word alone is too long: cut it between UTF-8 characters.
    std::string_view first = text.substr(0, text.find(' '));
    while (!first.empty()) {
        size_t cut = first.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(first[cut]) & 0xC0) == 0x80) --cut;
        first = first.substr(0, cut);
        const std::string shorter = std::string(first) + std::string(kEllipsis);
        if (fits(shorter)) return shorter;
    }
    return std::string(kEllipsis);
}
