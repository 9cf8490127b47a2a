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
#include <QComboBox>
#include <QKeyEvent>
#include <QShortcut>
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
#include "app/accessibility.h"
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
#include "core/added_files.h"
#include "core/display_text.h"
#include "core/translation.h"
#include "platform/mmstream/media_stream.h"
#include "platform/paths/path_names.h"

namespace {

MainWindow::FileChooser& Chooser() {
  static MainWindow::FileChooser chooser;
  return chooser;
}

QPushButton* Button(QWidget* parent, const char* name, const char* themeIcon) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setIcon(QIcon::fromTheme(QString::fromUtf8(themeIcon)));
  return button;
}

QLabel* InfoLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  // A long path is cut at the panel's edge rather than widening the window.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

QFileDialog* FolderDialog(QWidget* parent, const char* name) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(QString::fromUtf8(name));
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  return dialog;
}

// The output location selector's entries: beside each source, the chosen folder (when there
// is one), and the entry that opens the folder dialog.
constexpr int kBesideEachSource = 0;

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  BuildLayout();
  AddShortcuts();
  ResetControls();
}

void MainWindow::BuildLayout() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  setAcceptDrops(true);
  setWindowIcon(ProductIcon());

  // The task list, and below it where new tasks' MP3 files go.
  taskListBox = new QGroupBox(central);
  taskListBox->setObjectName(QStringLiteral("taskListBox"));
  listArea = taskListBox;
  taskListView = new QTreeWidget(taskListBox);
  taskListView->setObjectName(QStringLiteral("taskListView"));
  taskListView->setSelectionMode(QAbstractItemView::SingleSelection);
  taskListView->setUniformRowHeights(true);
  taskListView->setRootIsDecorated(false);
  taskListView->setColumnCount(3);
  taskListView->header()->setStretchLastSection(false);
  taskListView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  taskListView->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  taskListView->header()->setSectionResizeMode(2, QHeaderView::Interactive);
  taskListView->header()->resizeSection(2, 110);
  taskListView->setMinimumSize(160, 60);
  taskListView->viewport()->installEventFilter(this);
  taskListView->installEventFilter(this);
  outputLocationLabel = new QLabel(taskListBox);
  outputLocationLabel->setObjectName(QStringLiteral("outputLocationLabel"));
  outputLocationSelector = new QComboBox(taskListBox);
  outputLocationSelector->setObjectName(QStringLiteral("outputLocationSelector"));
  outputLocationSelector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  outputLocationSelector->setMinimumContentsLength(12);
  outputLocationLabel->setBuddy(outputLocationSelector);
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(outputLocationLabel);
  outputRow->addWidget(outputLocationSelector, 1);
  auto* taskLayout = new QVBoxLayout(taskListBox);
  taskLayout->addWidget(taskListView, 1);
  taskLayout->addLayout(outputRow);

  // The buttons, in a column beside the list.
  buttonPanel = new QWidget(central);
  buttonPanel->setObjectName(QStringLiteral("buttonPanel"));
  addFilesButton = Button(buttonPanel, "addFilesButton", "list-add");
  addFolderButton = Button(buttonPanel, "addFolderButton", "folder-open");
  removeButton = Button(buttonPanel, "removeButton", "list-remove");
  editButton = Button(buttonPanel, "editButton", "document-edit");
  startButton = Button(buttonPanel, "startButton", "media-playback-start");
  QFont bold = startButton->font();
  bold.setBold(true);
  startButton->setFont(bold);
  startButton->setMinimumHeight(startButton->sizeHint().height() * 3 / 2);
  helpButton = Button(buttonPanel, "helpButton", "help-contents");
  aboutButton = Button(buttonPanel, "aboutButton", "help-about");
  auto* buttons = new QVBoxLayout(buttonPanel);
  buttons->setContentsMargins(0, 0, 0, 0);
  for (QPushButton* button : {addFilesButton, addFolderButton, removeButton, editButton}) buttons->addWidget(button);
  buttons->addSpacing(12);
  buttons->addWidget(startButton);
  buttons->addSpacing(12);
  buttons->addWidget(helpButton);
  buttons->addWidget(aboutButton);
  buttons->addStretch(1);

  // The info panel.
  infoPanel = new QGroupBox(central);
  infoPanel->setObjectName(QStringLiteral("infoPanel"));
  bottomPanel = infoPanel;
  inputInfoLabel = InfoLabel(infoPanel, "inputInfoLabel");
  outputInfoLabel = InfoLabel(infoPanel, "outputInfoLabel");
  settingsInfoLabel = InfoLabel(infoPanel, "settingsInfoLabel");
  extrasInfoLabel = InfoLabel(infoPanel, "extrasInfoLabel");
  durationInfoLabel = InfoLabel(infoPanel, "durationInfoLabel");
  durationInfoLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  editLinkLabel = InfoLabel(infoPanel, "editLinkLabel");
  editLinkLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  auto* lastLine = new QHBoxLayout;
  lastLine->setSpacing(10);  // the edit link stands 10 pixels right of the duration line
  lastLine->addWidget(durationInfoLabel);
  lastLine->addWidget(editLinkLabel);
  lastLine->addStretch(1);
  auto* infoLayout = new QVBoxLayout(infoPanel);
  infoLayout->setSpacing(0);
  for (QLabel* label : {inputInfoLabel, outputInfoLabel, settingsInfoLabel, extrasInfoLabel}) infoLayout->addWidget(label);
  infoLayout->addLayout(lastLine);
  for (QLabel* label : {inputInfoLabel, outputInfoLabel, settingsInfoLabel, extrasInfoLabel, durationInfoLabel, editLinkLabel})
    connect(label, &QLabel::linkActivated, this, &MainWindow::OnInfoLinkActivated);

  auto* top = new QHBoxLayout;
  top->addWidget(taskListBox, 1);
  top->addWidget(buttonPanel);
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(top, 1);
  layout->addWidget(infoPanel);

  readingStatusLabel = new QLabel(this);
  readingStatusLabel->setObjectName(QStringLiteral("readingStatusLabel"));
  readingStatusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusRightLabel = new QLabel(this);
  statusRightLabel->setObjectName(QStringLiteral("statusRightLabel"));
  statusRightLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->addWidget(readingStatusLabel, 1);
  statusBar()->addPermanentWidget(statusRightLabel);

  addFilesDialog = new QFileDialog(this);
  addFilesDialog->setObjectName(QStringLiteral("addFilesDialog"));
  addFolderDialog = FolderDialog(this, "addFolderDialog");
  outputFolderDialog = FolderDialog(this, "outputFolderDialog");

  // Tab goes as the eye does: the list and its output row, then the buttons from the top.
  QWidget::setTabOrder(taskListView, outputLocationSelector);
  QWidget::setTabOrder(outputLocationSelector, addFilesButton);
  QWidget::setTabOrder(addFilesButton, addFolderButton);
  QWidget::setTabOrder(addFolderButton, removeButton);
  QWidget::setTabOrder(removeButton, editButton);
  QWidget::setTabOrder(editButton, startButton);
  QWidget::setTabOrder(startButton, helpButton);
  QWidget::setTabOrder(helpButton, aboutButton);

  connect(addFilesButton, &QPushButton::clicked, this, &MainWindow::OnAddFilesClicked);
  connect(addFolderButton, &QPushButton::clicked, this, &MainWindow::OnAddFolderClicked);
  connect(removeButton, &QPushButton::clicked, this, &MainWindow::OnRemoveClicked);
  connect(editButton, &QPushButton::clicked, this, &MainWindow::OnEditClicked);
  connect(startButton, &QPushButton::clicked, this, &MainWindow::OnStartClicked);
  connect(helpButton, &QPushButton::clicked, this, &MainWindow::OnHelpClicked);
  connect(aboutButton, &QPushButton::clicked, this, &MainWindow::OnAboutClicked);
  connect(outputLocationSelector, &QComboBox::activated, this, &MainWindow::OnOutputLocationChosen);
  connect(taskListView, &QTreeWidget::itemChanged, this, &MainWindow::OnTaskCheckChanged);
  connect(taskListView, &QTreeWidget::itemDoubleClicked, this, &MainWindow::OnTaskDoubleClicked);
  // Moving through the list with the keys shows the row moved to.
  connect(taskListView, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = item != nullptr ? taskListView->indexOfTopLevelItem(item) : -1;
    if (!fillingList_ && row >= 0 && UpdateButtons()) ShowTaskInfo(row);
  });

  resize(QSize(620, 480).expandedTo(minimumSizeHint()));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::AddShortcuts() {
  const auto add = [this](std::initializer_list<QKeySequence> keys, auto slot) {
    for (const QKeySequence& key : keys) {
      auto* shortcut = new QShortcut(key, this);
      connect(shortcut, &QShortcut::activated, this, slot);
    }
  };
  add({QKeySequence(Qt::Key_Insert), QKeySequence::Open}, [this] {
    if (addFilesButton->isEnabled()) OnAddFilesClicked();
  });
  add({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, [this] {
    if (addFolderButton->isEnabled()) OnAddFolderClicked();
  });
  add({QKeySequence(QKeySequence::Delete)}, [this] {
    if (removeButton->isEnabled()) OnRemoveClicked();
  });
  add({QKeySequence(QKeySequence::HelpContents)}, [this] { OnHelpClicked(); });
  add({QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });
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
  setWindowTitle(Q(ProductTitle) + QStringLiteral(" ") + Q(MakerMark));
  addFilesDialog->setNameFilters(MediaDialogFilters(platform::mmstream::MediaFileExtensions()));
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
  taskListView->setHeaderLabels({T(lang::TitleColumn), T(lang::FileColumn), T(lang::StatusColumn)});
  taskListBox->setTitle(T(lang::TaskListCaption));
  infoPanel->setTitle(T(lang::ConvertingSettingsCaption));
  addFilesButton->setText(T(lang::AddFilesButton));
  addFolderButton->setText(T(lang::AddFolderButton));
  removeButton->setText(T(lang::RemoveButton));
  editButton->setText(T(lang::EditButton));
  startButton->setText(T(lang::StartButton));
  helpButton->setText(T(lang::HelpButton));
  aboutButton->setText(T(lang::AboutButton));
  outputLocationLabel->setText(T(lang::OutputLocationLabel));
  addFilesDialog->setWindowTitle(T(lang::AddFilesDialogTitle));
  addFolderDialog->setWindowTitle(T(lang::AddFolderDialogTitle));
  outputFolderDialog->setWindowTitle(T(lang::OutputFolderDialogTitle));
  taskListView->setAccessibleName(T(lang::TaskListCaption));
  NameControlsByTheirLabels(this);
  ShowOutputLocation();
  RefreshTaskList();
  ShowTaskInfo(-1);
}

void MainWindow::ShowOutputLocation() {
  showingOutputLocation_ = true;
  outputLocationSelector->clear();
  outputLocationSelector->addItem(QIcon::fromTheme(QStringLiteral("folder")), T(lang::BesideEachSource));
  const std::string& folder = DefaultSettings.outputFileDir;
  if (!folder.empty()) {
    outputLocationSelector->addItem(QIcon::fromTheme(QStringLiteral("folder")), QString::fromStdString(folder));
    outputLocationSelector->setItemData(1, QString::fromStdString(folder), Qt::ToolTipRole);
  }
  outputLocationSelector->addItem(T(lang::ChooseOutputFolder));
  outputLocationSelector->setCurrentIndex(folder.empty() ? kBesideEachSource : 1);
  showingOutputLocation_ = false;
}

void MainWindow::OnOutputLocationChosen(int index) {
  if (showingOutputLocation_) return;
  if (index == kBesideEachSource) {
    DefaultSettings.outputFileDir.clear();
  } else if (index == outputLocationSelector->count() - 1) {
    // The folder dialog; Cancel keeps the choice there was.
    const std::string current =
        DefaultSettings.outputFileDir.empty() ? DefaultSettings.inputFileDir : DefaultSettings.outputFileDir;
    outputFolderDialog->setDirectory(QString::fromStdString(current));
    if (const std::optional<QStringList> chosen = Choose(*outputFolderDialog); chosen && !chosen->isEmpty()) {
      std::string folder = chosen->constFirst().toStdString();
      if (folder.empty() || folder.back() != '/') folder += '/';
      DefaultSettings.outputFileDir = folder;
    }
  }
  SaveSettings();
  ShowOutputLocation();
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
    for (QPushButton* button : {addFilesButton, addFolderButton, removeButton, editButton, startButton})
      button->setEnabled(false);
    outputLocationSelector->setEnabled(false);
    controlsLocked = true;
    return;
  }
  addFilesButton->setEnabled(true);
  addFolderButton->setEnabled(true);
  outputLocationSelector->setEnabled(true);
  controlsLocked = false;
  UpdateButtons();
}

void MainWindow::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

std::optional<QStringList> MainWindow::Choose(QFileDialog& dialog) {
  if (Chooser()) return Chooser()(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFiles();
}

void MainWindow::OnAddFilesClicked() {
  if (!CanAct()) return;
  addFilesDialog->setFileMode(QFileDialog::ExistingFiles);
  addFilesDialog->setDirectory(QString::fromStdString(DefaultSettings.inputFileDir));
  LockControls(true);
  const std::optional<QStringList> chosen = Choose(*addFilesDialog);
  LockControls(false);
  if (!chosen) return;
  std::vector<std::string> paths;
  for (const QString& file : *chosen) paths.push_back(file.toStdString());
  AddPaths(paths);
}

void MainWindow::OnAddFolderClicked() {
  if (!CanAct()) return;
  addFolderDialog->setDirectory(QString::fromStdString(DefaultSettings.inputFileDir));
  LockControls(true);
  const std::optional<QStringList> chosen = Choose(*addFolderDialog);
  LockControls(false);
  if (!chosen || chosen->isEmpty()) return;
  AddPaths({chosen->constFirst().toStdString()});
}

void MainWindow::AddPaths(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  // Given while a file is read, a run goes on or a window waits for an answer (from a second
  // start of the program, say): they wait for the window to be free.
  // A question or another modal window asks first.
  const bool progressShown = progress_ != nullptr && (progress_->isVisible() || progress_->Running());
  const QWidget* modal = QApplication::activeModalWidget();
  if (!ReadingDone.load(std::memory_order_acquire) || progressShown || controlsLocked ||
      (modal != nullptr && modal != this)) {
    waitingPaths_.insert(waitingPaths_.end(), paths.begin(), paths.end());
    QTimer::singleShot(500, this, &MainWindow::AddWaitingPaths);
    return;
  }
  const std::vector<AddedFile> files = CollectAddedFiles(paths, platform::mmstream::MediaFileExtensions());
  if (files.empty()) {
    ShowMessageWindow(MessageKind::Information, Translated(lang::NoMediaFilesFound) + "\n" + paths.front(),
                      lang::HelpButton, lang::OKButton);
    return;
  }
  LockControls(true);
  std::vector<std::string> refused;
  bool sameSettings = false;
  bool asked = false;
  int lastAdded = -1;
  for (std::size_t i = 0; i < files.size(); ++i) {
    bool added = false;
    const std::int32_t result = AddOneFile(files[i].path, files[i].subfolder, sameSettings, added);
    if (result != ReadOk) {
      if (result == ReadPending) break;  // no reading thread: already said
      if (files.size() == 1) {
        ShowReadFailure(result, files[i].path);
      } else {
        refused.push_back(files[i].path + ": " + ReadFailureReason(result));
      }
      continue;
    }
    if (!added) break;  // the wizard's Cancel ends the add
    lastAdded = Tasks.Count() - 1;
    if (!asked && i + 1 < files.size()) {
      asked = true;
      sameSettings = ShowMessageWindow(MessageKind::Question, lang::UseSameSettingsQuestion, lang::NoButton,
                                       lang::YesButton) == 1;
    }
  }
  LockControls(false);
  if (lastAdded >= 0) {
    // The new task is the one the panel describes, ready for Remove and Edit.
    SetCurrentRow(lastAdded);
    taskListView->scrollToItem(taskListView->topLevelItem(lastAdded));
    UpdateButtons();
    ShowTaskInfo(lastAdded);
  }
  if (!refused.empty()) {
    std::string text = Translated(lang::FilesNotAdded);
    for (const std::string& line : refused) text += "\n" + line;
    ShowMessageWindow(MessageKind::Warning, text, lang::HelpButton, lang::OKButton);
  }
}

void MainWindow::AddWaitingPaths() {
  if (waitingPaths_.empty()) return;
  std::vector<std::string> paths;
  paths.swap(waitingPaths_);
  AddPaths(paths);
}

std::int32_t MainWindow::AddOneFile(const std::string& path, const std::string& subfolder, bool sameSettings,
                                    bool& added) {
  readingStatusLabel->setText(T(lang::ReadingFileStatus) + QStringLiteral(" ") + QString::fromStdString(path) + QStringLiteral(" ..."));
  added = false;
  const std::int32_t result = InspectSourceFile(path, subfolder);
  if (result == ReadOk) {
    if (sameSettings) {
      AppendWorkingTask();
      added = true;
    } else {
      added = wizard_ != nullptr && wizard_->ShowModal(true) == 1;
    }
  }
  if (added) AppendTaskRow(Tasks.Count() - 1);
  readingStatusLabel->clear();
  return result;
}

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
  if (paths.empty() || !CanAct()) return;
  raise();
  activateWindow();
  AddPaths(paths);
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
  // Enter on a row edits it, as a double click does.
  if (watched == taskListView && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (Tasks.Empty()) {
        OnAddFilesClicked();
      } else {
        OnEditClicked();
      }
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- The task list and the info panel ----

namespace {

constexpr int kTitleColumn = 0;
constexpr int kFileColumn = 1;  // the source's file name: tasks titled alike differ here
constexpr int kStatusColumn = 2;

// The status column's text for a task: its state in the last run, with the percent while it
// converts, the MP3's size when it is done and the reason when it failed.
QString StatusText(const ConversionTask& task, int percent) {
  switch (task.state) {
    case TaskState::Ready: return {};
    case TaskState::Converting:
      return T(lang::ConvertingState) + QStringLiteral(" %1%").arg(percent);
    case TaskState::Done: {
      const auto kilobytes = static_cast<std::int32_t>(std::min<std::int64_t>(task.outputBytes / 1024, INT32_MAX));
      return T(lang::DoneState) + QStringLiteral(" (") + Q(FormatSize(kilobytes)) + QStringLiteral(")");
    }
    case TaskState::Failed: return T(lang::FailedState) + QStringLiteral(": ") + Q(task.stateDetail);
    case TaskState::Waiting: return T(lang::WaitingState);
    case TaskState::Skipped: return T(lang::SkippedState);
    case TaskState::Cancelled: return T(lang::CancelledState);
  }
  return {};
}

void ShowTask(QTreeWidgetItem* row, const ConversionTask& task, int percent) {
  row->setText(kTitleColumn, Q(task.title.str()));
  row->setToolTip(kTitleColumn, Q(task.sourceFile));
  row->setText(kFileColumn, Q(platform::FileNameOf(task.sourceFile)));
  row->setToolTip(kFileColumn, Q(task.sourceFile));
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
    auto* hint = new QTreeWidgetItem(QStringList{T(lang::AddFilesHint)});
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
