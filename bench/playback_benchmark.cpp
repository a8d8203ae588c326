// Playback against its promises: frames on time and on the animation's timeline, no
// processor time while paused, a stop
// that takes at most one composition plus the stop handshake's 10 ms, and a resume or step
// that brings the next frame at once, never lost.
//
// Run: build/linux/bin/playback_benchmark (about 25 s, most of it the 10 s pause).
#include <benchmark/benchmark.h>
#include <tavoren_platform_probe.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <numeric>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "platform/linux/window_host.h"
#include "playback/transport.h"
#include "tests/support/viewer_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A 64 x 64 window that notes when each paint request arrives.
using TimedWindow = Registered<CountingWindow>;
constexpr std::chrono::seconds kFramesTimeout{60};

std::vector<uint8_t> Animation(unsigned frames, uint16_t size, uint16_t delay) {
    return BuildGif(SimpleAnimation(frames, size, size, delay));
}

TavorenGif* OpenOn(HWND window, const std::vector<uint8_t>& bytes) {
    TavorenGif* viewer = CreateInstance(nullptr);
    if (LoadFromMemory(viewer, {bytes.begin(), bytes.end()}).result != 0 ||
        AttachWindow(viewer, window) != 0) {
        DestroyInstance(viewer);
        return nullptr;
    }
    return viewer;
}

// Mean time of the worker's undo and composition of one frame of `bytes`.
double CompositionMs(const std::vector<uint8_t>& bytes, unsigned frames) {
    ViewerHarness harness(64, 64);
    harness.Open(bytes);
    for (UINT i = 0; i < frames; ++i) harness.Step(i);  // warm the decoder's caches
    constexpr int kSamples = 200;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kSamples; ++i) harness.Step(static_cast<UINT>(i) % frames);
    return Milliseconds(Clock::now() - start) / kSamples;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()))];
}

// Plays `bytes` in a timed window: the moments of its first `frames` + 1 invalidations, or
// none, with the benchmark's error set, when it does not open or play.
std::vector<Clock::time_point> PlayedFrameTimes(benchmark::State& state,
                                                const std::vector<uint8_t>& bytes,
                                                unsigned frames) {
    TimedWindow window(64, 64);
    TavorenGif* viewer = OpenOn(window.hwnd(), bytes);
    if (!viewer) {
        state.SkipWithError("open failed");
        return {};
    }
    Play(viewer);
    const bool played = window.WaitForInvalidations(frames + 1, kFramesTimeout);
    DestroyInstance(viewer);
    if (!played) {
        state.SkipWithError("the frames did not come");
        return {};
    }
    return window.InvalidationTimes();
}

// Over 200 frames of 20 ms: how much later than its delay each frame came (its composition
// is taken out of the frame before's time, so it is no excuse).
void FramePacing(benchmark::State& state) {
    constexpr unsigned kFrames = 200;
    const std::vector<uint8_t> bytes = Animation(4, 64, 2);
    const double compose = CompositionMs(bytes, 4);
    std::vector<double> late;
    for (auto _ : state) {
        const std::vector<Clock::time_point> times = PlayedFrameTimes(state, bytes, kFrames);
        if (times.empty()) return;
        for (size_t i = 1; i <= kFrames; ++i) {
            late.push_back(Milliseconds(times[i] - times[i - 1]) - 20.0);
        }
    }
    state.counters["late_mean_ms"] = std::accumulate(late.begin(), late.end(), 0.0) / late.size();
    state.counters["late_p99_ms"] = Percentile(late, 0.99);
    state.counters["late_max_ms"] = *std::max_element(late.begin(), late.end());
    state.counters["compose_ms"] = compose;
}

// 200 frames of 20 ms on a 1920x1080 canvas, each frame a 1920x216 band of noise at its own
// height (as in a screen recording), whose composition takes several milliseconds: how far
// each shown period (from one frame's invalidation to the next) is from the authored 20 ms,
// and how far the 200th frame is from its place on the animation's timeline, in frames.
void Timeline(benchmark::State& state) {
    constexpr unsigned kFrames = 200;
    constexpr double kAuthoredMs = 20.0;
    constexpr uint16_t kBand = 216;
    std::mt19937 random(22);
    GifImage image;
    image.width = 1920;
    image.height = 1080;
    image.globalTable.resize(256);
    for (GifColor& colour : image.globalTable) {
        colour = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                  static_cast<uint8_t>(random())};
    }
    for (uint16_t i = 0; i < 4; ++i) {
        GifFrame frame = SolidFrame(0, static_cast<uint16_t>(i * kBand), 1920, kBand, 0, 2, 1);
        for (uint8_t& index : frame.indices) index = static_cast<uint8_t>(random());
        image.frames.push_back(std::move(frame));
    }
    const std::vector<uint8_t> bytes = BuildGif(image);
    const double compose = CompositionMs(bytes, 4);
    std::vector<double> error;
    std::vector<double> drift;
    for (auto _ : state) {
        const std::vector<Clock::time_point> times = PlayedFrameTimes(state, bytes, kFrames);
        if (times.empty()) return;
        for (size_t i = 1; i <= kFrames; ++i) {
            error.push_back(std::abs(Milliseconds(times[i] - times[i - 1]) - kAuthoredMs));
        }
        drift.push_back((Milliseconds(times[kFrames] - times[0]) - kFrames * kAuthoredMs) /
                        kAuthoredMs);
    }
    state.counters["period_error_mean_ms"] =
        std::accumulate(error.begin(), error.end(), 0.0) / error.size();
    state.counters["period_error_p99_ms"] = Percentile(error, 0.99);
    state.counters["drift_frames"] = *std::max_element(drift.begin(), drift.end());
    state.counters["compose_ms"] = compose;
}

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// A paused viewer for 10 s: the processor time the whole process used meanwhile (this
// thread only sleeps).
void PausedCpu(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Animation(4, 64, 2);
    for (auto _ : state) {
        TimedWindow window(64, 64);
        TavorenGif* viewer = OpenOn(window.hwnd(), bytes);
        if (!viewer) return state.SkipWithError("open failed");
        Play(viewer);
        window.WaitForInvalidations(3, kFramesTimeout);
        PausePlayback(viewer);
        // The frame on screen runs out its 20 ms, then the worker waits without end.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double before = ProcessCpuMs();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["cpu_ms_in_10s"] = ProcessCpuMs() - before;
        StopPlayback(viewer);
        DestroyInstance(viewer);
    }
}

// StopPlayback at random moments of a playing 512x512 animation.
void StopLatency(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Animation(4, 512, 2);
    const double compose = CompositionMs(bytes, 4);
    std::mt19937 random(5);
    std::vector<double> latencies;
    for (auto _ : state) {
        TimedWindow window(64, 64);
        TavorenGif* viewer = OpenOn(window.hwnd(), bytes);
        if (!viewer) return state.SkipWithError("open failed");
        for (int i = 0; i < 50; ++i) {
            Play(viewer);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
            const Clock::time_point start = Clock::now();
            StopPlayback(viewer);
            latencies.push_back(Milliseconds(Clock::now() - start));
        }
        DestroyInstance(viewer);
    }
    state.counters["stop_mean_ms"] =
        std::accumulate(latencies.begin(), latencies.end(), 0.0) / latencies.size();
    state.counters["stop_max_ms"] = *std::max_element(latencies.begin(), latencies.end());
    state.counters["compose_ms"] = compose;
}

// A paused animation of 30 s frames gets 10,000 random sequences of one to three requests
// (play, pause, step; the last one a play or a step, so that the next frame is due at once),
// with random gaps of up to 100 us between them. Measured: from the first play or step to
// the invalidation of the next frame. A frame that has not come after 1 s counts as lost.
void ResumeLatency(benchmark::State& state) {
    constexpr int kSequences = 10000;
    const std::vector<uint8_t> bytes = Animation(3, 64, 3000);
    std::mt19937 random(14);
    std::vector<double> latencies;
    int lost = 0;
    for (auto _ : state) {
        TimedWindow window(64, 64);
        TavorenGif* viewer = OpenOn(window.hwnd(), bytes);
        if (!viewer) return state.SkipWithError("open failed");
        StepPlayback(viewer);
        for (int i = 0; i < kSequences; ++i) {
            // Paused, and the worker blocked in its wait: no frame is on its way.
            PausePlayback(viewer);
            if (!TavorenWaitForBlockedWaits(1, 10000)) return state.SkipWithError("no wait");
            const size_t next = window.invalidations();
            const unsigned length = 1 + random() % 3;
            std::optional<Clock::time_point> start;  // of the first play or step
            for (unsigned r = 0; r < length; ++r) {
                const unsigned pick = r + 1 == length ? random() % 2 : random() % 3;
                if (pick != 2 && !start) start = Clock::now();
                if (pick == 0)
                    Play(viewer);
                else if (pick == 1)
                    StepPlayback(viewer);
                else
                    PausePlayback(viewer);
                const Clock::time_point gapEnd =
                    Clock::now() + std::chrono::nanoseconds(random() % 100000);
                while (Clock::now() < gapEnd) {
                }
            }
            const std::optional<Clock::time_point> shown =
                window.InvalidationTime(next, std::chrono::milliseconds(1000));
            if (shown) {
                latencies.push_back(Milliseconds(*shown - *start));
            } else {
                ++lost;
            }
        }
        DestroyInstance(viewer);
    }
    state.counters["sequences"] = static_cast<double>(latencies.size() + lost);
    state.counters["lost"] = lost;
    if (latencies.empty()) return;
    state.counters["resume_mean_ms"] =
        std::accumulate(latencies.begin(), latencies.end(), 0.0) / latencies.size();
    state.counters["resume_p99_ms"] = Percentile(latencies, 0.99);
    state.counters["resume_max_ms"] = *std::max_element(latencies.begin(), latencies.end());
}

BENCHMARK(FramePacing)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Timeline)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PausedCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StopLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ResumeLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
