#!/usr/bin/env python3
"""Holds each target's answers for the GIF corpus against the others: the Linux stand-in
against Windows' own imaging component (Wine's), and the 64-bit against the 32-bit build.

usage: compare_corpus_answers.py BUILD_DIR
"""
import os
import sys

# Files on which the stand-in and Wine's decoder differ by design. Wine's GIF decoder decodes
# the whole file when it is created and refuses it on any damage; the stand-in indexes the
# blocks and lets damaged pixel data end a frame early, so the frames before stay viewable.
KNOWN_DIFFERENCES = {
    "wuffs-hippopotamus.interlaced.truncated.gif":
        "image data cut off: Wine refuses the file, the stand-in keeps the frame",
    "wuffs-pixel-data-none.gif":
        "no image data at all: Wine refuses the file, the stand-in keeps the frame",
    "wuffs-pixel-data-not-enough.gif":
        "too little image data: Wine refuses the file, the stand-in keeps the frame",
    "pillow-decompression_bomb.gif":
        "a 65535-wide frame with LZW code size 143: Wine refuses the file, the stand-in counts "
        "the frame as one that cannot be fetched (the load succeeds, the frame is skipped)",
}


def read(path):
    answers = {}
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line:
                name, _, rest = line.partition(" ")
                answers[name] = rest
    return answers


def main():
    build = sys.argv[1]
    targets = {t: read(os.path.join(build, t, "test-reports", "corpus-scan.txt"))
               for t in ("linux", "win64", "win32")}
    present = {t: a for t, a in targets.items() if a is not None}
    if "linux" not in present or len(present) < 2:
        print("corpus comparison: skipped (answers missing: corpus absent or a target not run)")
        return 0
    failures = 0
    names = sorted(present["linux"])
    for name in names:
        native = present["linux"].get(name)
        for target in ("win64", "win32"):
            if target not in present:
                continue
            other = present[target].get(name)
            if other == native:
                continue
            if name in KNOWN_DIFFERENCES:
                continue
            failures += 1
            print(f"corpus comparison: {name} differs between linux and {target}:\n"
                  f"  linux: {native}\n  {target}: {other}")
        if "win64" in present and "win32" in present and present["win64"].get(name) != present["win32"].get(name):
            failures += 1
            print(f"corpus comparison: {name} differs between win64 and win32")
    same = len(names) - len(KNOWN_DIFFERENCES)
    print(f"corpus comparison: {len(names)} GIFs, {same} alike on every target, "
          f"{len(KNOWN_DIFFERENCES)} differences by design, {failures} unexpected")
    for name, reason in sorted(KNOWN_DIFFERENCES.items()):
        print(f"  by design: {name}: {reason}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
