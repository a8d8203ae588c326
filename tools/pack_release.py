#!/usr/bin/env python3
"""Writes the release's INSTALL.txt and SHA256SUMS into the staged folder and packs the zip a
user installs from: the two modules, INSTALL.txt and SHA256SUMS, under one folder named after
the zip. The same files give the same zip: entries sorted, every date SOURCE_DATE_EPOCH (UTC),
one mode, no extra fields. The debug files stay out of it.

usage: pack_release.py STAGE_DIR VERSION ZIP
"""
import hashlib
import os
import sys
import time
import zipfile

MODULES = ["Pelm_TavorenGif.tvm32", "Pelm_TavorenGif.tvm64"]
INSTALL_TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "release_install.txt")


def main():
    stage, version, archive = sys.argv[1:4]
    with open(INSTALL_TEMPLATE, encoding="utf-8") as template:
        install = template.read().replace("@VERSION@", version)
    # CRLF: the text is read on Windows, by Notepad among others.
    with open(os.path.join(stage, "INSTALL.txt"), "wb") as out:
        out.write(install.replace("\n", "\r\n").encode("utf-8"))

    listed = sorted(MODULES + ["INSTALL.txt"])
    with open(os.path.join(stage, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        for name in listed:
            with open(os.path.join(stage, name), "rb") as f:
                sums.write(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")

    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    date = time.gmtime(epoch)[:6]
    folder = os.path.splitext(os.path.basename(archive))[0]
    with zipfile.ZipFile(archive, "w") as out:
        for name in sorted(listed + ["SHA256SUMS"]):
            entry = zipfile.ZipInfo(f"{folder}/{name}", date_time=date)
            entry.create_system = 3  # Unix, whatever builds it
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(stage, name), "rb") as f:
                out.writestr(entry, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
