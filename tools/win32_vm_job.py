#!/usr/bin/env python3
"""The two ends of tools/win32-vm's test run: the job the guest runs, and its answer read back.

usage:
  win32_vm_job.py make ROOT BUILD_DIR JOB_DIR TIMEOUT TEST...
      Writes JOB_DIR/job.sh, which runs each named ctest test of BUILD_DIR in the guest with
      ctest's own command, environment and working folder, each under TIMEOUT seconds, and
      JOB_DIR/m/, the files it needs at the paths they have here: the build's programs, the
      Wine scripts, the corpus and the native run's composition references.
  win32_vm_job.py collect BUILD_DIR OUT_DIR JUNIT [--static JUNIT] TEST...
      Copies the guest's gtest reports into BUILD_DIR/test-reports and writes JUNIT in ctest's
      form (with the test cases of the --static file first), one case a test, failed where the
      guest's exit status was not 0 or the guest gave none. Prints each test's time and the
      end of a failed test's output; exits 1 when any failed.
"""
import json
import os
import shlex
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

GUEST_PREFIX = "/opt/tavoren/wineprefix"


def ctest_tests(build_dir):
    out = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                         check=True, capture_output=True, text=True).stdout
    tests = {}
    for test in json.loads(out)["tests"]:
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        tests[test["name"]] = {"command": test.get("command", []), **props}
    return tests


def mirror(src, job_dir):
    """Copies SRC (a file or folder) under JOB_DIR/m at its own absolute path."""
    dest = os.path.join(job_dir, "m", src.lstrip("/"))
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    if os.path.isdir(src):
        shutil.copytree(src, dest, symlinks=True)
    else:
        shutil.copy2(src, dest)
    return src


def make(root, build_dir, job_dir, timeout, names):
    tests = ctest_tests(build_dir)
    os.makedirs(job_dir, exist_ok=True)
    folders = [mirror(os.path.join(build_dir, "bin"), job_dir)]
    for extra in (os.path.join(os.path.dirname(root), "shared", "corpus"),
                  os.path.join(root, "build", "linux", "test-reports", "composition-references")):
        if os.path.isdir(extra):
            folders.append(mirror(extra, job_dir))
    for script in ("wine-env", "wine-run"):
        mirror(os.path.join(root, "tools", script), job_dir)
    folders.append(os.path.join(root, "tools"))
    os.makedirs(os.path.join(job_dir, "reports"), exist_ok=True)
    os.makedirs(os.path.join(job_dir, "results"), exist_ok=True)

    q = shlex.quote
    lines = ["set -u"]
    # Each mirrored folder, and the reports folder on the job's disk, mounted where the
    # build's paths expect them; the image's prefix where tools/wine-env looks for it.
    binds = [(f"/t/m{folder}", folder) for folder in folders]
    binds.append(("/t/reports", os.path.join(build_dir, "test-reports")))
    binds.append((GUEST_PREFIX, os.path.join(root, "build", "wineprefix")))
    for source, target in binds:
        lines.append(f"mkdir -p {q(target)} && mount --bind {q(source)} {q(target)} || exit 1")
    lines += [
        "Xvfb :7 -screen 0 1920x1200x24 -nolisten tcp >/t/results/xvfb.log 2>&1 &",
        "for _ in $(seq 300); do [ -e /tmp/.X11-unix/X7 ] && break; sleep 0.1; done",
        "export DISPLAY=:7",
        # The tests whose deadlines assume a real machine's speed skip on seeing it.
        "export TAVOREN_EMULATED_MACHINE=1",
        f"export WINEPREFIX={q(os.path.join(root, 'build', 'wineprefix'))}",
        # One persistent server for the whole run, as on the build machine.
        "wineserver -p",
        'echo "guest: ready to run in $(cut -d" " -f1 /proc/uptime) s" >&2',
        "status=0",
    ]
    for name in names:
        test = tests[name]
        env = [e for e in test.get("ENVIRONMENT", [])]
        workdir = test.get("WORKING_DIRECTORY", build_dir)
        command = " ".join(q(a) for a in test["command"])
        lines += [
            f"mkdir -p {q(workdir)}",
            "start=$(date +%s%N)",
            f"(cd {q(workdir)} && exec env {' '.join(q(e) for e in env)} "
            f"timeout -k 10 {timeout} {command}) </dev/null >/t/results/{q(name)}.log 2>&1",
            "rc=$?",
            f'line="{name} $rc $((($(date +%s%N) - start) / 1000000))"',
            # The statuses also on the serial console, where the host can follow the run.
            'echo "$line" >>/t/results/status.txt; echo "guest: $line" >/dev/console',
            '[ $rc -eq 0 ] || status=1',
            "sync",
        ]
    # Nothing of the run left holding the job's disk, so that the guest can unmount it.
    lines += ["wineserver -k", "wineserver -w", "kill %1 2>/dev/null; wait"]
    lines += [f"umount {q(target)}" for _, target in reversed(binds)]
    lines += ["exit $status"]
    with open(os.path.join(job_dir, "job.sh"), "w") as out:
        out.write("\n".join(lines) + "\n")


def collect(build_dir, out_dir, junit, static, names):
    reports = os.path.join(build_dir, "test-reports")
    # A report left by an earlier run would stand for a test that crashed before writing one.
    for name in names:
        stale = os.path.join(reports, f"{name}.xml")
        if os.path.exists(stale):
            os.remove(stale)
    if os.path.isdir(os.path.join(out_dir, "reports")):
        shutil.copytree(os.path.join(out_dir, "reports"), reports, dirs_exist_ok=True)
    status = {}
    try:
        with open(os.path.join(out_dir, "results", "status.txt")) as lines:
            for line in lines:
                name, rc, seconds = (line.split() + ["0"])[:3]
                status[name] = (int(rc), int(seconds) / 1000)
    except OSError:
        pass

    suite = ET.Element("testsuite", name="win32-vm")
    if static and os.path.exists(static):
        for case in ET.parse(static).getroot().iter("testcase"):
            suite.append(case)
    failed = 0
    for name in names:
        rc, seconds = status.get(name, (None, 0.0))
        case = ET.SubElement(suite, "testcase", name=name, classname=name,
                             time=f"{seconds:.1f}", status="run" if rc == 0 else "fail")
        log_path = os.path.join(out_dir, "results", f"{name}.log")
        output = open(log_path, errors="replace").read() if os.path.exists(log_path) else ""
        ET.SubElement(case, "system-out").text = output[-20000:]
        if rc == 0:
            print(f"  {name}: passed in {seconds:.1f} s")
            continue
        failed += 1
        why = ("no answer from the guest" if rc is None else
               "timed out" if rc in (124, 137) else f"exit status {rc}")
        ET.SubElement(case, "failure", message=why)
        print(f"  {name}: FAILED ({why}) after {seconds:.1f} s; its output ends:")
        for line in output.splitlines()[-30:]:
            print(f"    {line}")
    suite.set("tests", str(len(suite)))
    suite.set("failures", str(failed))
    ET.ElementTree(suite).write(junit, encoding="utf-8", xml_declaration=True)
    return 1 if failed else 0


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "make":
        root, build_dir, job_dir, timeout, *names = args
        make(root, build_dir, job_dir, int(timeout), names)
        return 0
    if mode == "collect":
        build_dir, out_dir, junit, *rest = args
        static = None
        if rest[:1] == ["--static"]:
            static, rest = rest[1], rest[2:]
        return collect(build_dir, out_dir, junit, static, rest)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
