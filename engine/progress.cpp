#include "engine/progress.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/api.h"
#include "app/lang.h"
#include "app/settings.h"
#include "engine/msgbox.h"
#include "engine/shell.h"
#include "platform/dispatcher.h"
#include "platform/errtext.h"
#include "platform/exception.h"

namespace engine {

namespace {

// The run's own reports of files it could not convert.
constexpr char kCannotConvertFile[] = "The following file can NOT be converted.";
constexpr char kOutputIsSource[] = "The output file is the source file itself.";
// The end message names at most this many failed files; the count covers them all.
constexpr std::size_t kFailuresNamed = 10;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A button caption as a tool tip: without its access-key marker.
QString ToolTipOf(const char* caption) { return Q(caption).remove(QLatin1Char('&')); }

// The notification-area icon: a white note on a blue disc.
QIcon TrayImage() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(36, 104, 196));
  painter.drawEllipse(QRectF(1, 1, 30, 30));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QRectF(8, 18, 9, 7));
  painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(16, 21), QPointF(16, 7));
  painter.drawLine(QPointF(16, 7), QPointF(23, 11));
  return QIcon(pixmap);
}

// True when both paths name one existing file (a task that would overwrite its own source).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

// ---- The arithmetic and texts of the display ----

TTaskEncoding TaskEncodingOf(const TConversionTask& task) {
  TTaskEncoding encoding;
  encoding.Bitrate = task.Bitrate;
  encoding.VbrMinBitrate = task.VbrMinBitrate;
  encoding.VbrMaxBitrate = task.VbrMaxBitrate;
  encoding.Vbr = task.Vbr;
  encoding.ChannelMode = task.ChannelMode;
  encoding.SampleRate = task.SampleRate;
  encoding.Title = task.Title;
  encoding.Artist = task.Artist;
  encoding.Album = task.Album;
  encoding.Year = task.Year;
  encoding.Comment = task.Comment;
  encoding.Genre = task.Genre;
  return encoding;
}

int TotalPercent(std::int64_t done, std::int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  // Rounded down: a run is not at 100 before its last file has finished, whatever the
  // floating-point quotient makes of 99.99…
  return std::min(99, static_cast<int>(std::floor(static_cast<double>(done) / static_cast<double>(total) * 100.0)));
}

std::string FormatRunTime(std::chrono::milliseconds span) {
  const long long seconds = std::max<long long>(span.count(), 0) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::string TimeLineText(std::chrono::milliseconds elapsed, std::int64_t total, std::int64_t done) {
  std::string line = std::string(lang::TimeElapsedLabel) + ": " + FormatRunTime(elapsed);
  // Nothing done yet, or no length to measure against: there is nothing to estimate from.
  if (done <= 0 || total <= 0) return line;
  const std::int64_t left = std::max<std::int64_t>(total - done, 0);
  // Capped far above any real run, so the conversion back to an integer cannot overflow.
  const double remaining =
      std::min(static_cast<double>(elapsed.count()) * (static_cast<double>(left) / static_cast<double>(done)), 1e15);
  line += std::string(", ") + lang::RemainedLabel + ": " + lang::AboutWord + " " +
          FormatRunTime(std::chrono::milliseconds(static_cast<long long>(remaining)));
  return line;
}

std::string CurrentFileText(int ordinal, int count, const std::string& title) {
  return std::string(lang::CurrentFileLabel) + "(" + std::to_string(ordinal) + "/" + std::to_string(count) + "): " +
         title;
}

std::string NothingToConvertText() {
  return std::string(lang::NothingToConvert) + " " + "\n" + lang::CheckTasksHint;
}

std::string FailedFileText(const TFailedFile& failure) {
  return std::string(kCannotConvertFile) + "\n" + failure.SourceFile + "\n" + failure.Reason;
}

std::string RunEndText(bool canceled, const std::vector<TFailedFile>& failures,
                       const std::vector<TFailedFile>& warnings) {
  std::string text;
  if (canceled) {
    text = lang::UserCanceled;
  } else if (failures.empty()) {
    text = lang::AllFilesConverted;
  }
  const auto list = [&text](const std::vector<TFailedFile>& files, const std::string& one, const std::string& many,
                            bool withReason) {
    if (files.empty()) return;
    if (!text.empty()) text += "\n";
    text += files.size() == 1 ? one : std::to_string(files.size()) + " " + many;
    for (std::size_t i = 0; i < files.size() && i < kFailuresNamed; ++i)
      text += "\n" + files[i].SourceFile + (withReason ? ": " + files[i].Reason : "");
    if (files.size() > kFailuresNamed) text += "\n... and " + std::to_string(files.size() - kFailuresNamed) + " more";
  };
  list(failures, "1 file could not be converted:", "files could not be converted:", false);
  list(warnings, "1 file was converted with a warning:", "files were converted with a warning:", true);
  return text;
}

int ProgressBarMilliseconds(std::int64_t duration) {
  return static_cast<int>(std::clamp<std::int64_t>(duration / 10000, 0, INT_MAX));
}

// ---- The window ----

TprgFrm::TprgFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  // The output first: without the encoder library the program cannot convert anything, and
  // start-up stops with the loader's message.
  MP3Out = std::make_unique<TMP3Out>(nullptr);
  MP3Out->SetSuspendWhenIdle(true);
  MP3Out->SetFileMode(foRewrite);
  MP3Out->BitRate = br192;
  MP3Out->Quality = ql2;
  MP3Out->SampleRate = sr41kHz;
  MP3Out->Original = false;
  MP3Out->VBRQuality = ql2;
  MP3Out->OnDone = [this](TComponent*) { MP3OutDone(); };
  // Runs on the worker (or inside Run when the file cannot be started): it only hands the
  // report to the user-interface thread. The worker is stopped before the window goes away, so
  // `this` is valid here; the posted report checks that the window still exists.
  MP3Out->OnThreadException = [this, window = QPointer<TprgFrm>(this)](TComponent*, const std::exception& e) {
    const int serial = taskSerial_.load();
    platform::MainDispatcher().Post([window, serial, reason = std::string(e.what())] {
      if (window) window->TaskFailed(serial, reason);
    });
  };

  setObjectName(QStringLiteral("TprgFrm"));
  setWindowTitle(QStringLiteral("Convertion Progress"));  // the design caption; FormShow sets the real one

  timeLabel = new QLabel(QStringLiteral("File: 5/6 (1h55m26s, about 2h33m26 Left)."), this);
  timeLabel->setObjectName(QStringLiteral("timeLabel"));
  timeLabel->setTextFormat(Qt::PlainText);
  // Wide enough for a long run's line from the start, so the window does not jump as it ticks.
  timeLabel->setMinimumWidth(timeLabel->fontMetrics().horizontalAdvance(
      Q(TimeLineText(std::chrono::hours(99) + std::chrono::minutes(59) + std::chrono::seconds(59), 2, 1))));
  totalPrgBar = new QProgressBar(this);
  totalPrgBar->setObjectName(QStringLiteral("totalPrgBar"));
  totalPrgBar->setRange(0, 100);
  fileLabel = new QLabel(QStringLiteral("Current Convertion:"), this);
  fileLabel->setObjectName(QStringLiteral("fileLabel"));
  // Titles come from media files: shown as they are, never read as markup.
  fileLabel->setTextFormat(Qt::PlainText);
  fileLabel->setWordWrap(true);
  curPrgbar = new QProgressBar(this);
  curPrgbar->setObjectName(QStringLiteral("curPrgbar"));
  hideBtn = new QPushButton(QStringLiteral("&Hide To Tray"), this);
  hideBtn->setObjectName(QStringLiteral("hideBtn"));
  pauseBtn = new QPushButton(Q(lang::PauseButton), this);
  pauseBtn->setObjectName(QStringLiteral("pauseBtn"));
  cancelBtn = new QPushButton(Q(lang::CancelButton), this);
  cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
  // Enter must not pause or cancel a run by accident.
  for (QPushButton* button : {hideBtn, pauseBtn, cancelBtn}) button->setAutoDefault(false);
  pvPanel = new QGroupBox(QStringLiteral("Preview Window"), this);
  pvPanel->setObjectName(QStringLiteral("pvPanel"));
  Image1 = new QLabel(pvPanel);
  Image1->setObjectName(QStringLiteral("Image1"));
  (new QVBoxLayout(pvPanel))->addWidget(Image1);
  pvPanel->hide();
  shutdownCheck = new QCheckBox(QStringLiteral("Shut down computer automatically after converstion"), this);
  shutdownCheck->setObjectName(QStringLiteral("shutdownCheck"));
  shutdownCheck->hide();

  suiForm1 = new QWidget(this);
  suiForm1->setObjectName(QStringLiteral("suiForm1"));
  suiForm1CustomBtn1 = new QToolButton(suiForm1);
  suiForm1CustomBtn1->setObjectName(QStringLiteral("suiForm1CustomBtn1"));
  suiForm1CustomBtn1->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  suiForm1CustomBtn2 = new QToolButton(suiForm1);
  suiForm1CustomBtn2->setObjectName(QStringLiteral("suiForm1CustomBtn2"));
  suiForm1CustomBtn2->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
  auto* titleButtons = new QHBoxLayout(suiForm1);
  titleButtons->setContentsMargins(0, 0, 0, 0);
  titleButtons->setSpacing(2);
  titleButtons->addWidget(suiForm1CustomBtn2);
  titleButtons->addWidget(suiForm1CustomBtn1);
  for (QToolButton* button : {suiForm1CustomBtn1, suiForm1CustomBtn2}) {
    button->setAutoRaise(true);
    button->setIconSize(QSize(12, 12));
    button->setFocusPolicy(Qt::NoFocus);
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(100);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(100);
  TrayIcon = new QSystemTrayIcon(TrayImage(), this);
  TrayIcon->setObjectName(QStringLiteral("TrayIcon"));

  auto* top = new QHBoxLayout;
  top->addWidget(timeLabel, 1);
  top->addWidget(suiForm1, 0, Qt::AlignTop);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideBtn);
  buttons->addStretch(1);
  buttons->addWidget(pauseBtn);
  buttons->addWidget(cancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 14);
  layout->addLayout(top);
  layout->addWidget(totalPrgBar);
  layout->addSpacing(10);
  layout->addWidget(fileLabel);
  layout->addWidget(curPrgbar);
  layout->addWidget(pvPanel);
  layout->addWidget(shutdownCheck);
  layout->addStretch(1);
  layout->addLayout(buttons);
  // The layout keeps the window as large as its controls need; the design's size is the least.
  resize(318, 230);

  connect(Timer1, &QTimer::timeout, this, &TprgFrm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TprgFrm::Timer2Timer);
  connect(hideBtn, &QPushButton::clicked, this, &TprgFrm::hideBtnClick);
  connect(pauseBtn, &QPushButton::clicked, this, &TprgFrm::pauseBtnClick);
  connect(cancelBtn, &QPushButton::clicked, this, &TprgFrm::cancelBtnClick);
  connect(suiForm1CustomBtn1, &QToolButton::clicked, this, [this] { suiForm1TitleBarCustomBtnsClick(1); });
  connect(suiForm1CustomBtn2, &QToolButton::clicked, this, [this] { suiForm1TitleBarCustomBtnsClick(2); });
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) TrayIconClick();
  });
  FormCreate();
}

TprgFrm::~TprgFrm() {
  Timer1->stop();
  Timer2->stop();
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  // The worker goes first, finishing a file still being written, while its input still exists.
  MP3Out.reset();
  currentInput_.reset();
  if (runLoop_ != nullptr) runLoop_->quit();
}

void TprgFrm::SetMainWindow(QWidget* mainWindow) {
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  mainWindow_ = mainWindow;
  if (mainWindow_ && minimisedInsteadOfTray_) mainWindow_->installEventFilter(this);
}

void TprgFrm::FormCreate() {
  Paused = false;
  Canceled = false;
}

void TprgFrm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TprgFrm::FormShow() {
  setWindowTitle(Q(lang::ConvertingProgressCaption));
  hideBtn->setText(Q(lang::HideToTrayButton));
  pvPanel->setTitle(Q(lang::PreviewWindowCaption));
  shutdownCheck->setText(Q(lang::ShutdownCheck));
  suiForm1CustomBtn1->setToolTip(ToolTipOf(lang::CancelButton));
  suiForm1CustomBtn2->setToolTip(ToolTipOf(lang::HideToTrayButton));
}

void TprgFrm::StartRun() {
  if (running_) return;
  failures_.clear();
  warnings_.clear();
  reportedMissing_.clear();
  lastOutputFile_.clear();
  std::int64_t total = 0;
  int count = 0;
  for (int i = 0; i < Tasks.Count(); ++i) {
    const TConversionTask& task = Tasks[i];
    if (!task.Checked) continue;
    if (!FileExists(task.SourceFile)) {
      // The captions here are fixed texts. The file is named: in a list of many files the
      // system's text alone would not say which one is missing.
      ShowMessageWindow(mkError, platform::SystemErrorText(platform::ERROR_OPEN_FAILED) + "\n" + task.SourceFile,
                        "&Help", "&OK");
      reportedMissing_.push_back(i);
    }
    ++count;
    total += std::max<std::int64_t>(task.Duration, 0);
  }
  if (count == 0) {
    ShowMessageWindow(mkQuestion, NothingToConvertText(), lang::HelpButton, lang::OKButton);
    return;
  }

  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
  fileLabel->clear();
  totalPrgBar->setValue(0);
  curPrgbar->setRange(0, 100);
  curPrgbar->setValue(0);
  Timer1->start();
  TotalDuration = total;
  CheckedCount = count;
  DoneDuration = 0;
  cancelBtn->setText(Q(lang::CancelButton));
  pauseBtn->setText(Q(lang::PauseButton));
  pauseBtn->setEnabled(true);
  TaskIndex = -1;
  Canceled = false;
  Paused = false;
  askingCancel_ = false;
  deferredReports_.clear();
  stepHeld_ = false;
  finishing_ = false;
  activeSerial_ = 0;

  // Shown modally, in a loop of its own rather than exec(): hiding a dialog to the tray would
  // end exec() while the run goes on.
  running_ = true;
  setWindowModality(Qt::ApplicationModal);
  adjustSize();
  resize(std::max(width(), 318), std::max(height(), 230));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  activateWindow();
  QPointer<TprgFrm> self(this);
  QEventLoop loop;
  runLoop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  if (!self) return;
  runLoop_ = nullptr;
  running_ = false;
}

void TprgFrm::Timer1Timer() {
  Timer1->stop();
  if (!running_) return;
  // An open cancel question holds the next step until it is answered (a file started now would
  // be cut off at once by a cancel the user is asking for), and so does a pause.
  if (askingCancel_) {
    stepHeld_ = true;
    return;
  }
  if (Canceled) {
    FinishRun();
    return;
  }
  if (Paused) {
    stepHeld_ = true;
    return;
  }
  ++TaskIndex;
  if (TaskIndex == 0) {
    FileOrdinal = 0;
    RunStart = std::chrono::steady_clock::now();
  }
  while (TaskIndex <= Tasks.Count() - 1 && !Tasks[TaskIndex].Checked) ++TaskIndex;
  if (TaskIndex > Tasks.Count() - 1) {
    FinishRun();
  } else {
    ++FileOrdinal;
    StartTask();
  }
}

void TprgFrm::StartTask() {
  Paused = false;
  Canceled = false;
  const TConversionTask task = Tasks[TaskIndex];
  const int serial = ++taskSerial_;
  activeSerial_ = serial;
  lastOutputFile_ = task.OutputFile;
  MP3Out->FileName = task.OutputFile;
  try {
    currentInput_ = std::make_unique<TDX9In>(nullptr);
    MP3Out->SetInput(currentInput_.get());
    currentInput_->FileName = task.SourceFile;
    // Creating the MP3 file would destroy the source before it is read.
    if (SameFile(task.SourceFile, task.OutputFile)) throw platform::Exception(kOutputIsSource);
    currentInput_->OpenFile();
  } catch (const std::exception& e) {
    // A missing source that StartRun has reported already is not reported again.
    const bool reported = std::find(reportedMissing_.begin(), reportedMissing_.end(), TaskIndex) !=
                              reportedMissing_.end() &&
                          !FileExists(task.SourceFile);
    TaskFailed(serial, e.what(), !reported);
    return;
  }
  ApplyTaskEncoding(*MP3Out, TaskEncodingOf(task));
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral(" ..."));
  fileLabel->setText(Q(CurrentFileText(FileOrdinal, CheckedCount, task.Title)));
  // A task without a known length takes the one the reader found.
  const std::int64_t duration = task.Duration > 0 ? task.Duration : currentInput_->Reader()->StreamDuration();
  curPrgbar->setRange(0, ProgressBarMilliseconds(duration));
  curPrgbar->setValue(0);
  Timer2->start();
  try {
    // A file that cannot be started (the MP3 file cannot be created) is reported through
    // OnThreadException; only a misuse of the output raises here.
    MP3Out->Run();
  } catch (const std::exception& e) {
    TaskFailed(serial, e.what(), true);
  }
}

void TprgFrm::Timer2Timer() {
  const TcbAudioFileReader* reader = currentInput_ ? currentInput_->Reader() : nullptr;
  if (reader == nullptr) return;
  const std::int64_t position = reader->StreamPosition();
  // A source that runs longer than it said would leave the bar where it was.
  curPrgbar->setValue(std::min(ProgressBarMilliseconds(position), curPrgbar->maximum()));
  const std::int64_t done = DoneDuration + position;
  totalPrgBar->setValue(TotalPercent(done, TotalDuration));
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - RunStart);
  timeLabel->setText(Q(TimeLineText(elapsed, TotalDuration, done)));
  if (TrayIcon->isVisible()) TrayIcon->setToolTip(timeLabel->text() + QLatin1Char('\n') + Q(lang::RestoreMainWindowHint));
}

void TprgFrm::MP3OutDone() {
  Timer2->stop();
  activeSerial_ = 0;
  const TcbAudioFileReader* reader = currentInput_ ? currentInput_->Reader() : nullptr;
  if (currentInput_ && MP3Out->FileWritten()) {
    if (auto warning = ShortDecodeWarning(currentInput_->DeclaredDuration(), currentInput_->DecodedDuration()))
      warnings_.push_back({currentInput_->FileName, *warning});
  }
  if (reader != nullptr) {
    DoneDuration += reader->StreamDuration();
  } else if (TaskIndex >= 0 && TaskIndex < Tasks.Count()) {
    DoneDuration += std::max<std::int64_t>(Tasks[TaskIndex].Duration, 0);
  }
  currentInput_.reset();  // the output drops its reference when the input goes
  Timer1->start();
  curPrgbar->setValue(curPrgbar->maximum());
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
}

void TprgFrm::TaskFailed(int serial, const std::string& reason, bool report) {
  // Only the file in progress can fail; anything else is a report that arrived too late.
  if (!running_ || serial != activeSerial_) return;
  activeSerial_ = 0;
  Timer2->stop();
  TFailedFile failure;
  if (TaskIndex >= 0 && TaskIndex < Tasks.Count()) {
    failure.SourceFile = Tasks[TaskIndex].SourceFile;
    // The total counts the task's length; so does what is done, for the bar to end at 100.
    DoneDuration += std::max<std::int64_t>(Tasks[TaskIndex].Duration, 0);
  }
  failure.Reason = reason;
  failures_.push_back(failure);
  currentInput_.reset();
  // The file's bar stays where the file failed: it was not converted.
  totalPrgBar->setValue(TotalPercent(DoneDuration, TotalDuration));
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
  if (report && askingCancel_) {
    // The message window is showing the cancel question; the report follows its answer.
    deferredReports_.push_back(failure);
  } else if (report) {
    QPointer<TprgFrm> self(this);
    ShowMessageWindow(mkError, FailedFileText(failure), lang::HelpButton, lang::OKButton);
    if (!self || !running_) return;
  }
  Timer1->start();
}

void TprgFrm::FinishRun() {
  finishing_ = true;
  Timer1->stop();
  Timer2->stop();
  totalPrgBar->setValue(totalPrgBar->maximum());
  // How long the run took, rather than a waiting text while the last question is asked.
  if (TaskIndex >= 0) {
    timeLabel->setText(Q(TimeLineText(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - RunStart),
                                      0, 0)));
  }
  QCoreApplication::processEvents();
  // The question must be seen, and a tray icon must not outlive the run it restores.
  if (RunHidden()) RestoreRun();
  const std::string text = RunEndText(Canceled, failures_, warnings_) + "\n" + lang::OpenOutputFolderQuestion;
  QPointer<TprgFrm> self(this);
  const bool clean = failures_.empty() && warnings_.empty();
  const int answer = ShowMessageWindow(clean ? mkInformation : mkWarning, text, lang::NoButton, lang::YesButton);
  if (!self) return;
  if (const std::string folder = OutputFolderToOpen(); answer == 1 && !folder.empty()) OpenWithDesktop(folder);
  if (!Canceled) {
    pauseBtn->setEnabled(false);
    cancelBtn->setText(Q(lang::OKButton));
  }
  close();
  running_ = false;
  if (runLoop_ != nullptr) runLoop_->quit();
}

std::string TprgFrm::OutputFolderToOpen() const {
  if (!DefaultSettings.OutputFileDir.empty()) return DefaultSettings.OutputFileDir;
  // Files written beside their sources: the folder of the last one is where to look.
  return FolderOf(lastOutputFile_);
}

void TprgFrm::pauseBtnClick() {
  if (!running_ || finishing_) return;
  if (!Paused) {
    pauseBtn->setText(Q(lang::ResumeButton));
    MP3Out->Pause();
    Timer2->stop();
    Paused = true;
  } else {
    pauseBtn->setText(Q(lang::PauseButton));
    MP3Out->Resume();
    if (currentInput_) Timer2->start();
    Paused = false;
    ReleaseHeldStep();
  }
}

void TprgFrm::cancelBtnClick() {
  if (cancelBtn->text() != Q(lang::CancelButton)) {
    close();
    return;
  }
  if (!running_ || finishing_ || askingCancel_) return;
  askingCancel_ = true;
  QPointer<TprgFrm> self(this);
  const int answer = ShowMessageWindow(mkQuestion, lang::CancelConvertingQuestion, lang::NoButton, lang::YesButton);
  if (!self) return;
  while (!deferredReports_.empty()) {
    const TFailedFile failure = deferredReports_.front();
    deferredReports_.erase(deferredReports_.begin());
    ShowMessageWindow(mkError, FailedFileText(failure), lang::HelpButton, lang::OKButton);
    if (!self) return;
  }
  askingCancel_ = false;
  if (answer == 1 && running_ && !finishing_) {
    MP3Out->Stop();
    Canceled = true;
    if (Paused) {
      pauseBtn->setText(Q(lang::PauseButton));
      // A file that was being converted finishes as far as it got.
      if (MP3Out->Status() == osPaused) {
        MP3Out->Resume();
        Timer2->start();
      }
    }
    Paused = false;
  }
  ReleaseHeldStep();
}

void TprgFrm::ReleaseHeldStep() {
  if (!stepHeld_ || Paused || askingCancel_ || !running_) return;
  stepHeld_ = false;
  Timer1->start();
}

void TprgFrm::hideBtnClick() { HideRun(); }

void TprgFrm::TrayIconClick() { RestoreRun(); }

void TprgFrm::suiForm1TitleBarCustomBtnsClick(int index) {
  if (index == 2) hideBtnClick();
  if (index == 1) cancelBtnClick();
}

void TprgFrm::reject() {
  if (running_ && !finishing_) {
    cancelBtnClick();
  } else {
    QDialog::reject();
  }
}

void TprgFrm::closeEvent(QCloseEvent* event) {
  // Closing from the title bar during a run asks to cancel it instead of leaving it headless.
  if (running_ && !finishing_) {
    event->ignore();
    cancelBtnClick();
    return;
  }
  QDialog::closeEvent(event);
}

void TprgFrm::HideRun() {
  if (RunHidden()) return;
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    TrayIcon->setToolTip(Q(lang::RestoreMainWindowHint));
    TrayIcon->show();
    hide();
    if (mainWindow_) mainWindow_->hide();
    return;
  }
  // Without a notification area a hidden window could never be brought back: minimise both
  // instead, and restoring either one brings back both.
  minimisedInsteadOfTray_ = true;
  if (mainWindow_) {
    mainWindow_->installEventFilter(this);
    mainWindow_->setWindowState(mainWindow_->windowState() | Qt::WindowMinimized);
  }
  setWindowState(windowState() | Qt::WindowMinimized);
}

void TprgFrm::RestoreRun() {
  const bool minimised = std::exchange(minimisedInsteadOfTray_, false);
  if (mainWindow_) {
    mainWindow_->removeEventFilter(this);
    if (minimised) mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    mainWindow_->show();
  }
  if (running_) {
    if (minimised) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  }
  TrayIcon->hide();
}

bool TprgFrm::RunHidden() const { return TrayIcon->isVisible() || minimisedInsteadOfTray_; }

void TprgFrm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && minimisedInsteadOfTray_ && !isMinimized()) RestoreRun();
}

bool TprgFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mainWindow_ && event->type() == QEvent::WindowStateChange && minimisedInsteadOfTray_ &&
      !mainWindow_->isMinimized()) {
    RestoreRun();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace engine
