// Everything a caller of the imaging component may ask of one image in memory, through the
// COM interfaces only: the decoder, its palette, the container's and every frame's metadata,
// and every frame's pixels through a format converter to 32bppPBGRA as the module converts
// them, plus a few calls with arguments that must be refused. Shared by the GIF and the WebP
// decoder fuzzers.
#pragma once

#include <cstddef>
#include <cstdint>

void WalkDecoder(const uint8_t* data, size_t size);
