// The viewer object's life: creation in its zero state, the one teardown and its order,
// the stop handshake with a worker, and destruction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/fake_unknown.h"

namespace {

bool IsZero(const D2D1_COLOR_F& c) {
    return c.r == 0 && c.g == 0 && c.b == 0 && c.a == 0;
}

TEST(ViewerObject, CreateInstanceStartsEveryFieldAtZero) {
    TavorenGif* viewer = CreateInstance(nullptr);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->width, 0u);
    EXPECT_EQ(viewer->height, 0u);
    EXPECT_EQ(viewer->colorBits, 0);
    EXPECT_EQ(viewer->currentFrame, 0u);
    EXPECT_EQ(viewer->frameCount, 0u);
    EXPECT_EQ(viewer->disposal, 0u);
    EXPECT_EQ(viewer->frameDelay, 0u);
    EXPECT_EQ(viewer->totalDuration, 0);
    EXPECT_EQ(viewer->elapsed, 0);
    EXPECT_EQ(viewer->window, nullptr);
    EXPECT_EQ(viewer->stopEvent, nullptr);
    EXPECT_EQ(viewer->wakeEvent, nullptr);
    EXPECT_EQ(viewer->contextMenu, nullptr);
    EXPECT_TRUE(IsZero(viewer->ReadColor(viewer->backgroundColor)));
    EXPECT_TRUE(IsZero(viewer->ReadColor(viewer->imageBackgroundColor)));
    EXPECT_TRUE(IsZero(viewer->ReadColor(viewer->hostBackgroundColor)));
    EXPECT_FALSE(viewer->useImageBackground);
    EXPECT_FALSE(viewer->hasShortDelays);
    EXPECT_FALSE(viewer->ieTiming);
    EXPECT_FALSE(viewer->isTransparent);
    EXPECT_FALSE(viewer->running);
    EXPECT_FALSE(viewer->paused);
    EXPECT_FALSE(viewer->stepRequested);
    const IUnknown* interfaces[] = {
        viewer->d2dFactory,  viewer->windowTarget, viewer->composeTarget, viewer->frameBitmap,
        viewer->savedBitmap, viewer->wicFactory,   viewer->decoder};
    for (const IUnknown* held : interfaces) EXPECT_EQ(held, nullptr);
    EXPECT_EQ(viewer->frameRect.left, 0.0f);
    EXPECT_EQ(viewer->frameRect.bottom, 0.0f);
    EXPECT_FALSE(viewer->isWebP);
    EXPECT_EQ(viewer->rotation, 0);
    DestroyInstance(viewer);
}

TEST(ViewerObject, CreateAndDestroyCyclesWithoutALoad) {
    DestroyInstance(nullptr);
    for (int i = 0; i < 1000; ++i) {
        TavorenGif* viewer = CreateInstance(reinterpret_cast<void*>(static_cast<uintptr_t>(i)));
        ASSERT_NE(viewer, nullptr);
        DestroyInstance(viewer);
    }
    std::vector<TavorenGif*> viewers;
    for (int i = 0; i < 16; ++i) viewers.push_back(CreateInstance(nullptr));
    for (TavorenGif* viewer : viewers) DestroyInstance(viewer);
}

TEST(ViewerObject, ReleaseResourcesReleasesEveryInterfaceOnceInItsOrder) {
    std::vector<std::string> order;
    auto record = [&order](const char* name) { return [&order, name] { order.push_back(name); }; };
    FakeUnknown d2dFactory(record("d2dFactory")), windowTarget(record("windowTarget")),
        composeTarget(record("composeTarget")), frameBitmap(record("frameBitmap")),
        savedBitmap(record("savedBitmap")), wicFactory(record("wicFactory")),
        decoder(record("decoder"));

    TavorenGif* viewer = CreateInstance(nullptr);
    viewer->decoder = decoder.As<IWICBitmapDecoder>();
    viewer->frameBitmap = frameBitmap.As<ID2D1Bitmap>();
    viewer->d2dFactory = d2dFactory.As<ID2D1Factory>();
    viewer->wicFactory = wicFactory.As<IWICImagingFactory>();
    viewer->savedBitmap = savedBitmap.As<ID2D1Bitmap>();
    viewer->windowTarget = windowTarget.As<ID2D1HwndRenderTarget>();
    viewer->composeTarget = composeTarget.As<ID2D1BitmapRenderTarget>();

    viewer->ReleaseResources();
    EXPECT_EQ(order,
              (std::vector<std::string>{"d2dFactory", "windowTarget", "composeTarget",
                                        "frameBitmap", "savedBitmap", "wicFactory", "decoder"}));
    EXPECT_EQ(viewer->d2dFactory, nullptr);
    EXPECT_EQ(viewer->decoder, nullptr);

    // A second teardown finds nothing left to release.
    viewer->ReleaseResources();
    EXPECT_EQ(order.size(), 7u);
    DestroyInstance(viewer);
    EXPECT_EQ(order.size(), 7u);
}

TEST(ViewerObject, ReleaseResourcesClosesTheMenuAndKeepsTheImageDescription) {
    TavorenGif* viewer = CreateInstance(nullptr);
    viewer->contextMenu = CreatePopupMenu();
    ASSERT_NE(viewer->contextMenu, nullptr);
    viewer->width = 320;
    viewer->height = 200;
    viewer->frameCount = 12;
    viewer->rotation = 270;
    viewer->ieTiming = true;
    viewer->useImageBackground = true;
    viewer->paused = true;
    viewer->window = reinterpret_cast<HWND>(uintptr_t{0x1234});
    const D2D1_COLOR_F host{0.25f, 0.5f, 0.75f, 1.0f};
    viewer->WriteColor(viewer->hostBackgroundColor, host);

    viewer->ReleaseResources();
    EXPECT_EQ(viewer->contextMenu, nullptr);
    EXPECT_FALSE(viewer->paused);
    EXPECT_EQ(viewer->width, 320u);
    EXPECT_EQ(viewer->height, 200u);
    EXPECT_EQ(viewer->frameCount, 12u);
    EXPECT_EQ(viewer->rotation, 270);
    EXPECT_TRUE(viewer->ieTiming);
    EXPECT_TRUE(viewer->useImageBackground);
    EXPECT_EQ(viewer->window, reinterpret_cast<HWND>(uintptr_t{0x1234}));
    const D2D1_COLOR_F kept = viewer->ReadColor(viewer->hostBackgroundColor);
    EXPECT_EQ(std::memcmp(&kept, &host, sizeof(host)), 0);
    viewer->window = nullptr;
    DestroyInstance(viewer);
}

// Stands in for the playback worker: waits for the stop event, reports what it saw, and as
// its last step clears `running` and `workerExists`, as the real worker's exit does.
struct StandInWorker {
    explicit StandInWorker(TavorenGif* viewer, FakeUnknown* held) {
        viewer->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        viewer->running = true;
        viewer->workerExists = true;
        thread = std::thread([this, viewer, held] {
            WaitForSingleObject(viewer->stopEvent, INFINITE);
            referencesWhenStopped = held->references();
            HANDLE stop = viewer->stopEvent.exchange(nullptr);
            CloseHandle(stop);
            viewer->running = false;
            viewer->workerExists = false;
        });
    }
    ~StandInWorker() {
        if (thread.joinable()) thread.join();
    }
    std::thread thread;
    ULONG referencesWhenStopped = 99;
};

TEST(ViewerObject, DestroyWhilePlayingEndsTheWorkerBeforeReleasingAnything) {
    FakeUnknown composeTarget;
    TavorenGif* viewer = CreateInstance(nullptr);
    viewer->composeTarget = composeTarget.As<ID2D1BitmapRenderTarget>();
    viewer->paused = true;
    {
        StandInWorker worker(viewer, &composeTarget);
        DestroyInstance(viewer);
        worker.thread.join();
        EXPECT_EQ(worker.referencesWhenStopped, 1u) << "released under a live worker";
    }
    EXPECT_EQ(composeTarget.references(), 0u);
}

}  // namespace
