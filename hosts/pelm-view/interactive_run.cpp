// The interactive run: load the module, open the image while the window shows the progress,
// then attach the window and play.
#include "interactive_run.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_animation.h"
#include "main_window.h"
#include "module_library.h"
#include "view_widget.h"

namespace {

int Refuse(const QString& message) {
    std::fprintf(stderr, "pelm-view: %s\n", message.toLocal8Bit().constData());
    QMessageBox::critical(nullptr, "pelm-view", message);
    return 1;
}

}  // namespace

int RunInteractive(int argc, char** argv, const Options& options) {
    // Without a display Qt would end the process in its own words; say what to do instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "pelm-view: no display (DISPLAY, WAYLAND_DISPLAY); use --headless\n");
        return 1;
    }
    QApplication app(argc, argv);
    const std::string modulePath = options.module.empty() ? DefaultModulePath() : options.module;
    std::string error;
    // Outlives the window, whose viewer is the module's until the window goes.
    const auto module = ModuleLibrary::Open(modulePath, &error);
    if (!module) return Refuse(QString::fromStdString(error));

    auto viewer = std::make_unique<Viewer>(module->info());
    if (!viewer->valid()) return Refuse("the module made no viewer");
    const QString name =
        options.file.empty() ? QString("demo animation") : QString::fromStdString(options.file);
    MainWindow window(std::move(viewer), options.background, name);
    Viewer& loading = window.view().viewer();
    window.show();

    // Shown before the load, which runs on this thread; the progress bar paints itself.
    QCoreApplication::processEvents();
    const Viewer::Progress progress = [&window](UINT32 done, UINT32 total) {
        window.ShowProgress(done, total);
    };
    const bool loaded =
        options.file.empty()
            ? loading.LoadMemory(kDemoAnimation, kDemoAnimationSize, progress)
            : loading.LoadFile(QString::fromStdString(options.file).toStdU16String(), progress);
    if (!loaded) return Refuse("the module cannot open " + name);
    if (!window.view().AttachAndPlay()) return Refuse("the module refused the window");
    window.ShowPicture();
    return app.exec();
}
