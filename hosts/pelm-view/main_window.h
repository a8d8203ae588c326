// The interactive viewer's top-level window: the module's view and a status bar with the
// load's progress and the status line. It browses a folder with one viewer through the host
// core's session, opens files by dialog and by drop, and does the windowing the keys ask for:
// fullscreen, open, close.
#pragma once

#include <QMainWindow>

#include <filesystem>
#include <memory>

#include "hosts/core/host_session.h"

class QLabel;
class QProgressBar;
class ViewWidget;

class MainWindow : public QMainWindow, public SessionWindow {
  public:
    MainWindow(std::shared_ptr<const HostModule> module, uint32_t background);
    ~MainWindow() override;

    // Browses a file or a folder and shows its current file; false when there is nothing
    // there to show (the reason in the status).
    bool OpenPath(const std::filesystem::path& path);
    bool ShowDemo();

    HostSession& session() { return *session_; }
    ViewWidget& view() { return *view_; }
    QString statusText() const;
    bool progressShown() const;
    // A key as the user presses it; the view and this window hand theirs here.
    void PressKey(const KeyPress& press, QPoint cursor);

    // SessionWindow.
    void* Handle() override;
    PictureSize ClientSize() override;
    void ShowProgress(uint32_t done, uint32_t total) override;
    void Repaint() override;
    void StatusChanged() override { UpdateStatus(); }
    void PictureChanged() override;
    bool IsFullscreen() override { return isFullScreen(); }
    void ToggleFullscreen() override;
    void ChooseFile() override;
    void Close() override { close(); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void UpdateStatus();

    ViewWidget* view_;
    QLabel* status_;
    QProgressBar* progress_;
    // Destroyed before the view's window registration goes: the viewer stops its worker.
    std::unique_ptr<HostSession> session_;
};

// Qt's key event as the host core names keys: virtual-key codes and modifiers.
KeyPress KeyPressOf(const QKeyEvent& event);
