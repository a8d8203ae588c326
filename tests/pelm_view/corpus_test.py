#!/usr/bin/env python3
"""End to end over the corpus: pelm-view --headless on every animated GIF and WebP that
ImageMagick accepts, each frame written compared with ImageMagick's coalesced frame flattened
over the same background colour. The references and their exceptions are those of
tests/corpus_composition_test.cpp, which composes the same files inside the module.

usage: corpus_test.py PELM_VIEW CORPUS_DIR WORK_DIR
"""
import os
import sys
import time

import frames

BACKGROUND = 0x3366CC

# Where no frame has covered the canvas yet, ImageMagick shows these GIFs' own background
# colour, while the module clears with the colour in effect: they are run with the image's
# colour chosen (key G).
IMAGE_BACKGROUND = {"wuffs-frame-out-of-bounds.gif", "wuffs-multiple-loop-counts.gif"}

DIFFERENT_BY_DESIGN = {
    "wuffs-background-color.gif":
        "ImageMagick starts the canvas with the image's background colour but restores a "
        "disposal-2 area to transparent; the module clears both with the one colour in effect",
}

# Keeps the run short on a small machine.
MOST_PIXELS_SIDE = 256
MOST_FRAMES = 100


def webp_reference(image, width, height):
    """Flattened here from ImageMagick's RGBA, with where each pixel was partly transparent:
    there the module's premultiplied rounding may differ by one."""
    rgba = frames.coalesced(image, "-depth", "8", "rgba:-")
    bg = [(BACKGROUND >> 16) & 0xFF, (BACKGROUND >> 8) & 0xFF, BACKGROUND & 0xFF]
    rgb, partial = bytearray(), []
    for i in range(0, len(rgba), 4):
        a = rgba[i + 3]
        rgb += bytes((rgba[i + c] * a + bg[c] * (255 - a) + 127) // 255 for c in range(3))
        partial.append(0 < a < 255)
    return bytes(rgb), partial


def compare_file(viewer, image, work_dir):
    """(frames compared, failure or None), or None with the reason printed when the file is
    not compared."""
    name = os.path.basename(image)
    kind = "webp" if name.endswith(".webp") else "gif"
    if name in DIFFERENT_BY_DESIGN:
        print(f"not compared: {name}: {DIFFERENT_BY_DESIGN[name]}")
        return None
    pinged = frames.ping(image)
    if not pinged:
        print(f"not compared: {name}: ImageMagick refuses it")
        return None
    count, width, height = pinged
    if count < 2:
        print(f"not compared: {name}: a still")
        return None
    if width > MOST_PIXELS_SIDE or height > MOST_PIXELS_SIDE or count > MOST_FRAMES:
        print(f"not compared: {name}: {count} frames of {width}x{height}, more than the "
              f"{MOST_FRAMES} frames of {MOST_PIXELS_SIDE}x{MOST_PIXELS_SIDE} this run takes")
        return None
    if kind == "gif":
        reference, partial = frames.flattened(image, BACKGROUND), None
    else:
        reference, partial = webp_reference(image, width, height)
    if not reference:
        print(f"not compared: {name}: ImageMagick refuses it")
        return None

    out_dir = os.path.join(work_dir, name)
    options = ["--background", f"{BACKGROUND:06X}"]
    if name in IMAGE_BACKGROUND:
        options += ["--keys", "G"]
    code, output = frames.run_viewer(viewer, out_dir, image, *options)
    if code == 3:
        print(f"not compared: {name}: the module does not open it")
        return None
    if code != 0:
        return 0, f"pelm-view exited with {code}: {output.strip()}"
    written = frames.written_frames(out_dir)
    canvas = width * height * 3
    if len(reference) % canvas:
        return 0, f"ImageMagick's frames are not {width}x{height}"
    expected_count = len(reference) // canvas
    if len(written) != expected_count:
        return 0, f"{len(written)} frames written, ImageMagick has {expected_count}"
    size = frames.png_size(os.path.join(out_dir, written[0]))
    if size != (width, height):
        return 0, f"frames of {size[0]}x{size[1]}, the canvas is {width}x{height}"
    got = frames.read_pngs([os.path.join(out_dir, n) for n in written])
    for f in range(expected_count):
        tolerance = None
        if partial:
            base = f * width * height
            tolerance = lambda i, base=base: 1 if partial[base + i] else 0
        wrong = frames.first_difference(got[f * canvas:(f + 1) * canvas],
                                        reference[f * canvas:(f + 1) * canvas], width, tolerance)
        if wrong:
            x, y, have, want = wrong
            return f, f"frame {f}, pixel {x},{y}: {have} instead of {want}"
    print(f"compared {name}: {expected_count} frames of {width}x{height}")
    return expected_count, None


def main():
    viewer, corpus, work_dir = sys.argv[1:4]
    files = []
    for kind in ("gif", "webp"):
        folder = os.path.join(corpus, kind)
        if os.path.isdir(folder):
            files += sorted(os.path.join(folder, n) for n in os.listdir(folder)
                            if os.path.isfile(os.path.join(folder, n)))
    if not files:
        frames.skip(f"no corpus at {corpus} (a clone without ../shared)")
    frames.require_imagemagick()

    start = time.monotonic()
    compared = {"gif": 0, "webp": 0}
    frame_total, failures, not_compared = 0, [], 0
    for image in files:
        result = compare_file(viewer, image, work_dir)
        if result is None:
            not_compared += 1
            continue
        done, failure = result
        frame_total += done
        name = os.path.basename(image)
        if failure:
            print(f"FAILED {name}: {failure}")
            failures.append(name)
        else:
            compared["webp" if name.endswith(".webp") else "gif"] += 1
    print(f"compared {compared['gif']} animated GIFs and {compared['webp']} animated WebPs, "
          f"{frame_total} frames, in {time.monotonic() - start:.1f} s; {not_compared} files not "
          f"compared, {len(failures)} failed")
    if failures:
        print("failed: " + ", ".join(failures))
        return 1
    if not compared["gif"] or not compared["webp"]:
        print("FAILED: no animated GIF or no animated WebP compared")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
