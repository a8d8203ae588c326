// The interactive viewer's top-level window: the module's view and a status bar with the
// load's progress and the status line. It browses a folder with one viewer through the host
// core's session, opens files by dialog and by drop, and does the windowing the keys ask for:
// fullscreen, open, close.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <vector>

#include "hosts/pelm-view/folder_watcher.h"
#include "hosts/core/host_session.h"

class QLabel;
class QMenu;
class QMessageBox;
class QMimeData;
class QProgressBar;
class ViewWidget;

class MainWindow : public QMainWindow, public SessionWindow {
  public:
    MainWindow(std::shared_ptr<const HostModule> module, uint32_t background);
    ~MainWindow() override;

    // Browses a file or a folder and shows its current file; false when there is nothing
    // there to show (the reason in the status).
    bool OpenPath(const std::filesystem::path& path);
    // Several: those files (a folder among them: its files), browsed as one list.
    bool OpenPaths(const std::vector<std::filesystem::path>& paths);
    bool ShowDemo();

    HostSession& session() { return *session_; }
    ViewWidget& view() { return *view_; }
    // The whole status line, and as shown, elided to the bar's width.
    QString statusText() const { return statusFull_; }
    QString statusShown() const;
    // The help (F1) and the host's menu, while they are open.
    QMessageBox* help() const { return help_; }
    QMenu* hostMenu() const { return hostMenu_; }
    bool progressShown() const;
    // A key as the user presses it; the view and this window hand theirs here.
    void PressKey(const KeyPress& press, QPoint cursor);

    // SessionWindow.
    void* Handle() override;
    PictureSize ClientSize() override;
    void ShowProgress(uint32_t done, uint32_t total) override;
    void Repaint() override;
    void StatusChanged() override { UpdateStatus(); }
    void SizeToPicture() override;
    bool IsFullscreen() override { return isFullScreen(); }
    void ToggleFullscreen() override;
    void ChooseFile() override;
    void Close() override { close(); }
    void ShowHelp() override;
    void CopyFrame() override;
    unsigned ModuleMenusTracked() override;
    HostAction ChooseFromHostMenu(int x, int y) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The status label's resizes: its text is elided again to the new width.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateStatus();
    void ShowStatus(const QString& text);
    bool Opened(bool browsing, const std::string& error);
    // What the watcher saw, acted on once a burst of changes has settled.
    void DiskChanged(bool file);
    // The local files and folders of a drag that the host can show.
    std::vector<std::filesystem::path> Showable(const QMimeData& data) const;

    ViewWidget* view_;
    QLabel* status_;
    QString statusFull_;
    QProgressBar* progress_;
    QMessageBox* help_ = nullptr;
    QMenu* hostMenu_ = nullptr;
    FolderWatcher watcher_;
    QTimer settle_;
    bool fileChanged_ = false, folderChanged_ = false;
    // Destroyed before the view's window registration goes: the viewer stops its worker.
    std::unique_ptr<HostSession> session_;
};

// Qt's key event as the host core names keys: virtual-key codes and modifiers.
KeyPress KeyPressOf(const QKeyEvent& event);
