// The conversion run and its progress window. StartRun converts every checked task of Tasks, in
// list order, from its source media file to its MP3 file, inside the window's modal loop: Timer1
// steps to the next checked task and builds its pipeline (a new TDX9In feeding the window's one
// MP3Out), Timer2 refreshes the display from the reader's position, and MP3OutDone (the output's
// OnDone) schedules the next task. The run can be paused, cancelled and hidden to the
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
// Ownership: the window owns MP3Out (created by the constructor, so a missing LAME library makes
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

#include "app/common.h"
#include "engine/ACS_DX9.h"
#include "engine/ACS_LAME.h"
#include "engine/task_encoding.h"

class QCheckBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

namespace engine {

// ---- The arithmetic and texts of the display ----

// What a task asks of the MP3 output.
TTaskEncoding TaskEncodingOf(const TConversionTask& task);

// Whole percent of `total` that `done` is (both 100-ns units), rounded down, within 0..100;
// 0 when the total is not positive.
int TotalPercent(std::int64_t done, std::int64_t total);

// A span as H:mm:ss (0:01:10); hours do not wrap at a day. Negative spans read as 0:00:00.
std::string FormatRunTime(std::chrono::milliseconds span);

// The status line while a file converts: "Time elapsed: 0:01:10, remained: about 0:03:25".
// The remaining time is elapsed ÷ done × (total − done); while nothing is done yet or the total
// is not positive there is no estimate and the line shows the elapsed time alone.
std::string TimeLineText(std::chrono::milliseconds elapsed, std::int64_t total, std::int64_t done);

// "Current File(2/5): My Song".
std::string CurrentFileText(int ordinal, int count, const std::string& title);

// The notice of a run with no checked task.
std::string NothingToConvertText();

// A file the run could not convert, and why.
struct TFailedFile {
  std::string SourceFile;
  std::string Reason;
};

// The error shown when a file cannot be converted: names the source and the reason.
std::string FailedFileText(const TFailedFile& failure);

// The end-of-run text before the question about the output folder: cancelled or all converted,
// or how many files failed with their names (the first ten; the count covers all); then the
// files that were converted but came out shorter than their sources declare, with the reason.
std::string RunEndText(bool canceled, const std::vector<TFailedFile>& failures,
                       const std::vector<TFailedFile>& warnings = {});

// A duration (100-ns units) in milliseconds as a progress bar takes it: within 0..INT_MAX.
int ProgressBarMilliseconds(std::int64_t duration);

// ---- The window ----

class TprgFrm : public QDialog {
  Q_OBJECT

 public:
  // Creates MP3Out; raises EACSException with the loader's message when LAME cannot be loaded.
  explicit TprgFrm(QWidget* parent = nullptr);
  ~TprgFrm() override;

  // Converts the checked tasks of Tasks; returns when the window has closed. Does nothing when
  // a run is already going on.
  void StartRun();

  // The window to hide and restore with this one when the run is hidden (not owned; null for
  // none, then only this window is hidden).
  void SetMainWindow(QWidget* mainWindow);

  // True from StartRun showing the window until the run has ended.
  bool Running() const { return running_; }
  // The files of the last run that could not be converted.
  const std::vector<TFailedFile>& Failures() const { return failures_; }
  // The files of the last run that were converted with a warning (shorter than declared).
  const std::vector<TFailedFile>& Warnings() const { return warnings_; }

  QLabel* timeLabel;
  QProgressBar* totalPrgBar;
  QLabel* fileLabel;
  QProgressBar* curPrgbar;
  QPushButton* hideBtn;
  QPushButton* pauseBtn;
  QPushButton* cancelBtn;
  QGroupBox* pvPanel;
  QLabel* Image1;
  QCheckBox* shutdownCheck;
  QWidget* suiForm1;                 // the top row with the two custom title-bar buttons
  QToolButton* suiForm1CustomBtn1;   // cancel
  QToolButton* suiForm1CustomBtn2;   // hide
  QTimer* Timer1;
  QTimer* Timer2;
  QSystemTrayIcon* TrayIcon;
  std::unique_ptr<TMP3Out> MP3Out;

  // Run state.
  int TaskIndex = -1;
  int FileOrdinal = 0;
  int CheckedCount = 0;
  std::int64_t TotalDuration = 0;
  std::int64_t DoneDuration = 0;
  std::chrono::steady_clock::time_point RunStart;  // monotonic, so a run over midnight is right
  bool Paused = false;
  bool Canceled = false;
  TDX9In* CurrentInput() const { return currentInput_.get(); }

 public slots:
  void FormCreate();
  void Timer1Timer();
  void Timer2Timer();
  void MP3OutDone();
  void pauseBtnClick();
  void cancelBtnClick();
  void hideBtnClick();
  void TrayIconClick();
  void suiForm1TitleBarCustomBtnsClick(int index);
  // Escape asks to cancel, as the cancel button does.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
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

  std::unique_ptr<TDX9In> currentInput_;
  QPointer<QWidget> mainWindow_;
  QEventLoop* runLoop_ = nullptr;
  bool running_ = false;
  bool finishing_ = false;
  bool minimisedInsteadOfTray_ = false;
  bool askingCancel_ = false;  // the cancel question is open
  bool stepHeld_ = false;      // Timer1Timer found the run paused or asking and waits
  // Counts the tasks started, so that a late failure report cannot hit the next task; the
  // worker reads it when it reports.
  std::atomic<int> taskSerial_{0};
  int activeSerial_ = 0;  // the task whose file is in progress; 0 between files
  std::vector<int> reportedMissing_;  // tasks whose missing source StartRun already reported
  std::vector<TFailedFile> failures_;
  std::vector<TFailedFile> warnings_;
  std::vector<TFailedFile> deferredReports_;  // failures that came in while a question was open
  std::string lastOutputFile_;
};

}  // namespace engine
