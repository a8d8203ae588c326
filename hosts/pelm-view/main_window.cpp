// The status bar reads the module's position and duration again at every paint of the view
// and when the module says the timing was recomputed.
#include "main_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>
#include <cstdint>

#include "view_widget.h"

namespace {

// m:ss.mmm
QString FormatMs(INT32 ms) {
    if (ms < 0) ms = 0;
    return QString("%1:%2.%3")
        .arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

}  // namespace

MainWindow::MainWindow(std::unique_ptr<Viewer> viewer, uint32_t background, const QString& title)
    : view_(new ViewWidget(std::move(viewer), background, this)),
      time_(new QLabel(this)),
      progress_(new QProgressBar(this)) {
    setWindowTitle(title + " - pelm-view");
    setCentralWidget(view_);
    statusBar()->addWidget(time_, 1);
    statusBar()->addPermanentWidget(progress_);
    progress_->setFormat("Loading %v / %m frames");
    progress_->setRange(0, 0);
    view_->OnStatusChanged([this] { UpdateStatus(); });
    view_->setFocus();
}

void MainWindow::ShowProgress(UINT32 done, UINT32 total) {
    progress_->setRange(0, static_cast<int>(std::min<UINT32>(total, INT32_MAX)));
    progress_->setValue(static_cast<int>(std::min(done, total)));
    progress_->repaint();
}

void MainWindow::ShowPicture() {
    statusBar()->removeWidget(progress_);
    progress_->hide();
    // The view asks for the picture's size; a top-level window keeps within the screen.
    view_->updateGeometry();
    adjustSize();
    UpdateStatus();
}

void MainWindow::UpdateStatus() {
    const DisplayedSize size = view_->displayed();
    Viewer& viewer = view_->viewer();
    time_->setText(QString("%1 x %2    %3 / %4")
                       .arg(size.width)
                       .arg(size.height)
                       .arg(FormatMs(viewer.PositionMs()))
                       .arg(FormatMs(viewer.DurationMs())));
}
