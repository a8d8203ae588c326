// The module's window on Qt: messages in, paints out, and the module's calls from its worker
// thread carried over to the GUI thread.
#include "hosts/pelm-view/view_widget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "hosts/pelm-view/context_menu.h"

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

ViewWidget::ViewWidget(uint32_t background, QWidget* parent)
    : QWidget(parent), background_(background) {
    setFocusPolicy(Qt::StrongFocus);
    // The right button belongs to the module's menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Every paint covers the whole area with the module's picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    clientWidth_ = width();
    clientHeight_ = height();
    window_.emplace(*this);
}

ViewWidget::~ViewWidget() {
    // The session's viewer has been destroyed by now (its owner goes first), so no worker
    // calls this window any more.
    window_.reset();
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
    ++menusTracked_;
    const UINT_PTR chosen = RunContextMenu(this, items, count, QPoint(x, y));
    // The module carries the command out when this returns; the state word follows it.
    if (session_) session_->MenuChosen(chosen);
    return chosen;
}

// The menu is the application's active popup while its loop runs; closing it ends the loop.
void ViewWidget::EndTrackedMenu() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

bool ViewWidget::event(QEvent* event) {
    if (event->type() == PostedMessage::Kind()) {
        const auto* posted = static_cast<PostedMessage*>(event);
        // The module posts VM_NOTIFY only; anything else has no handler here.
        if (posted->message == VM_NOTIFY && session_) session_->Notified(posted->wParam);
        return true;
    }
    return QWidget::event(event);
}

void ViewWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    frame_.Forget();
    if (session_ && session_->Paint() && (frame_.fresh() || frame_.image().size() == size())) {
        // A declined paint leaves the last picture, if it still fits the window.
        painter.drawImage(0, 0, frame_.image());
    } else {
        painter.fillRect(rect(), HostColour(background_));
        if (session_ && !session_->error().empty()) {
            // The reason in the window too, where the picture would be.
            painter.setPen(QColor(0xE0, 0xE0, 0xE0));
            painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                             QString::fromStdString("cannot open " + session_->name() + ":\n" +
                                                    session_->error()));
        }
    }
    if (painted_) painted_();
}

void ViewWidget::resizeEvent(QResizeEvent* event) {
    clientWidth_ = width();
    clientHeight_ = height();
    if (session_) session_->Resized();
    QWidget::resizeEvent(event);
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
    if (!session_) return QWidget::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // Runs the module's menu or the host's, modally, before it returns.
        session_->RightClick(at.x(), at.y());
    } else if (!session_->shown()) {
        QWidget::mousePressEvent(event);
    } else if (event->button() == Qt::LeftButton &&
               session_->geometry().Pannable({width(), height()})) {
        dragFrom_ = at;
        setCursor(Qt::ClosedHandCursor);
    }
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_ || !session_) return QWidget::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint();
    session_->geometry().Pan({width(), height()}, at.x() - dragFrom_->x(), at.y() - dragFrom_->y());
    dragFrom_ = at;
    update();
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (dragFrom_ && event->button() == Qt::LeftButton) {
        dragFrom_.reset();
        unsetCursor();
    }
    QWidget::mouseReleaseEvent(event);
}

void ViewWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && doubleClicked_) {
        doubleClicked_();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

// One notch (120) is one step: a touchpad's small deltas add up to it first.
void ViewWidget::wheelEvent(QWheelEvent* event) {
    wheel_ += event->angleDelta().y();
    const int notches = wheel_ / 120;
    wheel_ -= notches * 120;
    const HostAction action = MapWheel(notches, event->modifiers() & Qt::ControlModifier);
    if (!session_ || action == HostAction::None) return QWidget::wheelEvent(event);
    const QPoint at = event->position().toPoint();
    session_->Command(action, 0, at.x(), at.y());
}
