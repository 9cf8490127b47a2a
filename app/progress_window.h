// The progress window of a conversion run. StartRun converts the checked tasks of the task list
// through a ConversionRun (core/conversion_run.h), several at once, shows the window and returns;
// the window shows one row per file converting (a long title elided in its middle, so that it
// never widens the window), the total, the elapsed and remaining time and the problems so far,
// and when the run tells it that it has ended, sums up how many files converted, failed and came
// with a warning, offers to open the folder it wrote to when it converted anything, closes and
// emits runEnded. The run can be paused, cancelled and hidden to the notification area
// (minimised where the desktop has none).
//
// A file that cannot be converted never stops the run and never waits for the user: it goes into
// the window's list of problems and the task list, and the end summary names it with its reason.
// An output that exists when its task starts is asked about (CollisionDialog) without holding up
// the other files: that task waits for the answer, once for the rest of the run when the user
// says so. While the question waits, the clock and the estimate of the time remaining stand still.
//
// As tasks start and end, the window writes their state into the task list (a converted task is
// unchecked and keeps the name its MP3 went to) and emits taskChanged, so the main window follows.
//
// Thread: the user-interface thread; the run's conversions reach the window only through the
// dispatcher. Ownership: the window owns the run while it goes on; it does not own the main
// window it is told about. The controls are the window's own; tests find them by object name.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "core/conversion_run.h"
#include "core/progress_text.h"

class QAction;
class QMenu;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace app {

class CollisionDialog;
class ElidedLabel;
class Workspace;

// What the question about an existing output was answered.
struct CollisionReply {
  core::CollisionAnswer answer = core::CollisionAnswer::KeepBoth;
  bool forTheRest = false;
};

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressWindow(Workspace& workspace, QWidget* parent = nullptr);
  ~ProgressWindow() override;

  // Starts converting the checked tasks and shows the window; returns at once. Does nothing when
  // a run is already going on.
  void StartRun();
  // The same for the tasks of `tasks` (indices into the task list), checked or not.
  void StartRun(const std::vector<int>& tasks);

  // The window to hide and restore with this one when the run is hidden (not owned; null for
  // none, then only this window is hidden).
  void SetMainWindow(QWidget* mainWindow);

  // True from StartRun until the run has ended and its summary was answered.
  bool Running() const { return running_; }
  // The run going on, or the last one (null before the first).
  const core::ConversionRun* Run() const { return run_.get(); }
  // How far `task` has converted, in percent, while it converts (else 0).
  int TaskPercent(int task) const;
  // Brings back a run hidden to the tray or minimised, with the main window.
  void RestoreRun();

  // Tests answer the question about an existing output through `answerer` instead of a person;
  // an empty function restores the dialog.
  using CollisionAnswerer = std::function<CollisionReply(const std::string& output)>;
  void SetCollisionAnswerer(CollisionAnswerer answerer) { collisionAnswerer_ = std::move(answerer); }
  // How the end of a run hidden to the tray is told: a desktop notification through the tray
  // icon. Tests put in `notifier` to see the title and text; an empty function restores it.
  using Notifier = std::function<void(const QString& title, const QString& text)>;
  void SetNotifier(Notifier notifier) { notifier_ = std::move(notifier); }

 signals:
  // Task `task` of the task list changed its state or its progress.
  void taskChanged(int task);
  // The run has ended and the window has closed.
  void runEnded();

 protected:
  void reject() override;  // Escape asks to cancel, as the cancel button does
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One row of the files box: a converting file's title and its bar.
  struct FileRow {
    ElidedLabel* label;
    QProgressBar* bar;
  };

  void ApplyCaptions();
  void OnItemChanged(int item);
  void OnCollision(int item, const std::string& output);
  void AddProblem(const std::string& sourceFile, const std::string& reason);
  void ShowPaused(bool paused);
  void OnDisplayTimer();
  void OnPauseClicked();
  void OnCancelClicked();
  void FinishRun();
  // The run's windows: hidden to the tray, or minimised where the desktop has no tray.
  void HideRun();
  bool RunHidden() const;
  // The end of a hidden run as a desktop notification: how many files converted, failed, warned.
  void NotifyRunEnd(const core::RunOutcome& outcome);
  // The tray icon's tooltip: paused or not, the time line, and how to bring the run back.
  QString TrayToolTip() const;
  std::string OutputFolderToOpen() const;
  int TaskOf(int item) const { return taskOfItem_[static_cast<std::size_t>(item)]; }

  Workspace& workspace_;
  std::unique_ptr<core::ConversionRun> run_;
  std::vector<int> taskOfItem_;
  std::vector<FileRow> fileRows_;
  std::optional<core::CollisionAnswer> answerForTheRest_;
  QPointer<CollisionDialog> collisionDialog_;
  CollisionAnswerer collisionAnswerer_;
  Notifier notifier_;
  QPointer<QWidget> mainWindow_;
  bool running_ = false;
  bool finishing_ = false;
  bool askingCancel_ = false;
  bool minimisedInsteadOfTray_ = false;
  bool timeShown_ = false;  // the time line shows the run's clock (not the waiting text)

  QLabel* timeLabel_;
  QLabel* pausedLabel_;
  QProgressBar* totalProgressBar_;
  QGroupBox* filesBox_;
  QGroupBox* problemsBox_;
  QListWidget* problemsList_;
  QPushButton* hideButton_;
  QPushButton* pauseButton_;
  QPushButton* cancelButton_;
  QTimer* displayTimer_;
  QSystemTrayIcon* trayIcon_;
  QMenu* trayMenu_;  // Show, Pause (Resume), Cancel
  QAction* showAction_;
  QAction* pauseAction_;
  QAction* cancelAction_;
};

}  // namespace app
