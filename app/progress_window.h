// The progress window of a conversion run. StartRun converts the checked tasks of Tasks through
// a ConversionRun (core/conversion_run.h), several at once, inside the window's modal loop, and
// shows one row per file converting, the total, the elapsed and remaining time, and the problems
// so far. The run can be paused, cancelled and hidden to the notification area (minimised where
// the desktop has none), and at its end offers to open the folder it wrote to.
//
// A file that cannot be converted never stops the run and never waits for the user: it goes into
// the window's list of problems and the task list, and the end summary names it with its reason.
// An output that exists when its task starts is asked about (CollisionDialog), once for the rest
// of the run when the user says so.
//
// As tasks start and end, the window writes their state into Tasks (a converted task is
// unchecked and keeps the name its MP3 went to) and emits taskChanged, so the task list follows.
//
// Thread: the user-interface thread; the run's workers reach the window only through the
// main-thread dispatcher. Ownership: the window owns the run while it goes on; it does not own the
// main window it is told about.
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
class QEventLoop;
class QMenu;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // Raises engine::PipelineError with the loader's message when LAME cannot be loaded: without
  // the encoder the program cannot convert anything.
  explicit ProgressWindow(QWidget* parent = nullptr);
  ~ProgressWindow() override;

  // Converts the checked tasks of Tasks; returns when the window has closed. Does nothing when
  // a run is already going on.
  void StartRun();

  // The window to hide and restore with this one when the run is hidden (not owned; null for
  // none, then only this window is hidden).
  void SetMainWindow(QWidget* mainWindow);

  // True from StartRun showing the window until the run has ended.
  bool Running() const { return running_; }
  // The run going on, or the last one (null before the first).
  const ConversionRun* Run() const { return run_.get(); }
  // The task of each item of the run.
  int TaskOf(int item) const { return taskOfItem_[static_cast<std::size_t>(item)]; }
  // How far `task` has converted, in percent, while it converts (else 0).
  int TaskPercent(int task) const;
  // Brings back a run hidden to the tray or minimised, with the main window.
  void RestoreRun();

  QLabel* timeLabel;
  QLabel* pausedLabel;
  QProgressBar* totalProgressBar;
  QGroupBox* filesBox;
  QGroupBox* problemsBox;
  QListWidget* problemsList;
  QPushButton* hideButton;
  QPushButton* pauseButton;
  QPushButton* cancelButton;
  QTimer* displayTimer;
  QSystemTrayIcon* trayIcon;
  // The tray icon's menu: Show, Pause (Resume), Cancel.
  QMenu* trayMenu;
  QAction* showAction;
  QAction* pauseAction;
  QAction* cancelAction;

  // How the end of a run hidden to the tray is told: a desktop notification through the tray
  // icon. Tests put in `notifier` to see the title and text; an empty function restores it.
  using Notifier = std::function<void(const QString& title, const QString& text)>;
  static void SetNotifier(Notifier notifier);

  // One row of filesBox: a converting file's title and its bar.
  struct FileRow {
    QLabel* label;
    QProgressBar* bar;
  };
  const std::vector<FileRow>& FileRows() const { return fileRows_; }

 signals:
  // Task `task` of Tasks changed its state or its progress.
  void taskChanged(int task);

 public slots:
  void OnPauseClicked();
  void OnCancelClicked();
  void OnHideClicked();
  void OnTrayIconClicked();
  void OnDisplayTimer();
  // Escape asks to cancel, as the cancel button does.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyCaptions();
  void OnItemChanged(int item);
  CollisionAnswer OnCollision(int item, const std::string& output);
  void AddProblem(const std::string& sourceFile, const std::string& reason);
  void ShowPaused(bool paused);
  void FinishRun();
  // The run's windows: hidden to the tray, or minimised where the desktop has no tray.
  void HideRun();
  bool RunHidden() const;
  // The end of a hidden run as a desktop notification: how many files converted, how many failed.
  void NotifyRunEnd(int converted, int failed);
  std::string OutputFolderToOpen() const;

  std::unique_ptr<ConversionRun> run_;
  std::vector<int> taskOfItem_;
  std::vector<FileRow> fileRows_;
  std::optional<CollisionAnswer> answerForTheRest_;
  QPointer<QWidget> mainWindow_;
  QEventLoop* runLoop_ = nullptr;
  bool running_ = false;
  bool finishing_ = false;
  bool askingCancel_ = false;
  bool minimisedInsteadOfTray_ = false;
};
