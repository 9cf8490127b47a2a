#include "app/progress_window.h"

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

#include "app/qt_text.h"
#include "platform/paths/path_names.h"
#include "core/interface_texts.h"
#include "core/settings.h"
#include "app/message_window.h"
#include "app/desktop.h"
#include "platform/dispatcher.h"
#include "platform/errtext.h"
#include "platform/exception.h"


namespace {

// The run's own report of a task that would write over its source.
constexpr char kOutputIsSource[] = "The output file is the source file itself.";


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

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  // The output first: without the encoder library the program cannot convert anything, and
  // start-up stops with the loader's message.
  mp3Output = engine::MakeMp3Output();
  mp3Output->onDone = [this](engine::Component*) { OnFileDone(); };
  // Runs on the worker (or inside Run when the file cannot be started): it only hands the
  // report to the user-interface thread. The worker is stopped before the window goes away, so
  // `this` is valid here; the posted report checks that the window still exists.
  mp3Output->onError = [this, window = QPointer<ProgressWindow>(this)](engine::Component*, const std::exception& e) {
    const int serial = taskSerial_.load();
    platform::MainDispatcher().Post([window, serial, reason = std::string(e.what())] {
      if (window) window->TaskFailed(serial, reason);
    });
  };

  setObjectName(QStringLiteral("ProgressWindow"));
  setWindowTitle(QStringLiteral("Convertion Progress"));  // ApplyCaptions sets the real caption

  timeLabel = new QLabel(QStringLiteral("File: 5/6 (1h55m26s, about 2h33m26 Left)."), this);
  timeLabel->setObjectName(QStringLiteral("timeLabel"));
  timeLabel->setTextFormat(Qt::PlainText);
  // Wide enough for a long run's line from the start, so the window does not jump as it ticks.
  timeLabel->setMinimumWidth(timeLabel->fontMetrics().horizontalAdvance(
      Q(TimeLineText(std::chrono::hours(99) + std::chrono::minutes(59) + std::chrono::seconds(59), 2, 1))));
  totalProgressBar = new QProgressBar(this);
  totalProgressBar->setObjectName(QStringLiteral("totalProgressBar"));
  totalProgressBar->setRange(0, 100);
  fileLabel = new QLabel(QStringLiteral("Current Convertion:"), this);
  fileLabel->setObjectName(QStringLiteral("fileLabel"));
  // Titles come from media files: shown as they are, never read as markup.
  fileLabel->setTextFormat(Qt::PlainText);
  fileLabel->setWordWrap(true);
  fileProgressBar = new QProgressBar(this);
  fileProgressBar->setObjectName(QStringLiteral("fileProgressBar"));
  hideButton = new QPushButton(QStringLiteral("&Hide To Tray"), this);
  hideButton->setObjectName(QStringLiteral("hideButton"));
  pauseButton = new QPushButton(Q(lang::PauseButton), this);
  pauseButton->setObjectName(QStringLiteral("pauseButton"));
  cancelButton = new QPushButton(Q(lang::CancelButton), this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  // Enter must not pause or cancel a run by accident.
  for (QPushButton* button : {hideButton, pauseButton, cancelButton}) button->setAutoDefault(false);
  previewBox = new QGroupBox(QStringLiteral("Preview Window"), this);
  previewBox->setObjectName(QStringLiteral("previewBox"));
  previewImage = new QLabel(previewBox);
  previewImage->setObjectName(QStringLiteral("previewImage"));
  (new QVBoxLayout(previewBox))->addWidget(previewImage);
  previewBox->hide();
  shutdownCheck = new QCheckBox(QStringLiteral("Shut down computer automatically after converstion"), this);
  shutdownCheck->setObjectName(QStringLiteral("shutdownCheck"));
  shutdownCheck->hide();

  titleButtons = new QWidget(this);
  titleButtons->setObjectName(QStringLiteral("titleButtons"));
  titleCancelButton = new QToolButton(titleButtons);
  titleCancelButton->setObjectName(QStringLiteral("titleCancelButton"));
  titleCancelButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  titleHideButton = new QToolButton(titleButtons);
  titleHideButton->setObjectName(QStringLiteral("titleHideButton"));
  titleHideButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
  auto* titleRow = new QHBoxLayout(titleButtons);
  titleRow->setContentsMargins(0, 0, 0, 0);
  titleRow->setSpacing(2);
  titleRow->addWidget(titleHideButton);
  titleRow->addWidget(titleCancelButton);
  for (QToolButton* button : {titleCancelButton, titleHideButton}) {
    button->setAutoRaise(true);
    button->setIconSize(QSize(12, 12));
    button->setFocusPolicy(Qt::NoFocus);
  }

  stepTimer = new QTimer(this);
  stepTimer->setObjectName(QStringLiteral("stepTimer"));
  stepTimer->setInterval(100);
  displayTimer = new QTimer(this);
  displayTimer->setObjectName(QStringLiteral("displayTimer"));
  displayTimer->setInterval(100);
  trayIcon = new QSystemTrayIcon(TrayImage(), this);
  trayIcon->setObjectName(QStringLiteral("trayIcon"));

  auto* top = new QHBoxLayout;
  top->addWidget(timeLabel, 1);
  top->addWidget(titleButtons, 0, Qt::AlignTop);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideButton);
  buttons->addStretch(1);
  buttons->addWidget(pauseButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 14);
  layout->addLayout(top);
  layout->addWidget(totalProgressBar);
  layout->addSpacing(10);
  layout->addWidget(fileLabel);
  layout->addWidget(fileProgressBar);
  layout->addWidget(previewBox);
  layout->addWidget(shutdownCheck);
  layout->addStretch(1);
  layout->addLayout(buttons);
  // The layout keeps the window as large as its controls need; 318 × 230 is the least.
  resize(318, 230);

  connect(stepTimer, &QTimer::timeout, this, &ProgressWindow::OnStepTimer);
  connect(displayTimer, &QTimer::timeout, this, &ProgressWindow::OnDisplayTimer);
  connect(hideButton, &QPushButton::clicked, this, &ProgressWindow::OnHideClicked);
  connect(pauseButton, &QPushButton::clicked, this, &ProgressWindow::OnPauseClicked);
  connect(cancelButton, &QPushButton::clicked, this, &ProgressWindow::OnCancelClicked);
  connect(titleCancelButton, &QToolButton::clicked, this, [this] { OnTitleButtonClicked(1); });
  connect(titleHideButton, &QToolButton::clicked, this, [this] { OnTitleButtonClicked(2); });
  connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) OnTrayIconClicked();
  });
  ResetRunFlags();
}

ProgressWindow::~ProgressWindow() {
  stepTimer->stop();
  displayTimer->stop();
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  // The worker goes first, finishing a file still being written, while its input still exists.
  mp3Output.reset();
  currentInput_.reset();
  if (runLoop_ != nullptr) runLoop_->quit();
}

void ProgressWindow::SetMainWindow(QWidget* mainWindow) {
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  mainWindow_ = mainWindow;
  if (mainWindow_ && minimisedInsteadOfTray_) mainWindow_->installEventFilter(this);
}

void ProgressWindow::ResetRunFlags() {
  paused = false;
  canceled = false;
}

void ProgressWindow::showEvent(QShowEvent* event) {
  ApplyCaptions();
  QDialog::showEvent(event);
}

void ProgressWindow::ApplyCaptions() {
  setWindowTitle(Q(lang::ConvertingProgressCaption));
  hideButton->setText(Q(lang::HideToTrayButton));
  previewBox->setTitle(Q(lang::PreviewWindowCaption));
  shutdownCheck->setText(Q(lang::ShutdownCheck));
  titleCancelButton->setToolTip(ToolTipOf(lang::CancelButton));
  titleHideButton->setToolTip(ToolTipOf(lang::HideToTrayButton));
}

void ProgressWindow::StartRun() {
  if (running_) return;
  failures_.clear();
  warnings_.clear();
  reportedMissing_.clear();
  lastOutputFile_.clear();
  std::int64_t total = 0;
  int count = 0;
  for (int i = 0; i < Tasks.Count(); ++i) {
    const ConversionTask& task = Tasks[i];
    if (!task.checked) continue;
    if (!platform::FileExists(task.sourceFile)) {
      // The captions here are fixed texts. The file is named: in a list of many files the
      // system's text alone would not say which one is missing.
      ShowMessageWindow(MessageKind::Error, platform::SystemErrorText(platform::ERROR_OPEN_FAILED) + "\n" + task.sourceFile,
                        "&Help", "&OK");
      reportedMissing_.push_back(i);
    }
    ++count;
    total += std::max<std::int64_t>(task.duration, 0);
  }
  if (count == 0) {
    ShowMessageWindow(MessageKind::Question, NothingToConvertText(), lang::HelpButton, lang::OKButton);
    return;
  }

  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
  fileLabel->clear();
  totalProgressBar->setValue(0);
  fileProgressBar->setRange(0, 100);
  fileProgressBar->setValue(0);
  stepTimer->start();
  totalDuration = total;
  checkedCount = count;
  doneDuration = 0;
  cancelButton->setText(Q(lang::CancelButton));
  pauseButton->setText(Q(lang::PauseButton));
  pauseButton->setEnabled(true);
  taskIndex = -1;
  canceled = false;
  paused = false;
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
  QPointer<ProgressWindow> self(this);
  QEventLoop loop;
  runLoop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  if (!self) return;
  runLoop_ = nullptr;
  running_ = false;
}

void ProgressWindow::OnStepTimer() {
  stepTimer->stop();
  if (!running_) return;
  // An open cancel question holds the next step until it is answered (a file started now would
  // be cut off at once by a cancel the user is asking for), and so does a pause.
  if (askingCancel_) {
    stepHeld_ = true;
    return;
  }
  if (canceled) {
    FinishRun();
    return;
  }
  if (paused) {
    stepHeld_ = true;
    return;
  }
  ++taskIndex;
  if (taskIndex == 0) {
    fileOrdinal = 0;
    runStart = std::chrono::steady_clock::now();
  }
  while (taskIndex <= Tasks.Count() - 1 && !Tasks[taskIndex].checked) ++taskIndex;
  if (taskIndex > Tasks.Count() - 1) {
    FinishRun();
  } else {
    ++fileOrdinal;
    StartTask();
  }
}

void ProgressWindow::StartTask() {
  paused = false;
  canceled = false;
  const ConversionTask task = Tasks[taskIndex];
  const int serial = ++taskSerial_;
  activeSerial_ = serial;
  lastOutputFile_ = task.outputFile;
  mp3Output->fileName = task.outputFile;
  try {
    currentInput_ = std::make_unique<engine::DecodedInput>(nullptr);
    mp3Output->SetInput(currentInput_.get());
    currentInput_->fileName = task.sourceFile;
    // Creating the MP3 file would destroy the source before it is read.
    if (platform::SameFile(task.sourceFile, task.outputFile)) throw platform::Exception(kOutputIsSource);
    currentInput_->OpenFile();
  } catch (const std::exception& e) {
    // A missing source that StartRun has reported already is not reported again.
    const bool reported = std::find(reportedMissing_.begin(), reportedMissing_.end(), taskIndex) !=
                              reportedMissing_.end() &&
                          !platform::FileExists(task.sourceFile);
    TaskFailed(serial, e.what(), !reported);
    return;
  }
  engine::ConfigureMp3Output(*mp3Output, EncodingOf(task));
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral(" ..."));
  fileLabel->setText(Q(CurrentFileText(fileOrdinal, checkedCount, task.title)));
  // A task without a known length takes the one the reader found.
  const std::int64_t duration = task.duration > 0 ? task.duration : currentInput_->Reader()->StreamDuration();
  fileProgressBar->setRange(0, ProgressBarMilliseconds(duration));
  fileProgressBar->setValue(0);
  displayTimer->start();
  try {
    // A file that cannot be started (the MP3 file cannot be created) is reported through
    // onError; only a misuse of the output raises here.
    mp3Output->Run();
  } catch (const std::exception& e) {
    TaskFailed(serial, e.what(), true);
  }
}

void ProgressWindow::OnDisplayTimer() {
  const engine::AudioFileReader* reader = currentInput_ ? currentInput_->Reader() : nullptr;
  if (reader == nullptr) return;
  const std::int64_t position = reader->StreamPosition();
  // A source that runs longer than it said would leave the bar where it was.
  fileProgressBar->setValue(std::min(ProgressBarMilliseconds(position), fileProgressBar->maximum()));
  const std::int64_t done = doneDuration + position;
  totalProgressBar->setValue(TotalPercent(done, totalDuration));
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - runStart);
  timeLabel->setText(Q(TimeLineText(elapsed, totalDuration, done)));
  if (trayIcon->isVisible()) trayIcon->setToolTip(timeLabel->text() + QLatin1Char('\n') + Q(lang::RestoreMainWindowHint));
}

void ProgressWindow::OnFileDone() {
  displayTimer->stop();
  activeSerial_ = 0;
  const engine::AudioFileReader* reader = currentInput_ ? currentInput_->Reader() : nullptr;
  if (currentInput_ && mp3Output->FileWritten()) {
    if (auto warning = engine::ShortDecodeWarning(currentInput_->DeclaredDuration(), currentInput_->DecodedDuration()))
      warnings_.push_back({currentInput_->fileName, *warning});
  }
  if (reader != nullptr) {
    doneDuration += reader->StreamDuration();
  } else if (taskIndex >= 0 && taskIndex < Tasks.Count()) {
    doneDuration += std::max<std::int64_t>(Tasks[taskIndex].duration, 0);
  }
  currentInput_.reset();  // the output drops its reference when the input goes
  stepTimer->start();
  fileProgressBar->setValue(fileProgressBar->maximum());
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
}

void ProgressWindow::TaskFailed(int serial, const std::string& reason, bool report) {
  // Only the file in progress can fail; anything else is a report that arrived too late.
  if (!running_ || serial != activeSerial_) return;
  activeSerial_ = 0;
  displayTimer->stop();
  FileProblem failure;
  if (taskIndex >= 0 && taskIndex < Tasks.Count()) {
    failure.sourceFile = Tasks[taskIndex].sourceFile;
    // The total counts the task's length; so does what is done, for the bar to end at 100.
    doneDuration += std::max<std::int64_t>(Tasks[taskIndex].duration, 0);
  }
  failure.reason = reason;
  failures_.push_back(failure);
  currentInput_.reset();
  // The file's bar stays where the file failed: it was not converted.
  totalProgressBar->setValue(TotalPercent(doneDuration, totalDuration));
  timeLabel->setText(Q(lang::ReadingFileWait) + QStringLiteral("..."));
  if (report && askingCancel_) {
    // The message window is showing the cancel question; the report follows its answer.
    deferredReports_.push_back(failure);
  } else if (report) {
    QPointer<ProgressWindow> self(this);
    ShowMessageWindow(MessageKind::Error, FailedFileText(failure), lang::HelpButton, lang::OKButton);
    if (!self || !running_) return;
  }
  stepTimer->start();
}

void ProgressWindow::FinishRun() {
  finishing_ = true;
  stepTimer->stop();
  displayTimer->stop();
  totalProgressBar->setValue(totalProgressBar->maximum());
  // How long the run took, rather than a waiting text while the last question is asked.
  if (taskIndex >= 0) {
    timeLabel->setText(Q(TimeLineText(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - runStart),
                                      0, 0)));
  }
  QCoreApplication::processEvents();
  // The question must be seen, and a tray icon must not outlive the run it restores.
  if (RunHidden()) RestoreRun();
  const std::string text = RunEndText(canceled, failures_, warnings_) + "\n" + lang::OpenOutputFolderQuestion;
  QPointer<ProgressWindow> self(this);
  const bool clean = failures_.empty() && warnings_.empty();
  const int answer = ShowMessageWindow(clean ? MessageKind::Information : MessageKind::Warning, text, lang::NoButton, lang::YesButton);
  if (!self) return;
  if (const std::string folder = OutputFolderToOpen(); answer == 1 && !folder.empty()) OpenWithDesktop(folder);
  if (!canceled) {
    pauseButton->setEnabled(false);
    cancelButton->setText(Q(lang::OKButton));
  }
  close();
  running_ = false;
  if (runLoop_ != nullptr) runLoop_->quit();
}

std::string ProgressWindow::OutputFolderToOpen() const {
  if (!DefaultSettings.outputFileDir.empty()) return DefaultSettings.outputFileDir;
  // Files written beside their sources: the folder of the last one is where to look.
  return platform::FolderOf(lastOutputFile_);
}

void ProgressWindow::OnPauseClicked() {
  if (!running_ || finishing_) return;
  if (!paused) {
    pauseButton->setText(Q(lang::ResumeButton));
    mp3Output->Pause();
    displayTimer->stop();
    paused = true;
  } else {
    pauseButton->setText(Q(lang::PauseButton));
    mp3Output->Resume();
    if (currentInput_) displayTimer->start();
    paused = false;
    ReleaseHeldStep();
  }
}

void ProgressWindow::OnCancelClicked() {
  if (cancelButton->text() != Q(lang::CancelButton)) {
    close();
    return;
  }
  if (!running_ || finishing_ || askingCancel_) return;
  askingCancel_ = true;
  QPointer<ProgressWindow> self(this);
  const int answer = ShowMessageWindow(MessageKind::Question, lang::CancelConvertingQuestion, lang::NoButton, lang::YesButton);
  if (!self) return;
  while (!deferredReports_.empty()) {
    const FileProblem failure = deferredReports_.front();
    deferredReports_.erase(deferredReports_.begin());
    ShowMessageWindow(MessageKind::Error, FailedFileText(failure), lang::HelpButton, lang::OKButton);
    if (!self) return;
  }
  askingCancel_ = false;
  if (answer == 1 && running_ && !finishing_) {
    mp3Output->Stop();
    canceled = true;
    if (paused) {
      pauseButton->setText(Q(lang::PauseButton));
      // A file that was being converted finishes as far as it got.
      if (mp3Output->Status() == engine::OutputStatus::Paused) {
        mp3Output->Resume();
        displayTimer->start();
      }
    }
    paused = false;
  }
  ReleaseHeldStep();
}

void ProgressWindow::ReleaseHeldStep() {
  if (!stepHeld_ || paused || askingCancel_ || !running_) return;
  stepHeld_ = false;
  stepTimer->start();
}

void ProgressWindow::OnHideClicked() { HideRun(); }

void ProgressWindow::OnTrayIconClicked() { RestoreRun(); }

void ProgressWindow::OnTitleButtonClicked(int index) {
  if (index == 2) OnHideClicked();
  if (index == 1) OnCancelClicked();
}

void ProgressWindow::reject() {
  if (running_ && !finishing_) {
    OnCancelClicked();
  } else {
    QDialog::reject();
  }
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // Closing from the title bar during a run asks to cancel it instead of leaving it headless.
  if (running_ && !finishing_) {
    event->ignore();
    OnCancelClicked();
    return;
  }
  QDialog::closeEvent(event);
}

void ProgressWindow::HideRun() {
  if (RunHidden()) return;
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    trayIcon->setToolTip(Q(lang::RestoreMainWindowHint));
    trayIcon->show();
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

void ProgressWindow::RestoreRun() {
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
  trayIcon->hide();
}

bool ProgressWindow::RunHidden() const { return trayIcon->isVisible() || minimisedInsteadOfTray_; }

void ProgressWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && minimisedInsteadOfTray_ && !isMinimized()) RestoreRun();
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mainWindow_ && event->type() == QEvent::WindowStateChange && minimisedInsteadOfTray_ &&
      !mainWindow_->isMinimized()) {
    RestoreRun();
  }
  return QDialog::eventFilter(watched, event);
}

