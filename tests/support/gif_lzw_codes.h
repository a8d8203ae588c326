// GIF LZW code streams made code by code, for data that the builder's encoder never writes: a
// table kept full without a clear, clear codes anywhere, codes the table does not hold yet.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// Packs `codes`, least significant bit first, each as wide as a decoder reads it there: the
// width grows as codes are read (one past a power of two, up to 12 bits), stops growing once
// 4096 codes are counted, and a clear code starts it over.
inline std::vector<uint8_t> PackGifCodes(const std::vector<uint16_t>& codes, uint8_t minimum) {
    const unsigned clear = 1u << minimum;
    unsigned running = clear + 2, width = minimum + 1u;
    uint64_t buffer = 0;
    unsigned count = 0;
    std::vector<uint8_t> out;
    for (uint16_t code : codes) {
        buffer |= uint64_t{code & ((1u << width) - 1)} << count;
        for (count += width; count >= 8; count -= 8, buffer >>= 8) out.push_back(buffer & 0xFF);
        if (running < 4097 && ++running > (1u << width) && width < 12) ++width;
        if (code == clear) running = clear + 2, width = minimum + 1u;
    }
    if (count) out.push_back(buffer & 0xFF);
    return out;
}

// The codes of `indices`, starting with a clear, where a full table is kept as it is (a deferred
// clear) rather than cleared; with `clearEvery` set, a clear follows every that many codes.
inline std::vector<uint16_t> GifLzwCodes(const std::vector<uint8_t>& indices, uint8_t minimum,
                                         size_t clearEvery = 0) {
    const uint16_t clear = static_cast<uint16_t>(1u << minimum);
    std::map<std::pair<uint16_t, uint8_t>, uint16_t> table;
    std::vector<uint16_t> codes{clear};
    unsigned next = clear + 2u;
    size_t sinceClear = 0;
    int prefix = -1;
    for (uint8_t index : indices) {
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        const auto known = table.find({static_cast<uint16_t>(prefix), index});
        if (known != table.end()) {
            prefix = known->second;
            continue;
        }
        codes.push_back(static_cast<uint16_t>(prefix));
        if (next < 4096)
            table[{static_cast<uint16_t>(prefix), index}] = static_cast<uint16_t>(next++);
        if (clearEvery && ++sinceClear == clearEvery) {
            codes.push_back(clear);
            table.clear();
            next = clear + 2u;
            sinceClear = 0;
        }
        prefix = index;
    }
    if (prefix >= 0) codes.push_back(static_cast<uint16_t>(prefix));
    codes.push_back(static_cast<uint16_t>(clear + 1));
    return codes;
}
