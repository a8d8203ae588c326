#!/usr/bin/env python3
"""Reads a Windows module's version resource from the file, without loading it (the 32-bit
module cannot run on every build machine), and checks it names this module.

usage: check_version_resource.py MODULE VERSION ORIGINAL_FILENAME
Exit 0 when it matches, 1 when not (each difference printed), 77 when pefile is missing.
"""
import sys

try:
    import pefile
except ImportError:
    print("skipped: Python's pefile is missing (Debian package python3-pefile)")
    sys.exit(77)

DESCRIPTION = "GifAnimation Viewer Module ver. 0.2"
VFT_DLL = 2
US_ENGLISH_UNICODE = "0x0409 0x04b0"


def read_resource(path):
    """The fixed version (four numbers, file and product), the strings and the translation."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        return None
    fixed = pe.VS_FIXEDFILEINFO[0]
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings, translation = {}, None
    for info in pe.FileInfo[0] if pe.FileInfo else []:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings[table.LangID.decode()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translation = var.entry.get(b"Translation")
    return {
        "file_version": split(fixed.FileVersionMS, fixed.FileVersionLS),
        "product_version": split(fixed.ProductVersionMS, fixed.ProductVersionLS),
        "file_type": fixed.FileType,
        "strings": strings,
        "translation": translation,
    }


def main():
    path, version, original = sys.argv[1:4]
    resource = read_resource(path)
    if resource is None:
        print(f"{path}: no version resource")
        return 1
    numbers = tuple(int(part) for part in version.split("."))
    numbers += (0,) * (4 - len(numbers))
    strings = resource["strings"].get("040904B0", {})
    expected = [
        ("fixed file version", resource["file_version"], numbers),
        ("fixed product version", resource["product_version"], numbers),
        ("file type", resource["file_type"], VFT_DLL),
        ("translation", resource["translation"], US_ENGLISH_UNICODE),
        ("FileDescription", strings.get("FileDescription"), DESCRIPTION),
        ("FileVersion", strings.get("FileVersion"), version),
        ("ProductVersion", strings.get("ProductVersion"), version),
        ("OriginalFilename", strings.get("OriginalFilename"), original),
        ("ProductName", strings.get("ProductName"), "Pelm_TavorenGif"),
    ]
    failed = 0
    for name, actual, wanted in expected:
        if actual != wanted:
            print(f"{path}: {name} is {actual!r}, expected {wanted!r}")
            failed += 1
    if failed:
        return 1
    print(f"{path}: version {'.'.join(map(str, numbers))}, {strings['FileDescription']!r}, "
          f"{strings['OriginalFilename']}, {strings.get('LegalCopyright')!r}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
