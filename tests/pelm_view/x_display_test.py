#!/usr/bin/env python3
"""pelm-view on a real X display of its own (Xvfb), driven as a user drives it with real key
events (xdotool): browsing with Right, End and Home; F1's help dismissed with Esc while the
viewer stays; a turn that stays with its file, read back from the screen; Ctrl+Q. And a file
named on the command line that does not exist: exit code 1 with the message, no window.

usage: x_display_test.py PELM_VIEW WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import time

import frames

TIMEOUT = 20


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, condition):
    """Polls `condition` until it answers true or TIMEOUT passes; X has no event for these."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.05)
    raise Failure(f"no {what} within {TIMEOUT} s")


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


def window_named(name):
    found = xdotool("search", "--name", f"^{name}$")
    return found[0] if found else None


def green_box(window):
    """The bounding box of the pure green pixels in the window, as 'WxH'."""
    shot = subprocess.run(["xwd", "-id", window, "-silent"], capture_output=True).stdout
    box = subprocess.run(["convert", "xwd:-", "-fill", "black", "+opaque", "#00FF00", "-trim",
                          "-format", "%wx%h", "info:"], input=shot, capture_output=True)
    return box.stdout.decode()


def start_display():
    read, write = os.pipe()
    # -noreset: by default the server resets as its last client leaves (the missing-file run,
    # each xdotool call), and a client connecting meanwhile is refused.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=[write],
                            stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as lines:
        number = lines.readline().strip()
    check(number, "Xvfb did not start")
    return xvfb, ":" + number


def main():
    viewer, work = sys.argv[1], sys.argv[2]
    for tool in ("Xvfb", "xdotool", "xwd"):
        if not shutil.which(tool):
            frames.skip(f"{tool} is not installed (tools/install-deps)")
    frames.require_imagemagick()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # b.gif: green on the left, blue on the right, so that a turn shows.
    for name, parts in (("a.gif", ["-size", "40x30", "xc:#FF0000"]),
                        ("b.gif", ["-size", "30x20", "xc:#00FF00", "xc:#0000FF", "+append"]),
                        ("c.gif", ["-size", "20x20", "xc:#0000FF"])):
        subprocess.run(["convert", *parts, os.path.join(work, name)], check=True)
    xvfb, display = start_display()
    env = dict(os.environ, DISPLAY=display)
    env.pop("QT_QPA_PLATFORM", None)
    # Under AddressSanitizer: D-Bus's own allocations, which the process keeps to its end.
    env["LSAN_OPTIONS"] = "suppressions=" + os.path.join(os.path.dirname(__file__),
                                                         "system_leaks.supp")
    os.environ["DISPLAY"] = display
    # Xvfb names its display before every client can reach it, most of all on a loaded machine.
    wait_for(f"display {display} to accept clients",
             lambda: subprocess.run(["xdotool", "getdisplaygeometry"], env=env,
                                    capture_output=True).returncode == 0)
    viewer_process = None
    try:
        missing = subprocess.run([viewer, os.path.join(work, "gone.gif")], env=env,
                                 capture_output=True, text=True, timeout=TIMEOUT)
        check(missing.returncode == 1 and "no such file or folder" in missing.stderr,
              f"a missing file: exit {missing.returncode}, {missing.stderr.strip()!r}")

        viewer_process = subprocess.Popen([viewer, os.path.join(work, "a.gif")], env=env,
                                          stderr=subprocess.PIPE, text=True)
        window = wait_for("window for a.gif", lambda: window_named("a.gif - pelm-view"))
        # Without a window manager the keyboard follows the pointer into the window.
        xdotool("mousemove", "--window", window, "100", "100", "click", "1")

        def key_then(key, title):
            xdotool("key", key)
            return wait_for(f"'{title}' after {key}", lambda: window_named(title))

        key_then("Right", "b.gif - pelm-view")
        wait_for("b.gif's green half at 30x20", lambda: green_box(window) == "30x20")
        key_then("End", "c.gif - pelm-view")
        key_then("Home", "a.gif - pelm-view")
        # A turn on a.gif; b.gif comes unturned.
        xdotool("key", "r")
        key_then("Right", "b.gif - pelm-view")
        wait_for("b.gif unturned after a turn of a.gif", lambda: green_box(window) == "30x20")
        # The help, dismissed with Esc: the viewer stays.
        help_window = key_then("F1", "pelm-view keys")
        # The focus moves to the help window on its own time: Esc is sent again until it is
        # the help that takes it.
        def help_closed_by_escape():
            xdotool("mousemove", "--window", help_window, "20", "20", "click", "1")
            xdotool("windowfocus", "--sync", help_window)
            xdotool("key", "Escape")
            for _ in range(20):
                if window_named("pelm-view keys") is None:
                    return True
                time.sleep(0.05)
            return False
        wait_for("help to close", help_closed_by_escape)
        check(viewer_process.poll() is None, "pelm-view ended with the help's Esc")
        xdotool("mousemove", "--window", window, "100", "100", "click", "1")
        xdotool("key", "ctrl+q")
        code = viewer_process.wait(timeout=TIMEOUT)
        check(code == 0, f"Ctrl+Q: exit code {code}: {viewer_process.stderr.read()}")
        viewer_process = None
        print("keys on an X display: Right, End, Home, R per file, F1 and Esc, Ctrl+Q; "
              "a missing file exits 1")
    except Failure as failure:
        if viewer_process:
            viewer_process.kill()
            failure.args = (f"{failure}; pelm-view said: {viewer_process.communicate()[1]!r}",)
            viewer_process = None
        raise
    finally:
        if viewer_process:
            viewer_process.kill()
        xvfb.kill()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
