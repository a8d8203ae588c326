// A host that loads the module for each image and unloads it the moment the viewer is
// destroyed: the module's code must still be there for a worker that is leaving it, and must
// be gone once the workers have ended.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "module/module_info.h"
#include "support/gif_builder.h"
#include "support/module_loader.h"
#include "support/temporary_file.h"
#include "support/test_window.h"

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

namespace {

constexpr unsigned kTimeoutMs = 10000;
constexpr UINT VM_PLAY = WM_USER + 2;

int Cycles() {
    const char* value = std::getenv("TAVOREN_UNLOAD_CYCLES");
    return value ? std::atoi(value) : 300;
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
            ASSERT_TRUE(module.loaded()) << module.error();
            auto* getInfo =
                reinterpret_cast<ModuleInfo* (*)(void*)>(module.Symbol("GetTavorenModuleInfo"));
            ASSERT_NE(getInfo, nullptr);
            const ModuleInfo* info = getInfo(nullptr);
            TavorenGif* viewer = info->createInstance(nullptr);
            ASSERT_NE(viewer, nullptr);
            INT32 memoryResult = 0;
            ASSERT_EQ(info->loadImageSource(
                          viewer, file.wide().c_str(), nullptr, 0, &memoryResult, 0, 0,
                          [](UINT32, UINT32, void*) -> INT32 { return 0; }, nullptr),
                      0);
            ASSERT_EQ(info->attachWindow(viewer, window.hwnd()), 0);
            info->handleMessage(viewer, VM_PLAY, 0, 0);
#if !defined(_WIN32)
            if (cycle == 0) {
                // The worker's own reference: the host's is the other.
                ASSERT_TRUE(window.WaitForInvalidation(1, kTimeoutMs)) << "nothing played";
                EXPECT_EQ(TavorenModuleReferences(), 1);
            }
#endif
            info->destroyInstance(viewer);
        }  // unloaded here, at once
        if (ModuleLoaded()) ++outlived;
        ASSERT_TRUE(GoneOnceTheWorkersEnded()) << "a reference to the module was left";
        window.PumpMessages();
        if (cycle == 0) handlesAfterWarmUp = HandleCount();
    }
#if defined(_WIN32)
    // Under Wine a worker's thread closes its handles as it ends; the count is settled by
    // the time the module is gone.
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

}  // namespace
