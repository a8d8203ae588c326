// The status line of both hosts, in the same words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What the host knows of playback: the module reports none of it, so the host follows the
// requests and keys it passes on, by the module's own rules.
enum class Transport { Still, Playing, Paused, Stopped };

// m:ss.mmm; negative counts as 0.
std::string FormatTime(int ms);

struct StatusFacts {
    std::string name;  // the file's name, UTF-8
    size_t place = 0;  // 1-based, in its folder; 0: no folder (the demo)
    size_t count = 0;
    int width = 0, height = 0;  // the picture's own, before any turn
    int angle = 0;              // the turn, clockwise: 0, 90, 180 or 270
    double scale = 1.0;
    Transport transport = Transport::Still;
    int positionMs = 0, durationMs = 0;
    std::string error;  // set: the file did not open, and why
    std::string note;   // something the user should know besides, such as a file gone
};

// "cat.gif  3/17  64x48  100%  playing  0:01.200 / 0:03.400", or for a file that failed,
// "cat.gif  3/17  cannot open: not a GIF or WebP image".
// A turned picture adds "turned 90°" after its size; a note comes last.
std::string StatusText(const StatusFacts& facts);

// The status while a file loads: "cat.gif  loading frame 3 of 40".
std::string LoadingText(const std::string& name, uint32_t done, uint32_t total);

// The status shortened to what `fits` accepts: whole words dropped from the end and "…" put
// in their place, so that no word is cut; only a first word (the name) too long on its own
// is cut, between characters, and ends in "…".
std::string ElideStatus(std::string_view text, const std::function<bool(std::string_view)>& fits);
