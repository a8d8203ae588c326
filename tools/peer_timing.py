"""Times whole peer processes (identify, gifsicle, convert) for tools/bench_compare.py.

Each command is started straight with posix_spawn (no shell, so no shell start-up is counted),
its output thrown away, and waited for with wait4, which also gives the child's processor time
and peak resident memory. One run first warms the page cache and the dynamic loader's caches;
the figures are over the runs after it.
"""
import os
import shutil
import statistics
import subprocess
import tempfile
import time
from dataclasses import dataclass


@dataclass
class Timing:
    wall_ms: float  # median wall time of one run
    spread_ms: float  # interquartile range of the wall times
    cpu_ms: float  # median user + system time of the child
    maxrss_kb: int  # wait4's largest ru_maxrss of a run: at least this Python's size (see below)
    exit_code: int  # of the last run (non-zero: the peer refused or failed)
    runs: int


def _run_once(argv):
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        actions = [
            (os.POSIX_SPAWN_DUP2, devnull, 1),
            (os.POSIX_SPAWN_DUP2, devnull, 2),
        ]
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.close(devnull)
    code = os.waitstatus_to_exitcode(status)
    return wall * 1e3, (usage.ru_utime + usage.ru_stime) * 1e3, usage.ru_maxrss, code


def resolve(program):
    """The program's absolute path; posix_spawn does not search PATH."""
    path = shutil.which(program)
    if not path:
        raise SystemExit(f"bench-compare: {program} is not installed (run tools/install-deps)")
    return path


def _summary(samples):
    walls = [wall for wall, _, _, _ in samples]
    quartiles = statistics.quantiles(walls, n=4) if len(walls) >= 2 else [walls[0]] * 3
    return Timing(
        wall_ms=statistics.median(walls),
        spread_ms=quartiles[2] - quartiles[0],
        cpu_ms=statistics.median(cpu for _, cpu, _, _ in samples),
        maxrss_kb=max(rss for _, _, rss, _ in samples),
        exit_code=samples[-1][3],
        runs=len(samples),
    )


def time_command(argv, runs):
    _run_once(argv)
    return _summary([_run_once(argv) for _ in range(runs)])


def time_against(argv, startup_argv, runs):
    """The command and its start-up command, run by turns so that both see the same state of
    the machine (caches, clock); answers the two timings."""
    _run_once(argv)
    _run_once(startup_argv)
    samples, startups = [], []
    for _ in range(runs):
        samples.append(_run_once(argv))
        startups.append(_run_once(startup_argv))
    return _summary(samples), _summary(startups)


def peak_memory_kb(argv):
    """The command's peak resident memory as GNU time reports it. Linux carries a process's
    peak over an exec, so a child of this (large) Python process would report at least
    Python's size; GNU time is small, so its floor stays below any real figure."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run([resolve("time"), "-f", "%M", "-o", report.name, *argv],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        return int(report.read().split()[-1])


def output_of(argv):
    """The command's standard output as text, and its exit code."""
    done = subprocess.run(argv, capture_output=True, text=True, check=False)
    return done.stdout, done.returncode
