// The interactive viewer window's client area: a QWidget that lends itself to the module as
// its window, forwards the window messages the module acts on, and paints through Render.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "presented_frame.h"
#include "registered_window.h"
#include "viewer.h"

class ViewWidget : public QWidget, public WindowHost {
  public:
    // Called after every paint and when the module says the timing changed.
    using StatusChanged = std::function<void()>;

    ViewWidget(std::unique_ptr<Viewer> viewer, uint32_t background, QWidget* parent = nullptr);
    ~ViewWidget() override;

    Viewer& viewer() { return *viewer_; }
    void OnStatusChanged(StatusChanged callback) { statusChanged_ = std::move(callback); }

    // Registers the window, attaches the loaded viewer, sends the host's colour and plays.
    // False when the module refuses the window.
    bool AttachAndPlay();
    bool attached() const { return attached_; }
    DisplayedSize displayed() const { return displayed_; }

    QSize sizeHint() const override;

    // WindowHost.
    void ClientSize(int* width, int* height) override;
    void ClientOrigin(int* x, int* y) override;
    void Invalidate() override;
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Present(const BYTE* pixels, int width, int height, int stride) override;
    bool Occluded() override;
    UINT_PTR TrackMenu(const TavorenMenuItem* items, int count, int x, int y) override;
    void EndTrackedMenu() override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void Rotate(int degrees);
    void HandleNotify(WPARAM what);

    // Declared before the viewer, so destroyed after it: the viewer's teardown stops the
    // worker, which may still invalidate the window until then.
    std::optional<RegisteredWindow> window_;
    std::unique_ptr<Viewer> viewer_;
    const uint32_t background_;
    bool attached_ = false;
    DisplayedSize displayed_;
    PresentedFrame frame_;
    StatusChanged statusChanged_;
    // Read by the stand-in from whichever thread asks.
    std::atomic<int> clientWidth_{0}, clientHeight_{0};
};
