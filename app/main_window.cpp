#include "app/main_window.h"

#include <algorithm>
#include <climits>

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QHeaderView>
#include <QTreeWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/about_window.h"
#include "app/add_wizard.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/product_info.h"
#include "app/source_reading.h"
#include "core/settings.h"
#include "app/info_panel.h"
#include "app/tips_window.h"
#include "app/message_window.h"
#include "app/progress_window.h"
#include "app/desktop.h"
#include "core/conversion_task.h"
#include "core/display_text.h"
#include "platform/paths/path_names.h"

namespace {


MainWindow::FileChooser& Chooser() {
  static MainWindow::FileChooser chooser;
  return chooser;
}

QPushButton* Button(QWidget* parent, const char* name, QRect place) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setGeometry(place);
  return button;
}

QLabel* InfoLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  return label;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  BuildLayout();
  ResetControls();
}

void MainWindow::BuildLayout() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  setAcceptDrops(true);
  setWindowIcon(ProductIcon());

  // The task list inside its margins.
  listArea = new QWidget(central);
  listArea->setObjectName(QStringLiteral("listArea"));
  taskListBox = new QGroupBox(listArea);
  taskListBox->setObjectName(QStringLiteral("taskListBox"));
  taskListView = new QTreeWidget(taskListBox);
  taskListView->setObjectName(QStringLiteral("taskListView"));
  taskListView->setSelectionMode(QAbstractItemView::SingleSelection);
  taskListView->setUniformRowHeights(true);
  taskListView->setRootIsDecorated(false);
  taskListView->setColumnCount(2);
  taskListView->header()->setStretchLastSection(false);
  taskListView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  taskListView->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  taskListView->viewport()->installEventFilter(this);
  auto* taskLayout = new QVBoxLayout(taskListBox);
  taskLayout->addWidget(taskListView);
  auto* clientLayout = new QVBoxLayout(listArea);
  clientLayout->setContentsMargins(28, 24, 7, 11);  // the margin strips Splitter1, 3, 4 and 2
  clientLayout->addWidget(taskListBox);

  // The button column at its fixed places.
  buttonPanel = new QWidget(central);
  buttonPanel->setObjectName(QStringLiteral("buttonPanel"));
  buttonPanel->setFixedWidth(141);
  addFilesButton = Button(buttonPanel, "addFilesButton", QRect(16, 24, 97, 27));
  removeButton = Button(buttonPanel, "removeButton", QRect(16, 64, 97, 27));
  editButton = Button(buttonPanel, "editButton", QRect(16, 104, 97, 27));
  startButton = Button(buttonPanel, "startButton", QRect(16, 144, 97, 41));
  QFont bold = startButton->font();
  bold.setBold(true);
  startButton->setFont(bold);
  helpButton = Button(buttonPanel, "helpButton", QRect(16, 200, 97, 27));
  aboutButton = Button(buttonPanel, "aboutButton", QRect(16, 232, 97, 27));
  buttonPanel->setMinimumHeight(259 + 12);

  // The info panel inside its margins.
  bottomPanel = new QWidget(central);
  bottomPanel->setObjectName(QStringLiteral("bottomPanel"));
  bottomPanel->setFixedHeight(146);  // five lines: the fifth names the extra tags
  infoPanel = new QGroupBox(bottomPanel);
  infoPanel->setObjectName(QStringLiteral("infoPanel"));
  inputInfoLabel = InfoLabel(infoPanel, "inputInfoLabel");
  outputInfoLabel = InfoLabel(infoPanel, "outputInfoLabel");
  settingsInfoLabel = InfoLabel(infoPanel, "settingsInfoLabel");
  extrasInfoLabel = InfoLabel(infoPanel, "extrasInfoLabel");
  durationInfoLabel = InfoLabel(infoPanel, "durationInfoLabel");
  editLinkLabel = InfoLabel(infoPanel, "editLinkLabel");
  auto* lastLine = new QHBoxLayout;
  lastLine->setSpacing(10);  // the edit link stands 10 pixels right of the duration line
  lastLine->addWidget(durationInfoLabel);
  lastLine->addWidget(editLinkLabel);
  lastLine->addStretch(1);
  auto* infoLayout = new QVBoxLayout(infoPanel);
  infoLayout->setContentsMargins(8, 4, 8, 4);
  infoLayout->setSpacing(0);
  infoLayout->addWidget(inputInfoLabel);
  infoLayout->addWidget(outputInfoLabel);
  infoLayout->addWidget(settingsInfoLabel);
  infoLayout->addWidget(extrasInfoLabel);
  infoLayout->addLayout(lastLine);
  infoLayout->addStretch(1);
  auto* btmLayout = new QVBoxLayout(bottomPanel);
  btmLayout->setContentsMargins(28, 12, 28, 11);  // the margin strips Splitter5, 7, 8 and 6
  btmLayout->addWidget(infoPanel);
  for (QLabel* label : {inputInfoLabel, outputInfoLabel, settingsInfoLabel, durationInfoLabel, editLinkLabel})
    connect(label, &QLabel::linkActivated, this, &MainWindow::OnInfoLinkActivated);

  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(listArea, 0, 0);
  grid->addWidget(buttonPanel, 0, 1);
  grid->addWidget(bottomPanel, 1, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(0, 1);

  readingStatusLabel = new QLabel(this);
  readingStatusLabel->setObjectName(QStringLiteral("readingStatusLabel"));
  readingStatusLabel->setMinimumWidth(400);
  statusRightLabel = new QLabel(this);
  statusRightLabel->setObjectName(QStringLiteral("statusRightLabel"));
  statusRightLabel->setFixedWidth(50);
  statusRightLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->setFixedHeight(std::max(19, statusBar()->sizeHint().height()));
  statusBar()->addWidget(readingStatusLabel, 1);
  statusBar()->addPermanentWidget(statusRightLabel);

  addFilesDialog = new QFileDialog(this, QStringLiteral("Select File(s) to Convert..."));
  addFilesDialog->setObjectName(QStringLiteral("addFilesDialog"));

  connect(addFilesButton, &QPushButton::clicked, this, &MainWindow::OnAddFilesClicked);
  connect(removeButton, &QPushButton::clicked, this, &MainWindow::OnRemoveClicked);
  connect(editButton, &QPushButton::clicked, this, &MainWindow::OnEditClicked);
  connect(startButton, &QPushButton::clicked, this, &MainWindow::OnStartClicked);
  connect(helpButton, &QPushButton::clicked, this, &MainWindow::OnHelpClicked);
  connect(aboutButton, &QPushButton::clicked, this, &MainWindow::OnAboutClicked);
  connect(taskListView, &QTreeWidget::itemChanged, this, &MainWindow::OnTaskCheckChanged);
  connect(taskListView, &QTreeWidget::itemDoubleClicked, this, &MainWindow::OnTaskDoubleClicked);
  // Moving through the list with the keys shows the row moved to.
  connect(taskListView, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = item != nullptr ? taskListView->indexOfTopLevelItem(item) : -1;
    if (!fillingList_ && row >= 0 && UpdateButtons()) ShowTaskInfo(row);
  });

  resize(501, 451);
  setMinimumSize(200, 50);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::SetWindows(AddWizard* wizard, ProgressWindow* progress, TipsWindow* tipsWindow) {
  wizard_ = wizard;
  if (progress_ != nullptr) disconnect(progress_, nullptr, this, nullptr);
  progress_ = progress;
  // The task list follows the run: each task's state, percent and check mark as they change.
  if (progress_ != nullptr) connect(progress_, &ProgressWindow::taskChanged, this, &MainWindow::RefreshTaskRow);
  tips_ = tipsWindow;
}

void MainWindow::ResetControls() {
  ReadingDone.store(true, std::memory_order_release);
  controlsLocked = false;
  setWindowTitle(Q(ProductTitle) + QStringLiteral("   ") + Q(MakerMark));
  addFilesDialog->setNameFilters(DialogNameFilters(FileFilter));
  removeButton->setEnabled(false);
  editButton->setEnabled(false);
  startButton->setEnabled(false);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The first show: later ones (back from the notification area) find everything in place.
  if (event->spontaneous() || shownBefore_) return;
  shownBefore_ = true;
  ApplyCaptions();
  // After the window is on screen, as the tips come after the main window; never into a run.
  if (TipIndex < TipsOff && tips_ != nullptr) {
    QTimer::singleShot(0, this, [this] {
      const bool running = progress_ != nullptr && progress_->Running();
      if (TipIndex < TipsOff && !running && !tips_->isVisible()) tips_->exec();
    });
  }
}

void MainWindow::ApplyCaptions() {
  taskListView->setHeaderLabels({Q(lang::TitleColumn), Q(lang::StatusColumn)});
  taskListBox->setTitle(Q(lang::TaskListCaption));
  infoPanel->setTitle(Q(lang::ConvertingSettingsCaption));
  addFilesButton->setText(Q(lang::AddFilesButton));
  removeButton->setText(Q(lang::RemoveButton));
  editButton->setText(Q(lang::EditButton));
  startButton->setText(Q(lang::StartButton));
  helpButton->setText(Q(lang::HelpButton));
  aboutButton->setText(Q(lang::AboutButton));
  RefreshTaskList();
  ShowTaskInfo(-1);
}

bool MainWindow::CanAct() {
  // A run hidden to the notification area is still a run.
  const bool progressShown = progress_ != nullptr && (progress_->isVisible() || progress_->Running());
  if (ReadingDone.load(std::memory_order_acquire) && !progressShown) return true;
  ShowMessageWindow(MessageKind::Information, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
  return false;
}

void MainWindow::LockControls(bool lock) {
  if (lock) {
    for (QPushButton* button : {addFilesButton, removeButton, editButton, startButton}) button->setEnabled(false);
    controlsLocked = true;
    return;
  }
  addFilesButton->setEnabled(true);
  controlsLocked = false;
  UpdateButtons();
}

void MainWindow::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

void MainWindow::OnAddFilesClicked() { AddFiles(std::nullopt); }

void MainWindow::AddFiles(const std::optional<std::vector<std::string>>& dropped) {
  if (!CanAct()) return;
  LockControls(true);
  std::vector<std::string> files;
  if (dropped) {
    files = *dropped;
  } else {
    addFilesDialog->setFileMode(QFileDialog::ExistingFiles);
    addFilesDialog->setOption(QFileDialog::ReadOnly, false);
    addFilesDialog->setDirectory(QString::fromStdString(DefaultSettings.inputFileDir));
    std::optional<QStringList> chosen;
    if (Chooser()) {
      chosen = Chooser()(*addFilesDialog);
    } else if (addFilesDialog->exec() == QDialog::Accepted) {
      chosen = addFilesDialog->selectedFiles();
    }
    if (!chosen) {
      LockControls(false);
      return;
    }
    for (const QString& file : *chosen) files.push_back(file.toStdString());
  }
  bool sameSettings = false;
  const int count = static_cast<int>(files.size());
  for (int i = 0; i < count; ++i) {
    if (!AddOneFile(files[static_cast<std::size_t>(i)], sameSettings)) break;
    if (i == 0 && count > 1) {
      sameSettings = ShowMessageWindow(MessageKind::Question, lang::UseSameSettingsQuestion, lang::NoButton,
                                               lang::YesButton) == 1;
    }
  }
  LockControls(false);
}

bool MainWindow::AddOneFile(const std::string& path, bool sameSettings) {
  readingStatusLabel->setText(Q(lang::ReadingFileStatus) + QString::fromStdString(path) + QStringLiteral(" ..."));
  bool added = false;
  if (ReadSourceFile(path)) {
    if (sameSettings) {
      AppendWorkingTask();
      added = true;
    } else {
      added = wizard_ != nullptr && wizard_->ShowModal(true) == 1;
    }
  }
  if (added) AppendTaskRow(Tasks.Count() - 1);
  readingStatusLabel->clear();
  return added;
}

void MainWindow::UpdateDropExtensions() { dropExtensions_ = DropExtensions(FileFilter); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  event->acceptProposedAction();
  AddDroppedFiles(paths);
}

void MainWindow::AddDroppedFiles(const std::vector<std::string>& paths) {
  UpdateDropExtensions();
  const std::vector<std::string> accepted = AcceptedDrops(paths, dropExtensions_);
  if (accepted.empty()) return;
  raise();
  activateWindow();
  AddFiles(accepted);
}

void MainWindow::OnHelpClicked() { OpenHelpFile(); }

void MainWindow::OnAboutClicked() { ShowAboutWindow(this); }

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!CanAct()) {
    event->ignore();
    return;
  }
  SaveSettings();
  // The other windows are hidden by now, so the program ends with this one.
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A click anywhere on the list, the empty area and the hint row included.
  if (watched == taskListView->viewport() && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, this, &MainWindow::OnTaskListClicked);
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- The task list and the info panel ----

namespace {

constexpr int kTitleColumn = 0;
constexpr int kStatusColumn = 1;

// The status column's text for a task: its state in the last run, with the percent while it
// converts, the MP3's size when it is done and the reason when it failed.
QString StatusText(const ConversionTask& task, int percent) {
  switch (task.state) {
    case TaskState::Ready: return {};
    case TaskState::Converting:
      return Q(lang::ConvertingState) + QStringLiteral(" %1%").arg(percent);
    case TaskState::Done: {
      const auto kilobytes = static_cast<std::int32_t>(std::min<std::int64_t>(task.outputBytes / 1024, INT32_MAX));
      return Q(lang::DoneState) + QStringLiteral(" (") + Q(FormatSize(kilobytes)) + QStringLiteral(")");
    }
    case TaskState::Failed: return Q(lang::FailedState) + QStringLiteral(": ") + Q(task.stateDetail);
    case TaskState::Waiting: return Q(lang::WaitingState);
    case TaskState::Skipped: return Q(lang::SkippedState);
    case TaskState::Cancelled: return Q(lang::CancelledState);
  }
  return {};
}

void ShowTask(QTreeWidgetItem* row, const ConversionTask& task, int percent) {
  row->setText(kTitleColumn, Q(task.title.str()));
  row->setToolTip(kTitleColumn, Q(task.sourceFile));
  row->setCheckState(kTitleColumn, task.checked ? Qt::Checked : Qt::Unchecked);
  row->setText(kStatusColumn, StatusText(task, percent));
  // A reason may be long: the whole of it on hover.
  row->setToolTip(kStatusColumn, task.stateDetail.empty() ? QString() : Q(task.stateDetail));
}

QTreeWidgetItem* TaskRow(const ConversionTask& task) {
  auto* row = new QTreeWidgetItem;
  row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  ShowTask(row, task, 0);
  return row;
}

}  // namespace

int MainWindow::CurrentRow() const {
  const QTreeWidgetItem* row = taskListView->currentItem();
  return row != nullptr ? taskListView->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(row)) : -1;
}

void MainWindow::SetCurrentRow(int row) {
  if (QTreeWidgetItem* item = taskListView->topLevelItem(row)) taskListView->setCurrentItem(item);
}

void MainWindow::RefreshTaskList() {
  fillingList_ = true;
  taskListView->clear();
  if (!Tasks.Empty()) {
    for (int i = 0; i < Tasks.Count(); ++i) taskListView->addTopLevelItem(TaskRow(Tasks[i]));
    startButton->setEnabled(true);
  } else {
    // The hint row belongs to no task and has no check mark.
    auto* hint = new QTreeWidgetItem(QStringList{Q(lang::AddFilesHint)});
    hint->setFlags(Qt::ItemIsEnabled);
    taskListView->addTopLevelItem(hint);
    hint->setFirstColumnSpanned(true);
    for (QPushButton* button : {removeButton, editButton, startButton}) button->setEnabled(false);
  }
  fillingList_ = false;
  UpdateButtons();
}

void MainWindow::AppendTaskRow(int index) {
  fillingList_ = true;
  if (Tasks.Count() == 1) taskListView->clear();  // the hint row goes
  if (taskListView->topLevelItemCount() < index + 1) taskListView->addTopLevelItem(TaskRow(WorkingTask));
  taskListView->topLevelItem(index)->setCheckState(kTitleColumn, Qt::Checked);
  fillingList_ = false;
  UpdateButtons();
}

void MainWindow::RefreshTaskRow(int index) {
  QTreeWidgetItem* row = taskListView->topLevelItem(index);
  if (row == nullptr || index >= Tasks.Count()) return;
  fillingList_ = true;
  ShowTask(row, Tasks[index], progress_ != nullptr ? progress_->TaskPercent(index) : 0);
  fillingList_ = false;
  // A converted file's output name becomes a link in the info panel.
  if (CurrentRow() == index && Tasks[index].state != TaskState::Converting) ShowTaskInfo(index);
}

bool MainWindow::UpdateButtons() {
  if (controlsLocked) return false;
  if (Tasks.Empty()) {
    startButton->setEnabled(false);
    return false;
  }
  startButton->setEnabled(true);
  const bool selected = !taskListView->selectedItems().isEmpty();
  removeButton->setEnabled(selected);
  editButton->setEnabled(selected);
  return selected;
}

void MainWindow::ShowTaskInfo(int index) {
  if (index >= Tasks.Count()) return;
  if (index < 0) {
    inputInfoLabel->setText(EmptyListInfo());
    for (QLabel* label : {outputInfoLabel, settingsInfoLabel, extrasInfoLabel, durationInfoLabel, editLinkLabel})
      label->clear();
    return;
  }
  const ConversionTask& task = Tasks[index];
  const TaskInfoLines lines = TaskInfoFor(task, platform::FileExists(task.outputFile));
  inputInfoLabel->setText(lines.input);
  outputInfoLabel->setText(lines.output);
  settingsInfoLabel->setText(lines.settings);
  extrasInfoLabel->setText(lines.extras);
  durationInfoLabel->setText(lines.duration);
  editLinkLabel->setText(lines.editLink);
}

void MainWindow::OnTaskListClicked() {
  if (Tasks.Empty()) {
    ShowTaskInfo(-1);
    OnAddFilesClicked();
  }
  if (UpdateButtons() && CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
}

void MainWindow::OnTaskCheckChanged(QTreeWidgetItem* item, int column) {
  if (fillingList_ || item == nullptr || column != kTitleColumn) return;
  const int row = taskListView->indexOfTopLevelItem(item);
  if (row < 0 || row >= Tasks.Count()) return;
  const bool checked = item->checkState(kTitleColumn) == Qt::Checked;
  if (checked == Tasks[row].checked) return;  // another column's text changed
  // Ticking a box selects its row, as clicking the row would.
  if (!controlsLocked && CurrentRow() != row) SetCurrentRow(row);
  if (UpdateButtons()) {
    Tasks[row].checked = checked;
  } else {
    // Not recorded, so the mark goes back to what the task holds.
    fillingList_ = true;
    item->setCheckState(kTitleColumn, Tasks[row].checked ? Qt::Checked : Qt::Unchecked);
    fillingList_ = false;
  }
}

void MainWindow::OnTaskDoubleClicked() {
  if (UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
}

void MainWindow::OnRemoveClicked() {
  if (!CanAct() || !UpdateButtons() || CurrentRow() < 0) return;
  const int row = CurrentRow();
  RemoveTask(row);
  RefreshTaskList();
  // The info panel follows: the row now in the removed one's place, or the empty-list hint.
  if (Tasks.Empty()) {
    ShowTaskInfo(-1);
  } else {
    SetCurrentRow(std::min(row, Tasks.Count() - 1));
    UpdateButtons();
    ShowTaskInfo(CurrentRow());
  }
}

void MainWindow::OnEditClicked() {
  if (CanAct() && UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
}

void MainWindow::EditTask(int index) {
  if (controlsLocked) {
    ShowMessageWindow(MessageKind::Information, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
    return;
  }
  if (index < 0 || index >= Tasks.Count() || wizard_ == nullptr) return;
  WorkingTask = Tasks[index];
  if (wizard_->ShowModal(false) != 1) return;
  // Changed settings make the last run's result a thing of the past.
  WorkingTask.state = TaskState::Ready;
  WorkingTask.stateDetail.clear();
  StoreWorkingTask(index);
  RefreshTaskRow(index);
  ShowTaskInfo(index);
}

void MainWindow::OnStartClicked() {
  if (!CanAct()) return;
  if (Tasks.Empty()) {
    ShowMessageWindow(MessageKind::Question, lang::NothingToConvert, lang::HelpButton, lang::OKButton);
    return;
  }
  if (progress_ != nullptr) progress_->StartRun();
  // Converted files now exist: their output names become links.
  if (CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
}

void MainWindow::OpenSourceFile(int index) {
  if (index >= 0 && index < Tasks.Count()) OpenWithDesktop(Tasks[index].sourceFile);
}

void MainWindow::OpenOutputFile(int index) {
  if (index >= 0 && index < Tasks.Count()) OpenWithDesktop(Tasks[index].outputFile);
}

void MainWindow::OnInfoLinkActivated(const QString& link) {
  if (link == QStringLiteral("aa")) {
    OnAddFilesClicked();
  } else if (link == QStringLiteral("bb")) {
    OpenSourceFile(CurrentRow());
  } else if (link == QStringLiteral("cc")) {
    OnEditClicked();
  } else if (link == QStringLiteral("dd")) {
    OpenOutputFile(CurrentRow());
  }
}
