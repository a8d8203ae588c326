// The context menu: the items offered in each state, each command chosen as a user would,
// dismissal, the point it opens at, and the host calling the module from inside the menu's
// modal loop. Linux: the test window's tracker plays the menu. Windows: the real menu, read
// when it opens and driven with keys.
#include <gtest/gtest.h>

#include <memory>

#include "host/context_menu.h"
#include "playback/transport.h"
#include "tests/support/viewer_test.h"

// Found by argument-dependent lookup, so failures show the items.
void PrintTo(const TestWindow::MenuItem& item, std::ostream* out) {
    *out << "{flags " << item.flags << ", id " << item.id << ", label of " << item.label.size()
         << " units}";
}

namespace {

constexpr uint16_t kLongDelay = 3000;  // hundredths: longer than any wait here

using Items = std::vector<TestWindow::MenuItem>;

// The command ids are the host's to see (a host may post them itself), so they are fixed.
static_assert(kMenuPlay == 1 && kMenuPause == 2 && kMenuStop == 3 && kMenuStep == 4 &&
              kMenuIeTiming == 5 && kMenuBackground == 6);

const std::basic_string<WCHAR> kPlay = TEXT("&Play");
const std::basic_string<WCHAR> kPause = TEXT("&Pause");
const std::basic_string<WCHAR> kStop = TEXT("&Stop");
const std::basic_string<WCHAR> kStep = TEXT("FrameS&tep");
const std::basic_string<WCHAR> kIeTiming = TEXT("&IE互換タイミング");
const std::basic_string<WCHAR> kBackground = TEXT("Pelmの背景色を使う(&G)");

TestWindow::MenuItem Item(UINT_PTR id, const std::basic_string<WCHAR>& label,
                          bool checked = false) {
    return {checked ? UINT{MF_CHECKED} : UINT{0}, id, label};
}
TestWindow::MenuItem Separator() {
    return {MF_SEPARATOR, 0, {}};
}

LPARAM Point(unsigned x, unsigned y) {
    return static_cast<LPARAM>((y & 0xFFFF) << 16 | (x & 0xFFFF));
}

// An animation of `frames` frames; transparent and with short delays as asked.
GifImage Animation(unsigned frames, bool transparent, bool shortDelays) {
    GifImage image = SimpleAnimation(frames, 8, 8, shortDelays ? 3 : kLongDelay);
    // Transparent only when every frame is.
    for (GifFrame& frame : image.frames) frame.control->transparencyFlag = transparent;
    return image;
}

struct ContextMenuTest : ViewerTest {
    // Right-clicks, answering the menu with `choose`; the items shown, empty when none was.
    Items Click(TestWindow::MenuScript choose = nullptr) {
        Items shown;
        const int before = harness->window().menusShown();
        harness->window().SetMenuScript([&](const Items& items, POINT at) {
            shown = items;
            return choose ? choose(items, at) : 0;
        });
        EXPECT_EQ(HandleMessage(harness->viewer(), WM_RBUTTONDOWN, 0, Point(2, 3)), 0);
        harness->window().SetMenuScript(nullptr);
        EXPECT_EQ(harness->window().menusShown(), before + (shown.empty() ? 0 : 1));
        EXPECT_EQ(harness->viewer() ? harness->viewer()->contextMenu : nullptr, nullptr);
        return shown;
    }
    Items Choose(UINT_PTR id) {
        return Click([id](const Items&, POINT) { return id; });
    }
    // The host's VM_PLAY, awaited until the worker runs.
    bool StartPlaying(TavorenGif* viewer) {
        HandleMessage(viewer, WM_USER + 2, 0, 0);
        return WaitUntil([&] { return viewer->running.load(); });
    }
};

TEST_F(ContextMenuTest, AStillOpaqueImageOffersNothing) {
    Open(Animation(1, false, false));
    EXPECT_TRUE(Click().empty());
}

TEST_F(ContextMenuTest, AStillTransparentImageOffersTheBackgroundAlone) {
    TavorenGif* viewer = Open(Animation(1, true, false));
    EXPECT_EQ(Click(), Items({Item(kMenuBackground, kBackground, true)}));
    EXPECT_EQ(Choose(kMenuBackground), Items({Item(kMenuBackground, kBackground, true)}));
    EXPECT_TRUE(viewer->useImageBackground);
    EXPECT_EQ(Click(), Items({Item(kMenuBackground, kBackground, false)}));
}

TEST_F(ContextMenuTest, TheTransportItemsFollowThePlaybackState) {
    TavorenGif* viewer = Open(Animation(3, false, false));
    const Items stopped{Item(kMenuPlay, kPlay), Item(kMenuStep, kStep)};
    EXPECT_EQ(Choose(kMenuPlay), stopped);
    ASSERT_TRUE(WaitUntil([&] { return viewer->running && !viewer->paused; }));
    const Items playing{Item(kMenuPause, kPause), Item(kMenuStop, kStop), Item(kMenuStep, kStep)};
    EXPECT_EQ(Choose(kMenuPause), playing);
    EXPECT_TRUE(viewer->paused);
    const Items paused{Item(kMenuPlay, kPlay), Item(kMenuStop, kStop), Item(kMenuStep, kStep)};
    EXPECT_EQ(Choose(kMenuStep), paused);
    ASSERT_TRUE(WaitUntil([&] { return viewer->paused && viewer->currentFrame == 1u; }));
    EXPECT_EQ(Choose(kMenuPlay), paused);
    ASSERT_TRUE(WaitUntil([&] { return !viewer->paused && viewer->currentFrame == 2u; }));

    const int painted = harness->window().invalidations();
    EXPECT_EQ(Choose(kMenuStop), playing);
    EXPECT_FALSE(viewer->workerExists);
    EXPECT_EQ(viewer->currentFrame, 0u);
    EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));
    EXPECT_EQ(Click(), stopped);
}

TEST_F(ContextMenuTest, ShortDelaysAndTransparencyAddTheDisplayOptions) {
    TavorenGif* viewer = Open(Animation(3, true, true));
    EXPECT_EQ(Choose(kMenuIeTiming),
              Items({Item(kMenuPlay, kPlay), Item(kMenuStep, kStep), Separator(),
                     Item(kMenuIeTiming, kIeTiming), Separator(),
                     Item(kMenuBackground, kBackground, true)}));
    EXPECT_TRUE(viewer->ieTiming);
    EXPECT_EQ(viewer->totalDuration, 3 * 100);
    ASSERT_TRUE(harness->window().WaitForPostedMessage(WM_USER + 99, kTimeout));

    ASSERT_TRUE(StartPlaying(viewer));
    EXPECT_EQ(Choose(kMenuBackground),
              Items({Item(kMenuPause, kPause), Item(kMenuStop, kStop), Item(kMenuStep, kStep),
                     Separator(), Item(kMenuIeTiming, kIeTiming, true), Separator(),
                     Item(kMenuBackground, kBackground, true)}));
    EXPECT_TRUE(viewer->useImageBackground);
    EXPECT_TRUE(viewer->running);
    const Items after = Choose(kMenuIeTiming);
    ASSERT_EQ(after.size(), 7u);
    EXPECT_EQ(after[4], Item(kMenuIeTiming, kIeTiming, true));
    EXPECT_EQ(after[6], Item(kMenuBackground, kBackground, false));
    EXPECT_FALSE(viewer->ieTiming);
    EXPECT_EQ(viewer->totalDuration, 3 * 30);
    // The rule switched while playing, and it plays on.
    EXPECT_TRUE(viewer->running && !viewer->paused);
    HandleMessage(viewer, WM_USER + 3, 0, 0);  // VM_STOP
}

TEST_F(ContextMenuTest, DismissingChangesNothing) {
    TavorenGif* viewer = Open(Animation(3, true, true));
    ASSERT_TRUE(StartPlaying(viewer));
    EXPECT_EQ(Click().size(), 7u);
    EXPECT_TRUE(viewer->running && !viewer->paused);
    EXPECT_FALSE(viewer->ieTiming);
    EXPECT_FALSE(viewer->useImageBackground);
    HandleMessage(viewer, WM_USER + 3, 0, 0);
}

TEST_F(ContextMenuTest, StopAndPauseChosenAfterTheWorkerEndedStillDropTheStep) {
    TavorenGif* viewer = Open(Animation(3, false, false));
    for (UINT_PTR command : {UINT_PTR{kMenuStop}, UINT_PTR{kMenuPause}}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(StartPlaying(viewer));
        const int painted = harness->window().invalidations();
        Click([&](const Items&, POINT) {
            // The worker ends while the menu is open, and a step is pending.
            StopPlayback(viewer);
            viewer->stepRequested = true;
            return command;
        });
        EXPECT_FALSE(viewer->stepRequested);
        EXPECT_FALSE(viewer->paused);
        EXPECT_FALSE(viewer->workerExists);
        if (command == kMenuStop) {
            EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));
        }
    }
}

TEST_F(ContextMenuTest, TheMenuOpensAtThePressPointOnTheScreen) {
    Open(Animation(2, false, false));
    harness->window().SetScreenOrigin(120, 80);
    POINT shownAt{};
    Click([&](const Items&, POINT at) {
        shownAt = at;
        return 0;
    });
    EXPECT_EQ(shownAt.x, 122);
    EXPECT_EQ(shownAt.y, 83);
}

// The host's loop calls the module while the menu is on screen: painting and queries, a
// reload, and the viewer's destruction. A teardown ends the menu's loop before it destroys
// the menu, so nothing can be chosen in it after.
TEST_F(ContextMenuTest, EntryPointsRunFromInsideTheMenuLoop) {
    TavorenGif* viewer = Open(Animation(3, true, false));
    ASSERT_TRUE(StartPlaying(viewer));
    const int ended = harness->window().menusEnded();
    Click([&](const Items&, POINT) {
        EXPECT_NE(viewer->contextMenu, nullptr);
        RECT all{0, 0, 8, 8};
        EXPECT_EQ(Render(viewer, 0, &all, &all, 0), 0);
        UINT32 size[2] = {};
        EXPECT_EQ(HandleMessage(viewer, WM_USER + 5, reinterpret_cast<WPARAM>(size), 0), 0);
        EXPECT_EQ(size[0], 8u);
        // A reload releases everything, the open menu included.
        const auto bytes = BuildGif(Animation(2, true, false));
        LoadRecord record = LoadFromMemory(viewer, std::vector<BYTE>(bytes.begin(), bytes.end()));
        EXPECT_EQ(record.result, 0);
        EXPECT_EQ(viewer->contextMenu, nullptr);
        EXPECT_FALSE(viewer->workerExists);
        return UINT_PTR{kMenuBackground};
    });
    EXPECT_EQ(viewer->frameCount, 2u);
    EXPECT_EQ(harness->window().menusEnded(), ended + 1) << "the reload left the menu open";
    // The choice made in the old menu (Linux: the script's answer) is not carried out on the
    // new image.
    EXPECT_FALSE(viewer->useImageBackground);
    EXPECT_EQ(viewer->contextMenu, nullptr);
    // A menu that no teardown met is not ended by the module.
    Choose(kMenuBackground);
    EXPECT_TRUE(viewer->useImageBackground);
    EXPECT_EQ(harness->window().menusEnded(), ended + 1);
}

TEST_F(ContextMenuTest, TheViewerDestroyedFromInsideTheMenuLoopIsFreedAfterIt) {
    TavorenGif* viewer = Open(Animation(3, false, false));
    ASSERT_TRUE(StartPlaying(viewer));
    int painted = 0;
    const int ended = harness->window().menusEnded();
    Click([&](const Items&, POINT) {
        DestroyInstance(viewer);
        painted = harness->window().invalidations();
        // Released at once: the worker has ended and the surfaces are gone, so the host may
        // free its window now.
        EXPECT_FALSE(viewer->workerExists);
        EXPECT_EQ(viewer->windowTarget, nullptr);
        EXPECT_EQ(viewer->decoder, nullptr);
        EXPECT_EQ(viewer->contextMenu, nullptr);
        // The harness must not destroy it again.
        harness->Forget();
        return UINT_PTR{kMenuStop};
    });
    // The menu's loop was ended, the command was not carried out (it would repaint the
    // window, which outlives the viewer), and nothing is left (the counts at the end).
    EXPECT_EQ(harness->window().invalidations(), painted);
    EXPECT_EQ(harness->window().menusEnded(), ended + 1) << "the destruction left the menu open";
}

#if !defined(_WIN32)
// Windows refuses a second popup menu while one is tracked; a Linux host's loop may open one.
TEST_F(ContextMenuTest, AMenuOpenedInsideAnotherIsDestroyedWithIt) {
    TavorenGif* viewer = Open(Animation(3, true, false));
    int depth = 0;
    harness->window().SetMenuScript([&](const Items&, POINT) -> UINT_PTR {
        if (++depth == 1) {
            const HMENU outer = viewer->contextMenu;
            EXPECT_EQ(HandleMessage(viewer, WM_RBUTTONDOWN, 0, Point(1, 1)), 0);
            EXPECT_EQ(TavorenLiveMenus(), baseline.menus + 1);  // the inner one is gone
            EXPECT_EQ(viewer->contextMenu, outer);
            return kMenuBackground;
        }
        EXPECT_EQ(TavorenLiveMenus(), baseline.menus + 2);
        return kMenuPlay;
    });
    EXPECT_EQ(HandleMessage(viewer, WM_RBUTTONDOWN, 0, Point(1, 1)), 0);
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(TavorenLiveMenus(), baseline.menus);
    EXPECT_EQ(viewer->contextMenu, nullptr);
    EXPECT_TRUE(viewer->useImageBackground);                         // the outer choice
    ASSERT_TRUE(WaitUntil([&] { return viewer->running.load(); }));  // the inner choice
    StopPlayback(viewer);
}

TEST_F(ContextMenuTest, DestroyedInsideANestedMenuTheViewerIsFreedByTheOutermost) {
    TavorenGif* viewer = Open(Animation(3, true, false));
    int depth = 0, painted = 0;
    harness->window().SetMenuScript([&](const Items&, POINT) -> UINT_PTR {
        if (++depth == 1) {
            HandleMessage(viewer, WM_RBUTTONDOWN, 0, Point(1, 1));
            return kMenuBackground;
        }
        DestroyInstance(viewer);
        harness->Forget();
        painted = harness->window().invalidations();
        // Both loops ended; each menu goes as its tracking returns.
        EXPECT_EQ(TavorenLiveMenus(), baseline.menus + 2);
        return kMenuStop;
    });
    const long endedBefore = TavorenMenusEnded();
    HandleMessage(viewer, WM_RBUTTONDOWN, 0, Point(1, 1));
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(harness->window().invalidations(), painted);  // neither command was carried out
    EXPECT_EQ(TavorenMenusEnded(), endedBefore + 2) << "both loops are ended";
}

// A host may close its window from inside the menu (Windows then ends the menu): the viewer
// first, then the window.
TEST_F(ContextMenuTest, TheHostMayDestroyViewerAndWindowFromInsideTheMenu) {
    TavorenGif* viewer = Open(Animation(3, false, false));
    ASSERT_TRUE(StartPlaying(viewer));
    const HWND window = harness->window().hwnd();
    Click([&](const Items&, POINT) {
        DestroyInstance(viewer);
        harness->Forget();
        TavorenDestroyWindow(window);
        EXPECT_FALSE(IsWindow(window));
        return UINT_PTR{kMenuStop};
    });
}
#endif

}  // namespace
