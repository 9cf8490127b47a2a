// The conversion run and its progress window. StartRun converts every checked task of Tasks, in
// list order, from its source media file to its MP3 file, inside the window's modal loop: stepTimer
// steps to the next checked task and builds its pipeline (a new engine::DecodedInput feeding the window's one
// mp3Output), displayTimer refreshes the display from the reader's position, and OnFileDone (the output's
// onDone) schedules the next task. The run can be paused, cancelled and hidden to the
// notification area (minimised when the desktop has none), and at its end offers to open the
// output folder.
//
// A file that cannot be converted (its source cannot be opened, its MP3 file cannot be written,
// decoding or encoding fails) is reported in the message window with its name and the reason,
// and the run goes on with the next checked task; the end message counts the failed files and
// names them.
//
// Thread: the user-interface thread. The output's worker only ever reaches the window through
// the main-thread dispatcher.
//
// Ownership: the window owns mp3Output (created by the constructor, so a missing LAME library makes
// construction fail) and, between StartTask and the end of that file, the task's input. It does
// not own the main window it is told about.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "core/conversion_task.h"
#include "core/progress_text.h"
#include "engine/decoded_input.h"
#include "engine/mp3_output.h"
#include "engine/encoding_settings.h"

class QCheckBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QToolButton;


class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // Creates mp3Output; raises PipelineError with the loader's message when LAME cannot be loaded.
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
  // The files of the last run that could not be converted.
  const std::vector<FileProblem>& Failures() const { return failures_; }
  // The files of the last run that were converted with a warning (shorter than declared).
  const std::vector<FileProblem>& Warnings() const { return warnings_; }

  QLabel* timeLabel;
  QProgressBar* totalProgressBar;
  QLabel* fileLabel;
  QProgressBar* fileProgressBar;
  QPushButton* hideButton;
  QPushButton* pauseButton;
  QPushButton* cancelButton;
  QGroupBox* previewBox;
  QLabel* previewImage;
  QCheckBox* shutdownCheck;
  QWidget* titleButtons;                 // the top row with the two custom title-bar buttons
  QToolButton* titleCancelButton;   // cancel
  QToolButton* titleHideButton;   // hide
  QTimer* stepTimer;
  QTimer* displayTimer;
  QSystemTrayIcon* trayIcon;
  std::unique_ptr<engine::Mp3Output> mp3Output;

  // Run state.
  int taskIndex = -1;
  int fileOrdinal = 0;
  int checkedCount = 0;
  std::int64_t totalDuration = 0;
  std::int64_t doneDuration = 0;
  std::chrono::steady_clock::time_point runStart;  // monotonic, so a run over midnight is right
  bool paused = false;
  bool canceled = false;
  engine::DecodedInput* CurrentInput() const { return currentInput_.get(); }

 public slots:
  void ResetRunFlags();
  void OnStepTimer();
  void OnDisplayTimer();
  void OnFileDone();
  void OnPauseClicked();
  void OnCancelClicked();
  void OnHideClicked();
  void OnTrayIconClicked();
  void OnTitleButtonClicked(int index);
  // Escape asks to cancel, as the cancel button does.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyCaptions();
  void StartTask();
  void FinishRun();
  // Ends the file of task `serial` as failed: records it, reports it unless `report` is false
  // (already reported), and goes on with the next task.
  void TaskFailed(int serial, const std::string& reason, bool report = true);
  // Lets a step that was held (by a pause or an open cancel question) go on.
  void ReleaseHeldStep();
  // The run's windows: hidden to the tray, or minimised where the desktop has no tray.
  void HideRun();
  void RestoreRun();
  bool RunHidden() const;
  std::string OutputFolderToOpen() const;

  std::unique_ptr<engine::DecodedInput> currentInput_;
  QPointer<QWidget> mainWindow_;
  QEventLoop* runLoop_ = nullptr;
  bool running_ = false;
  bool finishing_ = false;
  bool minimisedInsteadOfTray_ = false;
  bool askingCancel_ = false;  // the cancel question is open
  bool stepHeld_ = false;      // OnStepTimer found the run paused or asking and waits
  // Counts the tasks started, so that a late failure report cannot hit the next task; the
  // worker reads it when it reports.
  std::atomic<int> taskSerial_{0};
  int activeSerial_ = 0;  // the task whose file is in progress; 0 between files
  std::vector<int> reportedMissing_;  // tasks whose missing source StartRun already reported
  std::vector<FileProblem> failures_;
  std::vector<FileProblem> warnings_;
  std::vector<FileProblem> deferredReports_;  // failures that came in while a question was open
  std::string lastOutputFile_;
};

