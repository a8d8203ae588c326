// The viewer window's client area: a QWidget that lends itself to the module as its window
// (the stand-in's window contract), paints through the session's Render and passes the
// mouse on: the right button to the module's menu (or the host's), a drag to pan, the wheel
// to browse and Ctrl+wheel to zoom, a double click to fullscreen.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <optional>

#include "hosts/core/host_session.h"
#include "hosts/pelm-view/presented_frame.h"
#include "platform/linux/window_host.h"

class ViewWidget : public QWidget, public WindowHost {
  public:
    explicit ViewWidget(uint32_t background, QWidget* parent = nullptr);
    ~ViewWidget() override;

    // Set once, before the first load; the session outlives this widget's use of it.
    void SetSession(HostSession* session) { session_ = session; }
    void* hwnd() const { return window_ ? window_->hwnd() : nullptr; }
    // After every paint, and for the double click.
    void OnPainted(std::function<void()> callback) { painted_ = std::move(callback); }
    void OnDoubleClick(std::function<void()> callback) { doubleClicked_ = std::move(callback); }
    // The last picture the module presented, as painted.
    const QImage& presented() const { return frame_.image(); }
    // Whether the paint that just ended got a picture from the module.
    bool presentedNow() const { return frame_.fresh(); }
    // How many menus the module has opened in this window.
    unsigned menusTracked() const { return menusTracked_; }

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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    const uint32_t background_;
    HostSession* session_ = nullptr;
    std::optional<RegisteredWindow> window_;
    PresentedFrame frame_;
    std::function<void()> painted_, doubleClicked_;
    std::optional<QPoint> dragFrom_;
    unsigned menusTracked_ = 0;
    int wheel_ = 0;  // wheel delta not yet a whole notch
    // Read by the stand-in from whichever thread asks.
    std::atomic<int> clientWidth_{0}, clientHeight_{0};
};
