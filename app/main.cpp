#include "app/main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/about.h"
#include "app/add.h"
#include "app/inspect.h"
#include "app/lang.h"
#include "app/product.h"
#include "app/read_source.h"
#include "app/settings.h"
#include "app/task_info.h"
#include "app/tips.h"
#include "engine/msgbox.h"
#include "engine/progress.h"
#include "engine/shell.h"

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

TmainFrm::FileChooser& Chooser() {
  static TmainFrm::FileChooser chooser;
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

TmainFrm::TmainFrm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("TmainFrm"));
  BuildLayout();
  FormCreate();
}

void TmainFrm::BuildLayout() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  setAcceptDrops(true);
  setWindowIcon(ProductIcon());

  // The task list inside its margins.
  clientPanel = new QWidget(central);
  clientPanel->setObjectName(QStringLiteral("clientPanel"));
  taskPanel = new QGroupBox(clientPanel);
  taskPanel->setObjectName(QStringLiteral("taskPanel"));
  TaskList = new QListWidget(taskPanel);
  TaskList->setObjectName(QStringLiteral("TaskList"));
  TaskList->setSelectionMode(QAbstractItemView::SingleSelection);
  TaskList->setUniformItemSizes(true);
  TaskList->viewport()->installEventFilter(this);
  auto* taskLayout = new QVBoxLayout(taskPanel);
  taskLayout->addWidget(TaskList);
  auto* clientLayout = new QVBoxLayout(clientPanel);
  clientLayout->setContentsMargins(28, 24, 7, 11);  // the margin strips Splitter1, 3, 4 and 2
  clientLayout->addWidget(taskPanel);

  // The button column at its fixed places.
  rightPanel = new QWidget(central);
  rightPanel->setObjectName(QStringLiteral("rightPanel"));
  rightPanel->setFixedWidth(141);
  addFileBtn = Button(rightPanel, "addFileBtn", QRect(16, 24, 97, 27));
  rmFileBtn = Button(rightPanel, "rmFileBtn", QRect(16, 64, 97, 27));
  editFileBtn = Button(rightPanel, "editFileBtn", QRect(16, 104, 97, 27));
  startBtn = Button(rightPanel, "startBtn", QRect(16, 144, 97, 41));
  QFont bold = startBtn->font();
  bold.setBold(true);
  startBtn->setFont(bold);
  helpBtn = Button(rightPanel, "helpBtn", QRect(16, 200, 97, 27));
  aboutBtn = Button(rightPanel, "aboutBtn", QRect(16, 232, 97, 27));
  rightPanel->setMinimumHeight(259 + 12);

  // The info panel inside its margins.
  btmPanel = new QWidget(central);
  btmPanel->setObjectName(QStringLiteral("btmPanel"));
  btmPanel->setFixedHeight(128);
  infoPanel = new QGroupBox(btmPanel);
  infoPanel->setObjectName(QStringLiteral("infoPanel"));
  taskInfo_1 = InfoLabel(infoPanel, "taskInfo_1");
  taskInfo_2 = InfoLabel(infoPanel, "taskInfo_2");
  TaskInfo_5 = InfoLabel(infoPanel, "TaskInfo_5");
  taskinfo_3 = InfoLabel(infoPanel, "taskinfo_3");
  Taskinfo_4 = InfoLabel(infoPanel, "Taskinfo_4");
  auto* lastLine = new QHBoxLayout;
  lastLine->setSpacing(10);  // the edit link stands 10 pixels right of the duration line
  lastLine->addWidget(taskinfo_3);
  lastLine->addWidget(Taskinfo_4);
  lastLine->addStretch(1);
  auto* infoLayout = new QVBoxLayout(infoPanel);
  infoLayout->setContentsMargins(8, 4, 8, 4);
  infoLayout->setSpacing(0);
  infoLayout->addWidget(taskInfo_1);
  infoLayout->addWidget(taskInfo_2);
  infoLayout->addWidget(TaskInfo_5);
  infoLayout->addLayout(lastLine);
  infoLayout->addStretch(1);
  auto* btmLayout = new QVBoxLayout(btmPanel);
  btmLayout->setContentsMargins(28, 12, 28, 11);  // the margin strips Splitter5, 7, 8 and 6
  btmLayout->addWidget(infoPanel);
  for (QLabel* label : {taskInfo_1, taskInfo_2, TaskInfo_5, taskinfo_3, Taskinfo_4})
    connect(label, &QLabel::linkActivated, this, &TmainFrm::taskInfo_1HyperLinkClick);

  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(clientPanel, 0, 0);
  grid->addWidget(rightPanel, 0, 1);
  grid->addWidget(btmPanel, 1, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(0, 1);

  statusPanel0 = new QLabel(this);
  statusPanel0->setObjectName(QStringLiteral("statusBarPanel0"));
  statusPanel0->setMinimumWidth(400);
  statusPanel1 = new QLabel(this);
  statusPanel1->setObjectName(QStringLiteral("statusBarPanel1"));
  statusPanel1->setFixedWidth(50);
  statusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->setFixedHeight(std::max(19, statusBar()->sizeHint().height()));
  statusBar()->addWidget(statusPanel0, 1);
  statusBar()->addPermanentWidget(statusPanel1);

  AddFilesDlg = new QFileDialog(this, QStringLiteral("Select File(s) to Convert..."));
  AddFilesDlg->setObjectName(QStringLiteral("AddFilesDlg"));

  connect(addFileBtn, &QPushButton::clicked, this, &TmainFrm::addFileBtnClick);
  connect(rmFileBtn, &QPushButton::clicked, this, &TmainFrm::rmFileBtnClick);
  connect(editFileBtn, &QPushButton::clicked, this, &TmainFrm::editFileBtnClick);
  connect(startBtn, &QPushButton::clicked, this, &TmainFrm::startBtnClick);
  connect(helpBtn, &QPushButton::clicked, this, &TmainFrm::helpBtnClick);
  connect(aboutBtn, &QPushButton::clicked, this, &TmainFrm::aboutBtnClick);
  connect(TaskList, &QListWidget::itemChanged, this, &TmainFrm::TaskListClickCheck);
  connect(TaskList, &QListWidget::itemDoubleClicked, this, &TmainFrm::TaskListDblClick);
  // Moving through the list with the keys shows the row moved to.
  connect(TaskList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!fillingList_ && row >= 0 && UpdateButtons()) ShowTaskInfo(row);
  });

  resize(501, 451);
  setMinimumSize(200, 50);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TmainFrm::SetWindows(TaddFrm* wizard, engine::TprgFrm* progress, TTipsFrm* tipsWindow) {
  wizard_ = wizard;
  progress_ = progress;
  tips_ = tipsWindow;
}

void TmainFrm::FormCreate() {
  ReadingDone.store(true, std::memory_order_release);
  ControlsLocked = false;
  setWindowTitle(Q(ProductTitle) + QStringLiteral("   ") + Q(MakerMark));
  AddFilesDlg->setNameFilters(DialogNameFilters(FileFilter));
  rmFileBtn->setEnabled(false);
  editFileBtn->setEnabled(false);
  startBtn->setEnabled(false);
}

void TmainFrm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Shown by the program (at start, or back from the notification area), not restored from
  // a minimised state by the window manager.
  if (!event->spontaneous()) FormShow();
}

void TmainFrm::FormShow() {
  TaskList->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid rgb(255, 255, 255); }"));
  taskPanel->setTitle(Q(lang::TaskListCaption));
  infoPanel->setTitle(Q(lang::ConvertingSettingsCaption));
  addFileBtn->setText(Q(lang::AddFilesButton));
  rmFileBtn->setText(Q(lang::RemoveButton));
  editFileBtn->setText(Q(lang::EditButton));
  startBtn->setText(Q(lang::StartButton));
  helpBtn->setText(Q(lang::HelpButton));
  aboutBtn->setText(Q(lang::AboutButton));
  RefreshTaskList();
  ShowTaskInfo(-1);
  // After the window is on screen, as the tips come after the main window.
  if (tips < TipsOff && tips_ != nullptr) {
    QTimer::singleShot(0, this, [this] {
      if (tips < TipsOff && !tips_->isVisible()) tips_->exec();
    });
  }
}

bool TmainFrm::CanAct() {
  // A run hidden to the notification area is still a run.
  const bool progressShown = progress_ != nullptr && (progress_->isVisible() || progress_->Running());
  if (ReadingDone.load(std::memory_order_acquire) && !progressShown) return true;
  engine::ShowMessageWindow(engine::mkInformation, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
  return false;
}

void TmainFrm::LockControls(bool lock) {
  if (lock) {
    for (QPushButton* button : {addFileBtn, rmFileBtn, editFileBtn, startBtn}) button->setEnabled(false);
    ControlsLocked = true;
    return;
  }
  addFileBtn->setEnabled(true);
  ControlsLocked = false;
  UpdateButtons();
}

void TmainFrm::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

void TmainFrm::addFileBtnClick() { AddFiles(std::nullopt); }

void TmainFrm::AddFiles(const std::optional<std::vector<std::string>>& dropped) {
  if (!CanAct()) return;
  LockControls(true);
  std::vector<std::string> files;
  if (dropped) {
    files = *dropped;
  } else {
    AddFilesDlg->setFileMode(QFileDialog::ExistingFiles);
    AddFilesDlg->setOption(QFileDialog::ReadOnly, false);
    AddFilesDlg->setDirectory(QString::fromStdString(DefaultSettings.InputFileDir));
    std::optional<QStringList> chosen;
    if (Chooser()) {
      chosen = Chooser()(*AddFilesDlg);
    } else if (AddFilesDlg->exec() == QDialog::Accepted) {
      chosen = AddFilesDlg->selectedFiles();
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
      sameSettings = engine::ShowMessageWindow(engine::mkQuestion, lang::UseSameSettingsQuestion, lang::NoButton,
                                               lang::YesButton) == 1;
    }
  }
  LockControls(false);
}

bool TmainFrm::AddOneFile(const std::string& path, bool sameSettings) {
  statusPanel0->setText(Q(lang::ReadingFileStatus) + QString::fromStdString(path) + QStringLiteral(" ..."));
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
  statusPanel0->clear();
  return added;
}

void TmainFrm::dfFormBeforeDrop() { fltExt_ = DropExtensions(FileFilter); }

void TmainFrm::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void TmainFrm::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  event->acceptProposedAction();
  dfFormDropFiles(paths);
}

void TmainFrm::dfFormDropFiles(const std::vector<std::string>& paths) {
  dfFormBeforeDrop();
  const std::vector<std::string> accepted = AcceptedDrops(paths, fltExt_);
  if (accepted.empty()) return;
  raise();
  activateWindow();
  AddFiles(accepted);
}

void TmainFrm::helpBtnClick() { engine::OpenHelpFile(); }

void TmainFrm::aboutBtnClick() { ShowAboutWindow(this); }

void TmainFrm::closeEvent(QCloseEvent* event) {
  if (!CanAct()) {
    event->ignore();
    return;
  }
  SaveSettings();
  // The other windows are hidden by now, so the program ends with this one.
  event->accept();
}

bool TmainFrm::eventFilter(QObject* watched, QEvent* event) {
  // A click anywhere on the list, the empty area and the hint row included.
  if (watched == TaskList->viewport() && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, this, &TmainFrm::TaskListClick);
  }
  return QMainWindow::eventFilter(watched, event);
}
