// A host that loads the module for each image and unloads it the moment the viewer is
// destroyed: the module's code must still be there for a worker that is leaving it, and must
// be gone once the workers have ended.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "module/module_info.h"
#include "tests/support/gif_builder.h"
#include "tests/support/module_loader.h"
#include "tests/support/platform_info.h"
#include "tests/support/temporary_file.h"
#include "tests/support/test_window.h"

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

namespace {

constexpr unsigned kTimeoutMs = 10000;
constexpr UINT VM_PLAY = WM_USER + 2;
constexpr UINT VM_STOP = WM_USER + 3;

// Under Wine each cycle costs about a second (a new Direct2D device for each window target):
// there a few cycles run by default, hundreds when asked.
int Cycles() {
    const char* value = std::getenv("TAVOREN_UNLOAD_CYCLES");
    return value ? std::atoi(value) : RunningUnderWine() ? 5 : 300;
}

bool ModuleLoaded() {
    std::basic_string<WCHAR> name;
    for (const char* c = TAVOREN_MODULE_FILE; *c; ++c) name += static_cast<WCHAR>(*c);
    return GetModuleHandleW(name.c_str()) != nullptr;
}

// Once the workers have ended the module must be gone. Linux: awaits the stand-in's thread
// count. Windows tells of no thread's end without its handle, so this looks every
// millisecond until the deadline.
bool GoneOnceTheWorkersEnded() {
#if defined(_WIN32)
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while (ModuleLoaded() && GetTickCount64() < deadline) Sleep(1);
#else
    TavorenWaitForLiveThreads(0, kTimeoutMs);
#endif
    return !ModuleLoaded();
}

DWORD HandleCount() {
    DWORD handles = 0;
#if defined(_WIN32)
    GetProcessHandleCount(GetCurrentProcess(), &handles);
#endif
    return handles;
}

// The module opened, attached to `window` and playing, through the host's entry points.
struct PlayingViewer {
    const ModuleInfo* info = nullptr;
    TavorenGif* viewer = nullptr;
};
void StartPlaying(const LoadedModule& module, const TemporaryFile& file, HWND window,
                  PlayingViewer& playing) {
    ASSERT_TRUE(module.loaded()) << module.error();
    auto* getInfo = reinterpret_cast<ModuleInfo* (*)(void*)>(module.Symbol("GetTavorenModuleInfo"));
    ASSERT_NE(getInfo, nullptr);
    playing.info = getInfo(nullptr);
    playing.viewer = playing.info->createInstance(nullptr);
    ASSERT_NE(playing.viewer, nullptr);
    INT32 memoryResult = 0;
    ASSERT_EQ(playing.info->loadImageSource(
                  playing.viewer, file.wide().c_str(), nullptr, 0, &memoryResult, 0, 0,
                  [](UINT32, UINT32, void*) -> INT32 { return 0; }, nullptr),
              0);
    ASSERT_EQ(playing.info->attachWindow(playing.viewer, window), 0);
    playing.info->handleMessage(playing.viewer, VM_PLAY, 0, 0);
}

// The worker's own reference alone keeps the module's code in place: the host gives its
// reference back while the animation plays (which a host must not do), finds the module still
// loaded, and takes a reference again for its own calls before it destroys the viewer.
TEST(ModuleUnload, APlayingWorkerHoldsTheModule) {
    ASSERT_FALSE(ModuleLoaded());
    TestWindow window(16, 16);
    const TemporaryFile file(BuildGif(SimpleAnimation(3, 8, 8, 2)));  // 20 ms frames
    LoadedModule module(TAVOREN_MODULE_FILE);
    PlayingViewer playing;
    ASSERT_NO_FATAL_FAILURE(StartPlaying(module, file, window.hwnd(), playing));
    // Frames after the first: Windows may paint the window once of its own accord.
    ASSERT_TRUE(window.WaitForInvalidation(3, kTimeoutMs)) << "nothing played";
    module.Unload();
    ASSERT_TRUE(ModuleLoaded()) << "the worker holds no reference to the module";
    {
        LoadedModule again(TAVOREN_MODULE_FILE);
        ASSERT_TRUE(again.loaded()) << again.error();
        playing.info->destroyInstance(playing.viewer);
    }
    EXPECT_TRUE(GoneOnceTheWorkersEnded());
}

TEST(ModuleUnload, UnloadedTheMomentAPlayingViewerIsDestroyed) {
    ASSERT_FALSE(ModuleLoaded());
    TestWindow window(16, 16);
    const TemporaryFile file(BuildGif(SimpleAnimation(3, 8, 8, 2)));  // 20 ms frames
    const int cycles = Cycles();
    int outlived = 0;  // cycles in which a leaving worker still held the module after unload
    DWORD handlesAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        {
            LoadedModule module(TAVOREN_MODULE_FILE);
            PlayingViewer playing;
            ASSERT_NO_FATAL_FAILURE(StartPlaying(module, file, window.hwnd(), playing));
            playing.info->destroyInstance(playing.viewer);
        }  // unloaded here, at once
        if (ModuleLoaded()) ++outlived;
        ASSERT_TRUE(GoneOnceTheWorkersEnded()) << "a reference to the module was left";
        window.PumpMessages();
        if (cycle == 0) handlesAfterWarmUp = HandleCount();
    }
#if defined(_WIN32)
    // No handle may be left per cycle: a worker's thread handle is closed when it starts.
    // (Wine 8 answers 0 for the count, so there this shows nothing.)
    EXPECT_LE(HandleCount(), handlesAfterWarmUp) << "handles leaked by the cycles";
#else
    EXPECT_EQ(TavorenModuleReferences(), 0);
    EXPECT_EQ(TavorenTimerPeriodsActive(), 0);
#endif
    std::printf(
        "%d cycles of load, play, destroy, unload; the module outlived its unload in %d "
        "(a worker was still leaving it); handles after the first cycle %lu, at the end "
        "%lu\n",
        cycles, outlived, static_cast<unsigned long>(handlesAfterWarmUp),
        static_cast<unsigned long>(HandleCount()));
}

// A host that destroys the viewer from inside its context menu's modal loop and unloads the
// module there too: the menu's code returns through the module after the loop, which its own
// reference keeps loaded until the host's call has left it. Stopped and playing.
TEST(ModuleUnload, DestroyedInsideItsMenuAndUnloadedThere) {
    TestWindow window(16, 16);
    const TemporaryFile file(BuildGif(SimpleAnimation(3, 8, 8, 2)));  // 20 ms frames
    for (const bool playing : {false, true}) {
        SCOPED_TRACE(playing ? "playing" : "stopped");
        ASSERT_FALSE(ModuleLoaded());
        LoadedModule module(TAVOREN_MODULE_FILE);
        PlayingViewer viewer;
        ASSERT_NO_FATAL_FAILURE(StartPlaying(module, file, window.hwnd(), viewer));
        if (!playing) viewer.info->handleMessage(viewer.viewer, VM_STOP, 0, 0);
        bool unloaded = false;
        window.SetMenuScript([&](const std::vector<TestWindow::MenuItem>&, POINT) {
            viewer.info->destroyInstance(viewer.viewer);
            module.Unload();
            unloaded = true;
            return UINT_PTR{0};
        });
        const HandleMessageFn handleMessage = viewer.info->handleMessage;
        // The host's call returns here, from FreeLibrary, which gave back the menu's reference.
        EXPECT_EQ(handleMessage(viewer.viewer, WM_RBUTTONDOWN, 0, (4 << 16) | 4), TRUE);
        window.SetMenuScript(nullptr);
        EXPECT_TRUE(unloaded) << "no menu";
        EXPECT_TRUE(GoneOnceTheWorkersEnded());
        window.PumpMessages();
    }
#if !defined(_WIN32)
    EXPECT_EQ(TavorenModuleReferences(), 0);
#endif
}

}  // namespace
