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
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QLabel>
#include <QHeaderView>
#include <QTreeWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
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
#include "core/task_store.h"
#include "core/display_text.h"
#include "core/translation.h"
#include "platform/mmstream/media_stream.h"
#include "platform/paths/path_names.h"

namespace app {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* themeIcon, QStyle::StandardPixmap fallback) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setIcon(ThemeIcon(themeIcon, fallback));
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
  // The title column takes what the file and status columns leave (FitColumns).
  taskListView_->header()->setStretchLastSection(false);
  taskListView_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  taskListView_->header()->setSectionResizeMode(1, QHeaderView::Interactive);
  taskListView_->header()->setSectionResizeMode(2, QHeaderView::Interactive);
  taskListView_->setMinimumSize(160, 60);
  taskListView_->viewport()->installEventFilter(this);
  taskListView_->installEventFilter(this);

  // Where the MP3 files go, how they are named, and how a run treats them.
  outputLocationLabel_ = new QLabel(taskListBox_);
  outputLocationLabel_->setObjectName(QStringLiteral("outputLocationLabel"));
  outputLocationSelector_ = new QComboBox(taskListBox_);
  outputLocationSelector_->setObjectName(QStringLiteral("outputLocationSelector"));
  outputLocationSelector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  outputLocationSelector_->setMinimumContentsLength(12);
  outputLocationLabel_->setBuddy(outputLocationSelector_);
  outputNamesLabel_ = new QLabel(taskListBox_);
  outputNamesLabel_->setObjectName(QStringLiteral("outputNamesLabel"));
  outputNamesSelector_ = new QComboBox(taskListBox_);
  outputNamesSelector_->setObjectName(QStringLiteral("outputNamesSelector"));
  // As wide as its longest entry, never squeezed by the pattern beside it.
  outputNamesSelector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  outputNamesSelector_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  outputNamesLabel_->setBuddy(outputNamesSelector_);
  namePatternEdit_ = new QLineEdit(taskListBox_);
  namePatternEdit_->setObjectName(QStringLiteral("namePatternEdit"));
  namePatternEdit_->setMinimumWidth(80);
  namePatternEdit_->hide();
  namePreviewLabel_ = new QLabel(taskListBox_);
  namePreviewLabel_->setObjectName(QStringLiteral("namePreviewLabel"));
  namePreviewLabel_->setTextFormat(Qt::PlainText);  // names come from tags: never markup
  // A long name is cut at the box's edge rather than widening the window (the tooltip has it
  // all); why a pattern is not used wraps, so that it is read whole.
  namePreviewLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  namePreviewLabel_->setWordWrap(true);
  updateOnlyCheck_ = new QCheckBox(taskListBox_);
  updateOnlyCheck_->setObjectName(QStringLiteral("updateOnlyCheck"));
  optionsButton_ = new QPushButton(taskListBox_);
  optionsButton_->setObjectName(QStringLiteral("optionsButton"));
  optionsMenu_ = new QMenu(optionsButton_);
  optionsMenu_->setObjectName(QStringLiteral("optionsMenu"));
  verifyAction_ = optionsMenu_->addAction(QString());
  verifyAction_->setObjectName(QStringLiteral("verifyAction"));
  replayGainAction_ = optionsMenu_->addAction(QString());
  replayGainAction_->setObjectName(QStringLiteral("replayGainAction"));
  folderArtAction_ = optionsMenu_->addAction(QString());
  folderArtAction_->setObjectName(QStringLiteral("folderArtAction"));
  for (QAction* action : {verifyAction_, replayGainAction_, folderArtAction_}) action->setCheckable(true);
  optionsButton_->setMenu(optionsMenu_);

  auto* outputGrid = new QGridLayout;
  outputGrid->setColumnStretch(1, 1);
  outputGrid->addWidget(outputLocationLabel_, 0, 0);
  outputGrid->addWidget(outputLocationSelector_, 0, 1, 1, 2);
  outputGrid->addWidget(outputNamesLabel_, 1, 0);
  auto* namesRow = new QHBoxLayout;
  namesRow->addWidget(outputNamesSelector_);
  namesRow->addWidget(namePatternEdit_, 1);
  namesRow->addStretch(0);
  outputGrid->addLayout(namesRow, 1, 1, 1, 2);
  outputGrid->addWidget(namePreviewLabel_, 2, 1, 1, 2);
  outputGrid->addWidget(updateOnlyCheck_, 3, 0, 1, 2);
  outputGrid->addWidget(optionsButton_, 3, 2);
  auto* taskLayout = new QVBoxLayout(taskListBox_);
  taskLayout->addWidget(taskListView_, 1);
  taskLayout->addLayout(outputGrid);

  keepTimer_ = new QTimer(this);
  keepTimer_->setObjectName(QStringLiteral("keepTimer"));
  keepTimer_->setSingleShot(true);
  // Changes come in bursts (a folder added, a run's ticks): written together, at most a few
  // times a second, however long the list.
  keepTimer_->setInterval(300);
  connect(keepTimer_, &QTimer::timeout, this, &MainWindow::KeepTasksNow);
  patternTimer_ = new QTimer(this);
  patternTimer_->setSingleShot(true);
  patternTimer_->setInterval(600);
  connect(patternTimer_, &QTimer::timeout, this, &MainWindow::OnNamePatternSettled);

  // The buttons, in a column beside the list.
  buttonPanel_ = new QWidget(central);
  buttonPanel_->setObjectName(QStringLiteral("buttonPanel"));
  addFilesButton_ = Button(buttonPanel_, "addFilesButton", "list-add", QStyle::SP_FileIcon);
  addFolderButton_ = Button(buttonPanel_, "addFolderButton", "folder-open", QStyle::SP_DirOpenIcon);
  removeButton_ = Button(buttonPanel_, "removeButton", "list-remove", QStyle::SP_TrashIcon);
  editButton_ = Button(buttonPanel_, "editButton", "document-edit", QStyle::SP_FileDialogDetailedView);
  startButton_ = Button(buttonPanel_, "startButton", "media-playback-start", QStyle::SP_MediaPlay);
  QFont bold = startButton_->font();
  bold.setBold(true);
  startButton_->setFont(bold);
  startButton_->setMinimumHeight(startButton_->sizeHint().height() * 3 / 2);
  helpButton_ = Button(buttonPanel_, "helpButton", "help-contents", QStyle::SP_DialogHelpButton);
  aboutButton_ = Button(buttonPanel_, "aboutButton", "help-about", QStyle::SP_MessageBoxInformation);
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

  // Tab goes as the eye does: the list and its output rows, then the buttons from the top.
  QWidget::setTabOrder(taskListView_, outputLocationSelector_);
  QWidget::setTabOrder(outputLocationSelector_, outputNamesSelector_);
  QWidget::setTabOrder(outputNamesSelector_, namePatternEdit_);
  QWidget::setTabOrder(namePatternEdit_, updateOnlyCheck_);
  QWidget::setTabOrder(updateOnlyCheck_, optionsButton_);
  QWidget::setTabOrder(optionsButton_, addFilesButton_);
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
  connect(outputNamesSelector_, &QComboBox::activated, this, &MainWindow::OnOutputNamesChosen);
  connect(namePatternEdit_, &QLineEdit::textEdited, this, &MainWindow::OnNamePatternEdited);
  connect(namePatternEdit_, &QLineEdit::editingFinished, this, &MainWindow::OnNamePatternSettled);
  connect(updateOnlyCheck_, &QCheckBox::toggled, this, &MainWindow::OnRunOptionToggled);
  for (QAction* action : {verifyAction_, replayGainAction_, folderArtAction_})
    connect(action, &QAction::toggled, this, &MainWindow::OnRunOptionToggled);
  connect(taskListView_, &QTreeWidget::itemChanged, this, &MainWindow::OnTaskCheckChanged);
  connect(taskListView_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
  });
  // Moving through the list with the keys shows the row moved to.
  connect(taskListView_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = item != nullptr ? taskListView_->indexOfTopLevelItem(item) : -1;
    if (!fillingList_ && row >= 0 && UpdateButtons()) ShowTaskInfo(row);
    ShowNamePreview();
  });
  // A completion popup of a folder dialog's name field is a window of its own: it must go with
  // the dialog, not stay over the main window.
  for (QFileDialog* dialog : {addFilesDialog_, addFolderDialog_, outputFolderDialog_}) {
    connect(dialog, &QDialog::finished, dialog, [dialog] {
      for (QCompleter* completer : dialog->findChildren<QCompleter*>()) {
        if (completer->popup() != nullptr) completer->popup()->hide();
      }
    });
  }

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
  // After the window is on screen: first the list the last session left, so that files given
  // now join it; then the tips, never into a run.
  QTimer::singleShot(0, this, [this] {
    OfferKeptTasks();
    const bool running = progress_ != nullptr && progress_->Running();
    if (workspace_.settings.tips < core::kTipsOff && tips_ != nullptr && !running && !tips_->isVisible()) tips_->exec();
  });
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
  outputNamesLabel_->setText(UiText(lang::OutputNamesLabel));
  namePatternEdit_->setAccessibleName(UiText(lang::NamePatternName));
  namePatternEdit_->setToolTip(UiText(lang::NamePatternHint));
  namePatternEdit_->setPlaceholderText(ToQString(core::kArtistAlbumTitlePattern));
  updateOnlyCheck_->setText(UiText(lang::UpdateOnlyCheck));
  optionsButton_->setText(UiText(lang::OptionsButton));
  verifyAction_->setText(UiText(lang::VerifyOption));
  replayGainAction_->setText(UiText(lang::ReplayGainOption));
  folderArtAction_->setText(UiText(lang::FolderArtOption));
  addFilesDialog_->setWindowTitle(UiText(lang::AddFilesDialogTitle));
  addFolderDialog_->setWindowTitle(UiText(lang::AddFolderDialogTitle));
  outputFolderDialog_->setWindowTitle(UiText(lang::OutputFolderDialogTitle));
  taskListView_->setAccessibleName(UiText(lang::TaskListCaption));
  NameControlsByTheirLabels(this);
  ShowOutputLocation();
  ShowOutputNames();
  ShowRunOptions();
  RefreshTaskList();
  ShowTaskInfo(-1);
}

void MainWindow::ShowOutputLocation() {
  showingOutputLocation_ = true;
  outputLocationSelector_->clear();
  outputLocationSelector_->addItem(ThemeIcon("folder", QStyle::SP_DirIcon), UiText(lang::BesideEachSource));
  const std::string& folder = workspace_.settings.outputFileDir;
  if (!folder.empty()) {
    outputLocationSelector_->addItem(ThemeIcon("folder", QStyle::SP_DirIcon), QString::fromStdString(folder));
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
  ApplyOutputChoice();
}

// ---- Output names and run options ----

namespace {

// The name selector's entries, in the order of core::OutputNames.
constexpr int kOwnPatternEntry = static_cast<int>(core::OutputNames::OwnPattern);

// `path` below `folder` when it lies there, else `path` itself: the part of a name that the
// choice made.
QString BelowFolder(const std::string& path, const std::string& folder) {
  if (!folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0)
    return PathText(path.substr(folder.size()));
  return PathText(path);
}

}  // namespace

void MainWindow::ShowOutputNames() {
  showingNames_ = true;
  outputNamesSelector_->clear();
  outputNamesSelector_->addItem(UiText(lang::LikeSourceNames));
  outputNamesSelector_->addItem(UiText(lang::ArtistAlbumTitleNames));
  outputNamesSelector_->addItem(UiText(lang::OwnPatternNames));
  outputNamesSelector_->setItemData(static_cast<int>(core::OutputNames::ArtistAlbumTitle),
                                    ToQString(core::kArtistAlbumTitlePattern), Qt::ToolTipRole);
  outputNamesSelector_->setCurrentIndex(static_cast<int>(workspace_.settings.outputNames));
  const bool own = workspace_.settings.outputNames == core::OutputNames::OwnPattern;
  // A first own pattern starts from the named one, which is easier to change than to write.
  if (own && namePatternEdit_->text().isEmpty()) {
    namePatternEdit_->setText(workspace_.settings.namePattern.empty() ? ToQString(core::kArtistAlbumTitlePattern)
                                                                       : ToQString(workspace_.settings.namePattern));
  }
  namePatternEdit_->setVisible(own);
  showingNames_ = false;
  ShowNamePreview();
}

void MainWindow::ShowRunOptions() {
  showingOptions_ = true;
  const core::RunOptions& run = workspace_.settings.run;
  updateOnlyCheck_->setChecked(run.updateOnly);
  verifyAction_->setChecked(run.verify);
  replayGainAction_->setChecked(run.replayGain);
  folderArtAction_->setChecked(run.folderArt);
  showingOptions_ = false;
}

std::optional<core::NamePattern> MainWindow::EditedPattern(QString& reason) const {
  std::string error;
  switch (static_cast<core::OutputNames>(outputNamesSelector_->currentIndex())) {
    case core::OutputNames::LikeSource: return std::nullopt;
    case core::OutputNames::ArtistAlbumTitle: return core::NamePattern::Parse(core::kArtistAlbumTitlePattern, error);
    case core::OutputNames::OwnPattern: break;
  }
  const std::string text = namePatternEdit_->text().toStdString();
  if (std::optional<core::NamePattern> pattern = core::NamePattern::Parse(text, error)) return pattern;
  // The reason in the user's words: the parser's own are for the command line.
  reason = UiText(lang::PatternMakesNoName);
  for (std::size_t at = text.find('%'); at != std::string::npos;) {
    const std::size_t close = text.find('%', at + 1);
    if (close == std::string::npos) {
      reason = UiText(lang::PatternUnclosedField);
      break;
    }
    const std::string field = text.substr(at, close - at + 1);
    // Field names are words of small letters: "%artist - %title%" lacks a "%", it does not
    // name a field "artist - ".
    if (!std::all_of(field.begin() + 1, field.end() - 1, [](char c) { return c >= 'a' && c <= 'z'; })) {
      reason = UiText(lang::PatternUnclosedField);
      break;
    }
    // A field is known when a pattern of it alone (after a letter, so that it makes a name)
    // parses.
    if (!core::NamePattern::Parse("x" + field, error)) {
      reason = UiText(lang::PatternUnknownField).arg(ToQString(field));
      break;
    }
    at = text.find('%', close + 1);
  }
  return std::nullopt;
}

void MainWindow::ShowNamePreview() {
  QString reason;
  const std::optional<core::NamePattern> pattern = EditedPattern(reason);
  QFont font = namePreviewLabel_->font();
  const bool invalid = outputNamesSelector_->currentIndex() == kOwnPatternEntry && !pattern;
  font.setBold(invalid);
  namePreviewLabel_->setFont(font);
  if (invalid) {
    namePreviewLabel_->setText(UiText(lang::PatternNotUsed) + QStringLiteral(" ") + reason);
    namePreviewLabel_->setToolTip(UiText(lang::NamePatternHint));
    return;
  }
  const int row = CurrentRow() >= 0 ? CurrentRow() : 0;
  if (row >= workspace_.tasks.Count()) {
    namePreviewLabel_->clear();
    namePreviewLabel_->setToolTip(QString());
    return;
  }
  core::OutputChoice choice = core::OutputChoiceOf(workspace_.settings);
  choice.pattern = pattern;
  const core::ConversionTask& task = workspace_.tasks[row];
  const std::string name = core::OutputFileFor(task, choice);
  // The part of the name the choice makes: what the pattern gives, or the source's name (with
  // its sub-folder in an output folder).
  const QString shown = pattern ? PathText(pattern->Expand(core::NameFieldsOf(task)))
                                : BelowFolder(name, choice.folder.empty() ? platform::FolderOf(name) : choice.folder);
  namePreviewLabel_->setText(UiText(lang::NamePreviewLabel) + QStringLiteral(" ") + shown);
  namePreviewLabel_->setToolTip(PathText(name));
}

void MainWindow::OnOutputNamesChosen(int index) {
  if (showingNames_) return;
  workspace_.settings.outputNames = static_cast<core::OutputNames>(std::clamp(index, 0, kOwnPatternEntry));
  ShowOutputNames();
  if (index == kOwnPatternEntry) {
    namePatternEdit_->setFocus();
    namePatternEdit_->selectAll();
  }
  OnNamePatternSettled();
  workspace_.SaveSettings();
  ApplyOutputChoice();
}

void MainWindow::OnNamePatternEdited() {
  ShowNamePreview();
  patternTimer_->start();
}

void MainWindow::OnNamePatternSettled() {
  patternTimer_->stop();
  if (workspace_.settings.outputNames != core::OutputNames::OwnPattern) return;
  QString reason;
  const std::string text = namePatternEdit_->text().toStdString();
  // A pattern that does not parse is shown as such and names nothing: the last one that did
  // goes on naming.
  if (!EditedPattern(reason) || text == workspace_.settings.namePattern) return;
  workspace_.settings.namePattern = text;
  workspace_.SaveSettings();
  ApplyOutputChoice();
}

void MainWindow::OnRunOptionToggled() {
  if (showingOptions_) return;
  core::RunOptions& run = workspace_.settings.run;
  const bool updateOnlyBefore = run.updateOnly;
  run.updateOnly = updateOnlyCheck_->isChecked();
  run.verify = verifyAction_->isChecked();
  run.replayGain = replayGainAction_->isChecked();
  run.folderArt = folderArtAction_->isChecked();
  workspace_.SaveSettings();
  // An MP3 that exists is the run's to judge now (or no longer): the names follow.
  if (run.updateOnly != updateOnlyBefore) ApplyOutputChoice();
}

void MainWindow::ApplyOutputChoice() {
  const std::vector<int> changed = core::ApplyOutputChoice(workspace_.tasks, core::OutputChoiceOf(workspace_.settings));
  if (!changed.empty()) TasksChanged();
  if (CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
  ShowNamePreview();
}

void MainWindow::NameNewTask(core::ConversionTask& task) const {
  const core::TaskList& tasks = workspace_.tasks;
  task.outputFile = core::FreeOutputFile(task, core::OutputChoiceOf(workspace_.settings),
                                         [&tasks](const std::string& name) { return tasks.WritesTo(name); });
}

void MainWindow::TakeWizardOutput(core::ConversionTask& task, const core::ConversionTask& before) const {
  if (task.sourceFile != before.sourceFile && !before.ownOutput) {
    // Another source for a task that followed the choice: named as the choice names it.
    NameNewTask(task);
    return;
  }
  task.ownOutput = before.ownOutput || task.outputFile != before.outputFile;
}

std::vector<QWidget*> MainWindow::OutputControls() const {
  return {outputLocationSelector_, outputNamesSelector_, namePatternEdit_, updateOnlyCheck_, optionsButton_};
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
    for (QWidget* choice : OutputControls()) choice->setEnabled(false);
    controlsLocked_ = true;
    return;
  }
  addFilesButton_->setEnabled(true);
  addFolderButton_->setEnabled(true);
  for (QWidget* choice : OutputControls()) choice->setEnabled(true);
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
  // Given during a run: listed at once, converted when it ends.
  if (progress_ != nullptr && progress_->Running() && !adding_) {
    QueueForRun(paths);
    return;
  }
  // Given while a file is read or a window waits for an answer (from a second start of the
  // program, say): they wait for the window to be free.
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
  core::ConversionTask& working = workspace_.workingTask;
  working = core::TaskOf(inspection, workspace_.settings, workspace_.tasks, file.subfolder);
  working.subfolder = file.subfolder;
  NameNewTask(working);
  const core::ConversionTask proposed = working;
  const bool added = session.sameSettings || (wizard_ != nullptr && wizard_->ShowModal());
  // The wizard's Cancel ends the add.
  if (!added || !adding_) {
    FinishAdding();
    return;
  }
  core::ConversionTask task = workspace_.workingTask;
  TakeWizardOutput(task, proposed);
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

// ---- Files handed over during a run ----

void MainWindow::QueueForRun(const std::vector<std::string>& paths) {
  std::vector<core::AddedFile> files = core::CollectAddedFiles(paths, platform::mmstream::MediaFileExtensions());
  if (files.empty()) {
    readingStatusLabel_->setText(UiText(lang::NoMediaFilesFound) + QStringLiteral(" ") + PathText(paths.front()));
    return;
  }
  const bool reading = handOff_.has_value();
  if (!reading) handOff_ = HandOff{};
  handOff_->files.insert(handOff_->files.end(), files.begin(), files.end());
  if (!reading) ReadNextHandedOver();
}

void MainWindow::ReadNextHandedOver() {
  if (!handOff_) return;
  if (handOff_->next >= handOff_->files.size()) {
    const HandOff done = std::move(*handOff_);
    handOff_.reset();
    int queued = 0;
    for (int i = 0; i < workspace_.tasks.Count(); ++i) queued += workspace_.tasks[i].state == core::TaskState::Queued;
    readingStatusLabel_->setText(queued > 0 ? UiText(lang::HandedOverStatus).arg(queued) : QString());
    if (!done.refused.empty()) {
      std::string text = TranslatedText(lang::FilesNotAdded);
      for (const std::string& line : done.refused) text += "\n" + line;
      workspace_.messages.Show(core::MessageKind::Warning, text, lang::HelpButton, lang::OKButton);
    }
    // The run may have ended while the last files were read.
    if (progress_ == nullptr || !progress_->Running()) StartQueuedTasks();
    return;
  }
  const std::string& path = handOff_->files[handOff_->next].path;
  readingStatusLabel_->setText(UiText(lang::ReadingFileStatus) + QStringLiteral(" ") + PathText(path) +
                               QStringLiteral(" …"));
  if (!reader_.Read(path, [this](const core::Inspection& inspection) { OnHandedOverInspected(inspection); })) {
    handOff_->refused.push_back(path + ": " + TranslatedText(lang::ThreadNotCreated));
    ++handOff_->next;
    QTimer::singleShot(0, this, &MainWindow::ReadNextHandedOver);
  }
}

void MainWindow::OnHandedOverInspected(const core::Inspection& inspection) {
  if (!handOff_) return;
  const core::AddedFile file = handOff_->files[handOff_->next++];
  if (inspection.result != core::ReadResult::Ok) {
    handOff_->refused.push_back(file.path + ": " + core::ReadFailureReason(inspection.result, TranslatedText));
  } else {
    // The settings new tasks get, as "the same settings" gives them: no wizard over a run.
    core::ConversionTask task = core::TaskOf(inspection, workspace_.settings, workspace_.tasks, file.subfolder);
    task.subfolder = file.subfolder;
    NameNewTask(task);
    task.checked = true;
    task.state = core::TaskState::Queued;
    const int index = workspace_.tasks.Append(task);
    AppendTaskRow(index);
    taskListView_->scrollToItem(taskListView_->topLevelItem(index));
  }
  ReadNextHandedOver();
}

void MainWindow::StartQueuedTasks() {
  std::vector<int> queued;
  for (int i = 0; i < workspace_.tasks.Count(); ++i) {
    if (workspace_.tasks[i].state == core::TaskState::Queued) queued.push_back(i);
  }
  if (queued.empty() || handOff_) return;
  readingStatusLabel_->clear();
  const bool cancelled = progress_ == nullptr || (progress_->Run() != nullptr && progress_->Run()->Cancelled());
  if (cancelled) {
    // The user stopped converting: they stay checked for the next Start.
    for (int index : queued) {
      workspace_.tasks[index].state = core::TaskState::Ready;
      RefreshTaskRow(index);
    }
    return;
  }
  progress_->StartRun(queued);
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
  // An unfinished list is kept for the next start, which offers it back; the user is told so
  // the first time. A list with nothing left to do goes.
  KeepTasksNow();
  if (workspace_.taskStore.IsOpen() && workspace_.HasUnfinishedTasks() && !workspace_.settings.listKeptNoticeShown) {
    workspace_.messages.Show(core::MessageKind::Information, lang::ListKeptNotice, lang::HelpButton, lang::OKButton);
    workspace_.settings.listKeptNoticeShown = true;
  }
  workspace_.SaveSettings();
  // The other windows are hidden by now, so the program ends with this one.
  event->accept();
}

// ---- The task list kept on disk ----

void MainWindow::TasksChanged() {
  if (keptTasksSettled_ && workspace_.taskStore.IsOpen() && !keepTimer_->isActive()) keepTimer_->start();
}

void MainWindow::KeepTasksNow() {
  keepTimer_->stop();
  // Until the kept list was offered back, it is the last session's and stays as it is.
  if (!keptTasksSettled_) return;
  std::string error;
  if (!workspace_.KeepTasks(&error))
    statusRightLabel_->setText(UiText(lang::ListNotWritten) + QStringLiteral(" ") + ToQString(error));
  else if (statusRightLabel_->text().startsWith(UiText(lang::ListNotWritten)))
    statusRightLabel_->clear();
}

void MainWindow::OfferKeptTasks() {
  if (keptTasksSettled_) return;
  keptTasksSettled_ = true;
  if (!workspace_.taskStore.IsOpen()) {
    // Nothing is lost silently: a list that cannot be kept is said so once, where it stays seen.
    if (workspace_.taskStore.HeldElsewhere()) {
      statusRightLabel_->setText(UiText(lang::ListKeptElsewhere));
    } else if (!workspace_.taskStore.Path().empty()) {
      statusRightLabel_->setText(UiText(lang::ListNotWritten) + QStringLiteral(" ") + PathText(workspace_.taskStore.Path()));
    }
    return;
  }
  std::optional<std::vector<core::ConversionTask>> kept = workspace_.taskStore.Load();
  const auto unfinished = kept ? std::count_if(kept->begin(), kept->end(),
                                               [](const core::ConversionTask& task) { return !core::Finished(task.state); })
                               : 0;
  // Nothing to bring back (no list, a damaged one, or one with every MP3 made): it goes.
  if (unfinished == 0) {
    workspace_.taskStore.Discard();
    return;
  }
  const std::string question = UiText(lang::BringBackQuestion)
                                   .arg(static_cast<qlonglong>(kept->size()))
                                   .arg(static_cast<qlonglong>(unfinished))
                                   .toStdString();
  if (workspace_.messages.Show(core::MessageKind::Question, question, lang::NoButton, lang::YesButton) != Answer::First) {
    workspace_.taskStore.Discard();
    return;
  }
  int first = -1;
  for (const core::ConversionTask& task : *kept) {
    const int index = workspace_.tasks.Append(core::RecoveredTask(task));
    if (first < 0 && !core::Finished(task.state)) first = index;
  }
  RefreshTaskList();
  SetCurrentRow(first);
  UpdateButtons();
  ShowTaskInfo(first);
  readingStatusLabel_->setText(UiText(lang::TasksBroughtBack).arg(static_cast<qlonglong>(kept->size())));
  KeepTasksNow();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A click anywhere on the list, the empty area and the hint row included.
  if (watched == taskListView_->viewport() && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, this, &MainWindow::OnTaskListClicked);
  }
  if (watched == taskListView_->viewport() && event->type() == QEvent::Resize && !columnsPending_) {
    columnsPending_ = true;
    QTimer::singleShot(0, this, &MainWindow::FitColumnsNow);
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
// converts, the MP3's size when it is done (verified, or with a warning) and the reason when it
// failed.
QString StatusText(const core::ConversionTask& task, int percent) {
  const auto withSize = [&task](const char* state) {
    const auto kilobytes = static_cast<std::int32_t>(std::min<std::int64_t>(task.outputBytes / 1024, INT32_MAX));
    return UiText(state) + QStringLiteral(" (") +
           ToQString(core::FormatSize(kilobytes, QLocale().decimalPoint().toStdString())) + QStringLiteral(")");
  };
  switch (task.state) {
    case core::TaskState::Ready: return {};
    case core::TaskState::Queued: return UiText(lang::QueuedState);
    case core::TaskState::Converting:
      return UiText(lang::ConvertingState) + QStringLiteral(" %1%").arg(percent);
    case core::TaskState::Done:
      if (!task.stateDetail.empty()) return withSize(lang::DoneWithWarningState);
      return withSize(task.verified ? lang::VerifiedState : lang::DoneState);
    case core::TaskState::UpToDate: return UiText(lang::UpToDateState);
    case core::TaskState::Failed: return UiText(lang::FailedState) + QStringLiteral(": ") + ToQString(task.stateDetail);
    case core::TaskState::Waiting: return UiText(lang::WaitingState);
    case core::TaskState::Skipped: return UiText(lang::SkippedState);
    case core::TaskState::Cancelled: return UiText(lang::CancelledState);
  }
  return {};
}

// The icon beside a status that needs a second look.
QIcon StatusIcon(const core::ConversionTask& task) {
  const bool warned = task.state == core::TaskState::Done && !task.stateDetail.empty();
  if (warned) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  if (task.state == core::TaskState::Failed) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
  return {};
}

void ShowTask(QTreeWidgetItem* row, const core::ConversionTask& task, int percent) {
  row->setText(kTitleColumn, ToQString(task.title.str()));
  row->setToolTip(kTitleColumn, ToQString(task.sourceFile));
  row->setText(kFileColumn, ToQString(platform::FileNameOf(task.sourceFile)));
  row->setToolTip(kFileColumn, ToQString(task.sourceFile));
  row->setCheckState(kTitleColumn, task.checked ? Qt::Checked : Qt::Unchecked);
  const QString status = StatusText(task, percent);
  row->setText(kStatusColumn, status);
  row->setIcon(kStatusColumn, StatusIcon(task));
  // A reason or a warning may be long, and the column is narrower than some: all of it on hover.
  row->setToolTip(kStatusColumn, task.stateDetail.empty() ? status : ToQString(task.stateDetail));
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

int MainWindow::TextWidth(int row, int column) const {
  QStyleOptionViewItem option;
  option.initFrom(taskListView_);
  option.widget = taskListView_;
  option.font = taskListView_->font();
  const int iconSide = taskListView_->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, taskListView_);
  option.decorationSize = QSize(iconSide, iconSide);
  // A little room after the text, so that the next column's does not run into it.
  return taskListView_->itemDelegate()->sizeHint(option, taskListView_->model()->index(row, column)).width() +
         taskListView_->fontMetrics().averageCharWidth();
}

void MainWindow::FitColumns(int row) {
  if (row < 0 || workspace_.tasks.Empty()) {
    columnsMeasured_ = false;
  } else if (columnsMeasured_) {
    // One row's texts can only widen what the others need; a narrower text is measured with
    // all of them, since it may have been the widest.
    for (const int column : {kFileColumn, kStatusColumn}) {
      const int width = TextWidth(row, column);
      int& wanted = columnWidths_[column == kFileColumn ? 0 : 1];
      if (width >= wanted) {
        wanted = width;
      } else {
        columnsMeasured_ = false;
      }
    }
  }
  if (columnsPending_) return;
  columnsPending_ = true;
  QTimer::singleShot(0, this, &MainWindow::FitColumnsNow);
}

void MainWindow::FitColumnsNow() {
  columnsPending_ = false;
  QHeaderView* header = taskListView_->header();
  if (!columnsMeasured_) {
    const int rows = workspace_.tasks.Empty() ? 0 : taskListView_->topLevelItemCount();
    for (int i = 0; i < 2; ++i) {
      const int column = i == 0 ? kFileColumn : kStatusColumn;
      columnWidths_[i] = header->sectionSizeHint(column);
      for (int row = 0; row < rows; ++row) columnWidths_[i] = std::max(columnWidths_[i], TextWidth(row, column));
    }
    columnsMeasured_ = true;
  }
  // Each column as wide as its widest text (and its heading), up to a share of the list: the
  // title keeps at least a third, and a text still cut is whole in its tooltip.
  const int room = taskListView_->viewport()->width();
  header->resizeSection(kFileColumn, std::min(columnWidths_[0], room * 25 / 100));
  header->resizeSection(kStatusColumn, std::min(columnWidths_[1], room * 40 / 100));
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
  FitColumns();
  ShowNamePreview();
}

void MainWindow::AppendTaskRow(int index) {
  fillingList_ = true;
  if (workspace_.tasks.Count() == 1) taskListView_->clear();  // the hint row goes
  if (taskListView_->topLevelItemCount() < index + 1) taskListView_->addTopLevelItem(TaskRow(workspace_.tasks[index]));
  taskListView_->topLevelItem(index)->setCheckState(kTitleColumn, Qt::Checked);
  fillingList_ = false;
  UpdateButtons();
  FitColumns(workspace_.tasks.Count() == 1 ? -1 : index);
  if (index == 0) ShowNamePreview();
  TasksChanged();
}

void MainWindow::RefreshTaskRow(int index) {
  QTreeWidgetItem* row = taskListView_->topLevelItem(index);
  if (row == nullptr || index >= workspace_.tasks.Count()) return;
  fillingList_ = true;
  const QString before = row->text(kStatusColumn);
  ShowTask(row, workspace_.tasks[index], progress_ != nullptr ? progress_->TaskPercent(index) : 0);
  fillingList_ = false;
  if (row->text(kStatusColumn) != before) FitColumns(index);
  TasksChanged();
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
    TasksChanged();
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
  TasksChanged();
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
  const core::ConversionTask before = workspace_.tasks[index];
  workspace_.workingTask = before;
  if (!wizard_->ShowModal()) return;
  core::ConversionTask& edited = workspace_.workingTask;
  TakeWizardOutput(edited, before);
  // Changed settings make the last run's result a thing of the past.
  edited.state = core::TaskState::Ready;
  edited.stateDetail.clear();
  edited.verified = false;
  workspace_.tasks.Store(index, edited);
  TasksChanged();
  RefreshTaskRow(index);
  ShowTaskInfo(index);
}

void MainWindow::OnStartClicked() {
  if (!CanAct()) return;
  if (workspace_.tasks.Empty()) {
    workspace_.messages.Show(core::MessageKind::Information, lang::NothingToConvert, lang::HelpButton, lang::OKButton);
    return;
  }
  if (progress_ != nullptr) progress_->StartRun();
}

void MainWindow::OnRunEnded() {
  // Converted files now exist: their output names become links.
  if (CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
  KeepTasksNow();
  // Files that came during the run go next (once the last of them is read).
  StartQueuedTasks();
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
