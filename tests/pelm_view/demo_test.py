#!/usr/bin/env python3
"""pelm-view --headless on the built-in demo animation (16 frames of 160x120 on a transparent
canvas), which needs no corpus: what each case writes is compared with ImageMagick's
coalesced frames of the same GIF.

usage: demo_test.py CASE PELM_VIEW DEMO_GIF WORK_DIR WRONG_SIGNATURE_MODULE
cases: frames placement frame_cap rotation still refusals
"""
import os
import subprocess
import sys

import frames

WIDTH, HEIGHT, COUNT = 160, 120, 16
DEFAULT, BLUE = 0x303030, 0x3366CC
WRONG_SIGNATURE_MODULE = None  # from the command line


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(viewer, out_dir, *options):
    code, output = frames.run_viewer(viewer, out_dir, None, *options)
    check(code == 0, f"pelm-view {' '.join(options)} exited with {code}: {output.strip()}")
    return output


def frames_match(out_dir, reference, width, height, wanted):
    """The written frames are exactly `wanted` (indices) and equal `reference`'s frames."""
    written = frames.written_frames(out_dir)
    check(written == [f"frame-{i:04d}.png" for i in wanted],
          f"wrote {written}, not frames {list(wanted)}")
    got = frames.read_pngs([os.path.join(out_dir, n) for n in written])
    canvas = width * height * 3
    for i in wanted:
        wrong = frames.first_difference(got[i * canvas:(i + 1) * canvas],
                                        reference[i * canvas:(i + 1) * canvas], width)
        check(wrong is None, f"frame {i}, pixel {wrong and wrong[:2]}: "
                             f"{wrong and wrong[2]} instead of {wrong and wrong[3]}")


def reference_frames(demo, background, *after):
    reference = frames.coalesced(demo, "-background", f"#{background:06X}", "-alpha", "remove",
                                 "-alpha", "off", *after, "-depth", "8", "rgb:-")
    check(len(reference) == WIDTH * HEIGHT * 3 * COUNT,
          f"ImageMagick gives {len(reference)} bytes for the demo")
    return reference


def case_frames(viewer, demo, work):
    """Every frame, none skipped, 1:1 over the default host colour."""
    out_dir = os.path.join(work, "default")
    run(viewer, out_dir, "--frames", str(COUNT))
    frames_match(out_dir, reference_frames(demo, DEFAULT), WIDTH, HEIGHT, range(COUNT))
    print(f"{COUNT} frames of {WIDTH}x{HEIGHT} equal ImageMagick's over the default 303030")


def crop(picture, width, left, top, w, h):
    return b"".join(picture[((top + y) * width + left) * 3:((top + y) * width + left + w) * 3]
                    for y in range(h))


def check_surround(picture, width, height, inner, colour, label):
    left, top, w, h = inner
    want = colour.to_bytes(3, "big")
    for y in range(height):
        for x in range(width):
            if left <= x < left + w and top <= y < top + h:
                continue
            at = (y * width + x) * 3
            check(picture[at:at + 3] == want,
                  f"{label}: pixel {x},{y} outside the picture is {picture[at:at + 3].hex()}")


def four_frames_in(viewer, work, width, height):
    """The first four frames of the demo in a window of width x height on the blue host
    colour, as RGB bytes each."""
    out_dir = os.path.join(work, f"{width}x{height}")
    run(viewer, out_dir, "--background", f"{BLUE:06X}", "--size", f"{width}x{height}",
        "--frames", "4")
    got = frames.read_pngs([os.path.join(out_dir, n) for n in frames.written_frames(out_dir)])
    size = width * height * 3
    check(len(got) == 4 * size, f"the frames are not 4 of {width}x{height}")
    return [got[f * size:(f + 1) * size] for f in range(4)]


def case_placement(viewer, demo, work):
    """A larger window: the picture 1:1 in the middle, the host's colour around it. A smaller
    one: shrunk to fit, keeping its aspect ratio, drawn with linear interpolation (at half
    size that is the mean of each 2x2 block, give or take one)."""
    reference = reference_frames(demo, BLUE)
    canvas = WIDTH * HEIGHT * 3
    for f, picture in enumerate(four_frames_in(viewer, work, 200, 160)):
        check_surround(picture, 200, 160, (20, 20, WIDTH, HEIGHT), BLUE, f"200x160 frame {f}")
        wrong = frames.first_difference(crop(picture, 200, 20, 20, WIDTH, HEIGHT),
                                        reference[f * canvas:(f + 1) * canvas], WIDTH)
        check(wrong is None, f"200x160 frame {f}: the picture differs at {wrong}")

    for f, picture in enumerate(four_frames_in(viewer, work, 100, 60)):
        check_surround(picture, 100, 60, (10, 0, 80, 60), BLUE, f"100x60 frame {f}")
        source = reference[f * canvas:(f + 1) * canvas]
        halved = bytearray()
        for y in range(60):
            for x in range(80):
                for c in range(3):
                    total = sum(source[((2 * y + dy) * WIDTH + 2 * x + dx) * 3 + c]
                                for dy in (0, 1) for dx in (0, 1))
                    halved.append((total + 2) // 4)
        wrong = frames.first_difference(crop(picture, 100, 10, 0, 80, 60), bytes(halved), 80,
                                        lambda i: 1)
        check(wrong is None, f"100x60 frame {f}: the halved picture differs at {wrong}")
    print("1:1 centred in 200x160 and halved into 100x60, the host's colour around both")


def case_frame_cap(viewer, demo, work):
    """More frames than the image has: all of them, said so. Fewer: the first ones, frame 0
    included although it comes round last."""
    reference = reference_frames(demo, DEFAULT)
    out_dir = os.path.join(work, "forty")
    output = run(viewer, out_dir, "--frames", "40")
    check("has 16 frames" in output, f"no word of the cap: {output.strip()}")
    frames_match(out_dir, reference, WIDTH, HEIGHT, range(COUNT))
    out_dir = os.path.join(work, "three")
    run(viewer, out_dir, "--frames", "3")
    frames_match(out_dir, reference, WIDTH, HEIGHT, range(3))
    out_dir = os.path.join(work, "all")
    run(viewer, out_dir)
    frames_match(out_dir, reference, WIDTH, HEIGHT, range(COUNT))
    print("--frames 40 wrote 16, --frames 3 wrote 0 to 2, no --frames wrote 16")


def case_rotation(viewer, demo, work):
    """A quarter turn either way: the window follows the turned picture, 120x160, 1:1."""
    for degrees in (90, -90):
        reference = reference_frames(demo, DEFAULT, "-rotate", str(degrees))
        out_dir = os.path.join(work, f"rotate{degrees}")
        run(viewer, out_dir, "--rotate", str(degrees), "--frames", str(COUNT))
        frames_match(out_dir, reference, HEIGHT, WIDTH, range(COUNT))
    print("turned by 90 and -90 degrees, equal to ImageMagick's turned frames")


def case_still(viewer, demo, work):
    """A single frame (the demo's fourth, saved alone): painted by one Render, no stepping; a
    larger --frames is capped to it."""
    os.makedirs(work, exist_ok=True)
    still = os.path.join(work, "still.gif")
    made = subprocess.run(["convert", demo, "-coalesce", "-delete", "0-2,4--1", "+repage", still],
                          capture_output=True)
    check(made.returncode == 0, f"convert cannot make the still: {made.stderr.decode()}")
    out_dir = os.path.join(work, "frames")
    code, output = frames.run_viewer(viewer, out_dir, still, "--background", f"{BLUE:06X}",
                                     "--frames", "5")
    check(code == 0, f"pelm-view exited with {code}: {output.strip()}")
    check("has 1 frames" in output, f"no word of the cap: {output.strip()}")
    frames_match(out_dir, frames.flattened(still, BLUE), WIDTH, HEIGHT, range(1))
    print("a still: one frame of 160x120, equal to ImageMagick's")


def case_refusals(viewer, demo, work):
    """No module, a library without the export, a record signed by another name, an image the
    module cannot open, and a bad option: each ends non-zero with a message and writes
    nothing. (The wrong-signature module aborts if any of its entry points is called.)"""
    platform = os.path.join(os.path.dirname(viewer), "libtavoren_platform.so")
    not_an_image = os.path.join(work, "not-an-image.gif")
    os.makedirs(work, exist_ok=True)
    with open(not_an_image, "wb") as f:
        f.write(b"GIF89a but nothing else")
    cases = [
        (["--module", os.path.join(work, "missing.so")], None, "cannot load"),
        (["--module", platform], None, "has no GetTavorenModuleInfo"),
        (["--module", WRONG_SIGNATURE_MODULE], None, 'not signed "PelmTavorenModule"'),
        ([], not_an_image, "cannot open"),
        (["--frames", "0"], None, "--frames"),
    ]
    for options, image, message in cases:
        out_dir = os.path.join(work, "refused")
        code, output = frames.run_viewer(viewer, out_dir, image, *options)
        label = " ".join(options + ([os.path.basename(image)] if image else []))
        check(code != 0, f"{label}: exit code 0")
        check(message in output, f"{label}: no \"{message}\" in: {output.strip()}")
        check(not frames.written_frames(out_dir), f"{label}: frames written")
        print(f"{label}: exit code {code}, {output.strip().splitlines()[0]}")


CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    global WRONG_SIGNATURE_MODULE
    case, viewer, demo, work, WRONG_SIGNATURE_MODULE = sys.argv[1:6]
    frames.require_imagemagick()
    try:
        CASES[case](viewer, demo, os.path.join(work, case))
    except Failure as failure:
        print(f"FAILED {case}: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
