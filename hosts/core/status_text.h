// The status line of both hosts, in the same words.
#pragma once

#include <cstddef>
#include <string>

// What the host knows of playback: the module reports none of it, so the host follows the
// requests and keys it passes on, by the module's own rules.
enum class Transport { Still, Playing, Paused, Stopped };

// m:ss.mmm; negative counts as 0.
std::string FormatTime(int ms);

struct StatusFacts {
    std::string name;  // the file's name, UTF-8
    size_t place = 0;  // 1-based, in its folder; 0: no folder (the demo)
    size_t count = 0;
    int width = 0, height = 0;  // displayed
    double scale = 1.0;
    Transport transport = Transport::Still;
    int positionMs = 0, durationMs = 0;
    std::string error;  // set: the file did not open, and why
};

// "cat.gif  3/17  64x48  100%  playing  0:01.200 / 0:03.400", or for a file that failed,
// "cat.gif  3/17  cannot open: not a GIF or WebP image".
std::string StatusText(const StatusFacts& facts);
