"""What the pelm-view tests share: running the viewer headless, reading the frames it wrote,
and ImageMagick's coalesced frames of the same image as the reference. Standard library only;
pictures travel as raw RGB(A) bytes through ImageMagick's convert."""
import os
import shutil
import subprocess
import sys

SKIP = 77  # the tests' SKIP_RETURN_CODE


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(SKIP)


def require_imagemagick():
    if not shutil.which("convert") or not shutil.which("identify"):
        skip("ImageMagick (convert, identify) is not installed")


def run_viewer(viewer, out_dir, image=None, *options):
    """Runs `pelm-view --headless` into a fresh `out_dir`; its exit code and output."""
    shutil.rmtree(out_dir, ignore_errors=True)
    command = [viewer, "--headless", "--out", out_dir, *options]
    if image:
        command.append(image)
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout + done.stderr


def written_frames(out_dir):
    """The frame files in `out_dir`, in order of their names."""
    if not os.path.isdir(out_dir):
        return []
    return sorted(n for n in os.listdir(out_dir) if n.startswith("frame-") and n.endswith(".png"))


def png_size(path):
    """Width and height from the PNG header."""
    with open(path, "rb") as f:
        header = f.read(24)
    return int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")


def read_pngs(paths):
    """The pixels of the PNGs, as RGB bytes one picture after another."""
    done = subprocess.run(["convert", *paths, "-depth", "8", "rgb:-"], capture_output=True)
    if done.returncode != 0:
        raise RuntimeError(f"convert cannot read {paths[0]}...: {done.stderr.decode()}")
    return done.stdout


def ping(image):
    """ImageMagick's frame count and canvas size of `image`, or None when it refuses it."""
    done = subprocess.run(["identify", "-ping", "-format", "%n %W %H\n", image],
                          capture_output=True, text=True)
    lines = done.stdout.split("\n")
    if done.returncode != 0 or not lines[0]:
        return None
    count, width, height = (int(v) for v in lines[0].split())
    return count, width, height


def coalesced(image, *options):
    """ImageMagick's coalesced frames of `image` converted by `options` (ending in the raw
    format); empty when ImageMagick refuses the file."""
    done = subprocess.run(["convert", image, "-coalesce", *options], capture_output=True)
    return done.stdout if done.returncode == 0 else b""


def flattened(image, background):
    """The coalesced frames flattened over `background` (0xRRGGBB): RGB bytes."""
    return coalesced(image, "-background", f"#{background:06X}", "-alpha", "remove",
                     "-alpha", "off", "-depth", "8", "rgb:-")


def first_difference(got, expected, width, tolerance=None):
    """The first pixel (x, y, got, expected) where two RGB pictures differ, or None.
    `tolerance`, if given, is a function of the pixel index that gives the allowed difference
    per channel."""
    if tolerance is None and got == expected:
        return None
    for i in range(0, min(len(got), len(expected)), 3):
        allowed = tolerance(i // 3) if tolerance else 0
        if any(abs(got[i + c] - expected[i + c]) > allowed for c in range(3)):
            return (i // 3) % width, (i // 3) // width, got[i:i + 3].hex(), expected[i:i + 3].hex()
    return None
