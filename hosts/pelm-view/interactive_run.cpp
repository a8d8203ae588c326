// The interactive run: load the module, open the window, then browse the file or folder
// given (or play the demo) while the window shows each load's progress.
#include "hosts/pelm-view/interactive_run.h"

#include <QApplication>
#include <QMessageBox>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hosts/core/host_module.h"
#include "hosts/pelm-view/main_window.h"

namespace {

// Whether someone reads the standard error stream: a terminal, or a file or pipe that a
// script or a test reads. Started from a desktop it goes to a log or nowhere.
bool ErrorsAreRead() {
    struct stat status {};
    if (isatty(STDERR_FILENO)) return true;
    return fstat(STDERR_FILENO, &status) == 0 &&
           (S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode));
}

// The message, then exit code 1; a message box only where the message would go unseen, as it
// waits for a click that a script never gives.
int Refuse(const QString& message) {
    std::fprintf(stderr, "pelm-view: %s\n", message.toLocal8Bit().constData());
    if (!ErrorsAreRead()) QMessageBox::critical(nullptr, "pelm-view", message);
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
    std::vector<std::filesystem::path> paths;
    for (const std::string& file : options.files) paths.push_back(std::filesystem::u8path(file));
    if (paths.empty()) {
        if (!window.ShowDemo()) return Refuse("the module cannot open the demo animation");
    } else if (!window.OpenPaths(paths)) {
        // Nothing to browse: no empty window stays behind the message.
        window.hide();
        return Refuse(window.statusText());
    }
    if (window.session().windowRefused()) {
        return Refuse(QString::fromStdString(window.session().error()));
    }
    return app.exec();
}
