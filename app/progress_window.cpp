#include "app/progress_window.h"
#include "app/dialog_flags.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "app/collision_dialog.h"
#include "app/desktop.h"
#include "app/message_window.h"
#include "app/product_info.h"
#include "app/qt_text.h"
#include "core/conversion_task.h"
#include "core/interface_texts.h"
#include "core/translation.h"
#include "engine/encoding_settings.h"
#include "core/settings.h"
#include "platform/paths/path_names.h"

namespace {

// Steps of a file's bar: fine enough for a long file to move visibly.
constexpr int kBarSteps = 1000;

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

TaskState TaskStateOf(ItemState state) {
  switch (state) {
    case ItemState::Waiting: return TaskState::Waiting;
    case ItemState::Converting: return TaskState::Converting;
    case ItemState::Done: return TaskState::Done;
    case ItemState::Failed: return TaskState::Failed;
    case ItemState::Skipped: return TaskState::Skipped;
    case ItemState::Cancelled: return TaskState::Cancelled;
  }
  return TaskState::Ready;
}

QString FileNameText(const std::string& path) { return Q(platform::FileNameOf(path)); }

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, kDialogFlags | Qt::WindowMinimizeButtonHint) {
  // Without the encoder library the program cannot convert anything, and start-up stops with
  // the loader's message.
  engine::MakeMp3Output();

  setObjectName(QStringLiteral("progressWindow"));
  timeLabel = new QLabel(this);
  timeLabel->setObjectName(QStringLiteral("timeLabel"));
  timeLabel->setTextFormat(Qt::PlainText);
  // Wide enough for a long run's line from the start, so the window does not jump as it ticks.
  timeLabel->setMinimumWidth(timeLabel->fontMetrics().horizontalAdvance(
      Q(TimeLineText(std::chrono::hours(99) + std::chrono::minutes(59) + std::chrono::seconds(59), 2, 1))));
  pausedLabel = new QLabel(this);
  pausedLabel->setObjectName(QStringLiteral("pausedLabel"));
  QFont bold = pausedLabel->font();
  bold.setBold(true);
  pausedLabel->setFont(bold);
  pausedLabel->hide();
  totalProgressBar = new QProgressBar(this);
  totalProgressBar->setObjectName(QStringLiteral("totalProgressBar"));
  totalProgressBar->setRange(0, 100);

  filesBox = new QGroupBox(this);
  filesBox->setObjectName(QStringLiteral("filesBox"));
  new QVBoxLayout(filesBox);
  problemsBox = new QGroupBox(this);
  problemsBox->setObjectName(QStringLiteral("problemsBox"));
  problemsList = new QListWidget(problemsBox);
  problemsList->setObjectName(QStringLiteral("problemsList"));
  problemsList->setSelectionMode(QAbstractItemView::NoSelection);
  problemsList->setMinimumHeight(problemsList->fontMetrics().height() * 4);
  (new QVBoxLayout(problemsBox))->addWidget(problemsList);
  problemsBox->hide();

  hideButton = new QPushButton(this);
  hideButton->setObjectName(QStringLiteral("hideButton"));
  pauseButton = new QPushButton(this);
  pauseButton->setObjectName(QStringLiteral("pauseButton"));
  cancelButton = new QPushButton(this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  // Enter must not pause or cancel a run by accident.
  for (QPushButton* button : {hideButton, pauseButton, cancelButton}) button->setAutoDefault(false);

  displayTimer = new QTimer(this);
  displayTimer->setObjectName(QStringLiteral("displayTimer"));
  displayTimer->setInterval(200);
  trayIcon = new QSystemTrayIcon(TrayImage(), this);
  trayIcon->setObjectName(QStringLiteral("trayIcon"));
  trayMenu = new QMenu(this);
  trayMenu->setObjectName(QStringLiteral("trayMenu"));
  showAction = trayMenu->addAction(QString());
  pauseAction = trayMenu->addAction(QString());
  cancelAction = trayMenu->addAction(QString());
  trayIcon->setContextMenu(trayMenu);

  auto* top = new QHBoxLayout;
  top->addWidget(timeLabel, 1);
  top->addWidget(pausedLabel);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideButton);
  buttons->addStretch(1);
  buttons->addWidget(pauseButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 14);
  layout->addLayout(top);
  layout->addWidget(totalProgressBar);
  layout->addSpacing(6);
  layout->addWidget(filesBox);
  layout->addWidget(problemsBox, 1);
  layout->addStretch(0);
  layout->addLayout(buttons);

  connect(displayTimer, &QTimer::timeout, this, &ProgressWindow::OnDisplayTimer);
  connect(hideButton, &QPushButton::clicked, this, &ProgressWindow::OnHideClicked);
  connect(pauseButton, &QPushButton::clicked, this, &ProgressWindow::OnPauseClicked);
  connect(cancelButton, &QPushButton::clicked, this, &ProgressWindow::OnCancelClicked);
  connect(showAction, &QAction::triggered, this, &ProgressWindow::RestoreRun);
  connect(pauseAction, &QAction::triggered, this, &ProgressWindow::OnPauseClicked);
  connect(cancelAction, &QAction::triggered, this, [this] {
    // The question is asked over the run's window.
    RestoreRun();
    OnCancelClicked();
  });
  connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) OnTrayIconClicked();
  });
  ApplyCaptions();
}

ProgressWindow::~ProgressWindow() {
  displayTimer->stop();
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  // The run stops what still converts; its files are not kept.
  run_.reset();
  if (runLoop_ != nullptr) runLoop_->quit();
}

void ProgressWindow::SetMainWindow(QWidget* mainWindow) {
  if (mainWindow_) mainWindow_->removeEventFilter(this);
  mainWindow_ = mainWindow;
  if (mainWindow_ && minimisedInsteadOfTray_) mainWindow_->installEventFilter(this);
}

void ProgressWindow::ApplyCaptions() {
  setWindowTitle(T(lang::ConvertingProgressCaption));
  hideButton->setText(T(lang::HideToTrayButton));
  pauseButton->setText(T(lang::PauseButton));
  cancelButton->setText(T(lang::CancelButton));
  pausedLabel->setText(T(lang::PausedState));
  filesBox->setTitle(T(lang::ConvertingState));
  problemsBox->setTitle(T(lang::ProblemsCaption));
  totalProgressBar->setAccessibleName(T(lang::TotalProgressName));
  problemsList->setAccessibleName(T(lang::ProblemsCaption));
  showAction->setText(T(lang::ShowWindowAction));
  pauseAction->setText(T(lang::PauseButton));
  cancelAction->setText(T(lang::CancelButton));
}

void ProgressWindow::StartRun() {
  if (running_) return;
  std::vector<RunItem> items;
  taskOfItem_.clear();
  for (int task = 0; task < Tasks.Count(); ++task) {
    const ConversionTask& t = Tasks[task];
    if (!t.checked) continue;
    RunItem item;
    item.sourceFile = t.sourceFile;
    item.outputFile = t.outputFile;
    item.encoding = EncodingOf(t);
    item.makeFolders = true;
    item.duration = std::max<std::int64_t>(t.duration, 0);
    items.push_back(std::move(item));
    taskOfItem_.push_back(task);
  }
  if (items.empty()) {
    ShowMessageWindow(MessageKind::Question, NothingToConvertText(), lang::HelpButton, lang::OKButton);
    return;
  }
  for (int task : taskOfItem_) {
    Tasks[task].state = TaskState::Waiting;
    Tasks[task].stateDetail.clear();
    emit taskChanged(task);
  }

  const int jobs = DefaultSettings.jobs >= 1 ? DefaultSettings.jobs : ConversionRun::DefaultJobs();
  ConversionRun::Handlers handlers;
  handlers.itemChanged = [this](int item) { OnItemChanged(item); };
  handlers.collision = [this](int item, const std::string& output) { return OnCollision(item, output); };
  // The end question waits for the user: not from inside the run's own handler.
  handlers.finished = [this] { QTimer::singleShot(0, this, &ProgressWindow::FinishRun); };
  run_ = std::make_unique<ConversionRun>(std::move(items), jobs, std::move(handlers));

  // One row per file that can convert at once.
  for (const FileRow& row : fileRows_) {
    delete row.label;
    delete row.bar;
  }
  fileRows_.clear();
  const int rows = std::min(run_->Jobs(), run_->Count());
  for (int i = 0; i < rows; ++i) {
    FileRow row{new QLabel(filesBox), new QProgressBar(filesBox)};
    row.label->setTextFormat(Qt::PlainText);  // titles come from files: never markup
    row.label->setObjectName(QStringLiteral("fileLabel%1").arg(i + 1));
    row.bar->setObjectName(QStringLiteral("fileProgressBar%1").arg(i + 1));
    row.bar->setRange(0, kBarSteps);
    filesBox->layout()->addWidget(row.label);
    filesBox->layout()->addWidget(row.bar);
    fileRows_.push_back(row);
  }
  problemsList->clear();
  problemsBox->hide();
  answerForTheRest_.reset();
  askingCancel_ = false;
  finishing_ = false;
  cancelButton->setText(T(lang::CancelButton));
  pauseButton->setEnabled(true);
  ShowPaused(false);
  totalProgressBar->setValue(0);
  timeLabel->setText(T(lang::ReadingFileWait) + QStringLiteral("..."));

  // Shown modally, in a loop of its own rather than exec(): hiding a dialog to the tray would
  // end exec() while the run goes on.
  running_ = true;
  setWindowModality(Qt::ApplicationModal);
  adjustSize();
  resize(std::max(width(), 360), std::max(height(), 240));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  activateWindow();
  QPointer<ProgressWindow> self(this);
  QEventLoop loop;
  runLoop_ = &loop;
  run_->Start();
  OnDisplayTimer();
  displayTimer->start();
  if (running_) loop.exec(QEventLoop::DialogExec);
  if (!self) return;
  runLoop_ = nullptr;
  running_ = false;
}

void ProgressWindow::OnItemChanged(int item) {
  const ItemReport& report = run_->Report(item);
  const int index = TaskOf(item);
  ConversionTask& task = Tasks[index];
  task.state = TaskStateOf(report.state);
  task.stateDetail = report.reason;
  if (report.state == ItemState::Done) {
    // Converted: the next Start leaves it out, and its link leads to the MP3 the run wrote.
    task.checked = false;
    task.outputFile = report.outputFile;
    task.outputBytes = report.outputBytes;
    task.stateDetail = report.warning.value_or("");
    if (report.warning) AddProblem(run_->Item(item).sourceFile, *report.warning);
  }
  if (report.state == ItemState::Failed) AddProblem(run_->Item(item).sourceFile, report.reason);
  emit taskChanged(index);
  OnDisplayTimer();
}

CollisionAnswer ProgressWindow::OnCollision(int /*item*/, const std::string& output) {
  if (answerForTheRest_) return *answerForTheRest_;
  const CollisionReply reply = AskAboutExistingOutput(this, output);
  if (reply.forTheRest) answerForTheRest_ = reply.answer;
  return reply.answer;
}

void ProgressWindow::AddProblem(const std::string& sourceFile, const std::string& reason) {
  auto* row = new QListWidgetItem(FileNameText(sourceFile) + QStringLiteral(": ") + Q(reason), problemsList);
  row->setToolTip(Q(sourceFile) + QStringLiteral("\n") + Q(reason));
  problemsBox->show();
  problemsList->scrollToBottom();
}

void ProgressWindow::OnDisplayTimer() {
  if (!run_) return;
  const std::vector<int> converting = run_->Converting();
  for (std::size_t i = 0; i < fileRows_.size(); ++i) {
    const FileRow& row = fileRows_[i];
    if (i >= converting.size()) {
      row.label->setText(QString());
      row.bar->setAccessibleName(T(lang::WaitingState));
      row.bar->setValue(0);
      row.bar->setEnabled(false);
      continue;
    }
    const int item = converting[i];
    const ConversionTask& task = Tasks[TaskOf(item)];
    row.label->setText(Q(task.title.str()));
    row.bar->setAccessibleName(row.label->text());
    row.label->setToolTip(Q(run_->Item(item).sourceFile));
    const std::int64_t length = run_->Length(item);
    row.bar->setEnabled(true);
    row.bar->setValue(length > 0 ? static_cast<int>(run_->Position(item) * kBarSteps / length) : 0);
    emit taskChanged(TaskOf(item));
  }
  const std::int64_t total = run_->TotalLength(), done = run_->TotalPosition();
  totalProgressBar->setValue(run_->Finished() ? 100 : TotalPercent(done, total));
  timeLabel->setText(Q(TimeLineText(run_->Elapsed(), run_->Finished() ? 0 : total, done)));
  if (trayIcon->isVisible())
    trayIcon->setToolTip(timeLabel->text() + QLatin1Char('\n') + T(lang::RestoreMainWindowHint));
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
  pausedLabel->setVisible(paused);
  pauseButton->setText(T(paused ? lang::ResumeButton : lang::PauseButton));
  pauseAction->setText(pauseButton->text());
  setWindowTitle(paused ? T(lang::PausedState) + QStringLiteral(" - ") + T(lang::ConvertingProgressCaption)
                        : T(lang::ConvertingProgressCaption));
  totalProgressBar->setFormat(paused ? QStringLiteral("%p% (") + T(lang::PausedState) + QStringLiteral(")")
                                     : QStringLiteral("%p%"));
}

void ProgressWindow::FinishRun() {
  if (!running_ || finishing_) return;
  finishing_ = true;
  displayTimer->stop();
  OnDisplayTimer();
  pauseButton->setEnabled(false);
  QCoreApplication::processEvents();
  std::vector<FileProblem> failures, warnings;
  int converted = 0;
  for (int item = 0; item < run_->Count(); ++item) {
    const ItemReport& report = run_->Report(item);
    if (report.state == ItemState::Done) ++converted;
    if (report.state == ItemState::Failed) failures.push_back({run_->Item(item).sourceFile, report.reason});
    if (report.warning) warnings.push_back({run_->Item(item).sourceFile, *report.warning});
  }
  // The question must be seen, and a tray icon must not outlive the run it restores; a user
  // who hid the run learns from the desktop that it has ended.
  if (RunHidden()) {
    NotifyRunEnd(converted, static_cast<int>(failures.size()));
    RestoreRun();
  }
  const std::string text =
      RunEndText(run_->Cancelled(), failures, warnings) + "\n" + Translated(lang::OpenOutputFolderQuestion);
  QPointer<ProgressWindow> self(this);
  const bool clean = failures.empty() && warnings.empty();
  // Asked over this window, which the run keeps modal: the question is never behind it.
  const int answer = ShowMessageWindow(clean ? MessageKind::Information : MessageKind::Warning, text,
                                       lang::NoButton, lang::YesButton);
  if (!self) return;
  if (const std::string folder = OutputFolderToOpen(); answer == 1 && !folder.empty()) OpenWithDesktop(folder);
  cancelButton->setText(T(lang::OKButton));
  close();
  running_ = false;
  // The keys go back to the main window, where the user goes on.
  if (mainWindow_) mainWindow_->activateWindow();
  if (runLoop_ != nullptr) runLoop_->quit();
}

std::string ProgressWindow::OutputFolderToOpen() const {
  // The folder the run wrote to: the last converted task's, when the tasks wrote to several.
  std::string folder;
  for (int item = 0; item < run_->Count(); ++item) {
    if (run_->Report(item).state == ItemState::Done) folder = platform::FolderOf(run_->Report(item).outputFile);
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
  const int answer =
      ShowMessageWindow(MessageKind::Question, lang::CancelConvertingQuestion, lang::NoButton, lang::YesButton,
                        DefaultButton::Second);
  if (!self) return;
  askingCancel_ = false;
  if (answer == 1 && running_ && !finishing_ && run_) {
    run_->Cancel();
    ShowPaused(false);
  }
}

void ProgressWindow::OnHideClicked() { HideRun(); }

void ProgressWindow::OnTrayIconClicked() { RestoreRun(); }

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
    trayIcon->setToolTip(T(lang::RestoreMainWindowHint));
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

namespace {
ProgressWindow::Notifier& TestNotifier() {
  static ProgressWindow::Notifier notifier;
  return notifier;
}
}  // namespace

void ProgressWindow::SetNotifier(Notifier notifier) { TestNotifier() = std::move(notifier); }

void ProgressWindow::NotifyRunEnd(int converted, int failed) {
  const QString title = T(lang::ConversionFinishedTitle);
  QString text = QStringLiteral("%1: %2").arg(T(lang::ConvertedCount)).arg(converted);
  if (failed > 0) text += QStringLiteral(", %1: %2").arg(T(lang::FailedState)).arg(failed);
  if (TestNotifier()) {
    TestNotifier()(title, text);
  } else if (trayIcon->isVisible()) {
    trayIcon->showMessage(title, text, ProductIcon());
  }
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

