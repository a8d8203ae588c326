#!/usr/bin/env python3
"""Prints the description a load should give of every corpus file, read from the file's own
blocks (GIF) or chunks (WebP) without any decoder, as C++ table rows for
tests/corpus_scan_test.cpp:

    {"name", result, frames, width, height, colorBits, totalDuration, damaged},

where damaged marks image data that is cut off, holds an invalid code, or decodes to fewer
pixels than its frame has (a decoder that checks the data as it opens the file refuses it).

The rules applied are the module's: the canvas from the GIF logical screen (a WebP's from its
canvas header), the colour depth from the global colour table's size field, else from the
first image descriptor's local size field (WebP: none), and the total only for two frames or
more, each GIF frame counted by its graphic control block's delay under the normal
display-time rule (10 ms or less shows for 100 ms), each WebP frame by its raw duration."""
import os
import struct
import sys


def display_time(ms):
    return 100 if ms <= 10 else ms


def read_sub_blocks(data, pos):
    """The bytes of a chain of data sub-blocks, the position after it, and whether it ended
    with its terminator inside the data."""
    out = bytearray()
    while pos < len(data):
        size = data[pos]
        pos += 1
        if size == 0:
            return bytes(out), pos, True
        out += data[pos:pos + size]
        if pos + size > len(data):
            break
        pos += size
    return bytes(out), len(data), False


def lzw_pixel_count(code_size, stream):
    """How many pixels the image data decodes to, or None when a code is invalid."""
    if not 2 <= code_size <= 11:
        return None
    clear, end = 1 << code_size, (1 << code_size) + 1
    width, next_code, previous_length = code_size + 1, end + 1, 0
    lengths = {}
    count, bits, held, first = 0, 0, 0, True
    for byte in stream:
        held |= byte << bits
        bits += 8
        while bits >= width:
            code = held & ((1 << width) - 1)
            held >>= width
            bits -= width
            if code == clear:
                width, next_code, previous_length, first = code_size + 1, end + 1, 0, True
                lengths = {}
                continue
            if code == end:
                return count
            if code < clear:
                length = 1
            elif code in lengths:
                length = lengths[code]
            elif code == next_code and not first:
                length = previous_length + 1
            else:
                return None
            if not first and next_code < 4096:
                lengths[next_code] = previous_length + 1
                next_code += 1
                if next_code == (1 << width) and width < 12:
                    width += 1
            count += length
            previous_length, first = length, False
    return count


def describe_gif(data):
    if len(data) < 13 or data[:3] != b"GIF":
        return None
    width, height, packed, _background, _aspect = struct.unpack_from("<HHBBB", data, 6)
    pos = 13
    global_table = packed & 0x80
    color_bits = (packed & 0x07) + 1 if global_table else 0
    if global_table:
        pos += 3 * (2 << (packed & 0x07))
    frames = []  # the delay of each frame's graphic control block, None without one
    control = None
    damaged = False  # image data cut off, invalid or too short for its frame
    while pos < len(data):
        block = data[pos]
        pos += 1
        if block == 0x3B:
            break
        if block == 0x21:
            if pos >= len(data):
                break
            label = data[pos]
            pos += 1
            if label == 0xF9 and pos + 5 <= len(data) and data[pos] >= 4:
                control = struct.unpack_from("<H", data, pos + 2)[0]
            pos = read_sub_blocks(data, pos)[1]
        elif block == 0x2C:
            if pos + 9 > len(data):
                break
            frame_width, frame_height = struct.unpack_from("<HH", data, pos + 4)
            local = data[pos + 8]
            if color_bits == 0:
                color_bits = (local & 0x07) + 1
            pos += 9
            if local & 0x80:
                pos += 3 * (2 << (local & 0x07))
            code_size = data[pos] if pos < len(data) else 0
            pixels, pos, whole = read_sub_blocks(data, pos + 1)
            decoded = lzw_pixel_count(code_size, pixels)
            damaged = damaged or not whole or decoded is None or (
                decoded < frame_width * frame_height)
            frames.append(control)
            control = None
        else:
            break
    total = 0
    if len(frames) >= 2:
        total = sum(display_time(delay * 10) for delay in frames if delay is not None)
    return (0 if frames else -1, len(frames), width, height, color_bits, total, damaged)


def describe_webp(data):
    if len(data) < 12 or data[:4] != b"RIFF" or data[8:12] != b"WEBP":
        return None
    pos = 12
    width = height = 0
    durations = []
    still = False
    while pos + 8 <= len(data):
        tag = data[pos:pos + 4]
        size = struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"VP8X":
            width = 1 + int.from_bytes(body[4:7], "little")
            height = 1 + int.from_bytes(body[7:10], "little")
        elif tag == b"ANMF":
            durations.append(int.from_bytes(body[12:15], "little"))
        elif tag == b"VP8 " and not width:
            still = True
            width = struct.unpack_from("<H", body, 6)[0] & 0x3FFF
            height = struct.unpack_from("<H", body, 8)[0] & 0x3FFF
        elif tag in (b"VP8 ", b"VP8L"):
            still = still or not durations
        pos += 8 + size + (size & 1)
    count = len(durations) or (1 if still else 0)
    total = sum(durations) if count >= 2 else 0
    return (0 if count else -1, count, width, height, 0, total, False)


def main():
    corpus = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "..", "shared", "corpus")
    for kind, describe in (("gif", describe_gif), ("webp", describe_webp)):
        print(f"// {kind}")
        folder = os.path.join(corpus, kind)
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                row = describe(f.read())
            if row is None:
                print(f"// {name}: not a {kind} file")
                continue
            print('{"%s", %d, %d, %d, %d, %d, %d, %s},' %
                  ((name,) + row[:-1] + ("true" if row[-1] else "false",)))


if __name__ == "__main__":
    main()
