// A test of one viewer in a test window that checks, at its end, that the platform holds no
// more on the module's behalf than before the test (Linux: the stand-in's counts; Windows
// keeps handles of its own after a first window target, so there the stress test compares
// the handle count after a warm-up instead).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/support/live_counts.h"
#include "tests/support/viewer_harness.h"

struct ViewerTest : ::testing::Test {
    static constexpr unsigned kTimeout = 10000;

    void SetUp() override { baseline = LiveCounts::Now(); }
    void TearDown() override {
        harness.reset();
#if !defined(_WIN32)
        const LiveCounts left = LiveCounts::Settled(baseline, kTimeout);
        EXPECT_TRUE(left.SameAs(baseline)) << left << " after, " << baseline << " before";
#endif
    }

    TavorenGif* Open(const GifImage& image, int windowWidth = 16, int windowHeight = 16) {
        harness = std::make_unique<ViewerHarness>(windowWidth, windowHeight);
        EXPECT_TRUE(harness->Open(image));
        return harness->viewer();
    }
    // Waits until `done` holds, looking again at each of the window's invalidations.
    bool WaitUntil(const std::function<bool()>& done) {
        return harness->window().WaitUntil(done, kTimeout);
    }

    std::unique_ptr<ViewerHarness> harness;
    LiveCounts baseline;
};
