#include "app/progress_window.h"
#include "app/dialog_flags.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "app/collision_dialog.h"
#include "app/desktop.h"
#include "app/elided_label.h"
#include "app/message_window.h"
#include "app/product_info.h"
#include "app/ui_text.h"
#include "app/workspace.h"
#include "core/conversion_task.h"
#include "core/interface_texts.h"
#include "core/progress_text.h"
#include "core/translation.h"
#include "engine/encoding_settings.h"
#include "core/settings.h"
#include "platform/paths/path_names.h"

namespace app {

namespace {

// Steps of a file's bar: fine enough for a long file to move visibly.
constexpr int kBarSteps = 1000;

// Room for a file's title in a row, in average characters; a longer title is elided in the
// middle rather than widening the window.
constexpr int kTitleCharacters = 40;
constexpr int kLeastTitleCharacters = 12;

QString FileNameText(const std::string& path) { return ToQString(platform::FileNameOf(path)); }

// What became of the run's items, for its end summary.
core::RunOutcome OutcomeOf(const core::ConversionRun& run) {
  core::RunOutcome outcome;
  outcome.cancelled = run.Cancelled();
  for (int item = 0; item < run.Count(); ++item) {
    const core::ItemReport& report = run.Report(item);
    if (report.state == core::ItemState::Done) ++outcome.converted;
    if (report.state == core::ItemState::Skipped) ++outcome.skipped;
    if (report.state == core::ItemState::Failed) outcome.failures.push_back({run.Item(item).sourceFile, report.reason});
    if (report.warning) outcome.warnings.push_back({run.Item(item).sourceFile, *report.warning});
  }
  return outcome;
}

// A progress bar redraws itself on the spot whenever its value moves a visible step. The display
// sets several bars at every item's start and end, on the thread that also hands the next file
// its job slot, so a bar is redrawn with the window's next paint instead, with the others.
void SetBarValue(QProgressBar* bar, int value) {
  if (bar->value() == value) return;
  bar->setUpdatesEnabled(false);
  bar->setValue(value);
  bar->setUpdatesEnabled(true);  // schedules the redraw
}

}  // namespace

ProgressWindow::ProgressWindow(Workspace& workspace, QWidget* parent)
    : QDialog(parent, kDialogFlags | Qt::WindowMinimizeButtonHint), workspace_(workspace) {
  setObjectName(QStringLiteral("progressWindow"));
  timeLabel_ = new QLabel(this);
  timeLabel_->setObjectName(QStringLiteral("timeLabel"));
  timeLabel_->setTextFormat(Qt::PlainText);
  // Wide enough for a long run's line from the start, so the window does not jump as it ticks.
  timeLabel_->setMinimumWidth(timeLabel_->fontMetrics().horizontalAdvance(
      ToQString(core::TimeLineText(std::chrono::hours(99) + std::chrono::minutes(59) + std::chrono::seconds(59), 2, 1, TranslatedText))));
  pausedLabel_ = new QLabel(this);
  pausedLabel_->setObjectName(QStringLiteral("pausedLabel"));
  QFont bold = pausedLabel_->font();
  bold.setBold(true);
  pausedLabel_->setFont(bold);
  pausedLabel_->hide();
  totalProgressBar_ = new QProgressBar(this);
  totalProgressBar_->setObjectName(QStringLiteral("totalProgressBar"));
  totalProgressBar_->setRange(0, 100);

  filesBox_ = new QGroupBox(this);
  filesBox_->setObjectName(QStringLiteral("filesBox"));
  new QVBoxLayout(filesBox_);
  problemsBox_ = new QGroupBox(this);
  problemsBox_->setObjectName(QStringLiteral("problemsBox"));
  problemsList_ = new QListWidget(problemsBox_);
  problemsList_->setObjectName(QStringLiteral("problemsList"));
  problemsList_->setSelectionMode(QAbstractItemView::NoSelection);
  problemsList_->setMinimumHeight(problemsList_->fontMetrics().height() * 4);
  (new QVBoxLayout(problemsBox_))->addWidget(problemsList_);
  problemsBox_->hide();

  hideButton_ = new QPushButton(this);
  hideButton_->setObjectName(QStringLiteral("hideButton"));
  pauseButton_ = new QPushButton(this);
  pauseButton_->setObjectName(QStringLiteral("pauseButton"));
  cancelButton_ = new QPushButton(this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  // Enter must not pause or cancel a run by accident.
  for (QPushButton* button : {hideButton_, pauseButton_, cancelButton_}) button->setAutoDefault(false);

  displayTimer_ = new QTimer(this);
  displayTimer_->setObjectName(QStringLiteral("displayTimer"));
  displayTimer_->setInterval(200);
  trayIcon_ = new QSystemTrayIcon(ProductIcon(), this);
  trayIcon_->setObjectName(QStringLiteral("trayIcon"));
  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName(QStringLiteral("trayMenu"));
  showAction_ = trayMenu_->addAction(QString());
  pauseAction_ = trayMenu_->addAction(QString());
  cancelAction_ = trayMenu_->addAction(QString());
  trayIcon_->setContextMenu(trayMenu_);

  auto* top = new QHBoxLayout;
  top->addWidget(timeLabel_, 1);
  top->addWidget(pausedLabel_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideButton_);
  buttons->addStretch(1);
  buttons->addWidget(pauseButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 14);
  layout->addLayout(top);
  layout->addWidget(totalProgressBar_);
  layout->addSpacing(6);
  layout->addWidget(filesBox_);
  layout->addWidget(problemsBox_, 1);
  layout->addStretch(0);
  layout->addLayout(buttons);

  connect(displayTimer_, &QTimer::timeout, this, &ProgressWindow::OnDisplayTimer);
  connect(hideButton_, &QPushButton::clicked, this, &ProgressWindow::HideRun);
  connect(pauseButton_, &QPushButton::clicked, this, &ProgressWindow::OnPauseClicked);
  connect(cancelButton_, &QPushButton::clicked, this, &ProgressWindow::OnCancelClicked);
  connect(showAction_, &QAction::triggered, this, &ProgressWindow::RestoreRun);
  connect(pauseAction_, &QAction::triggered, this, &ProgressWindow::OnPauseClicked);
  connect(cancelAction_, &QAction::triggered, this, [this] {
    // The question is asked over the run's window.
    RestoreRun();
    OnCancelClicked();
  });
  connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) RestoreRun();
  });
  ApplyCaptions();
}

ProgressWindow::~ProgressWindow() {
  displayTimer_->stop();
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  // The run stops what still converts; its files are not kept.
  run_.reset();
}

void ProgressWindow::SetMainWindow(QWidget* mainWindow) {
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  mainWindow_ = mainWindow;
  if (mainWindow_ && minimisedInsteadOfTray_) mainWindow_->installEventFilter(this);
}

void ProgressWindow::ApplyCaptions() {
  setWindowTitle(UiText(lang::ConvertingProgressCaption));
  hideButton_->setText(UiText(lang::HideToTrayButton));
  pauseButton_->setText(UiText(lang::PauseButton));
  cancelButton_->setText(UiText(lang::CancelButton));
  pausedLabel_->setText(UiText(lang::PausedState));
  filesBox_->setTitle(UiText(lang::ConvertingState));
  problemsBox_->setTitle(UiText(lang::ProblemsCaption));
  totalProgressBar_->setAccessibleName(UiText(lang::TotalProgressName));
  problemsList_->setAccessibleName(UiText(lang::ProblemsCaption));
  showAction_->setText(UiText(lang::ShowWindowAction));
  pauseAction_->setText(UiText(lang::PauseButton));
  cancelAction_->setText(UiText(lang::CancelButton));
}

void ProgressWindow::StartRun() {
  std::vector<int> checked;
  for (int task = 0; task < workspace_.tasks.Count(); ++task) {
    if (workspace_.tasks[task].checked) checked.push_back(task);
  }
  StartRun(checked);
}

void ProgressWindow::StartRun(const std::vector<int>& tasks) {
  if (running_) return;
  std::vector<core::RunItem> items;
  taskOfItem_.clear();
  for (int task : tasks) {
    if (task < 0 || task >= workspace_.tasks.Count()) continue;
    items.push_back(core::ItemOf(workspace_.tasks[task], workspace_.settings.run));
    taskOfItem_.push_back(task);
  }
  if (items.empty()) {
    workspace_.messages.Show(lang::NothingToConvertTitle, core::MessageKind::Information, core::NothingToConvertText(TranslatedText),
                             lang::HelpButton, lang::OKButton);
    return;
  }
  for (int task : taskOfItem_) {
    workspace_.tasks[task].state = core::TaskState::Waiting;
    workspace_.tasks[task].stateDetail.clear();
    emit taskChanged(task);
  }

  const int jobs = workspace_.settings.jobs >= 1 ? workspace_.settings.jobs : core::DefaultJobCount();
  core::ConversionRun::Handlers handlers;
  handlers.itemChanged = [this](int item) { OnItemChanged(item); };
  handlers.collision = [this](int item, const std::string& output) { OnCollision(item, output); };
  // The end question waits for the user: not from inside the run's own handler.
  handlers.finished = [this] { QTimer::singleShot(0, this, &ProgressWindow::FinishRun); };
  run_ = std::make_unique<core::ConversionRun>(std::move(items), jobs, workspace_.Dispatcher(), std::move(handlers),
                                               TranslatedText);

  // One row per file that can convert at once.
  for (const FileRow& row : fileRows_) {
    delete row.label;
    delete row.bar;
  }
  fileRows_.clear();
  const int rows = std::min(run_->Jobs(), run_->Count());
  for (int i = 0; i < rows; ++i) {
    FileRow row{new ElidedLabel(filesBox_, kTitleCharacters, kLeastTitleCharacters), new QProgressBar(filesBox_)};
    row.label->setObjectName(QStringLiteral("fileLabel%1").arg(i + 1));
    row.bar->setObjectName(QStringLiteral("fileProgressBar%1").arg(i + 1));
    row.bar->setRange(0, kBarSteps);
    filesBox_->layout()->addWidget(row.label);
    filesBox_->layout()->addWidget(row.bar);
    fileRows_.push_back(row);
  }
  problemsList_->clear();
  problemsBox_->hide();
  answerForTheRest_.reset();
  askingCancel_ = false;
  finishing_ = false;
  cancelButton_->setText(UiText(lang::CancelButton));
  pauseButton_->setEnabled(true);
  ShowPaused(false);
  totalProgressBar_->setValue(0);
  timeLabel_->setText(UiText(lang::ReadingFileWait) + QStringLiteral("…"));
  timeShown_ = false;

  // Shown modally without a loop of its own: the run tells the window when it ends, and hiding
  // the window to the tray leaves the run going.
  running_ = true;
  setWindowModality(Qt::ApplicationModal);
  adjustSize();
  resize(std::max(width(), 360), std::max(height(), 240));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  activateWindow();
  run_->Start();
  OnDisplayTimer();
  displayTimer_->start();
}

void ProgressWindow::OnItemChanged(int item) {
  const core::ItemReport& report = run_->Report(item);
  const int index = TaskOf(item);
  // Converted or up to date: the next Start leaves it out, and its link leads to the MP3.
  core::TakeReport(workspace_.tasks[index], report);
  if (report.state == core::ItemState::Done && report.warning) AddProblem(run_->Item(item).sourceFile, *report.warning);
  if (report.state == core::ItemState::Failed) AddProblem(run_->Item(item).sourceFile, report.reason);
  emit taskChanged(index);
  OnDisplayTimer();
}

void ProgressWindow::OnCollision(int item, const std::string& output) {
  if (answerForTheRest_) {
    run_->AnswerCollision(item, *answerForTheRest_);
    return;
  }
  if (collisionAnswerer_) {
    const CollisionReply reply = collisionAnswerer_(output);
    if (reply.forTheRest) answerForTheRest_ = reply.answer;
    run_->AnswerCollision(item, reply.answer);
    return;
  }
  // Asked without holding up the run: the item waits, the others go on, and the answer comes
  // back when the user gives it. Closing the dialog keeps both files: nothing is lost.
  collisionDialog_ = new CollisionDialog(this, output);
  collisionDialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(collisionDialog_, &QDialog::finished, this, [this, item, dialog = collisionDialog_.data()] {
    if (dialog->ForTheRest()) answerForTheRest_ = dialog->Answer();
    if (run_) run_->AnswerCollision(item, dialog->Answer());
  });
  collisionDialog_->open();
}

void ProgressWindow::AddProblem(const std::string& sourceFile, const std::string& reason) {
  auto* row = new QListWidgetItem(FileNameText(sourceFile) + QStringLiteral(": ") + ToQString(reason), problemsList_);
  row->setToolTip(ToQString(sourceFile) + QStringLiteral("\n") + ToQString(reason));
  problemsBox_->show();
  problemsList_->scrollToBottom();
}

void ProgressWindow::OnDisplayTimer() {
  if (!run_) return;
  const std::vector<int> converting = run_->Converting();
  for (std::size_t i = 0; i < fileRows_.size(); ++i) {
    const FileRow& row = fileRows_[i];
    if (i >= converting.size()) {
      row.label->SetFullText(QString());
      row.bar->setAccessibleName(UiText(lang::WaitingState));
      SetBarValue(row.bar, 0);
      row.bar->setEnabled(false);
      continue;
    }
    const int item = converting[i];
    const core::ConversionTask& task = workspace_.tasks[TaskOf(item)];
    const QString title = ToQString(task.title.str());
    row.label->SetFullText(title, title + QLatin1Char('\n') + PathText(run_->Item(item).sourceFile));
    row.bar->setAccessibleName(title);
    const std::int64_t length = run_->Length(item);
    row.bar->setEnabled(true);
    SetBarValue(row.bar, length > 0 ? static_cast<int>(run_->Position(item) * kBarSteps / length) : 0);
    emit taskChanged(TaskOf(item));
  }
  const std::int64_t total = run_->TotalLength(), done = run_->TotalPosition();
  SetBarValue(totalProgressBar_, run_->Finished() ? 100 : core::TotalPercent(done, total));
  // While a question waits the run's clock stands (Elapsed leaves the time out), and so does the
  // estimate: the files converting meanwhile would make it shrink while the clock does not move.
  if (!run_->Asking() || !timeShown_) {
    timeLabel_->setText(ToQString(core::TimeLineText(run_->Elapsed(), run_->Finished() ? 0 : total, done, TranslatedText)));
    timeShown_ = true;
  }
  if (trayIcon_->isVisible()) trayIcon_->setToolTip(TrayToolTip());
}

QString ProgressWindow::TrayToolTip() const {
  QString tip = timeLabel_->text() + QLatin1Char('\n') + UiText(lang::RestoreMainWindowHint);
  if (run_ && run_->Paused()) tip = UiText(lang::PausedState) + QLatin1Char('\n') + tip;
  return tip;
}

int ProgressWindow::TaskPercent(int task) const {
  if (!run_) return 0;
  for (int item : run_->Converting()) {
    if (TaskOf(item) != task) continue;
    const std::int64_t length = run_->Length(item);
    return length > 0 ? static_cast<int>(std::min<std::int64_t>(100, run_->Position(item) * 100 / length)) : 0;
  }
  return 0;
}

void ProgressWindow::ShowPaused(bool paused) {
  pausedLabel_->setVisible(paused);
  pauseButton_->setText(UiText(paused ? lang::ResumeButton : lang::PauseButton));
  pauseAction_->setText(pauseButton_->text());
  setWindowTitle(paused ? UiText(lang::PausedState) + QStringLiteral(" – ") + UiText(lang::ConvertingProgressCaption)
                        : UiText(lang::ConvertingProgressCaption));
  if (trayIcon_->isVisible()) trayIcon_->setToolTip(TrayToolTip());
  totalProgressBar_->setFormat(paused ? QStringLiteral("%p% (") + UiText(lang::PausedState) + QStringLiteral(")")
                                     : QStringLiteral("%p%"));
}

void ProgressWindow::FinishRun() {
  if (!running_ || finishing_) return;
  finishing_ = true;
  displayTimer_->stop();
  OnDisplayTimer();
  pauseButton_->setEnabled(false);
  const core::RunOutcome outcome = OutcomeOf(*run_);
  // The question must be seen, and a tray icon must not outlive the run it restores; a user
  // who hid the run learns from the desktop that it has ended.
  if (RunHidden()) {
    NotifyRunEnd(outcome);
    RestoreRun();
  }
  std::string text = core::RunEndText(outcome, TranslatedText, LocaleNumber);
  // The folder is worth a look only when the run put something into it.
  const bool offerFolder = outcome.converted > 0 && !OutputFolderToOpen().empty();
  if (offerFolder) text += "\n\n" + TranslatedText(lang::OpenOutputFolderQuestion);
  QPointer<ProgressWindow> self(this);
  const bool clean = outcome.failures.empty() && outcome.warnings.empty();
  const char* title = outcome.cancelled ? lang::ConversionCancelledTitle : lang::ConversionFinishedTitle;
  const core::MessageKind kind = clean ? core::MessageKind::Information : core::MessageKind::Warning;
  // Asked over this window, which the run keeps modal: the question is never behind it.
  const Answer answer = offerFolder ? workspace_.messages.Show(title, kind, text, lang::NoButton, lang::YesButton)
                                    : workspace_.messages.Show(title, kind, text, lang::HelpButton, lang::OKButton);
  if (!self) return;
  if (offerFolder && answer == Answer::First) workspace_.desktop.Open(OutputFolderToOpen());
  cancelButton_->setText(UiText(lang::OKButton));
  close();
  running_ = false;
  // The keys go back to the main window, where the user goes on.
  if (mainWindow_) mainWindow_->activateWindow();
  emit runEnded();
}

std::string ProgressWindow::OutputFolderToOpen() const {
  // The folder the run wrote to: the last converted task's, when the tasks wrote to several.
  std::string folder;
  for (int item = 0; item < run_->Count(); ++item) {
    if (run_->Report(item).state == core::ItemState::Done) folder = platform::FolderOf(run_->Report(item).outputFile);
  }
  if (folder.empty() && run_->Count() > 0) folder = platform::FolderOf(run_->Report(run_->Count() - 1).outputFile);
  return folder;
}

void ProgressWindow::OnPauseClicked() {
  if (!running_ || finishing_ || !run_) return;
  if (run_->Paused()) {
    run_->Resume();
  } else {
    run_->Pause();
  }
  ShowPaused(run_->Paused());
}

void ProgressWindow::OnCancelClicked() {
  if (!running_ || finishing_) {
    close();
    return;
  }
  if (askingCancel_) return;
  askingCancel_ = true;
  QPointer<ProgressWindow> self(this);
  const Answer answer =
      workspace_.messages.Show(lang::CancelConversionTitle, core::MessageKind::Question, lang::CancelConvertingQuestion,
                               lang::NoButton, lang::YesButton, DefaultButton::Second);
  if (!self) return;
  askingCancel_ = false;
  if (answer == Answer::First && running_ && !finishing_ && run_) {
    if (collisionDialog_) collisionDialog_->close();
    run_->Cancel();
    ShowPaused(false);
  }
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
    trayIcon_->setToolTip(TrayToolTip());
    trayIcon_->show();
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
  trayIcon_->hide();
}

void ProgressWindow::NotifyRunEnd(const core::RunOutcome& outcome) {
  const QString title = UiText(outcome.cancelled ? lang::ConversionCancelledTitle : lang::ConversionFinishedTitle);
  const QString text = ToQString(core::RunCountsText(outcome, TranslatedText, LocaleNumber));
  if (notifier_) {
    notifier_(title, text);
  } else if (trayIcon_->isVisible()) {
    trayIcon_->showMessage(title, text, ProductIcon());
  }
}

bool ProgressWindow::RunHidden() const { return trayIcon_->isVisible() || minimisedInsteadOfTray_; }

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

}  // namespace app
