// The status bar reads the module's position and duration again at every paint of the view.
#include "hosts/pelm-view/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <climits>

#include "hosts/demo/demo_animation.h"
#include "hosts/core/host_commands.h"
#include "hosts/core/host_defaults.h"
#include "hosts/pelm-view/host_menu.h"
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
        case Qt::Key_F1:
            press.key = vk::kF1;
            break;
        case Qt::Key_F5:
            press.key = vk::kF5;
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            press.key = modifiers & Qt::KeypadModifier ? vk::kAdd : vk::kOemPlus;
            break;
        case Qt::Key_Minus:
            press.key = modifiers & Qt::KeypadModifier ? vk::kSubtract : vk::kOemMinus;
            break;
        case Qt::Key_Slash:
            press.key = vk::kOemQuestion;
            break;
        case Qt::Key_Question:
            // Whatever the layout asks to type it with, it is the shifted slash to the map.
            press.key = vk::kOemQuestion;
            press.shift = true;
            break;
        default:
            press.key = 0;
    }
    return press;
}

MainWindow::MainWindow(std::shared_ptr<const HostModule> module, uint32_t background)
    : view_(new ViewWidget(background, this)),
      status_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      watcher_([this] { DiskChanged(false); }, [this] { DiskChanged(true); }) {
    setWindowTitle("pelm-view");
    setCentralWidget(view_);
    view_->setMinimumSize(kMinimumClientWidth, kMinimumClientHeight);
    // The status never widens the window: it is elided to the room it has.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    status_->installEventFilter(this);
    statusBar()->addPermanentWidget(progress_);
    // The load's words are in the status; the bar is only a bar.
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(160);
    progress_->hide();
    // The host's commands, reachable also where a right click opens the module's menu.
    QMenu* commands = menuBar()->addMenu("&View");
    FillHostMenu(*commands, [this](HostAction action) {
        const QPoint centre = view_->rect().center();
        session_->Command(action, 0, centre.x(), centre.y());
    });
    setAcceptDrops(true);
    // Changes on disk come in bursts (a file written in pieces, a copy of many files).
    settle_.setSingleShot(true);
    settle_.setInterval(200);
    connect(&settle_, &QTimer::timeout, this, [this] {
        const bool file = fileChanged_, folder = folderChanged_;
        fileChanged_ = folderChanged_ = false;
        if (file) {
            session_->Reload();
        } else if (folder) {
            session_->FolderChanged();
        }
    });
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
    return Opened(session_->Browse(path, &error), error);
}

bool MainWindow::OpenPaths(const std::vector<std::filesystem::path>& paths) {
    std::string error;
    return Opened(session_->Browse(paths, &error), error);
}

bool MainWindow::Opened(bool browsing, const std::string& error) {
    if (!browsing) {
        ShowStatus(QString::fromStdString(error));
        return false;
    }
    session_->ShowCurrent();
    return true;
}

void MainWindow::DiskChanged(bool file) {
    (file ? fileChanged_ : folderChanged_) = true;
    settle_.start();
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
    ShowStatus(QString::fromStdString(LoadingText(session_->name(), done, total)));
    status_->repaint();
    progress_->setRange(0, static_cast<int>(std::min<uint32_t>(total, INT_MAX)));
    progress_->setValue(static_cast<int>(std::min(done, total)));
    progress_->repaint();
    if (done >= total) progress_->hide();
}

void MainWindow::Repaint() {
    progress_->hide();
    view_->update();
    UpdateStatus();
    if (session_->browsing()) {
        watcher_.Watch(session_->listing().folder(), session_->listing().current());
    }
}

// The first picture: the window takes its size, within the screen and at least the minimum;
// not in fullscreen or maximised, where the window's size is the user's.
void MainWindow::SizeToPicture() {
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

QString MainWindow::statusShown() const {
    return status_->text();
}

void MainWindow::ShowStatus(const QString& text) {
    statusFull_ = text;
    const QFontMetrics metrics = status_->fontMetrics();
    const int room = status_->contentsRect().width();
    const QString shown =
        QString::fromStdString(ElideStatus(text.toStdString(), [&](std::string_view candidate) {
            return metrics.horizontalAdvance(QString::fromUtf8(
                       candidate.data(), static_cast<qsizetype>(candidate.size()))) <= room;
        }));
    if (status_->text() != shown) status_->setText(shown);
    status_->setToolTip(shown == text ? QString() : text);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == status_ && event->type() == QEvent::Resize) ShowStatus(statusFull_);
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::progressShown() const {
    return progress_->isVisible();
}

void MainWindow::UpdateStatus() {
    const QString text = QString::fromStdString(session_->Status());
    if (statusFull_ != text) ShowStatus(text);
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

void MainWindow::ShowHelp() {
    if (!help_) {
        help_ = new QMessageBox(QMessageBox::NoIcon, "pelm-view keys", QString(),
                                QMessageBox::Close, this);
        help_->setAttribute(Qt::WA_DeleteOnClose);
        connect(help_, &QObject::destroyed, this, [this] { help_ = nullptr; });
        // A table, so that the keys line up.
        QString rows;
        for (const QString& line :
             QString::fromStdString(HelpText()).split('\n', Qt::SkipEmptyParts)) {
            const QStringList cells = line.split('\t');
            rows += "<tr><td><b>" + cells.value(0).toHtmlEscaped() + "</b>&nbsp;&nbsp;</td><td>" +
                    cells.value(1).toHtmlEscaped() + "</td></tr>";
        }
        help_->setText("<table>" + rows + "</table>");
    }
    help_->show();
    help_->raise();
}

// The picture's part of what the module presented: what is on screen, without the host's
// colour around it.
void MainWindow::CopyFrame() {
    const QImage& shown = view_->presented();
    const PixelRect dest = session_->Place().dest;
    const QRect picture =
        QRect(dest.left, dest.top, dest.width(), dest.height()).intersected(shown.rect());
    if (picture.isEmpty()) return;
    QApplication::clipboard()->setImage(shown.copy(picture));
}

unsigned MainWindow::ModuleMenusTracked() {
    return view_->menusTracked();
}

HostAction MainWindow::ChooseFromHostMenu(int x, int y) {
    QMenu menu(this);
    HostAction chosen = HostAction::None;
    FillHostMenu(menu, [&chosen](HostAction action) { chosen = action; });
    hostMenu_ = &menu;
    menu.exec(view_->mapToGlobal(QPoint(x, y)));
    hostMenu_ = nullptr;
    return chosen;
}

std::vector<std::filesystem::path> MainWindow::Showable(const QMimeData& dragged) const {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : dragged.urls()) {
        if (!url.isLocalFile()) continue;
        const std::filesystem::path path = PathOf(url.toLocalFile());
        std::error_code code;
        if (std::filesystem::is_directory(path, code) || session_->filter().Accepts(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

// Only GIF and WebP files and folders are taken.
void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!Showable(*event->mimeData()).empty()) event->acceptProposedAction();
}

// One file browses its folder, one folder its files; several are browsed as they are.
void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::filesystem::path> paths = Showable(*event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    OpenPaths(paths);
}
