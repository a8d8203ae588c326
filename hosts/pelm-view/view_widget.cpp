// The module's window on Qt: messages in, paints out, and the module's calls from its worker
// thread carried over to the GUI thread.
#include "view_widget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "context_menu.h"
#include "packed_words.h"
#include "picture_placement.h"

namespace {

// A message the module posted, delivered on the GUI thread as a posted event.
class PostedMessage : public QEvent {
  public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    PostedMessage(UINT posted, WPARAM first, LPARAM second)
        : QEvent(Kind()), message(posted), wParam(first), lParam(second) {}
    const UINT message;
    const WPARAM wParam;
    const LPARAM lParam;
};

QColor HostColour(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

ViewWidget::ViewWidget(std::unique_ptr<Viewer> viewer, uint32_t background, QWidget* parent)
    : QWidget(parent), viewer_(std::move(viewer)), background_(background) {
    setFocusPolicy(Qt::StrongFocus);
    // The right button belongs to the module's menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Every paint covers the whole area with the module's picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    clientWidth_ = width();
    clientHeight_ = height();
}

ViewWidget::~ViewWidget() {
    // The viewer first, then the window it was attached to.
    viewer_.reset();
    window_.reset();
}

bool ViewWidget::AttachAndPlay() {
    window_.emplace(*this);
    if (!window_->hwnd() || !viewer_->Attach(window_->hwnd())) return false;
    attached_ = true;
    displayed_ = viewer_->Size();
    viewer_->SetBackground(background_);
    viewer_->Send(VM_PLAY);
    update();
    return true;
}

QSize ViewWidget::sizeHint() const {
    if (displayed_.width <= 0 || displayed_.height <= 0) return {480, 360};
    return QSize(displayed_.width, displayed_.height).expandedTo({240, 180});
}

void ViewWidget::ClientSize(int* width, int* height) {
    *width = clientWidth_;
    *height = clientHeight_;
}

// Asked by the module's menu, on the window thread.
void ViewWidget::ClientOrigin(int* x, int* y) {
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    *x = origin.x();
    *y = origin.y();
}

// From any thread: QWidget::update may be called on the GUI thread only.
void ViewWidget::Invalidate() {
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

// From any thread; postEvent is thread-safe, and events still queued for a destroyed widget
// are dropped with it.
bool ViewWidget::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    QCoreApplication::postEvent(this, new PostedMessage(message, wParam, lParam));
    return true;
}

// Inside Render, hence inside paintEvent.
void ViewWidget::Present(const BYTE* pixels, int width, int height, int stride) {
    frame_.Take(pixels, width, height, stride);
}

// Asked inside Render, on the window thread. Qt sends no paint to a window that cannot be
// seen, so this matters only for a paint that is asked for directly.
bool ViewWidget::Occluded() {
    return !isVisible() || window()->isMinimized();
}

UINT_PTR ViewWidget::TrackMenu(const TavorenMenuItem* items, int count, int x, int y) {
    return RunContextMenu(this, items, count, QPoint(x, y));
}

// The menu is the application's active popup while its loop runs; closing it ends the loop.
void ViewWidget::EndTrackedMenu() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

bool ViewWidget::event(QEvent* event) {
    if (event->type() == PostedMessage::Kind()) {
        const auto* posted = static_cast<PostedMessage*>(event);
        // The module posts VM_NOTIFY only; anything else has no handler here.
        if (posted->message == VM_NOTIFY) HandleNotify(posted->wParam);
        return true;
    }
    return QWidget::event(event);
}

void ViewWidget::HandleNotify(WPARAM what) {
    if (what == kNotifyRotated) {
        // The picture's sides may have swapped: fit it again.
        displayed_ = viewer_->Size();
        update();
    } else if (what == kNotifyTimingChanged && statusChanged_) {
        statusChanged_();
    }
}

void ViewWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!attached_) {
        painter.fillRect(rect(), HostColour(background_));
        return;
    }
    const PicturePlacement placement =
        PlacePicture(displayed_.width, displayed_.height, width(), height());
    frame_.Forget();
    viewer_->Render(placement.source, placement.dest, placement.interpolation);
    // A declined paint leaves the last picture, if it still fits the window.
    if (frame_.fresh() || frame_.image().size() == size()) {
        painter.drawImage(0, 0, frame_.image());
    } else {
        painter.fillRect(rect(), HostColour(background_));
    }
    if (statusChanged_) statusChanged_();
}

void ViewWidget::resizeEvent(QResizeEvent* event) {
    clientWidth_ = width();
    clientHeight_ = height();
    if (attached_) viewer_->Send(WM_SIZE, 0, PackWords(width(), height()));
    QWidget::resizeEvent(event);
}

void ViewWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // The host's own keys: turning the picture is the host's request, not a module key.
    if (attached_ && key == Qt::Key_R) {
        Rotate(90);
    } else if (attached_ && key == Qt::Key_E) {
        Rotate(-90);
    } else if (key == Qt::Key_Escape) {
        window()->close();
    } else if (attached_ && key >= Qt::Key_A && key <= Qt::Key_Z) {
        // Qt's letter keys are the capital letters' codes, which are their virtual-key codes.
        // A key the module does not act on (result 0) goes on to the parent.
        if (viewer_->Send(WM_KEYDOWN, static_cast<WPARAM>(key)) == 0) event->ignore();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void ViewWidget::Rotate(int degrees) {
    // -1 without a window surface; the fit follows when VM_NOTIFY says the turn happened.
    viewer_->Send(VM_ROTATE, static_cast<WPARAM>(static_cast<INT_PTR>(degrees)));
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
    if (attached_ && event->button() == Qt::RightButton) {
        const QPoint at = event->position().toPoint();
        // Runs the module's menu, modally, before it returns.
        viewer_->Send(WM_RBUTTONDOWN, 0, PackWords(at.x(), at.y()));
        return;
    }
    QWidget::mousePressEvent(event);
}
