// The animation a reference host shows when it is given no file: 16 frames of 160 by 120,
// a ball circling over a translucent panel on a transparent canvas, 60 ms a frame. The hosts
// load it through the module's memory path.
#pragma once

#include <cstddef>

extern const unsigned char kDemoAnimation[];
extern const std::size_t kDemoAnimationSize;
