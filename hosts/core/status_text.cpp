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
    if (!facts.error.empty()) return text + "  cannot open: " + facts.error;
    text += "  " + std::to_string(facts.width) + "x" + std::to_string(facts.height);
    text += "  " + std::to_string(std::lround(facts.scale * 100)) + "%";
    text += "  ";
    text += TransportWord(facts.transport);
    if (facts.transport != Transport::Still) {
        text += "  " + FormatTime(facts.positionMs) + " / " + FormatTime(facts.durationMs);
    }
    return text;
}
