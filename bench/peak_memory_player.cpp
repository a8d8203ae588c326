// The peak resident memory of playing one animation through the shipped module, as a host
// plays it: the module loaded by file and its one export, the image opened from its path, a
// window of the canvas's size attached (fitted into a 1920x1080 screen, as no host window is
// larger), every frame reached with VM_STEP (as pelm-view's headless run does, so no frame is
// skipped and nothing depends on time) and painted into the whole window with Render. The window's
// present keeps nothing, so the figure is the module's and the stand-in's, not a host's copy of the
// pixels.
//
//   peak_memory_player MODULE --baseline        loads the module and reads its record, only
//   peak_memory_player MODULE --describe FILE...  what the module makes of each file
//   peak_memory_player MODULE FILE              plays FILE
// Each prints one JSON object a line. "hwm_kb" is the peak resident memory of this process
// image (VmHWM of /proc/self/status); "maxrss_kb" is getrusage's ru_maxrss, which Linux carries
// over an exec from the process image before it, so a parent's size can hide it when a large
// parent (a Python driver, say) starts this program.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "hosts/core/host_module.h"
#include "platform/linux/window_host.h"
#include "module/viewer_messages.h"
#include "module/module_info.h"
#include "tests/support/wide_path.h"

namespace {

long MaxResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long HighWaterKb() {
    long kb = -1;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof(line), status)) {
            if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
        }
        std::fclose(status);
    }
    return kb;
}

struct Extent {
    LONG width, height;
};

struct Opened {
    TavorenGif* viewer = nullptr;
    bool loaded = false;
    UINT32 frames = 0;
    UINT32 size[2] = {0, 0};
};

INT32 CountFrames(UINT32, UINT32 total, void* userData) {
    *static_cast<UINT32*>(userData) = total;
    return 0;
}

// A new viewer with `file` loaded; the frame count is the load's progress total, as a host
// learns it.
Opened Open(const ModuleInfo& module, const char* file) {
    Opened opened;
    opened.viewer = module.createInstance(nullptr);
    const auto path = Wide(file);
    opened.loaded = module.loadImageSource(opened.viewer, path.c_str(), nullptr, 0, nullptr, 0, 0,
                                           &CountFrames, &opened.frames) == 0;
    if (opened.loaded) {
        module.handleMessage(opened.viewer, VM_GETSIZE, reinterpret_cast<WPARAM>(opened.size), 0);
    }
    return opened;
}

std::string Escaped(const char* text) {
    std::string out;
    for (; *text; ++text) {
        if (*text == '"' || *text == '\\') out += '\\';
        out += *text;
    }
    return out;
}

int Describe(const ModuleInfo& module, int count, char** files) {
    for (int i = 0; i < count; ++i) {
        Opened opened = Open(module, files[i]);
        std::printf(
            "{\"file\": \"%s\", \"loaded\": %s, \"frames\": %u, \"width\": %u, "
            "\"height\": %u}\n",
            Escaped(files[i]).c_str(), opened.loaded ? "true" : "false", opened.frames,
            opened.size[0], opened.size[1]);
        module.destroyInstance(opened.viewer);
    }
    return 0;
}

// Steps through every frame and paints each; false, with the reason printed, on a failure.
bool PlayAllFrames(const ModuleInfo& module, TavorenGif* viewer, CountingWindow& window,
                   UINT32 frames, LONG width, LONG height, Extent shown) {
    const RECT source{0, 0, width, height}, dest{0, 0, shown.width, shown.height};
    if (frames == 1) {
        if (module.render(viewer, 0, &source, &dest, 0) == 0) return true;
        std::fprintf(stderr, "peak_memory_player: Render failed on the still\n");
        return false;
    }
    // The first step composes frame 0 and frame 1 (two paint requests); each further step
    // one frame, and the last goes round to frame 0 again.
    for (UINT32 step = 1; step <= frames; ++step) {
        window.ForgetInvalidations();
        module.handleMessage(viewer, VM_STEP, 0, 0);
        if (!window.WaitForInvalidations(step == 1 ? 2 : 1, std::chrono::seconds(10))) {
            std::fprintf(stderr, "peak_memory_player: no paint request after step %u\n", step);
            return false;
        }
        if (module.render(viewer, 0, &source, &dest, 0) != 0) {
            std::fprintf(stderr, "peak_memory_player: Render failed at step %u\n", step);
            return false;
        }
    }
    return true;
}

// The canvas's size, scaled down to fit a 1920x1080 screen where it is larger.
Extent FittedIntoScreen(LONG width, LONG height) {
    constexpr double kScreenWidth = 1920, kScreenHeight = 1080;
    const double scale = std::min({1.0, kScreenWidth / width, kScreenHeight / height});
    return {static_cast<LONG>(std::max(1L, std::lround(width * scale))),
            static_cast<LONG>(std::max(1L, std::lround(height * scale)))};
}

int Play(const ModuleInfo& module, const char* file) {
    Opened opened = Open(module, file);
    if (!opened.loaded || opened.size[0] == 0 || opened.size[1] == 0) {
        std::fprintf(stderr, "peak_memory_player: the module cannot open %s\n", file);
        module.destroyInstance(opened.viewer);
        return 3;
    }
    const LONG width = static_cast<LONG>(opened.size[0]),
               height = static_cast<LONG>(opened.size[1]);
    const Extent shown = FittedIntoScreen(width, height);
    bool played = false;
    {
        Registered<CountingWindow> window(shown.width, shown.height);
        played = module.attachWindow(opened.viewer, window.hwnd()) == 0 &&
                 PlayAllFrames(module, opened.viewer, window, opened.frames, width, height, shown);
        // The viewer's teardown stops its worker, which asks this window for paints until then.
        module.destroyInstance(opened.viewer);
    }
    if (!played) return 1;
    std::printf(
        "{\"file\": \"%s\", \"frames\": %u, \"width\": %ld, \"height\": %ld, "
        "\"hwm_kb\": %ld, \"maxrss_kb\": %ld}\n",
        Escaped(file).c_str(), opened.frames, static_cast<long>(width), static_cast<long>(height),
        HighWaterKb(), MaxResidentKb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MODULE (--baseline | --describe FILE... | FILE)\n",
                     argv[0]);
        return 2;
    }
    std::string error;
    const auto loaded = HostModule::Open(argv[1], &error);
    if (!loaded) {
        std::fprintf(stderr, "peak_memory_player: %s\n", error.c_str());
        return 1;
    }
    const ModuleInfo* module = &loaded->record();
    if (std::strcmp(argv[2], "--baseline") == 0) {
        std::printf("{\"baseline\": true, \"hwm_kb\": %ld, \"maxrss_kb\": %ld}\n", HighWaterKb(),
                    MaxResidentKb());
        return 0;
    }
    if (std::strcmp(argv[2], "--describe") == 0) return Describe(*module, argc - 3, argv + 3);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MODULE FILE\n", argv[0]);
        return 2;
    }
    return Play(*module, argv[2]);
}
