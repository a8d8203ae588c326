// The headless run. Frames are reached with VM_STEP, never by playing, so that none is skipped
// and none depends on time: a step from stopped composes frame 0, asks for a paint, goes on to
// frame 1, asks again and pauses; each further step goes one frame on (one paint request), and
// the step after the last frame goes back to frame 0, which is composed afresh. So frame 1
// comes first and frame 0 last, after a full round.
#include "hosts/pelm-view/headless_run.h"

#include <QImage>
#include <QString>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "hosts/demo/demo_animation.h"
#include "hosts/pelm-view/headless_window.h"
#include "module/viewer_messages.h"
#include "hosts/core/host_module.h"
#include "hosts/core/module_viewer.h"
#include "hosts/core/view_geometry.h"

namespace {

constexpr auto kPaintTimeout = std::chrono::seconds(10);
constexpr int kExitFailure = 1;
constexpr int kExitNotOpened = 3;

int Fail(const std::string& message) {
    std::fprintf(stderr, "pelm-view: %s\n", message.c_str());
    return kExitFailure;
}

class HeadlessRun {
  public:
    HeadlessRun(const Options& options, std::shared_ptr<const HostModule> module)
        : options_(options), viewer_(std::move(module)) {}

    int Run();

  private:
    bool Load();
    // Registers the window, attaches it and makes the requests of the options; false, with the
    // reason printed, when the module will not show the picture.
    bool Attach();
    // Paints the client area through Render and writes it as frame `index`.
    bool PaintAndWrite(UINT32 index);
    // VM_STEP, then the wait for the module's `requests` paint requests.
    bool Step(int requests, UINT32 nextFrame);

    const Options& options_;
    UINT32 frameCount_ = 0;
    // Declared before the viewer, so destroyed after it: the viewer's teardown stops the
    // worker, which asks this window for paints until then.
    std::optional<HeadlessWindow> host_;
    std::optional<RegisteredWindow> window_;
    ModuleViewer viewer_;
};

bool HeadlessRun::Load() {
    // The frame count is the total that the load's progress reports.
    const ModuleViewer::Progress progress = [this](UINT32, UINT32 total) { frameCount_ = total; };
    if (options_.files.empty()) {
        return viewer_.LoadMemory(kDemoAnimation, kDemoAnimationSize, progress);
    }
    return viewer_.LoadFile(std::filesystem::u8path(options_.files.front()), progress);
}

bool HeadlessRun::Attach() {
    const PictureSize picture = viewer_.DisplayedSize();
    const bool sized = options_.width > 0;
    if (!sized && (picture.width <= 0 || picture.height <= 0)) {
        Fail("the picture is " + std::to_string(picture.width) + "x" +
             std::to_string(picture.height) + ": nothing to show 1:1");
        return false;
    }
    host_.emplace(sized ? options_.width : picture.width, sized ? options_.height : picture.height);
    window_.emplace(*host_);
    if (!window_->hwnd() || !viewer_.Attach(window_->hwnd())) {
        Fail("the module refused the window");
        return false;
    }
    viewer_.SetBackground(options_.background);
    if (options_.rotate != 0) {
        if (viewer_.Rotate(options_.rotate) != 0) {
            Fail("the module would not turn the picture");
            return false;
        }
        // Without --size the window follows the turned picture, so that it stays 1:1.
        if (!sized) {
            const PictureSize turned = viewer_.DisplayedSize();
            host_->SetClientSize(turned.width, turned.height);
            viewer_.Resized(turned.width, turned.height);
        }
    }
    for (char key : options_.keys) viewer_.Key(static_cast<unsigned>(key));
    return true;
}

bool HeadlessRun::PaintAndWrite(UINT32 index) {
    // The interactive window's default fit: 1:1, or shrunk when the picture does not fit.
    ViewGeometry geometry;
    geometry.SetPicture(viewer_.DisplayedSize());
    const Placement placement = geometry.Place({host_->width(), host_->height()});
    host_->frame().Forget();
    if (viewer_.Render(placement.source, placement.dest, placement.interpolation) != 0) {
        Fail("the module could not paint frame " + std::to_string(index));
        return false;
    }
    if (!host_->frame().fresh()) {
        Fail("the module presented nothing for frame " + std::to_string(index));
        return false;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04u.png", static_cast<unsigned>(index));
    const std::string path = (std::filesystem::path(options_.outDir) / name).string();
    // The window is opaque: the module clears it with the host's colour before drawing.
    if (!host_->frame()
             .image()
             .convertToFormat(QImage::Format_RGB32)
             .save(QString::fromStdString(path), "PNG")) {
        Fail("cannot write " + path);
        return false;
    }
    return true;
}

bool HeadlessRun::Step(int requests, UINT32 nextFrame) {
    host_->ForgetInvalidations();
    viewer_.Send(VM_STEP);
    if (host_->WaitForInvalidations(requests, kPaintTimeout)) return true;
    Fail("no paint request for frame " + std::to_string(nextFrame) + " within " +
         std::to_string(kPaintTimeout.count()) +
         " s (the frame could not be composed); the frames written so far are kept");
    return false;
}

int HeadlessRun::Run() {
    if (!viewer_.valid()) return Fail("the module made no viewer");
    if (!Load()) {
        std::fprintf(
            stderr, "pelm-view: the module cannot open %s\n",
            options_.files.empty() ? "the demo animation" : options_.files.front().c_str());
        return kExitNotOpened;
    }
    if (frameCount_ == 0) return Fail("the module opened the image but reported no frames");
    if (!Attach()) return kExitFailure;

    std::error_code error;
    std::filesystem::create_directories(options_.outDir, error);
    if (error) return Fail("cannot make " + options_.outDir + ": " + error.message());

    UINT32 wanted = options_.frames.value_or(frameCount_);
    if (wanted > frameCount_) {
        std::printf("pelm-view: the image has %u frames; writing those, not %u\n",
                    static_cast<unsigned>(frameCount_), static_cast<unsigned>(wanted));
        wanted = frameCount_;
    }

    // A still is painted as it is: no worker runs for it.
    if (frameCount_ == 1) {
        if (!PaintAndWrite(0)) return kExitFailure;
    } else {
        // Frames 1 to frameCount-1, then frame 0 after the round; the two paint requests of
        // the first step are frame 0's and frame 1's.
        for (UINT32 step = 1; step <= frameCount_; ++step) {
            const UINT32 frame = step % frameCount_;
            if (!Step(step == 1 ? 2 : 1, frame)) return kExitFailure;
            if (frame < wanted && !PaintAndWrite(frame)) return kExitFailure;
        }
    }
    std::printf("pelm-view: wrote %u of %u frames (%dx%d) to %s\n", static_cast<unsigned>(wanted),
                static_cast<unsigned>(frameCount_), host_->width(), host_->height(),
                options_.outDir.c_str());
    return 0;
}

}  // namespace

int RunHeadless(const Options& options) {
    const std::filesystem::path modulePath =
        options.module.empty() ? ModuleBesideExecutable() : std::filesystem::u8path(options.module);
    std::string error;
    auto module = HostModule::Open(modulePath, &error);
    if (!module) return Fail(error);
    return HeadlessRun(options, std::move(module)).Run();
}
