#include "app/add.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

#include "app/api.h"
#include "app/common.h"
#include "app/genres.h"
#include "app/inspect.h"
#include "app/lang.h"
#include "app/output_folder.h"
#include "app/output_name.h"
#include "app/selector_values.h"
#include "app/settings.h"
#include "app/tag_history.h"
#include "engine/msgbox.h"
#include "platform/errtext.h"

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kErrorKind = 0;
constexpr int kQuestionKind = 2;

// Texts of the window; file paths go through the file-name coding, so names that are not
// valid UTF-8 survive the round trip.
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A question through the message window: true when the answer is Yes.
bool AskYes(const std::string& text) {
  return engine::ShowMessageWindow(kQuestionKind, text, lang::NoButton, lang::YesButton) == 1;
}

void ShowError(const std::string& text) {
  engine::ShowMessageWindow(kErrorKind, text, lang::HelpButton, lang::OKButton);
}

QComboBox* MakeSelector(QWidget* parent, const char* name, const std::vector<std::string>& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  for (const std::string& item : items) box->addItem(Q(item));
  box->setCurrentIndex(-1);  // nothing chosen until the first show
  return box;
}

QComboBox* MakeEditableBox(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setEditable(true);
  // Values join a list only when the wizard finishes, never when Enter is pressed.
  box->setInsertPolicy(QComboBox::NoInsert);
  return box;
}

// Selects the item whose text is `text` (exactly). A value that matches no item keeps the
// current choice; a selector that has none yet takes the item nearest to the value, so Finish
// always reads an allowed number.
void SelectItem(QComboBox* box, const std::string& text, std::int32_t value, const std::vector<std::string>& items) {
  const int index = box->findText(Q(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0) {
    box->setCurrentIndex(index);
  } else if (box->currentIndex() < 0) {
    box->setCurrentIndex(NearestItemIndex(items, value));
  }
}

std::int32_t SelectedNumber(const QComboBox* box) { return LeadingNumber(box->currentText().toStdString()); }

// The history lists keep their items sorted without regard to case, as the drop-downs show them.
bool SortsBefore(const QString& a, const QString& b) {
  const int folded = QString::compare(a, b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void AddSorted(QComboBox* box, const QString& value) {
  int index = 0;
  while (index < box->count() && !SortsBefore(value, box->itemText(index))) ++index;
  box->insertItem(index, value);
}

std::vector<std::string> Items(const QComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
  return items;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// The key handlers of the two read-only name boxes open their dialog for every key a person
// types to change a name: characters, arrows, Delete, function keys. Keys that move between
// controls, confirm or cancel the window, erase backwards or only modify do nothing.
bool OpensFileDialog(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_unknown:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_Pause:
    case Qt::Key_Clear:
      return false;
    default:
      return true;
  }
}

// An output name split at its last "/" into its folder (with the "/") and its file name.
struct NameParts {
  std::string folder, fileName;
};
NameParts SplitName(const std::string& name) { return {FolderOf(name), FileNameOf(name)}; }

}  // namespace

TaddFrm::TaddFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("TaddFrm"));
  setModal(true);

  // Page 1: the input and output files and what the input holds.
  addPage1 = new QWidget;
  addPage1->setObjectName(QStringLiteral("addPage1"));
  InputFileLabel = new QLabel(addPage1);
  InputFileLabel->setObjectName(QStringLiteral("InputFileLabel"));
  srcFile = new QLineEdit(addPage1);
  srcFile->setObjectName(QStringLiteral("srcFile"));
  srcFile->setReadOnly(true);
  addFileBtn = new QToolButton(addPage1);
  addFileBtn->setObjectName(QStringLiteral("addFileBtn"));
  addFileBtn->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  outFileLabel = new QLabel(addPage1);
  outFileLabel->setObjectName(QStringLiteral("outFileLabel"));
  dstFile = new QLineEdit(addPage1);
  dstFile->setObjectName(QStringLiteral("dstFile"));
  dstFile->setReadOnly(true);
  outFileBtn = new QToolButton(addPage1);
  outFileBtn->setObjectName(QStringLiteral("outFileBtn"));
  outFileBtn->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  InputFileLabel->setBuddy(srcFile);
  outFileLabel->setBuddy(dstFile);
  inputFileInfoPanel = new QGroupBox(addPage1);
  inputFileInfoPanel->setObjectName(QStringLiteral("inputFileInfoPanel"));
  inFileInfoList = new QListWidget(inputFileInfoPanel);
  inFileInfoList->setObjectName(QStringLiteral("inFileInfoList"));
  inFileInfoList->setSelectionMode(QAbstractItemView::NoSelection);
  inFileInfoList->setFocusPolicy(Qt::NoFocus);
  (new QVBoxLayout(inputFileInfoPanel))->addWidget(inFileInfoList);
  auto* page1 = new QGridLayout(addPage1);
  page1->setContentsMargins(0, 0, 0, 0);
  page1->addWidget(InputFileLabel, 0, 0, 1, 2);
  page1->addWidget(srcFile, 1, 0);
  page1->addWidget(addFileBtn, 1, 1);
  page1->addWidget(outFileLabel, 2, 0, 1, 2);
  page1->addWidget(dstFile, 3, 0);
  page1->addWidget(outFileBtn, 3, 1);
  page1->addItem(new QSpacerItem(0, 8), 4, 0);
  page1->addWidget(inputFileInfoPanel, 5, 0, 1, 2);
  page1->setRowStretch(5, 1);

  // Page 2: the MP3 settings.
  addPage2 = new QWidget;
  addPage2->setObjectName(QStringLiteral("addPage2"));
  auto* bitrateGroup = new QGroupBox(QStringLiteral("MP3 Bitrate "), addPage2);
  bitrateGroup->setObjectName(QStringLiteral("bitrateGroup"));
  VBRCheck = new QCheckBox(QStringLiteral(" Use &Variable Bitrate Mode"), bitrateGroup);
  VBRCheck->setObjectName(QStringLiteral("VBRCheck"));
  BitrateSettingsPage = new QStackedWidget(bitrateGroup);
  BitrateSettingsPage->setObjectName(QStringLiteral("BitrateSettingsPage"));
  auto* constantPage = new QWidget;
  bitRateSel = MakeSelector(constantPage, "bitRateSel", BitrateItems());
  auto* constantLayout = new QHBoxLayout(constantPage);
  constantLayout->setContentsMargins(0, 0, 0, 0);
  constantLayout->addWidget(bitRateSel);
  constantLayout->addStretch(1);
  auto* variablePage = new QWidget;
  minBitrateSel = MakeSelector(variablePage, "minBitrateSel", BitrateItems());
  maxBitrateSel = MakeSelector(variablePage, "maxBitrateSel", BitrateItems());
  auto* minLabel = new QLabel(QStringLiteral("Min:"), variablePage);
  auto* maxLabel = new QLabel(QStringLiteral("Max:"), variablePage);
  minLabel->setBuddy(minBitrateSel);
  maxLabel->setBuddy(maxBitrateSel);
  auto* variableLayout = new QHBoxLayout(variablePage);
  variableLayout->setContentsMargins(0, 0, 0, 0);
  variableLayout->addWidget(minLabel);
  variableLayout->addWidget(minBitrateSel);
  variableLayout->addSpacing(12);
  variableLayout->addWidget(maxLabel);
  variableLayout->addWidget(maxBitrateSel);
  variableLayout->addStretch(1);
  BitrateSettingsPage->addWidget(constantPage);
  BitrateSettingsPage->addWidget(variablePage);
  auto* bitrateLayout = new QVBoxLayout(bitrateGroup);
  bitrateLayout->addWidget(VBRCheck);
  bitrateLayout->addWidget(BitrateSettingsPage);

  auto* sampleRateGroup = new QGroupBox(QStringLiteral(" Sample Rate "), addPage2);
  sampleRateGroup->setObjectName(QStringLiteral("sampleRateGroup"));
  samplerateSel = MakeSelector(sampleRateGroup, "samplerateSel", SampleRateItems());
  auto* sampleRateLayout = new QHBoxLayout(sampleRateGroup);
  sampleRateLayout->addWidget(samplerateSel);
  sampleRateLayout->addStretch(1);
  auto* channelGroup = new QGroupBox(QStringLiteral("Channel Mode"), addPage2);
  channelGroup->setObjectName(QStringLiteral("channelGroup"));
  ChannelModeSel = MakeSelector(channelGroup, "ChannelModeSel", ChannelModeItems());
  auto* channelLayout = new QHBoxLayout(channelGroup);
  channelLayout->addWidget(ChannelModeSel);
  channelLayout->addStretch(1);
  auto* page2 = new QVBoxLayout(addPage2);
  page2->setContentsMargins(0, 0, 0, 0);
  page2->addWidget(bitrateGroup);
  page2->addWidget(sampleRateGroup);
  page2->addWidget(channelGroup);
  page2->addStretch(1);

  // Page 3: the tag texts; four of them offer their history, the genre the genre names.
  addPage3 = new QWidget;
  addPage3->setObjectName(QStringLiteral("addPage3"));
  tagPanel = new QGroupBox(addPage3);
  tagPanel->setObjectName(QStringLiteral("tagPanel"));
  titleEdit = new QLineEdit(tagPanel);
  titleEdit->setObjectName(QStringLiteral("titleEdit"));
  albumEdit = MakeEditableBox(tagPanel, "albumEdit");
  artistEdit = MakeEditableBox(tagPanel, "artistEdit");
  GenreEdit = MakeEditableBox(tagPanel, "GenreEdit");
  for (const char* genre : GenreNames) GenreEdit->addItem(QString::fromUtf8(genre));
  YearEdit = MakeEditableBox(tagPanel, "YearEdit");
  commentEdit = MakeEditableBox(tagPanel, "commentEdit");
  auto* tags = new QFormLayout(tagPanel);
  tags->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  tags->addRow(QStringLiteral("Title:"), titleEdit);
  tags->addRow(QStringLiteral("Album:"), albumEdit);
  tags->addRow(QStringLiteral("Artist:"), artistEdit);
  tags->addRow(QStringLiteral("Genre:"), GenreEdit);
  tags->addRow(QStringLiteral("Year:"), YearEdit);
  tags->addRow(QStringLiteral("Comment:"), commentEdit);
  auto* page3 = new QVBoxLayout(addPage3);
  page3->setContentsMargins(0, 0, 0, 0);
  page3->addWidget(tagPanel);
  page3->addStretch(1);

  addPages = new QStackedWidget(this);
  addPages->setObjectName(QStringLiteral("addPages"));
  addPages->addWidget(addPage1);
  addPages->addWidget(addPage2);
  addPages->addWidget(addPage3);

  cancelBtn = new QPushButton(this);
  cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
  cancelBtn->setAutoDefault(false);
  backBtn = new QPushButton(this);
  backBtn->setObjectName(QStringLiteral("backBtn"));
  backBtn->setAutoDefault(false);
  nextBtn = new QPushButton(this);
  nextBtn->setObjectName(QStringLiteral("nextBtn"));
  nextBtn->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(backBtn);
  buttons->addWidget(nextBtn);
  buttons->addSpacing(10);
  buttons->addWidget(cancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(addPages, 1);
  layout->addLayout(buttons);

  AddFilesDlg = new QFileDialog(this);
  AddFilesDlg->setObjectName(QStringLiteral("AddFilesDlg"));
  AddFilesDlg->setAcceptMode(QFileDialog::AcceptOpen);
  AddFilesDlg->setFileMode(QFileDialog::ExistingFile);
  outFileDlg = new QFileDialog(this);
  outFileDlg->setObjectName(QStringLiteral("outFileDlg"));
  outFileDlg->setAcceptMode(QFileDialog::AcceptSave);
  outFileDlg->setFileMode(QFileDialog::AnyFile);
  outFileDlg->setNameFilter(QStringLiteral("MP3 Files(*.mp3)"));
  outFileDlg->setDefaultSuffix(QStringLiteral("mp3"));
  // Replacing an existing file is asked on Next, with the rest of the output name's checks.
  outFileDlg->setOption(QFileDialog::DontConfirmOverwrite);

  setMinimumSize(329, 326);
  resize(329, 326);

  connect(addPages, &QStackedWidget::currentChanged, this, &TaddFrm::PageShown);
  connect(cancelBtn, &QPushButton::clicked, this, &TaddFrm::cancelBtnClick);
  connect(backBtn, &QPushButton::clicked, this, &TaddFrm::backBtnClick);
  connect(nextBtn, &QPushButton::clicked, this, &TaddFrm::suiButton4Click);
  connect(addFileBtn, &QToolButton::clicked, this, &TaddFrm::addFileBtnClick);
  connect(outFileBtn, &QToolButton::clicked, this, &TaddFrm::outFileBtnClick);
  connect(VBRCheck, &QCheckBox::clicked, this, &TaddFrm::VBRCheckClick);
  srcFile->installEventFilter(this);
  dstFile->installEventFilter(this);
}

int TaddFrm::ShowModal(bool adding) {
  Adding = adding;
  return exec() == kOk ? kOk : kCancel;
}

void TaddFrm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TaddFrm::FormShow() {
  setWindowTitle(Q(lang::SettingsCaption) + QStringLiteral(" ..."));
  InputFileLabel->setText(Q(lang::InputFileLabel) + QStringLiteral(":"));
  outFileLabel->setText(Q(lang::OutputFileLabel) + QStringLiteral(":"));
  inputFileInfoPanel->setTitle(Q(lang::InputFileInformationCaption));
  tagPanel->setTitle(Q(lang::TagEditorCaption));
  cancelBtn->setText(Q(lang::CancelButton));
  nextBtn->setText(Q(lang::NextButton) + QStringLiteral(" >"));
  backBtn->setText(QStringLiteral("< ") + Q(lang::BackButton));
  inFileInfoList->setStyleSheet(
      QStringLiteral("QListWidget { background: white; color: black; border: 1px solid white; }"));
  if (addPages->currentIndex() == 0) {
    addPage1Show();
  } else {
    addPages->setCurrentIndex(0);
  }

  ShowInputInformation();

  const TConversionTask& task = WorkingTask;
  dstFile->setText(FromPath(task.OutputFile));
  SelectItem(bitRateSel, std::to_string(task.Bitrate) + " kbps", task.Bitrate, BitrateItems());
  SelectItem(minBitrateSel, std::to_string(task.VbrMinBitrate) + " kbps", task.VbrMinBitrate, BitrateItems());
  SelectItem(maxBitrateSel, std::to_string(task.VbrMaxBitrate) + " kbps", task.VbrMaxBitrate, BitrateItems());
  SelectItem(samplerateSel, std::to_string(task.SampleRate) + " Hz", task.SampleRate, SampleRateItems());
  if (task.ChannelMode >= 0 && task.ChannelMode < ChannelModeSel->count()) {
    ChannelModeSel->setCurrentIndex(task.ChannelMode);
  } else if (ChannelModeSel->currentIndex() < 0) {
    ChannelModeSel->setCurrentIndex(DefaultChannelMode);
  }
  VBRCheck->setChecked(task.Vbr);
  BitrateSettingsPage->setCurrentIndex(task.Vbr ? 1 : 0);

  ShowTags();
  LoadHistoryLists();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TaddFrm::ShowInputInformation() {
  const TConversionTask& task = WorkingTask;
  srcFile->setText(FromPath(task.SourceFile));
  inFileInfoList->clear();
  inFileInfoList->addItem(QStringLiteral(" ") + Q(lang::DurationLabel) + QStringLiteral(": ") +
                          Q(FormatDuration(task.Duration)));
  std::string channels;
  if (task.SourceChannels == 1) channels = lang::SingleChannel;
  if (task.SourceChannels == 2) channels = lang::DualChannels;
  inFileInfoList->addItem(QStringLiteral(" ") + Q(lang::AudioLabel) + QStringLiteral(": ") +
                          QString::number(task.SourceSampleRate) + QStringLiteral("HZ, ") + Q(channels));
}

void TaddFrm::ShowTags() {
  const TConversionTask& task = WorkingTask;
  titleEdit->setText(Q(task.Title));
  artistEdit->setEditText(Q(task.Artist));
  GenreEdit->setEditText(Q(task.Genre));
  YearEdit->setEditText(Q(task.Year));
  albumEdit->setEditText(Q(task.Album));
  commentEdit->setEditText(Q(task.Comment));
}

void TaddFrm::LoadHistoryLists() {
  const std::array<QComboBox*, 4> boxes = {albumEdit, artistEdit, YearEdit, commentEdit};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    QComboBox* box = boxes[i];
    // Clearing and filling an editable box would replace its text: keep the task's value.
    const QString text = box->currentText();
    box->clear();
    const TagHistoryRead read = ReadTagHistory(TagHistoryPath(TagHistoryFiles[i]));
    for (const std::string& line : read.lines) AddSorted(box, Q(line));
    box->setEditText(text);
    if (!read.ok) {
      // The wizard still opens, and says why once it is up; the lists after this one keep what
      // they held.
      QMetaObject::invokeMethod(this, [error = read.error] { ShowError(error); }, Qt::QueuedConnection);
      return;
    }
  }
}

void TaddFrm::PageShown(int index) {
  if (index == 0) addPage1Show();
  if (index == 1) addPage2Show();
  if (index == 2) addPage3Show();
}

void TaddFrm::addPage1Show() {
  backBtn->setEnabled(false);
  nextBtn->setEnabled(true);
  nextBtn->setText(Q(lang::NextButton) + QStringLiteral(" >"));
}

void TaddFrm::addPage2Show() {
  backBtn->setEnabled(true);
  nextBtn->setEnabled(true);
  nextBtn->setText(Q(lang::NextButton) + QStringLiteral(" >"));
}

void TaddFrm::addPage3Show() {
  backBtn->setEnabled(true);
  nextBtn->setEnabled(true);
  nextBtn->setText(Q(lang::OKButton));
}

void TaddFrm::backBtnClick() {
  if (addPages->currentIndex() > 0) addPages->setCurrentIndex(addPages->currentIndex() - 1);
}

void TaddFrm::suiButton4Click() {
  switch (addPages->currentIndex()) {
    case 0:
      if (OutputNameAccepted()) addPages->setCurrentIndex(1);
      break;
    case 1:
      addPages->setCurrentIndex(2);
      break;
    default:
      Finish();
      break;
  }
}

void TaddFrm::cancelBtnClick() { done(kCancel); }

void TaddFrm::StayOnOutputName() { dstFile->setFocus(); }

bool TaddFrm::OutputNameAccepted() {
  // Linux paths keep their "/" separators: the name is checked as it is.
  const std::string name = ToPath(dstFile->text());
  if (FileExists(name)) {
    // Replacing the source itself would destroy it while it is being read.
    if (SameFile(name, WorkingTask.SourceFile)) {
      ShowError("The output file is the input file itself:\n " + name + "\nPlease choose another output file.");
      StayOnOutputName();
      return false;
    }
    if (!AskYes(platform::SystemErrorText(platform::ERROR_FILE_EXISTS) + "\n" + lang::ReplaceFileQuestion)) {
      StayOnOutputName();
      return false;
    }
  }
  const NameParts parts = SplitName(name);
  if (FolderExists(parts.folder)) return true;
  if (!AskYes(std::string(lang::OutputFolderMissing) + "\n " + parts.folder + "\n" + lang::CreateFolderQuestion)) {
    StayOnOutputName();
    return false;
  }
  std::string error;
  const std::optional<std::string> folder = CreateOutputFolderChain(parts.folder, error);
  if (!folder) {
    // The output name stays as it was: going on with a bare file name would write who knows
    // where.
    ShowError(error);
    StayOnOutputName();
    return false;
  }
  dstFile->setText(FromPath(*folder + parts.fileName));
  return true;
}

void TaddFrm::Finish() {
  TConversionTask& task = WorkingTask;
  task.OutputFile = ToPath(dstFile->text());
  task.Bitrate = SelectedNumber(bitRateSel);
  task.VbrMinBitrate = SelectedNumber(minBitrateSel);
  task.VbrMaxBitrate = SelectedNumber(maxBitrateSel);
  task.SampleRate = SelectedNumber(samplerateSel);
  task.ChannelMode = ChannelModeSel->currentIndex();
  task.Vbr = VBRCheck->isChecked();
  task.Title = titleEdit->text().toStdString();
  task.Artist = artistEdit->currentText().toStdString();
  task.Comment = commentEdit->currentText().toStdString();
  task.Genre = GenreEdit->currentText().toStdString();
  task.Year = YearEdit->currentText().toStdString();
  task.Album = albumEdit->currentText().toStdString();

  task.EstimatedSize = EstimateTaskSize(task);

  TDefaultSettings& defaults = DefaultSettings;
  defaults.InputFileDir = FolderOf(task.SourceFile);
  defaults.OutputFileDir = FolderOf(task.OutputFile);
  defaults.AudioBitrate = task.Bitrate;
  defaults.AudioSampleRate = task.SampleRate;
  defaults.AudioBitsPerSample = task.BitsPerSample;
  defaults.AudioChannels = task.ChannelMode;
  defaults.AudioVBR = task.Vbr;
  defaults.AudioVbrMinBitrate = task.VbrMinBitrate;
  defaults.AudioVbrMaxBitrate = task.VbrMaxBitrate;

  // A list that cannot be written keeps the wizard on this page; the value is already among
  // the items then, so the next Finish does not write that list again.
  if (!StoreHistoryLists()) return;

  if (Adding) AppendWorkingTask();
  SaveSettings();
  done(kOk);
}

bool TaddFrm::StoreHistoryLists() {
  const std::array<QComboBox*, 4> boxes = {albumEdit, artistEdit, YearEdit, commentEdit};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    QComboBox* box = boxes[i];
    const QString text = box->currentText();
    // The drop-down's own lookup, which ignores case.
    if (text.isEmpty() || box->findText(text, Qt::MatchFixedString) >= 0) continue;
    AddSorted(box, text);
    box->setEditText(text);
    std::string error;
    if (!WriteTagHistory(TagHistoryPath(TagHistoryFiles[i]), Items(box), error)) {
      ShowError(error);
      return false;
    }
  }
  return true;
}

void TaddFrm::addFileBtnClick() {
  TConversionTask& task = WorkingTask;
  const bool defaultOutputName =
      ToPath(dstFile->text()) == DefaultSettings.OutputFileDir + ReplaceExtension(FileNameOf(task.SourceFile), ".mp3");

  const std::string current = ToPath(srcFile->text());
  AddFilesDlg->setDirectory(FromPath(FolderOf(current)));
  AddFilesDlg->selectFile(FromPath(FileNameOf(current)));
  if (AddFilesDlg->exec() != QDialog::Accepted || AddFilesDlg->selectedFiles().isEmpty()) return;

  // On this thread, blocking the window: a file that cannot be inspected leaves the task as it
  // was, without a message.
  CurrentFile = ToPath(AddFilesDlg->selectedFiles().constFirst());
  AssignOutputName = false;
  InspectMediaFile();

  ShowInputInformation();
  if (defaultOutputName) dstFile->setText(FromPath(MakeUniqueOutputName(".mp3")));
  ShowTags();
}

void TaddFrm::outFileBtnClick() {
  const std::string current = ToPath(dstFile->text());
  outFileDlg->setDirectory(FromPath(FolderOf(current)));
  outFileDlg->selectFile(FromPath(FileNameOf(current)));
  if (outFileDlg->exec() != QDialog::Accepted || outFileDlg->selectedFiles().isEmpty()) return;
  dstFile->setText(outFileDlg->selectedFiles().constFirst());
}

void TaddFrm::VBRCheckClick() { BitrateSettingsPage->setCurrentIndex(VBRCheck->isChecked() ? 1 : 0); }

void TaddFrm::srcFileKeyDown(QKeyEvent* event) {
  if (OpensFileDialog(*event)) addFileBtnClick();
}

void TaddFrm::dstFileKeyDown(QKeyEvent* event) {
  if (OpensFileDialog(*event)) outFileBtnClick();
}

bool TaddFrm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == srcFile || watched == dstFile)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!OpensFileDialog(*key)) return false;  // Tab, Enter, Escape work as everywhere
    if (watched == srcFile) {
      srcFileKeyDown(key);
    } else {
      dstFileKeyDown(key);
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
