#!/usr/bin/env python3
"""The module side by side with its peers, on the same files: the shared corpus, a generated
960x540 animation, an animation of large mostly flat frames and a large 4000x3000 animation
(tools/bench-compare builds everything and calls this).

  1. Scan: the module's open of a file (LoadImageSource: index and metadata, no pixels)
     against `identify -ping` and `gifsicle --info`.
  2. A GIF frame: the worker's ApplyDisposal + ComposeFrame against giflib's bare decode
     (indices only: no colours, no canvas) and ImageMagick's `-coalesce` (decode and
     composition of every frame, at 16 bits a channel).
  3. A WebP frame: the same step against libwebp's WebPAnimDecoderGetNext alone (which also
     composes) and `-coalesce`.
  4. Render: the module's 1:1 paint of the canvas against a memcpy of as many bytes; and big
     pictures (an 8000x6000 still at fit and 1:1 panned, a 20000x200 canvas beyond the
     device) repainted in a 1280x800 window against a memcpy of the window.
  5. Peak memory of playing an animation through the shipped module, less the same process
     playing a 1x1 animation of the format, against the canvas's width * height * 4 bytes.

The peers are whole processes, so each is also timed on a 1x1 image (its start-up), and the
figures are given both raw and less that start-up. Where many small files are compared, each
peer also gets them all in one process, so its start-up counts once.

usage: bench_compare.py --build DIR --corpus DIR [--runs N] [--markdown FILE]
"""
import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
import peer_timing  # noqa: E402  (after the line above)

# An animation has two frames or more; stills stay out of the per-frame rows and the memory row.
MIN_ANIMATION_FRAMES = 2


def ms(value, digits=3):
    return "—" if value is None else f"{value:.{digits}f}"


def us(value_ms):
    return "—" if value_ms is None else f"{value_ms * 1e3:.1f}"


def faster(peer, ours):
    """peer / ours as "N.N× faster" (ours takes less time) or "N.N× slower"."""
    if peer is None or ours is None or ours <= 0:
        return "—"
    if peer <= 0:
        return "(peer within start-up noise)"
    ratio = peer / ours
    return f"{ratio:.1f}× faster" if ratio >= 1 else f"{1 / ratio:.1f}× slower"


class Benchmarks:
    """Runs a Google Benchmark program on files and keeps its JSON figures by name."""

    def __init__(self, out_dir):
        self.out_dir = out_dir
        self.results = {}

    def run(self, binary, files, label, repetitions=1):
        """With repetitions, the benchmarks' repetitions run by turns in a random order, and the
        median of each is kept: on a shared machine one run of each, one after the other, can
        catch one side in a busy moment and the other not."""
        out = self.out_dir / f"{label}.json"
        command = [str(binary), f"--benchmark_out={out}", "--benchmark_out_format=json"]
        if repetitions > 1:
            command += [f"--benchmark_repetitions={repetitions}",
                        "--benchmark_enable_random_interleaving=true",
                        "--benchmark_report_aggregates_only=true"]
        done = subprocess.run(command + [str(f) for f in files], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True, check=False)
        if done.returncode != 0:
            sys.stderr.write(done.stderr)
            raise SystemExit(f"bench-compare: {binary.name} failed ({done.returncode})")
        for entry in json.loads(out.read_text())["benchmarks"]:
            if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
                continue
            name = entry.get("run_name", entry["name"]).split("/min_time:")[0]
            self.results[name] = entry

    def ms_per_iteration(self, name):
        """Real time of one iteration in ms; None when absent or skipped with an error."""
        entry = self.results.get(name)
        if not entry or entry.get("error_occurred"):
            return None
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry["time_unit"]]
        return entry["real_time"] * scale

    def counter(self, name, key):
        entry = self.results.get(name)
        return None if not entry or entry.get("error_occurred") else entry.get(key)

    def error(self, name):
        entry = self.results.get(name)
        if not entry:
            return "not run"
        return entry.get("error_message") if entry.get("error_occurred") else None


class Measured:
    """A peer command's timing beside its start-up's, taken by turns."""

    def __init__(self, timing, startup):
        self.timing, self.startup = timing, startup

    def raw(self, per=1):
        return self.timing.wall_ms / per

    def net(self, per=1):
        """Wall time less the start-up, divided by `per`; None when the peer failed."""
        if self.timing.exit_code != 0:
            return None
        return (self.timing.wall_ms - self.startup.wall_ms) / per

    def refused(self):
        return self.timing.exit_code != 0


class Peers:
    """Runs peer commands, each by turns with the same command on a 1x1 image (its
    start-up), so that the start-up taken off is the one of the same moment."""

    def __init__(self, runs, trivial_gif, trivial_webp):
        self.runs = runs
        self.identify = peer_timing.resolve("identify")
        self.gifsicle = peer_timing.resolve("gifsicle")
        # The real convert beside identify: a wrapper script earlier in PATH would add a shell.
        self.convert = str(Path(self.identify).resolve().with_name("convert"))
        self.startup_commands = {
            "identify -ping, GIF": self.identify_ping([trivial_gif]),
            "identify -ping, WebP": self.identify_ping([trivial_webp]),
            "gifsicle --info": self.gifsicle_info([trivial_gif]),
            "convert -coalesce, GIF": self.coalesce([trivial_gif]),
            "convert -coalesce, WebP": self.coalesce([trivial_webp]),
        }

    def identify_ping(self, files):
        return [self.identify, "-ping", *map(str, files)]

    def gifsicle_info(self, files):
        return [self.gifsicle, "--info", *map(str, files)]

    def coalesce(self, files):
        # Each file in parentheses is coalesced as a sequence of its own.
        if len(files) == 1:
            return [self.convert, str(files[0]), "-coalesce", "null:"]
        argv = [self.convert]
        for f in files:
            argv += ["(", str(f), "-coalesce", ")"]
        return argv + ["null:"]

    def measure(self, argv, startup_key, summary=False):
        # The rows of the summaries get three times the runs: they are the figures to read.
        runs = self.runs * 3 if summary else self.runs
        timing, startup = peer_timing.time_against(argv, self.startup_commands[startup_key], runs)
        return Measured(timing, startup)

    def startup_table(self):
        table = Table("Peers' start-up: each command on a 1x1 image (ms)",
                      ["command", "wall median", "interquartile range", "cpu median"])
        for key, argv in self.startup_commands.items():
            timing = peer_timing.time_command(argv, max(self.runs, 15))
            table.add(key, ms(timing.wall_ms, 2), ms(timing.spread_ms, 2), ms(timing.cpu_ms, 2))
        return table

    def frames_seen_by_imagemagick(self, path):
        out, code = peer_timing.output_of([self.identify, "-ping", "-format", "%n\n", str(path)])
        lines = out.split()
        return int(lines[0]) if code == 0 and lines else None


def describe(player, module, files):
    """What the module makes of each file (loaded, frames, width, height), by path."""
    out = subprocess.run([str(player), str(module), "--describe", *map(str, files)],
                         capture_output=True, text=True, check=True).stdout
    return {entry["file"]: entry for entry in map(json.loads, out.splitlines())}


class Table:
    def __init__(self, title, headers):
        self.title, self.headers, self.rows = title, headers, []

    def add(self, *cells):
        self.rows.append([str(c) for c in cells])

    def text(self):
        widths = [max(len(row[i]) for row in [self.headers] + self.rows)
                  for i in range(len(self.headers))]
        line = lambda cells: "  ".join(c.ljust(w) for c, w in zip(cells, widths)).rstrip()
        out = [f"== {self.title}", line(self.headers), line(["-" * w for w in widths])]
        return "\n".join(out + [line(r) for r in self.rows])

    def markdown(self):
        out = [f"**{self.title}**", "", "| " + " | ".join(self.headers) + " |",
               "|" + "|".join("---" for _ in self.headers) + "|"]
        return "\n".join(out + ["| " + " | ".join(r) + " |" for r in self.rows])


def machine_and_versions(peers):
    def first_line(argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True).stdout.splitlines()[0]
        except (OSError, IndexError):
            return "?"

    def package(name):
        return first_line(["dpkg-query", "-W", "-f=${Version}\n", name])

    cpu = "?"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    return [
        f"date: {datetime.date.today().isoformat()}",
        f"machine: {os.cpu_count()} cores (nproc), {cpu}, {platform.system()} {platform.release()}",
        f"compiler: {first_line(['c++', '--version'])}",
        f"ImageMagick: {first_line([peers.identify, '-version'])}",
        f"gifsicle: {first_line([peers.gifsicle, '--version'])}",
        f"giflib {package('libgif7')}, libwebp {package('libwebp7')}, "
        f"pixman {package('libpixman-1-0')}, Google Benchmark {package('libbenchmark1debian')}",
    ]


def with_refusal(measured, digits=2):
    return ms(measured.raw(), digits) + (" (refused)" if measured.refused() else "")


def scan_section(bench, peers, info, groups):
    """groups: (label, files, is_gif). Per file, and each group of several files also in one
    peer process, where the peer's start-up counts once."""
    detail = Table("Scan, per file (ms)", ["file", "module", "identify raw", "identify net",
                                           "gifsicle raw", "gifsicle net", "module frames"])
    summary = Table("1. Scan: open + metadata, no pixels (ms; net = less the peer's start-up)",
                    ["files", "module", "identify -ping raw / net", "vs identify net",
                     "gifsicle --info raw / net", "vs gifsicle net"])
    for label, files, is_gif in groups:
        if not files:
            continue
        kind = "GIF" if is_gif else "WebP"
        ours_total = 0.0
        for f in files:
            ours = bench.ms_per_iteration(f"Scan/{f.name}")
            ours_total += ours or 0.0
            ident = peers.measure(peers.identify_ping([f]), f"identify -ping, {kind}")
            gifs = peers.measure(peers.gifsicle_info([f]), "gifsicle --info") if is_gif else None
            entry = info[str(f)]
            detail.add(f.name, ms(ours, 4), with_refusal(ident), ms(ident.net(), 2),
                       "—" if gifs is None else with_refusal(gifs),
                       "—" if gifs is None else ms(gifs.net(), 2),
                       entry["frames"] if entry["loaded"] else "refused")
        # All in one process. A file that a peer refuses makes its exit code non-zero while
        # it still reads the others, so here the time counts as it is.
        ident = peers.measure(peers.identify_ping(files), f"identify -ping, {kind}", True)
        ident_net = ident.timing.wall_ms - ident.startup.wall_ms
        gifs_cells = ["—", "—"]
        if is_gif:
            gifs = peers.measure(peers.gifsicle_info(files), "gifsicle --info", True)
            gifs_net = gifs.timing.wall_ms - gifs.startup.wall_ms
            gifs_cells = [f"{ms(gifs.raw(), 2)} / {ms(gifs_net, 2)}", faster(gifs_net, ours_total)]
        name = label + (" (each peer: one process for all)" if len(files) > 1 else "")
        summary.add(name, ms(ours_total, 3), f"{ms(ident.raw(), 2)} / {ms(ident_net, 2)}",
                    faster(ident_net, ours_total), *gifs_cells)
    return summary, detail


def eligible_animations(bench, peers, info, files, decoder_name, excluded):
    """Files that the module composes, the bare decoder decodes and ImageMagick reads, with the
    same number of frames in all three; the others go to `excluded` with the reason."""
    kept = []
    for f in files:
        entry = info[str(f)]
        if not entry["loaded"] or entry["frames"] < MIN_ANIMATION_FRAMES:
            continue
        frames = entry["frames"]
        decoder = f"{decoder_name}/{f.name}"
        decoded = bench.counter(decoder, "file_frames" if decoder_name == "WebPAnimDecode"
                                else "frames")
        im_frames = peers.frames_seen_by_imagemagick(f)
        reason = None
        if bench.error(f"Compose/{f.name}"):
            reason = f"module: {bench.error(f'Compose/{f.name}')}"
        elif bench.error(decoder):
            reason = bench.error(decoder)
        elif decoded != frames:
            reason = f"{decoder_name} frames {decoded} != module {frames}"
        elif im_frames != frames:
            reason = f"ImageMagick frames {im_frames} != module {frames}"
        if reason:
            excluded.append((f.name, reason))
        else:
            kept.append((f, frames))
    return kept


def frame_section(bench, peers, title, decoder_name, decoder_label, startup_key, groups):
    """groups: (label, [(file, frames)]). Per frame in µs; a group's figure is its total time
    over its total frames."""
    detail = Table(f"{title}, per file (µs a frame)",
                   ["file", "frames", "module", decoder_label, "coalesce raw", "coalesce net"])
    summary = Table(f"{title} (µs a frame; coalesce net = less convert's start-up)",
                    ["files", "frames", "module", decoder_label, "vs it",
                     "convert -coalesce raw / net", "vs coalesce net"])
    # giflib's iteration is the whole file, libwebp's one frame.
    whole_file = decoder_name == "GiflibDecode"
    for label, animations in groups:
        if not animations:
            continue
        ours_total = decoder_total = 0.0
        frames_total = 0
        for f, frames in animations:
            ours = bench.ms_per_iteration(f"Compose/{f.name}")
            decoder = bench.ms_per_iteration(f"{decoder_name}/{f.name}")
            decoder_frame = decoder / frames if whole_file else decoder
            coalesce = peers.measure(peers.coalesce([f]), startup_key)
            detail.add(f.name, frames, us(ours), us(decoder_frame), us(coalesce.raw(frames)),
                       us(coalesce.net(frames)))
            ours_total += ours * frames
            decoder_total += decoder_frame * frames
            frames_total += frames
        coalesce = peers.measure(peers.coalesce([f for f, _ in animations]), startup_key, True)
        net = coalesce.net(frames_total)
        ours_frame, decoder_frame = ours_total / frames_total, decoder_total / frames_total
        many = len(animations) > 1
        name = label + (f" ({len(animations)} files; convert: one process)" if many else "")
        summary.add(name, frames_total, us(ours_frame), us(decoder_frame),
                    faster(decoder_frame, ours_frame),
                    f"{us(coalesce.raw(frames_total))} / {us(net)}", faster(net, ours_frame))
    return summary, detail


def render_section(bench, files):
    table = Table("4. Render 1:1 (µs a paint)",
                  ["canvas", "file", "module Render", "memcpy of w*h*4", "module / memcpy"])
    for f in files:
        ours = bench.ms_per_iteration(f"Render/{f.name}")
        copy = bench.ms_per_iteration(f"Memcpy/{f.name}")
        w = bench.counter(f"Render/{f.name}", "width")
        h = bench.counter(f"Render/{f.name}", "height")
        ratio = f"{ours / copy:.1f}× a memcpy's time" if ours and copy else "—"
        table.add(f"{w:.0f}x{h:.0f}" if w else "—", f.name, us(ours), us(copy), ratio)
    return table


def big_picture_section(bench):
    """The big still and the over-limit canvas in a 1280x800 window (bench/big_picture_paint)."""
    table = Table("4b. Big pictures in a 1280x800 window (µs a paint)",
                  ["paint", "module Render", "cpu", "memcpy of the window", "module / memcpy"])
    copy = bench.ms_per_iteration("Memcpy/Window")
    rows = [("8000x6000 still repainted, fit", "BigStill/Fit"),
            ("8000x6000 still repainted, 1:1 panned", "BigStill/Panned"),
            ("20000x200 still repainted, fit", "OverLimit/Fit"),
            ("20000x200 still loaded, attached, first paint", "OverLimit/Shown")]
    for label, name in rows:
        ours = bench.ms_per_iteration(name)
        entry = bench.results.get(name) or {}
        cpu = entry.get("cpu_time")
        cpu_ms = None if cpu is None else cpu * {"ns": 1e-6, "us": 1e-3, "ms": 1.0,
                                                 "s": 1e3}[entry["time_unit"]]
        ratio = f"{ours / copy:.1f}× a memcpy's time" if ours and copy else "—"
        if name == "OverLimit/Shown":
            ratio = "drawn" if bench.counter(name, "drawn") == 1 else "NOT drawn"
        table.add(label, us(ours), us(cpu_ms), us(copy), ratio)
    return table


def peak_of(argv, runs=3):
    """The median over a few runs of the program's own "hwm_kb" (its VmHWM)."""
    values = []
    for _ in range(runs):
        out = subprocess.run(argv, capture_output=True, text=True, check=True).stdout
        values.append(json.loads(out.splitlines()[-1])["hwm_kb"])
    return statistics.median(values)


def memory_section(player, module, peers, groups, info, tiny):
    """groups: (label, files); a group's row is its file with the most memory over what playing
    a 1x1 animation of its format costs (tiny: suffix -> that animation)."""
    headers = ["file", "canvas", "frames", "file KB", "w*h*4 KB", "peak", "module loaded",
               "1x1 animation played", "peak - 1x1 played", "in canvases",
               "convert -coalesce peak"]
    summary = Table("5. Peak memory of playing every frame through the module (KB)",
                    ["animation"] + headers)
    detail = Table("Peak memory, per file (KB)", headers)
    loaded = peak_of([str(player), str(module), "--baseline"])
    played = {suffix: peak_of([str(player), str(module), str(f)]) for suffix, f in tiny.items()}
    for label, files in groups:
        rows = []
        for f in files:
            entry = info[str(f)]
            canvas_kb = entry["width"] * entry["height"] * 4 / 1024
            peak = peak_of([str(player), str(module), str(f)])
            baseline = played[f.suffix.lower()]
            rows.append((peak - baseline, [
                f.name, f"{entry['width']}x{entry['height']}", entry["frames"],
                f"{f.stat().st_size / 1024:.1f}", f"{canvas_kb:.1f}", f"{peak:.0f}",
                f"{loaded:.0f}", f"{baseline:.0f}", f"{peak - baseline:.0f}",
                f"{(peak - baseline) / canvas_kb:.2f}",
                str(peer_timing.peak_memory_kb(peers.coalesce([f])))]))
            detail.add(*rows[-1][1])
        if rows:
            summary.add(label, *max(rows, key=lambda row: row[0])[1])
    return summary, detail


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--corpus", required=True, type=Path)
    parser.add_argument("--runs", type=int, default=10, help="timed runs of each peer command")
    parser.add_argument("--markdown", type=Path, help="also write the summaries as Markdown here")
    args = parser.parse_args()

    load_at_start = " / ".join(f"{value:.2f}" for value in os.getloadavg())
    bin_dir = args.build / "bin"
    out_dir = args.build / "bench-compare"
    out_dir.mkdir(parents=True, exist_ok=True)
    module = bin_dir / "Pelm_TavorenGif.so"
    player = bin_dir / "peak_memory_player"

    images = out_dir / "images"
    subprocess.run([str(bin_dir / "write_bench_images"), str(images)], stdout=subprocess.DEVNULL,
                   check=True)
    trivial_gif, trivial_webp = images / "trivial-1x1.gif", images / "trivial-1x1.webp"
    generated_gif = next(images.glob("generated-*.gif"))
    generated_webp = next(images.glob("generated-*.webp"))
    flat_gif = next(images.glob("flat-frames-*.gif"))
    large_gif = next(images.glob("large-*.gif"))
    corpus_gifs = sorted((args.corpus / "gif").glob("*.gif"))
    corpus_webps = sorted((args.corpus / "webp").glob("*.webp"))
    if not corpus_gifs and not corpus_webps:
        print(f"bench-compare: no corpus at {args.corpus}; only the generated files are measured")
    all_files = corpus_gifs + corpus_webps + [generated_gif, generated_webp, flat_gif, large_gif]
    info = describe(player, module, all_files)
    # The big still of the repaint rows, for the memory row (written, not generated each row).
    subprocess.run([str(bin_dir / "big_picture_paint"), "--write", str(images)],
                   stdout=subprocess.DEVNULL, check=True)
    big_still = images / "still-8000x6000.gif"
    info.update(describe(player, module, [big_still]))

    # The corpus's largest animations by canvas area (several may share it).
    animations = [f for f in corpus_gifs + corpus_webps
                  if info[str(f)]["loaded"] and info[str(f)]["frames"] >= MIN_ANIMATION_FRAMES]
    area = lambda f: info[str(f)]["width"] * info[str(f)]["height"]
    largest_area = max(map(area, animations), default=0)
    largest = [f for f in animations if area(f) == largest_area]

    print("bench-compare: the module's benchmarks ...", flush=True)
    bench = Benchmarks(out_dir)
    bench.run(bin_dir / "side_by_side_scan", all_files, "scan")
    bench.run(bin_dir / "side_by_side_frame", all_files, "frame", repetitions=5)
    bench.run(bin_dir / "side_by_side_paint", largest[:1] + [generated_gif], "paint",
              repetitions=5)
    bench.run(bin_dir / "big_picture_paint", [], "big", repetitions=5)

    print("bench-compare: the peers on the same files ...", flush=True)
    peers = Peers(args.runs, trivial_gif, trivial_webp)
    startup = peers.startup_table()
    scan_summary, scan_detail = scan_section(bench, peers, info, [
        (f"corpus GIFs ({len(corpus_gifs)})", corpus_gifs, True),
        (f"corpus WebPs ({len(corpus_webps)})", corpus_webps, False),
        (generated_gif.name, [generated_gif], True),
        (generated_webp.name, [generated_webp], False),
    ])
    excluded = []
    gif_animations = eligible_animations(bench, peers, info, corpus_gifs, "GiflibDecode", excluded)
    webp_animations = eligible_animations(bench, peers, info, corpus_webps, "WebPAnimDecode",
                                          excluded)
    gif_summary, gif_detail = frame_section(
        bench, peers, "2. A GIF frame: ApplyDisposal + ComposeFrame", "GiflibDecode",
        "giflib bare decode", "convert -coalesce, GIF",
        [("corpus GIF animations", gif_animations),
         (generated_gif.name, [(generated_gif, info[str(generated_gif)]["frames"])]),
         (flat_gif.name, [(flat_gif, info[str(flat_gif)]["frames"])]),
         (large_gif.name, [(large_gif, info[str(large_gif)]["frames"])])])
    webp_summary, webp_detail = frame_section(
        bench, peers, "3. A WebP frame: ApplyDisposal + ComposeFrame", "WebPAnimDecode",
        "WebPAnimDecoderGetNext", "convert -coalesce, WebP",
        [("corpus WebP animations", webp_animations),
         (generated_webp.name, [(generated_webp, info[str(generated_webp)]["frames"])])])
    render = render_section(bench, largest[:1] + [generated_gif])
    big = big_picture_section(bench)

    print("bench-compare: peak memory ...", flush=True)
    memory_summary, memory_detail = memory_section(player, module, peers, [
        ("largest corpus animation", largest),
        ("generated GIF", [generated_gif]),
        ("generated WebP", [generated_webp]),
        ("8000x6000 still", [big_still]),
    ], info, {".gif": images / "tiny-1x1x2.gif", ".webp": images / "tiny-1x1x2.webp"})

    load = " / ".join(f"{value:.2f}" for value in os.getloadavg())
    header = machine_and_versions(peers) + [
        f"load average at the start: {load_at_start}; at the end: {load} (1 / 5 / 15 min)",
        f"build: {args.build} (RelWithDebInfo, -O2 -g); peers: median of {args.runs} runs a "
        f"command ({args.runs * 3} for the summaries' rows), by turns with the same command on "
        "a 1x1 image"]
    notes = [
        "Times: Google Benchmark's real time for the module, giflib, libwebp and memcpy (one "
        "thread; for the frames and the paints the median of 5 repetitions, the benchmarks' "
        "repetitions run by turns in a random order); wall time of the whole process for the "
        "peers. \"N× faster\" is the peer's "
        "time over the module's; \"slower\" the module's over the peer's.",
        "giflib bare decode yields palette indices only (no colours, no canvas, no disposal); "
        "convert -coalesce decodes and composes every frame at 16 bits a channel; "
        "WebPAnimDecoderGetNext decodes and composes onto libwebp's own canvas, which the "
        "module's WebP frame also does inside the stand-in before it converts and draws.",
        "Peak memory: VmHWM of a process that loads the shipped module by file, opens the "
        "image, attaches a window of the canvas's size (fitted into 1920x1080), steps through "
        "every frame with VM_STEP and paints each into the window with Render. What the picture "
        "costs is that less the same program playing a two-frame 1x1 animation of the same "
        "format: the worker, the code and the decoder's fixed tables, paid whatever is played "
        "(\"module loaded\": the program that only loads the module and reads its record). "
        "ImageMagick's figure (GNU time's maximum resident size) is for reference: it holds "
        "every coalesced frame at once.",
    ]
    notes.append("Per-file nets of the small corpus files (the detail tables) are within the "
                 "run-to-run spread of the start-up and can come out negative; the rows where "
                 "each peer reads all the files in one process are the figures to read.")
    if largest:
        first = info[str(largest[0])]
        notes.append("The corpus's largest animations by canvas area "
                     f"({first['width']}x{first['height']}): "
                     + ", ".join(f.name for f in largest) + "; Render uses the first.")
    if excluded:
        notes.append("Left out of the per-frame rows (the tools disagree on them): " +
                     "; ".join(f"{name}: {why}" for name, why in excluded) + ".")
    summaries = [scan_summary, gif_summary, webp_summary, render, big, memory_summary]
    details = [startup, scan_detail, gif_detail, webp_detail, memory_detail]

    print()
    print("\n".join(header))
    for table in summaries + details:
        print()
        print(table.text())
    print()
    print("\n".join(notes))
    if args.markdown:
        parts = ["\n".join(f"- {line}" for line in header)]
        parts += [t.markdown() for t in summaries + [startup]]
        parts.append("\n".join(f"- {n}" for n in notes))
        args.markdown.write_text("\n\n".join(parts) + "\n")
        print(f"\nbench-compare: Markdown tables in {args.markdown}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
