// The status bar reads the module's position and duration again at every paint of the view.
#include "hosts/pelm-view/main_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <climits>

#include "hosts/demo/demo_animation.h"
#include "hosts/core/host_defaults.h"
#include "hosts/pelm-view/view_widget.h"

namespace {

std::filesystem::path PathOf(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

// The module's filter as a dialog's: "*.gif|*.webp" becomes "Images (*.gif *.webp)".
QString DialogFilter(const FileFilter& filter) {
    QStringList patterns;
    for (const std::string& pattern : filter.patterns()) {
        patterns << QString::fromStdString(pattern);
    }
    return "Images (" + patterns.join(' ') + ");;All files (*)";
}

}  // namespace

KeyPress KeyPressOf(const QKeyEvent& event) {
    KeyPress press;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    press.ctrl = modifiers & Qt::ControlModifier;
    press.shift = modifiers & Qt::ShiftModifier;
    press.alt = modifiers & Qt::AltModifier;
    const int key = event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        // Qt's codes of letters and digits are their virtual-key codes.
        press.key = static_cast<unsigned>(key);
        return press;
    }
    switch (key) {
        case Qt::Key_Right:
            press.key = vk::kRight;
            break;
        case Qt::Key_Left:
            press.key = vk::kLeft;
            break;
        case Qt::Key_Up:
            press.key = vk::kUp;
            break;
        case Qt::Key_Down:
            press.key = vk::kDown;
            break;
        case Qt::Key_PageDown:
            press.key = vk::kPageDown;
            break;
        case Qt::Key_PageUp:
            press.key = vk::kPageUp;
            break;
        case Qt::Key_Home:
            press.key = vk::kHome;
            break;
        case Qt::Key_End:
            press.key = vk::kEnd;
            break;
        case Qt::Key_Escape:
            press.key = vk::kEscape;
            break;
        case Qt::Key_Space:
            press.key = vk::kSpace;
            break;
        case Qt::Key_Menu:
            press.key = vk::kApps;
            break;
        case Qt::Key_F10:
            press.key = vk::kF10;
            break;
        case Qt::Key_F11:
            press.key = vk::kF11;
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            press.key = vk::kOemPlus;
            break;
        case Qt::Key_Minus:
            press.key = vk::kOemMinus;
            break;
        default:
            press.key = 0;
    }
    return press;
}

MainWindow::MainWindow(std::shared_ptr<const HostModule> module, uint32_t background)
    : view_(new ViewWidget(background, this)),
      status_(new QLabel(this)),
      progress_(new QProgressBar(this)) {
    setWindowTitle("pelm-view");
    setCentralWidget(view_);
    view_->setMinimumSize(kMinimumClientWidth, kMinimumClientHeight);
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progress_);
    progress_->setFormat("Loading %v / %m frames");
    progress_->hide();
    setAcceptDrops(true);
    session_ = std::make_unique<HostSession>(std::move(module), *this, background);
    view_->SetSession(session_.get());
    view_->OnPainted([this] { UpdateStatus(); });
    view_->OnDoubleClick([this] { ToggleFullscreen(); });
    view_->setFocus();
}

MainWindow::~MainWindow() {
    view_->SetSession(nullptr);
    session_.reset();
}

bool MainWindow::OpenPath(const std::filesystem::path& path) {
    std::string error;
    if (!session_->Browse(path, &error)) {
        status_->setText(QString::fromStdString(error));
        return false;
    }
    session_->ShowCurrent();
    return true;
}

bool MainWindow::ShowDemo() {
    return session_->ShowMemory("demo animation", kDemoAnimation, kDemoAnimationSize);
}

void* MainWindow::Handle() {
    return view_->hwnd();
}

PictureSize MainWindow::ClientSize() {
    return {view_->width(), view_->height()};
}

// The load runs on this thread and the event loop waits for it: the bar paints itself.
void MainWindow::ShowProgress(uint32_t done, uint32_t total) {
    if (!progress_->isVisible()) progress_->show();
    progress_->setRange(0, static_cast<int>(std::min<uint32_t>(total, INT_MAX)));
    progress_->setValue(static_cast<int>(std::min(done, total)));
    progress_->repaint();
    if (done >= total) progress_->hide();
}

void MainWindow::Repaint() {
    progress_->hide();
    view_->update();
    UpdateStatus();
}

// The window takes the picture's size, within the screen and at least the minimum; not in
// fullscreen or maximised, where the window's size is the user's.
void MainWindow::PictureChanged() {
    if (isFullScreen() || isMaximized()) return;
    const PictureSize picture = session_->picture();
    if (picture.width <= 0 || picture.height <= 0) return;
    QSize wanted(picture.width, picture.height);
    if (const QScreen* here = screen()) {
        const QSize room = here->availableGeometry().size() - (frameGeometry().size() - size()) -
                           (size() - view_->size());
        wanted = wanted.boundedTo(room);
    }
    wanted = wanted.expandedTo({kMinimumClientWidth, kMinimumClientHeight});
    resize(size() - view_->size() + wanted);
}

QString MainWindow::statusText() const {
    return status_->text();
}

bool MainWindow::progressShown() const {
    return progress_->isVisible();
}

void MainWindow::UpdateStatus() {
    const QString text = QString::fromStdString(session_->Status());
    if (status_->text() != text) status_->setText(text);
    setWindowTitle(
        (session_->name().empty() ? QString() : QString::fromStdString(session_->name()) + " - ") +
        "pelm-view");
}

void MainWindow::PressKey(const KeyPress& press, QPoint cursor) {
    if (!view_->rect().contains(cursor)) cursor = view_->rect().center();
    session_->PressKey(press, cursor.x(), cursor.y());
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    PressKey(KeyPressOf(*event), view_->mapFromGlobal(QCursor::pos()));
}

void MainWindow::ToggleFullscreen() {
    if (isFullScreen()) {
        showNormal();
    } else {
        showFullScreen();
    }
}

void MainWindow::ChooseFile() {
    const QString folder =
        session_->browsing()
            ? QString::fromStdU16String(session_->listing().current().parent_path().u16string())
            : QString();
    const QString chosen =
        QFileDialog::getOpenFileName(this, "Open", folder, DialogFilter(session_->filter()));
    if (!chosen.isEmpty()) OpenPath(PathOf(chosen));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// The first local file or folder dropped is browsed.
void MainWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        event->acceptProposedAction();
        OpenPath(PathOf(url.toLocalFile()));
        return;
    }
}
