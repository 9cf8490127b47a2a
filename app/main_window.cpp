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

#include "app/ui_text.h"
#include "app/about_window.h"
#include "app/accessibility.h"
#include "app/add_wizard.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/product_info.h"
#include "app/workspace.h"
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

namespace app {

namespace {

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

MainWindow::MainWindow(Workspace& workspace, QWidget* parent)
    : QMainWindow(parent), workspace_(workspace), reader_(workspace.Dispatcher()) {
  setObjectName(QStringLiteral("MainWindow"));
  BuildLayout();
  AddShortcuts();
  setWindowTitle(ToQString(kProductTitle));
  addFilesDialog_->setNameFilters(MediaDialogFilters(platform::mmstream::MediaFileExtensions()));
  removeButton_->setEnabled(false);
  editButton_->setEnabled(false);
  startButton_->setEnabled(false);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildLayout() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  setAcceptDrops(true);
  setWindowIcon(ProductIcon());

  // The task list, and below it where new tasks' MP3 files go.
  taskListBox_ = new QGroupBox(central);
  taskListBox_->setObjectName(QStringLiteral("taskListBox"));
  taskListView_ = new QTreeWidget(taskListBox_);
  taskListView_->setObjectName(QStringLiteral("taskListView"));
  taskListView_->setSelectionMode(QAbstractItemView::SingleSelection);
  taskListView_->setUniformRowHeights(true);
  taskListView_->setRootIsDecorated(false);
  taskListView_->setColumnCount(3);
  taskListView_->header()->setStretchLastSection(false);
  taskListView_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  taskListView_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  taskListView_->header()->setSectionResizeMode(2, QHeaderView::Interactive);
  taskListView_->header()->resizeSection(2, 110);
  taskListView_->setMinimumSize(160, 60);
  taskListView_->viewport()->installEventFilter(this);
  taskListView_->installEventFilter(this);
  outputLocationLabel_ = new QLabel(taskListBox_);
  outputLocationLabel_->setObjectName(QStringLiteral("outputLocationLabel"));
  outputLocationSelector_ = new QComboBox(taskListBox_);
  outputLocationSelector_->setObjectName(QStringLiteral("outputLocationSelector"));
  outputLocationSelector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  outputLocationSelector_->setMinimumContentsLength(12);
  outputLocationLabel_->setBuddy(outputLocationSelector_);
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(outputLocationLabel_);
  outputRow->addWidget(outputLocationSelector_, 1);
  auto* taskLayout = new QVBoxLayout(taskListBox_);
  taskLayout->addWidget(taskListView_, 1);
  taskLayout->addLayout(outputRow);

  // The buttons, in a column beside the list.
  buttonPanel_ = new QWidget(central);
  buttonPanel_->setObjectName(QStringLiteral("buttonPanel"));
  addFilesButton_ = Button(buttonPanel_, "addFilesButton", "list-add");
  addFolderButton_ = Button(buttonPanel_, "addFolderButton", "folder-open");
  removeButton_ = Button(buttonPanel_, "removeButton", "list-remove");
  editButton_ = Button(buttonPanel_, "editButton", "document-edit");
  startButton_ = Button(buttonPanel_, "startButton", "media-playback-start");
  QFont bold = startButton_->font();
  bold.setBold(true);
  startButton_->setFont(bold);
  startButton_->setMinimumHeight(startButton_->sizeHint().height() * 3 / 2);
  helpButton_ = Button(buttonPanel_, "helpButton", "help-contents");
  aboutButton_ = Button(buttonPanel_, "aboutButton", "help-about");
  auto* buttons = new QVBoxLayout(buttonPanel_);
  buttons->setContentsMargins(0, 0, 0, 0);
  for (QPushButton* button : {addFilesButton_, addFolderButton_, removeButton_, editButton_}) buttons->addWidget(button);
  buttons->addSpacing(12);
  buttons->addWidget(startButton_);
  buttons->addSpacing(12);
  buttons->addWidget(helpButton_);
  buttons->addWidget(aboutButton_);
  buttons->addStretch(1);

  // The info panel.
  infoPanel_ = new QGroupBox(central);
  infoPanel_->setObjectName(QStringLiteral("infoPanel"));
    inputInfoLabel_ = InfoLabel(infoPanel_, "inputInfoLabel");
  outputInfoLabel_ = InfoLabel(infoPanel_, "outputInfoLabel");
  settingsInfoLabel_ = InfoLabel(infoPanel_, "settingsInfoLabel");
  extrasInfoLabel_ = InfoLabel(infoPanel_, "extrasInfoLabel");
  durationInfoLabel_ = InfoLabel(infoPanel_, "durationInfoLabel");
  durationInfoLabel_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  editLinkLabel_ = InfoLabel(infoPanel_, "editLinkLabel");
  editLinkLabel_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  auto* lastLine = new QHBoxLayout;
  lastLine->setSpacing(10);  // the edit link stands 10 pixels right of the duration line
  lastLine->addWidget(durationInfoLabel_);
  lastLine->addWidget(editLinkLabel_);
  lastLine->addStretch(1);
  auto* infoLayout = new QVBoxLayout(infoPanel_);
  infoLayout->setSpacing(0);
  for (QLabel* label : {inputInfoLabel_, outputInfoLabel_, settingsInfoLabel_, extrasInfoLabel_}) infoLayout->addWidget(label);
  infoLayout->addLayout(lastLine);
  for (QLabel* label : {inputInfoLabel_, outputInfoLabel_, settingsInfoLabel_, extrasInfoLabel_, durationInfoLabel_, editLinkLabel_})
    connect(label, &QLabel::linkActivated, this, &MainWindow::OnInfoLinkActivated);

  auto* top = new QHBoxLayout;
  top->addWidget(taskListBox_, 1);
  top->addWidget(buttonPanel_);
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(top, 1);
  layout->addWidget(infoPanel_);

  readingStatusLabel_ = new QLabel(this);
  readingStatusLabel_->setObjectName(QStringLiteral("readingStatusLabel"));
  readingStatusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusRightLabel_ = new QLabel(this);
  statusRightLabel_->setObjectName(QStringLiteral("statusRightLabel"));
  statusRightLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->addWidget(readingStatusLabel_, 1);
  statusBar()->addPermanentWidget(statusRightLabel_);

  addFilesDialog_ = new QFileDialog(this);
  addFilesDialog_->setObjectName(QStringLiteral("addFilesDialog"));
  addFolderDialog_ = FolderDialog(this, "addFolderDialog");
  outputFolderDialog_ = FolderDialog(this, "outputFolderDialog");

  // Tab goes as the eye does: the list and its output row, then the buttons from the top.
  QWidget::setTabOrder(taskListView_, outputLocationSelector_);
  QWidget::setTabOrder(outputLocationSelector_, addFilesButton_);
  QWidget::setTabOrder(addFilesButton_, addFolderButton_);
  QWidget::setTabOrder(addFolderButton_, removeButton_);
  QWidget::setTabOrder(removeButton_, editButton_);
  QWidget::setTabOrder(editButton_, startButton_);
  QWidget::setTabOrder(startButton_, helpButton_);
  QWidget::setTabOrder(helpButton_, aboutButton_);

  connect(addFilesButton_, &QPushButton::clicked, this, &MainWindow::OnAddFilesClicked);
  connect(addFolderButton_, &QPushButton::clicked, this, &MainWindow::OnAddFolderClicked);
  connect(removeButton_, &QPushButton::clicked, this, &MainWindow::OnRemoveClicked);
  connect(editButton_, &QPushButton::clicked, this, &MainWindow::OnEditClicked);
  connect(startButton_, &QPushButton::clicked, this, &MainWindow::OnStartClicked);
  connect(helpButton_, &QPushButton::clicked, this, [this] { workspace_.desktop.OpenHelp(); });
  connect(aboutButton_, &QPushButton::clicked, this, [this] {
    if (!about_) about_ = std::make_unique<AboutWindow>(workspace_.desktop, this);
    about_->exec();
  });
  connect(outputLocationSelector_, &QComboBox::activated, this, &MainWindow::OnOutputLocationChosen);
  connect(taskListView_, &QTreeWidget::itemChanged, this, &MainWindow::OnTaskCheckChanged);
  connect(taskListView_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
  });
  // Moving through the list with the keys shows the row moved to.
  connect(taskListView_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = item != nullptr ? taskListView_->indexOfTopLevelItem(item) : -1;
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
    if (addFilesButton_->isEnabled()) OnAddFilesClicked();
  });
  add({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, [this] {
    if (addFolderButton_->isEnabled()) OnAddFolderClicked();
  });
  add({QKeySequence(QKeySequence::Delete)}, [this] {
    if (removeButton_->isEnabled()) OnRemoveClicked();
  });
  add({QKeySequence(QKeySequence::HelpContents)}, [this] { workspace_.desktop.OpenHelp(); });
  add({QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });
}

void MainWindow::SetWindows(AddWizard* wizard, ProgressWindow* progress, TipsWindow* tips) {
  wizard_ = wizard;
  if (progress_ != nullptr) disconnect(progress_, nullptr, this, nullptr);
  progress_ = progress;
  if (progress_ != nullptr) {
    // The task list follows the run: each task's state, percent and check mark as they change.
    connect(progress_, &ProgressWindow::taskChanged, this, &MainWindow::RefreshTaskRow);
    connect(progress_, &ProgressWindow::runEnded, this, &MainWindow::OnRunEnded);
  }
  tips_ = tips;
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The first show: later ones (back from the notification area) find everything in place.
  if (event->spontaneous() || shownBefore_) return;
  shownBefore_ = true;
  ApplyCaptions();
  // After the window is on screen, as the tips come after the main window; never into a run.
  if (workspace_.settings.tips < core::kTipsOff && tips_ != nullptr) {
    QTimer::singleShot(0, this, [this] {
      const bool running = progress_ != nullptr && progress_->Running();
      if (workspace_.settings.tips < core::kTipsOff && !running && !tips_->isVisible()) tips_->exec();
    });
  }
}

void MainWindow::ApplyCaptions() {
  taskListView_->setHeaderLabels({UiText(lang::TitleColumn), UiText(lang::FileColumn), UiText(lang::StatusColumn)});
  taskListBox_->setTitle(UiText(lang::TaskListCaption));
  infoPanel_->setTitle(UiText(lang::ConvertingSettingsCaption));
  addFilesButton_->setText(UiText(lang::AddFilesButton));
  addFolderButton_->setText(UiText(lang::AddFolderButton));
  removeButton_->setText(UiText(lang::RemoveButton));
  editButton_->setText(UiText(lang::EditButton));
  startButton_->setText(UiText(lang::StartButton));
  helpButton_->setText(UiText(lang::HelpButton));
  aboutButton_->setText(UiText(lang::AboutButton));
  outputLocationLabel_->setText(UiText(lang::OutputLocationLabel));
  addFilesDialog_->setWindowTitle(UiText(lang::AddFilesDialogTitle));
  addFolderDialog_->setWindowTitle(UiText(lang::AddFolderDialogTitle));
  outputFolderDialog_->setWindowTitle(UiText(lang::OutputFolderDialogTitle));
  taskListView_->setAccessibleName(UiText(lang::TaskListCaption));
  NameControlsByTheirLabels(this);
  ShowOutputLocation();
  RefreshTaskList();
  ShowTaskInfo(-1);
}

void MainWindow::ShowOutputLocation() {
  showingOutputLocation_ = true;
  outputLocationSelector_->clear();
  outputLocationSelector_->addItem(QIcon::fromTheme(QStringLiteral("folder")), UiText(lang::BesideEachSource));
  const std::string& folder = workspace_.settings.outputFileDir;
  if (!folder.empty()) {
    outputLocationSelector_->addItem(QIcon::fromTheme(QStringLiteral("folder")), QString::fromStdString(folder));
    outputLocationSelector_->setItemData(1, QString::fromStdString(folder), Qt::ToolTipRole);
  }
  outputLocationSelector_->addItem(UiText(lang::ChooseOutputFolder));
  outputLocationSelector_->setCurrentIndex(folder.empty() ? kBesideEachSource : 1);
  showingOutputLocation_ = false;
}

void MainWindow::OnOutputLocationChosen(int index) {
  if (showingOutputLocation_) return;
  if (index == kBesideEachSource) {
    workspace_.settings.outputFileDir.clear();
  } else if (index == outputLocationSelector_->count() - 1) {
    // The folder dialog; Cancel keeps the choice there was.
    const std::string current =
        workspace_.settings.outputFileDir.empty() ? workspace_.settings.inputFileDir : workspace_.settings.outputFileDir;
    outputFolderDialog_->setDirectory(QString::fromStdString(current));
    if (const std::optional<QStringList> chosen = Choose(*outputFolderDialog_); chosen && !chosen->isEmpty()) {
      std::string folder = chosen->constFirst().toStdString();
      if (folder.empty() || folder.back() != '/') folder += '/';
      workspace_.settings.outputFileDir = folder;
    }
  }
  workspace_.SaveSettings();
  ShowOutputLocation();
}

bool MainWindow::CanAct() {
  // A run hidden to the notification area is still a run.
  const bool progressShown = progress_ != nullptr && (progress_->isVisible() || progress_->Running());
  if (!adding_ && !reader_.Busy() && !progressShown) return true;
  workspace_.messages.Show(core::MessageKind::Information, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
  return false;
}

void MainWindow::LockControls(bool lock) {
  if (lock) {
    for (QPushButton* button : {addFilesButton_, addFolderButton_, removeButton_, editButton_, startButton_})
      button->setEnabled(false);
    outputLocationSelector_->setEnabled(false);
    controlsLocked_ = true;
    return;
  }
  addFilesButton_->setEnabled(true);
  addFolderButton_->setEnabled(true);
  outputLocationSelector_->setEnabled(true);
  controlsLocked_ = false;
  UpdateButtons();
}

std::optional<QStringList> MainWindow::Choose(QFileDialog& dialog) {
  if (chooser_) return chooser_(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFiles();
}

void MainWindow::OnAddFilesClicked() {
  if (!CanAct()) return;
  addFilesDialog_->setFileMode(QFileDialog::ExistingFiles);
  addFilesDialog_->setDirectory(QString::fromStdString(workspace_.settings.inputFileDir));
  LockControls(true);
  const std::optional<QStringList> chosen = Choose(*addFilesDialog_);
  LockControls(false);
  if (!chosen) return;
  std::vector<std::string> paths;
  for (const QString& file : *chosen) paths.push_back(file.toStdString());
  AddPaths(paths);
}

void MainWindow::OnAddFolderClicked() {
  if (!CanAct()) return;
  addFolderDialog_->setDirectory(QString::fromStdString(workspace_.settings.inputFileDir));
  LockControls(true);
  const std::optional<QStringList> chosen = Choose(*addFolderDialog_);
  LockControls(false);
  if (!chosen || chosen->isEmpty()) return;
  AddPaths({chosen->constFirst().toStdString()});
}

void MainWindow::AddPaths(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  // Given while a file is read, a run goes on or a window waits for an answer (from a second
  // start of the program, say): they wait for the window to be free.
  const bool progressShown = progress_ != nullptr && (progress_->isVisible() || progress_->Running());
  const QWidget* modal = QApplication::activeModalWidget();
  if (adding_ || reader_.Busy() || progressShown || controlsLocked_ || (modal != nullptr && modal != this)) {
    waitingPaths_.insert(waitingPaths_.end(), paths.begin(), paths.end());
    QTimer::singleShot(500, this, &MainWindow::AddWaitingPaths);
    return;
  }
  std::vector<core::AddedFile> files = core::CollectAddedFiles(paths, platform::mmstream::MediaFileExtensions());
  if (files.empty()) {
    workspace_.messages.Show(core::MessageKind::Information,
                             TranslatedText(lang::NoMediaFilesFound) + "\n" + paths.front(), lang::HelpButton,
                             lang::OKButton);
    return;
  }
  adding_ = AddSession{};
  adding_->files = std::move(files);
  LockControls(true);
  AddNextFile();
}

void MainWindow::AddNextFile() {
  if (!adding_ || adding_->next >= adding_->files.size()) {
    FinishAdding();
    return;
  }
  const std::string& path = adding_->files[adding_->next].path;
  readingStatusLabel_->setText(UiText(lang::ReadingFileStatus) + QStringLiteral(" ") + PathText(path) +
                               QStringLiteral(" …"));
  if (!reader_.Read(path, [this](const core::Inspection& inspection) { OnFileInspected(inspection); })) {
    workspace_.messages.Show(core::MessageKind::Error, lang::ThreadNotCreated, lang::HelpButton, lang::OKButton);
    FinishAdding();
  }
}

void MainWindow::OnFileInspected(const core::Inspection& inspection) {
  readingStatusLabel_->clear();
  if (!adding_) return;
  AddSession& session = *adding_;
  const core::AddedFile file = session.files[session.next++];
  if (inspection.result != core::ReadResult::Ok) {
    if (session.files.size() == 1) {
      const core::ReadFailureMessage message = core::ReadFailureMessageFor(inspection.result, file.path, TranslatedText);
      workspace_.messages.Show(message.kind, message.text, lang::HelpButton, lang::OKButton);
    } else {
      session.refused.push_back(file.path + ": " + core::ReadFailureReason(inspection.result, TranslatedText));
    }
    AddNextFile();
    return;
  }
  workspace_.workingTask = core::TaskOf(inspection, workspace_.settings, workspace_.tasks, file.subfolder);
  const bool added = session.sameSettings || (wizard_ != nullptr && wizard_->ShowModal());
  // The wizard's Cancel ends the add.
  if (!added || !adding_) {
    FinishAdding();
    return;
  }
  core::ConversionTask task = workspace_.workingTask;
  task.checked = true;
  session.lastAdded = workspace_.tasks.Append(task);
  AppendTaskRow(session.lastAdded);
  if (!session.asked && session.next < session.files.size()) {
    session.asked = true;
    session.sameSettings = workspace_.messages.Show(core::MessageKind::Question, lang::UseSameSettingsQuestion,
                                                    lang::NoButton, lang::YesButton) == Answer::First;
  }
  AddNextFile();
}

void MainWindow::FinishAdding() {
  if (!adding_) return;
  const AddSession session = std::move(*adding_);
  adding_.reset();
  readingStatusLabel_->clear();
  LockControls(false);
  if (session.lastAdded >= 0) {
    // The new task is the one the panel describes, ready for Remove and Edit.
    SetCurrentRow(session.lastAdded);
    taskListView_->scrollToItem(taskListView_->topLevelItem(session.lastAdded));
    UpdateButtons();
    ShowTaskInfo(session.lastAdded);
  }
  if (!session.refused.empty()) {
    std::string text = TranslatedText(lang::FilesNotAdded);
    for (const std::string& line : session.refused) text += "\n" + line;
    workspace_.messages.Show(core::MessageKind::Warning, text, lang::HelpButton, lang::OKButton);
  }
}

void MainWindow::AddWaitingPaths() {
  if (waitingPaths_.empty()) return;
  std::vector<std::string> paths;
  paths.swap(waitingPaths_);
  AddPaths(paths);
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
  if (paths.empty() || !CanAct()) return;
  raise();
  activateWindow();
  AddPaths(paths);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!CanAct()) {
    event->ignore();
    return;
  }
  workspace_.SaveSettings();
  // The other windows are hidden by now, so the program ends with this one.
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A click anywhere on the list, the empty area and the hint row included.
  if (watched == taskListView_->viewport() && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, this, &MainWindow::OnTaskListClicked);
  }
  // Enter on a row edits it, as a double click does.
  if (watched == taskListView_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (workspace_.tasks.Empty()) {
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
QString StatusText(const core::ConversionTask& task, int percent) {
  switch (task.state) {
    case core::TaskState::Ready: return {};
    case core::TaskState::Converting:
      return UiText(lang::ConvertingState) + QStringLiteral(" %1%").arg(percent);
    case core::TaskState::Done: {
      const auto kilobytes = static_cast<std::int32_t>(std::min<std::int64_t>(task.outputBytes / 1024, INT32_MAX));
      return UiText(lang::DoneState) + QStringLiteral(" (") + ToQString(core::FormatSize(kilobytes, QLocale().decimalPoint().toStdString())) + QStringLiteral(")");
    }
    case core::TaskState::Failed: return UiText(lang::FailedState) + QStringLiteral(": ") + ToQString(task.stateDetail);
    case core::TaskState::Waiting: return UiText(lang::WaitingState);
    case core::TaskState::Skipped: return UiText(lang::SkippedState);
    case core::TaskState::Cancelled: return UiText(lang::CancelledState);
  }
  return {};
}

void ShowTask(QTreeWidgetItem* row, const core::ConversionTask& task, int percent) {
  row->setText(kTitleColumn, ToQString(task.title.str()));
  row->setToolTip(kTitleColumn, ToQString(task.sourceFile));
  row->setText(kFileColumn, ToQString(platform::FileNameOf(task.sourceFile)));
  row->setToolTip(kFileColumn, ToQString(task.sourceFile));
  row->setCheckState(kTitleColumn, task.checked ? Qt::Checked : Qt::Unchecked);
  row->setText(kStatusColumn, StatusText(task, percent));
  // A reason may be long: the whole of it on hover.
  row->setToolTip(kStatusColumn, task.stateDetail.empty() ? QString() : ToQString(task.stateDetail));
}

QTreeWidgetItem* TaskRow(const core::ConversionTask& task) {
  auto* row = new QTreeWidgetItem;
  row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  ShowTask(row, task, 0);
  return row;
}

}  // namespace

int MainWindow::CurrentRow() const {
  const QTreeWidgetItem* row = taskListView_->currentItem();
  return row != nullptr ? taskListView_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(row)) : -1;
}

void MainWindow::SetCurrentRow(int row) {
  if (QTreeWidgetItem* item = taskListView_->topLevelItem(row)) taskListView_->setCurrentItem(item);
}

void MainWindow::RefreshTaskList() {
  fillingList_ = true;
  taskListView_->clear();
  if (!workspace_.tasks.Empty()) {
    for (int i = 0; i < workspace_.tasks.Count(); ++i) taskListView_->addTopLevelItem(TaskRow(workspace_.tasks[i]));
    startButton_->setEnabled(true);
  } else {
    // The hint row belongs to no task and has no check mark.
    auto* hint = new QTreeWidgetItem(QStringList{UiText(lang::AddFilesHint)});
    hint->setFlags(Qt::ItemIsEnabled);
    taskListView_->addTopLevelItem(hint);
    hint->setFirstColumnSpanned(true);
    for (QPushButton* button : {removeButton_, editButton_, startButton_}) button->setEnabled(false);
  }
  fillingList_ = false;
  UpdateButtons();
}

void MainWindow::AppendTaskRow(int index) {
  fillingList_ = true;
  if (workspace_.tasks.Count() == 1) taskListView_->clear();  // the hint row goes
  if (taskListView_->topLevelItemCount() < index + 1) taskListView_->addTopLevelItem(TaskRow(workspace_.tasks[index]));
  taskListView_->topLevelItem(index)->setCheckState(kTitleColumn, Qt::Checked);
  fillingList_ = false;
  UpdateButtons();
}

void MainWindow::RefreshTaskRow(int index) {
  QTreeWidgetItem* row = taskListView_->topLevelItem(index);
  if (row == nullptr || index >= workspace_.tasks.Count()) return;
  fillingList_ = true;
  ShowTask(row, workspace_.tasks[index], progress_ != nullptr ? progress_->TaskPercent(index) : 0);
  fillingList_ = false;
  // A converted file's output name becomes a link in the info panel.
  if (CurrentRow() == index && workspace_.tasks[index].state != core::TaskState::Converting) ShowTaskInfo(index);
}

bool MainWindow::UpdateButtons() {
  if (controlsLocked_) return false;
  if (workspace_.tasks.Empty()) {
    startButton_->setEnabled(false);
    return false;
  }
  startButton_->setEnabled(true);
  const bool selected = !taskListView_->selectedItems().isEmpty();
  removeButton_->setEnabled(selected);
  editButton_->setEnabled(selected);
  return selected;
}

void MainWindow::ShowTaskInfo(int index) {
  if (index >= workspace_.tasks.Count()) return;
  if (index < 0) {
    ShowInfoLine(inputInfoLabel_, EmptyListInfo());
    for (QLabel* label : {outputInfoLabel_, settingsInfoLabel_, extrasInfoLabel_, durationInfoLabel_, editLinkLabel_})
      label->clear();
    return;
  }
  const core::ConversionTask& task = workspace_.tasks[index];
  const TaskInfoLines lines = TaskInfoFor(task, platform::FileExists(task.outputFile));
  ShowInfoLine(inputInfoLabel_, lines.input);
  ShowInfoLine(outputInfoLabel_, lines.output);
  ShowInfoLine(settingsInfoLabel_, lines.settings);
  ShowInfoLine(extrasInfoLabel_, lines.extras);
  ShowInfoLine(durationInfoLabel_, lines.duration);
  ShowInfoLine(editLinkLabel_, lines.editLink);
}

void MainWindow::OnTaskListClicked() {
  if (workspace_.tasks.Empty()) {
    ShowTaskInfo(-1);
    OnAddFilesClicked();
  }
  if (UpdateButtons() && CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
}

void MainWindow::OnTaskCheckChanged(QTreeWidgetItem* item, int column) {
  if (fillingList_ || item == nullptr || column != kTitleColumn) return;
  const int row = taskListView_->indexOfTopLevelItem(item);
  if (row < 0 || row >= workspace_.tasks.Count()) return;
  const bool checked = item->checkState(kTitleColumn) == Qt::Checked;
  if (checked == workspace_.tasks[row].checked) return;  // another column's text changed
  // Ticking a box selects its row, as clicking the row would.
  if (!controlsLocked_ && CurrentRow() != row) SetCurrentRow(row);
  if (UpdateButtons()) {
    workspace_.tasks[row].checked = checked;
  } else {
    // Not recorded, so the mark goes back to what the task holds.
    fillingList_ = true;
    item->setCheckState(kTitleColumn, workspace_.tasks[row].checked ? Qt::Checked : Qt::Unchecked);
    fillingList_ = false;
  }
}

void MainWindow::OnRemoveClicked() {
  if (!CanAct() || !UpdateButtons() || CurrentRow() < 0) return;
  const int row = CurrentRow();
  workspace_.tasks.Remove(row);
  RefreshTaskList();
  // The info panel follows: the row now in the removed one's place, or the empty-list hint.
  if (workspace_.tasks.Empty()) {
    ShowTaskInfo(-1);
  } else {
    SetCurrentRow(std::min(row, workspace_.tasks.Count() - 1));
    UpdateButtons();
    ShowTaskInfo(CurrentRow());
  }
}

void MainWindow::OnEditClicked() {
  if (CanAct() && UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
}

void MainWindow::EditTask(int index) {
  if (controlsLocked_) {
    workspace_.messages.Show(core::MessageKind::Information, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
    return;
  }
  if (index < 0 || index >= workspace_.tasks.Count() || wizard_ == nullptr) return;
  workspace_.workingTask = workspace_.tasks[index];
  if (!wizard_->ShowModal()) return;
  // Changed settings make the last run's result a thing of the past.
  workspace_.workingTask.state = core::TaskState::Ready;
  workspace_.workingTask.stateDetail.clear();
  workspace_.tasks.Store(index, workspace_.workingTask);
  RefreshTaskRow(index);
  ShowTaskInfo(index);
}

void MainWindow::OnStartClicked() {
  if (!CanAct()) return;
  if (workspace_.tasks.Empty()) {
    workspace_.messages.Show(core::MessageKind::Question, lang::NothingToConvert, lang::HelpButton, lang::OKButton);
    return;
  }
  if (progress_ != nullptr) progress_->StartRun();
}

void MainWindow::OnRunEnded() {
  // Converted files now exist: their output names become links.
  if (CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
  AddWaitingPaths();
}

void MainWindow::OnInfoLinkActivated(const QString& link) {
  if (link == QStringLiteral("aa")) {
    OnAddFilesClicked();
    return;
  }
  const int row = CurrentRow();
  if (link == QStringLiteral("cc")) {
    OnEditClicked();
  } else if (row >= 0 && row < workspace_.tasks.Count()) {
    if (link == QStringLiteral("bb")) workspace_.desktop.Open(workspace_.tasks[row].sourceFile);
    if (link == QStringLiteral("dd")) workspace_.desktop.Open(workspace_.tasks[row].outputFile);
  }
}

}  // namespace app
