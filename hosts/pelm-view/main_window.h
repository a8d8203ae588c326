// The interactive viewer's top-level window: the module's view, and a status bar with the
// load's progress and then the play position and duration.
#pragma once

#include <QMainWindow>

#include <memory>

#include "viewer.h"

class QLabel;
class QProgressBar;
class ViewWidget;

class MainWindow : public QMainWindow {
  public:
    MainWindow(std::unique_ptr<Viewer> viewer, uint32_t background, const QString& title);

    ViewWidget& view() { return *view_; }

    // The load's progress callback: shows the bar and paints it at once, as the load runs on
    // this thread and the event loop waits for it.
    void ShowProgress(UINT32 done, UINT32 total);
    // After a successful load and attach: drops the bar and sizes the window to the picture.
    void ShowPicture();

  private:
    void UpdateStatus();

    ViewWidget* view_;
    QLabel* time_;
    QProgressBar* progress_;
};
