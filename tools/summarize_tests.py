#!/usr/bin/env python3
"""Sums up one build's test run: the cases of each gtest report, and every other ctest test
as one case. Prints one line for the build and writes the counts for the final total.

usage: summarize_tests.py LABEL CTEST_JUNIT GTEST_REPORT_DIR COUNTS_FILE [REASON EXECUTABLE...]

With REASON, the executables named after it were not run on this machine: each counts as one
skipped test, and the build's line says why.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    passed = failed = skipped = 0
    for case in root.iter("testcase"):
        if case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1
        elif case.find("failure") is not None:
            failed += 1
        else:
            passed += 1
    return passed, failed, skipped


def main():
    label, junit, report_dir, counts_file = sys.argv[1:5]
    reason, not_run = (sys.argv[5], sorted(set(sys.argv[6:]))) if len(sys.argv) > 5 else ("", [])
    passed = failed = skipped = 0
    if os.path.exists(junit):
        for test in ET.parse(junit).getroot().iter("testcase"):
            name = test.get("name")
            status = test.get("status", "")
            report = os.path.join(report_dir, f"{name}.xml")
            if status == "run" and os.path.exists(report):
                p, f, s = gtest_counts(report)
            elif status == "run":
                p, f, s = 1, 0, 0
            elif status == "disabled" or test.find("skipped") is not None:
                p, f, s = 0, 0, 1
            else:
                # A failed or crashed executable: its report, if any, says how far it got.
                p, f, s = gtest_counts(report) if os.path.exists(report) else (0, 0, 0)
                f = max(f, 1)
            passed, failed, skipped = passed + p, failed + f, skipped + s
    else:
        failed = 1
    skipped += len(not_run)
    line = f"{label}: {passed} passed, {failed} failed, {skipped} skipped"
    if not_run:
        line += f" (not run: {reason}: {', '.join(not_run)})"
    print(line)
    with open(counts_file, "a") as out:
        out.write(f"{label} {passed} {failed} {skipped}\n")


if __name__ == "__main__":
    main()
