// The interactive run: load the module, open the window, then browse the file or folder
// given (or play the demo) while the window shows each load's progress.
#include "interactive_run.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosts/core/host_module.h"
#include "main_window.h"

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
    const std::filesystem::path modulePath =
        options.module.empty() ? ModuleBesideExecutable() : std::filesystem::u8path(options.module);
    std::string error;
    // Outlives the window, whose viewer is the module's until the window goes.
    auto module = HostModule::Open(modulePath, &error);
    if (!module) return Refuse(QString::fromStdString(error));

    MainWindow window(std::move(module), options.background);
    if (!window.session().viewer().valid()) return Refuse("the module made no viewer");
    window.show();
    // Shown before the load, which runs on this thread; the progress bar paints itself.
    QCoreApplication::processEvents();
    if (options.file.empty()) {
        if (!window.ShowDemo()) return Refuse("the module cannot open the demo animation");
    } else if (!window.OpenPath(std::filesystem::u8path(options.file))) {
        return Refuse(window.statusText());
    }
    if (window.session().windowRefused()) {
        return Refuse(QString::fromStdString(window.session().error()));
    }
    return app.exec();
}
