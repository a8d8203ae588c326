// The whole life of a viewer, over and over across the corpus: create, load (by path and from
// memory in turn), attach, play, step, stop, reload the next image on the same viewer, play it
// and destroy it while it plays. After every cycle the platform holds no more than before the
// first, and every stop and destroy returns. Under ASan on Linux, LeakSanitizer checks the
// heap at the end; tools/leak-cycles runs this test for thousands of cycles, under valgrind,
// and with the resident memory printed.
//
// TAVOREN_CYCLES sets the number of cycles; TAVOREN_CYCLES_RSS_EVERY=K prints the resident
// memory after every K cycles besides cycles 1, 10, 100, 1000, ... and the last.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "module/viewer_messages.h"
#include "playback/transport.h"
#include "tests/support/corpus.h"
#include "tests/support/gif_builder.h"
#include "tests/support/live_counts.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/resident_memory.h"
#include "tests/support/return_watchdog.h"
#include "tests/support/test_window.h"
#include "tests/support/wide_path.h"
#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

namespace {

// Generous: valgrind runs these cycles some fifty times slower than they run natively.
constexpr unsigned kTimeout = 30000;

unsigned CycleCount() {
    if (const char* value = std::getenv("TAVOREN_CYCLES")) {
        return static_cast<unsigned>(std::strtoul(value, nullptr, 10));
    }
    // Wine's Direct2D keeps some 130 MB of address space for every window target that a
    // worker drew on (see tests/CMakeLists.txt), and each cycle makes two: a 32-bit process
    // has room for a few, and each costs Wine about a second.
    if (RunningUnderWine()) {
        const unsigned cycles = sizeof(void*) == 4 ? 2 : 4;
        std::printf(
            "under Wine: %u cycles, as Wine's Direct2D keeps memory for every window "
            "target a worker drew on\n",
            cycles);
        return cycles;
    }
    return 300;
}

unsigned ResidentReportInterval() {
    const char* value = std::getenv("TAVOREN_CYCLES_RSS_EVERY");
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : 0;
}

// An image of the cycle and what its rehearsal showed it does.
struct CycleImage {
    std::string name;
    std::filesystem::path path;
    std::vector<uint8_t> bytes;
    INT32 loadResult = -1;
    bool composesFirst = false;  // a worker shows frame 0
    bool plays = false;          // a worker composes every frame and wraps, never ending itself
};

// Without the corpus: animations of each disposal, a still, a damaged frame and bytes that
// are no image, written beside the test reports so that they load by path too.
std::vector<CycleImage> BuiltImages() {
    std::vector<CycleImage> images;
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
        CycleImage image;
        image.name = name;
        image.bytes = std::move(bytes);
        images.push_back(std::move(image));
    };
    add("three-frames.gif", BuildGif(SimpleAnimation(3, 8, 8, 2)));
    add("background-disposal.gif", BuildGif(SimpleAnimation(4, 6, 6, 0, 2)));
    add("previous-disposal.gif", BuildGif(SimpleAnimation(3, 5, 7, 3, 3)));
    add("still.gif", BuildGif(SimpleAnimation(1, 4, 4, 0)));
    GifImage damaged = SimpleAnimation(3, 4, 4, 2);
    damaged.frames[1].lzwMinimumCodeSize = 12;
    add("damaged-second-frame.gif", BuildGif(damaged));
    add("not-an-image.bin", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
#if TAVOREN_HAS_WEBP_BUILDER
    WebPTestFrame red, blue;
    red.argb = 0xFFFF0000;
    blue.argb = 0x800000FF;
    blue.width = blue.height = 4;
    blue.offsetX = blue.offsetY = 2;
    blue.disposeToBackground = true;
    add("two-frames.webp", BuildAnimatedWebP(8, 8, {red, blue}));
#endif
    const std::filesystem::path folder = std::filesystem::path(TAVOREN_REPORT_DIR) / "cycle-images";
    std::filesystem::create_directories(folder);
    for (CycleImage& image : images) {
        image.path = folder / image.name;
        std::ofstream(image.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes.data()),
                   static_cast<std::streamsize>(image.bytes.size()));
    }
    return images;
}

std::vector<CycleImage> CorpusImages() {
    std::vector<std::filesystem::path> files = CorpusFiles("gif");
    // Wine's imaging component has no WebP decoder.
    if (!RunningUnderWine()) {
        for (const auto& file : CorpusFiles("webp")) files.push_back(file);
    }
    std::vector<CycleImage> images;
    for (const auto& file : files) {
        CycleImage image;
        image.name = file.filename().string();
        image.path = file;
        image.bytes = ReadBytes(file);
        // Wine's GIF decoder reads a null colour map for an image without a global table and
        // takes the process down with it (as in the corpus composition test).
        if (RunningUnderWine() && image.bytes.size() > 10 && !(image.bytes[10] & 0x80)) {
            std::printf("left out under Wine: %s has no global colour table\n", image.name.c_str());
            continue;
        }
        images.push_back(std::move(image));
    }
    return images;
}

// Loads the image once and composes its frames in the worker's order (frame 0, then each
// after the disposal of the one before, and frame 0 again after the last), so that each
// cycle knows what to await and what would wait in vain.
void Rehearse(CycleImage& image, TestWindow& window) {
    TavorenGif* viewer = CreateInstance(nullptr);
    image.loadResult = LoadFromMemory(viewer, {image.bytes.begin(), image.bytes.end()}).result;
    if (image.loadResult == 0 && AttachWindow(viewer, window.hwnd()) == 0 &&
        viewer->frameCount > 1 && viewer->windowTarget && viewer->composeTarget) {
        viewer->currentFrame = 0;
        image.composesFirst = viewer->ComposeNextFrame();
        bool every = image.composesFirst;
        for (UINT i = 1; every && i <= viewer->frameCount; ++i) {
            viewer->currentFrame = i % viewer->frameCount;
            every = viewer->ComposeNextFrame();
        }
        image.plays = every;
        viewer->currentFrame = 0;
    }
    DestroyInstance(viewer);
}

bool Stopped(const TavorenGif* viewer) {
    return !viewer->workerExists && !viewer->running && !viewer->paused && !viewer->stopEvent &&
           !viewer->wakeEvent && viewer->currentFrame == 0 && viewer->elapsed == 0;
}

class Cycles {
  public:
    Cycles(std::vector<CycleImage> images, TestWindow& window)
        : images_(std::move(images)), window_(window), watchdog_(kTimeout) {}

    // One cycle; a failure is recorded where something did not hold.
    void Run(unsigned cycle) {
        const CycleImage& first = images_[cycle % images_.size()];
        const CycleImage& next = images_[(cycle + 1) % images_.size()];
        SCOPED_TRACE("cycle " + std::to_string(cycle) + ": " + first.name + ", then " + next.name);
        const bool byPathFirst = cycle % 2 == 0;

        TavorenGif* viewer = CreateInstance(nullptr);
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(Load(viewer, first, byPathFirst), first.loadResult);
        EXPECT_EQ(AttachWindow(viewer, window_.hwnd()), 0);

        // Play, step and stop through each of the host's three ways in turn: the entry
        // points, the keys and the requests.
        const int shown = window_.invalidations();
        ChooseWay(
            cycle, [&] { Play(viewer); }, [&] { Key(viewer, 'P'); },
            [&] { Request(viewer, VM_PLAY); });
        if (first.composesFirst) {
            ASSERT_TRUE(window_.WaitForInvalidation(shown + 1, kTimeout)) << "frame 0 not shown";
        }
        ChooseWay(
            cycle, [&] { StepPlayback(viewer); }, [&] { Key(viewer, 'T'); },
            [&] { Request(viewer, VM_STEP); });
        if (first.plays) {
            ASSERT_TRUE(
                window_.WaitUntil([&] { return viewer->running && viewer->paused; }, kTimeout))
                << "the step was not held";
        }
        watchdog_.Expect("stop in " + first.name, [&] {
            ChooseWay(
                cycle, [&] { StopPlayback(viewer); }, [&] { Key(viewer, 'S'); },
                [&] { Request(viewer, VM_STOP); });
        });
        // Also where no worker was left to stop: one that ended by itself rewound as it ended.
        EXPECT_TRUE(Stopped(viewer));

        // A reload on the same viewer, the other way, played and destroyed as it plays.
        watchdog_.Expect("reload of " + next.name,
                         [&] { EXPECT_EQ(Load(viewer, next, !byPathFirst), next.loadResult); });
        EXPECT_TRUE(Stopped(viewer));
        EXPECT_EQ(AttachWindow(viewer, window_.hwnd()), 0);
        const int reloadShown = window_.invalidations();
        Play(viewer);
        if (next.composesFirst) {
            EXPECT_TRUE(window_.WaitForInvalidation(reloadShown + 1, kTimeout))
                << "frame 0 of the reload not shown";
        }
        watchdog_.Expect("destroy of a playing " + next.name, [&] { DestroyInstance(viewer); });
        // The test window keeps what is posted to it (the repaint after a stop).
        window_.PostedMessages();
    }

  private:
    static INT32 Load(TavorenGif* viewer, const CycleImage& image, bool byPath) {
        if (byPath) return LoadFromFile(viewer, Wide(image.path.string()).c_str()).result;
        return LoadFromMemory(viewer, {image.bytes.begin(), image.bytes.end()}).result;
    }
    static void Key(TavorenGif* viewer, WPARAM key) {
        EXPECT_EQ(HandleMessage(viewer, WM_KEYDOWN, key, 0), 2);
    }
    static void Request(TavorenGif* viewer, UINT message) { HandleMessage(viewer, message, 0, 0); }
    template <typename A, typename B, typename C>
    static void ChooseWay(unsigned cycle, A&& entryPoint, B&& key, C&& request) {
        switch (cycle % 3) {
            case 0:
                entryPoint();
                break;
            case 1:
                key();
                break;
            default:
                request();
                break;
        }
    }

    const std::vector<CycleImage> images_;
    TestWindow& window_;
    ReturnWatchdog watchdog_;
};

bool ReportResidentAfter(unsigned cycle, unsigned cycles, unsigned interval) {
    if (cycle == cycles || (interval && cycle % interval == 0)) return true;
    for (unsigned power = 1; power <= cycle; power *= 10) {
        if (power == cycle) return true;
    }
    return false;
}

TEST(LeakCycles, EveryCycleGivesBackWhatItTookAndEveryStopReturns) {
    std::vector<CycleImage> images = CorpusImages();
    if (images.empty()) {
        std::printf("no corpus at %s: the cycles run over built images\n", TAVOREN_CORPUS_DIR);
        images = BuiltImages();
    }
    const unsigned cycles = CycleCount();
    const unsigned interval = ResidentReportInterval();
    // Only the images that the cycles reach (each cycle loads its own and the next one): a
    // rehearsal makes a window target too, which under Wine costs time and address space.
    if (images.size() > cycles + 1) images.resize(cycles + 1);
    TestWindow window(64, 64);
    unsigned playing = 0;
    for (CycleImage& image : images) {
        Rehearse(image, window);
        playing += image.plays;
    }
    std::printf("%u cycles over %zu images (%u play without ending by themselves)\n", cycles,
                images.size(), playing);

    Cycles run(std::move(images), window);
    LiveCounts baseline = LiveCounts::Now();
    for (unsigned cycle = 1; cycle <= cycles; ++cycle) {
        run.Run(cycle - 1);
        if (::testing::Test::HasFatalFailure()) return;
#if defined(_WIN32)
        // Windows keeps handles of its own after the first window target and worker: the
        // first cycle is the warm-up, and the handle count after it the baseline.
        if (cycle == 1) baseline = LiveCounts::Settled(LiveCounts::Now(), kTimeout);
#endif
        const LiveCounts left = LiveCounts::Settled(baseline, kTimeout);
        ASSERT_TRUE(left.SameAs(baseline))
            << "after cycle " << cycle << ": " << left << ", before: " << baseline;
        if (ReportResidentAfter(cycle, cycles, interval) && ResidentKilobytes() >= 0) {
            std::printf("resident after cycle %u: %ld kB\n", cycle, ResidentKilobytes());
            std::fflush(stdout);
        }
    }
}

}  // namespace
