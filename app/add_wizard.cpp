#include "app/add_wizard.h"
#include "app/dialog_flags.h"

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
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <cerrno>

#include "app/accessibility.h"
#include "app/qt_text.h"
#include "platform/paths/path_names.h"
#include "core/conversion_task.h"
#include "core/display_text.h"
#include "core/genres.h"
#include "core/inspection.h"
#include "core/interface_texts.h"
#include "core/translation.h"
#include "core/output_folder.h"
#include "core/output_name.h"
#include "core/setting_choices.h"
#include "core/settings.h"
#include "core/tag_history.h"
#include "core/tag_probe.h"
#include "app/message_window.h"
#include "platform/errtext.h"

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kCoverPreviewSize = 96;  // pixels of the square the cover is shown in

// Texts of the window; file paths go through the file-name coding, so names that are not
// valid UTF-8 survive the round trip.
QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A question through the message window: true when the answer is Yes. A question whose Yes
// loses work waits on No.
bool AskYes(const std::string& text, DefaultButton defaultButton = DefaultButton::First) {
  return ShowMessageWindow(MessageKind::Question, text, lang::NoButton, lang::YesButton, defaultButton) == 1;
}

void ShowError(const std::string& text) {
  ShowMessageWindow(MessageKind::Error, text, lang::HelpButton, lang::OKButton);
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
NameParts SplitName(const std::string& name) { return {platform::FolderOf(name), platform::FileNameOf(name)}; }

}  // namespace

AddWizard::AddWizard(QWidget* parent)
    : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("AddWizard"));
  setModal(true);

  // Page 1: the input and output files and what the input holds.
  filesPage = new QWidget;
  filesPage->setObjectName(QStringLiteral("filesPage"));
  inputFileLabel = new QLabel(filesPage);
  inputFileLabel->setObjectName(QStringLiteral("inputFileLabel"));
  inputPathEdit = new QLineEdit(filesPage);
  inputPathEdit->setObjectName(QStringLiteral("inputPathEdit"));
  inputPathEdit->setReadOnly(true);
  inputFileButton = new QToolButton(filesPage);
  inputFileButton->setObjectName(QStringLiteral("inputFileButton"));
  inputFileButton->setIcon(QIcon::fromTheme(QStringLiteral("document-open"), style()->standardIcon(QStyle::SP_DirOpenIcon)));
  outputFileLabel = new QLabel(filesPage);
  outputFileLabel->setObjectName(QStringLiteral("outputFileLabel"));
  outputPathEdit = new QLineEdit(filesPage);
  outputPathEdit->setObjectName(QStringLiteral("outputPathEdit"));
  // The output name is typed or chosen with the button.
  outputFileButton = new QToolButton(filesPage);
  outputFileButton->setObjectName(QStringLiteral("outputFileButton"));
  outputFileButton->setIcon(
      QIcon::fromTheme(QStringLiteral("document-save-as"), style()->standardIcon(QStyle::SP_DialogSaveButton)));
  inputFileLabel->setBuddy(inputPathEdit);
  outputFileLabel->setBuddy(outputPathEdit);
  inputInfoBox = new QGroupBox(filesPage);
  inputInfoBox->setObjectName(QStringLiteral("inputInfoBox"));
  inputInfoList = new QListWidget(inputInfoBox);
  inputInfoList->setObjectName(QStringLiteral("inputInfoList"));
  inputInfoList->setSelectionMode(QAbstractItemView::NoSelection);
  inputInfoList->setFocusPolicy(Qt::NoFocus);
  (new QVBoxLayout(inputInfoBox))->addWidget(inputInfoList);
  auto* page1 = new QGridLayout(filesPage);
  page1->setContentsMargins(0, 0, 0, 0);
  page1->addWidget(inputFileLabel, 0, 0, 1, 2);
  page1->addWidget(inputPathEdit, 1, 0);
  page1->addWidget(inputFileButton, 1, 1);
  page1->addWidget(outputFileLabel, 2, 0, 1, 2);
  page1->addWidget(outputPathEdit, 3, 0);
  page1->addWidget(outputFileButton, 3, 1);
  page1->addItem(new QSpacerItem(0, 8), 4, 0);
  page1->addWidget(inputInfoBox, 5, 0, 1, 2);
  page1->setRowStretch(5, 1);

  // Page 2: the MP3 settings.
  settingsPage = new QWidget;
  settingsPage->setObjectName(QStringLiteral("settingsPage"));
  auto* bitrateGroup = new QGroupBox(T(lang::BitrateCaption), settingsPage);
  bitrateGroup->setObjectName(QStringLiteral("bitrateGroup"));
  vbrCheck = new QCheckBox(T(lang::VbrCheck), bitrateGroup);
  vbrCheck->setObjectName(QStringLiteral("vbrCheck"));
  bitrateStack = new QStackedWidget(bitrateGroup);
  bitrateStack->setObjectName(QStringLiteral("bitrateStack"));
  auto* constantPage = new QWidget;
  bitrateSelector = MakeSelector(constantPage, "bitrateSelector", BitrateItems());
  auto* constantLayout = new QHBoxLayout(constantPage);
  constantLayout->setContentsMargins(0, 0, 0, 0);
  constantLayout->addWidget(bitrateSelector);
  constantLayout->addStretch(1);
  auto* variablePage = new QWidget;
  minBitrateSelector = MakeSelector(variablePage, "minBitrateSelector", BitrateItems());
  maxBitrateSelector = MakeSelector(variablePage, "maxBitrateSelector", BitrateItems());
  auto* minLabel = new QLabel(T(lang::MinimumBitrateField), variablePage);
  auto* maxLabel = new QLabel(T(lang::MaximumBitrateField), variablePage);
  minLabel->setBuddy(minBitrateSelector);
  maxLabel->setBuddy(maxBitrateSelector);
  auto* variableLayout = new QHBoxLayout(variablePage);
  variableLayout->setContentsMargins(0, 0, 0, 0);
  variableLayout->addWidget(minLabel);
  variableLayout->addWidget(minBitrateSelector);
  variableLayout->addSpacing(12);
  variableLayout->addWidget(maxLabel);
  variableLayout->addWidget(maxBitrateSelector);
  variableLayout->addStretch(1);
  bitrateStack->addWidget(constantPage);
  bitrateStack->addWidget(variablePage);
  auto* bitrateLayout = new QVBoxLayout(bitrateGroup);
  bitrateLayout->addWidget(vbrCheck);
  bitrateLayout->addWidget(bitrateStack);

  auto* sampleRateGroup = new QGroupBox(T(lang::SampleRateCaption), settingsPage);
  sampleRateGroup->setObjectName(QStringLiteral("sampleRateGroup"));
  sampleRateSelector = MakeSelector(sampleRateGroup, "sampleRateSelector", SampleRateItems());
  auto* sampleRateLayout = new QHBoxLayout(sampleRateGroup);
  sampleRateLayout->addWidget(sampleRateSelector);
  sampleRateLayout->addStretch(1);
  auto* channelGroup = new QGroupBox(T(lang::ChannelModeCaption), settingsPage);
  channelGroup->setObjectName(QStringLiteral("channelGroup"));
  channelModeSelector = MakeSelector(channelGroup, "channelModeSelector", ChannelModeItems());
  auto* channelLayout = new QHBoxLayout(channelGroup);
  channelLayout->addWidget(channelModeSelector);
  channelLayout->addStretch(1);
  auto* page2 = new QVBoxLayout(settingsPage);
  page2->setContentsMargins(0, 0, 0, 0);
  page2->addWidget(bitrateGroup);
  page2->addWidget(sampleRateGroup);
  page2->addWidget(channelGroup);
  page2->addStretch(1);

  // Page 3: the tags; the genre offers the genre names, the other boxes their history; beside
  // them the cover picture the task will write.
  tagsPage = new QWidget;
  tagsPage->setObjectName(QStringLiteral("tagsPage"));
  tagBox = new QGroupBox(tagsPage);
  tagBox->setObjectName(QStringLiteral("tagBox"));
  titleEdit = new QLineEdit(tagBox);
  titleEdit->setObjectName(QStringLiteral("titleEdit"));
  albumEdit = MakeEditableBox(tagBox, "albumEdit");
  artistEdit = MakeEditableBox(tagBox, "artistEdit");
  albumArtistEdit = MakeEditableBox(tagBox, "albumArtistEdit");
  trackEdit = MakeEditableBox(tagBox, "trackEdit");
  // A track number, with the total after a slash: "3" or "3/12".
  trackEdit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("([1-9][0-9]{0,5}(/([0-9]{0,6})?)?)?")), trackEdit));
  genreEdit = MakeEditableBox(tagBox, "genreEdit");
  for (const char* genre : GenreNames) genreEdit->addItem(QString::fromUtf8(genre));
  yearEdit = MakeEditableBox(tagBox, "yearEdit");
  commentEdit = MakeEditableBox(tagBox, "commentEdit");
  auto* tags = new QFormLayout;
  tags->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  tags->addRow(T(lang::TitleField), titleEdit);
  tags->addRow(T(lang::AlbumField), albumEdit);
  tags->addRow(T(lang::ArtistField), artistEdit);
  tags->addRow(T(lang::AlbumArtistField), albumArtistEdit);
  tags->addRow(T(lang::TrackField), trackEdit);
  tags->addRow(T(lang::GenreField), genreEdit);
  tags->addRow(T(lang::YearField), yearEdit);
  tags->addRow(T(lang::CommentField), commentEdit);
  coverPreview = new QLabel(tagBox);
  coverPreview->setObjectName(QStringLiteral("coverPreview"));
  coverPreview->setFixedSize(kCoverPreviewSize, kCoverPreviewSize);
  coverPreview->setAlignment(Qt::AlignCenter);
  coverPreview->setWordWrap(true);
  coverPreview->setFrameShape(QFrame::StyledPanel);
  coverCheck = new QCheckBox(T(lang::IncludeCoverCheck), tagBox);
  coverCheck->setObjectName(QStringLiteral("coverCheck"));
  coverInfo = new QLabel(tagBox);
  coverInfo->setObjectName(QStringLiteral("coverInfo"));
  coverInfo->setWordWrap(true);
  auto* coverSide = new QVBoxLayout;
  coverSide->addWidget(coverCheck);
  coverSide->addWidget(coverInfo);
  coverSide->addStretch(1);
  auto* cover = new QHBoxLayout;
  cover->addWidget(coverPreview);
  cover->addLayout(coverSide, 1);
  auto* tagLayout = new QVBoxLayout(tagBox);
  tagLayout->addLayout(tags);
  tagLayout->addLayout(cover);
  auto* page3 = new QVBoxLayout(tagsPage);
  page3->setContentsMargins(0, 0, 0, 0);
  page3->addWidget(tagBox);
  page3->addStretch(1);

  pages = new QStackedWidget(this);
  pages->setObjectName(QStringLiteral("pages"));
  pages->addWidget(filesPage);
  pages->addWidget(settingsPage);
  pages->addWidget(tagsPage);

  cancelButton = new QPushButton(this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  cancelButton->setAutoDefault(false);
  backButton = new QPushButton(this);
  backButton->setObjectName(QStringLiteral("backButton"));
  backButton->setAutoDefault(false);
  nextButton = new QPushButton(this);
  nextButton->setObjectName(QStringLiteral("nextButton"));
  nextButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(backButton);
  buttons->addWidget(nextButton);
  buttons->addSpacing(10);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages, 1);
  layout->addLayout(buttons);

  inputFileDialog = new QFileDialog(this);
  inputFileDialog->setObjectName(QStringLiteral("inputFileDialog"));
  inputFileDialog->setAcceptMode(QFileDialog::AcceptOpen);
  inputFileDialog->setFileMode(QFileDialog::ExistingFile);
  outputFileDialog = new QFileDialog(this);
  outputFileDialog->setObjectName(QStringLiteral("outputFileDialog"));
  outputFileDialog->setAcceptMode(QFileDialog::AcceptSave);
  outputFileDialog->setFileMode(QFileDialog::AnyFile);
  outputFileDialog->setNameFilter(T(lang::Mp3FilesFilter) + QStringLiteral(" (*.mp3)"));
  outputFileDialog->setDefaultSuffix(QStringLiteral("mp3"));
  // Replacing an existing file is asked on Next, with the rest of the output name's checks.
  outputFileDialog->setOption(QFileDialog::DontConfirmOverwrite);

  // The layout keeps every page's controls at their own minimum sizes; the window opens at
  // least as large as the first design.
  resize(sizeHint().expandedTo(QSize(329, 326)));

  connect(pages, &QStackedWidget::currentChanged, this, &AddWizard::OnPageChanged);
  connect(cancelButton, &QPushButton::clicked, this, &AddWizard::OnCancelClicked);
  connect(backButton, &QPushButton::clicked, this, &AddWizard::OnBackClicked);
  connect(nextButton, &QPushButton::clicked, this, &AddWizard::OnNextClicked);
  connect(inputFileButton, &QToolButton::clicked, this, &AddWizard::OnInputFileClicked);
  connect(outputFileButton, &QToolButton::clicked, this, &AddWizard::OnOutputFileClicked);
  connect(vbrCheck, &QCheckBox::clicked, this, &AddWizard::OnVbrToggled);
  inputPathEdit->installEventFilter(this);

  // Tab goes as the eye does: the page, then Back, Next (OK) and Cancel.
  QWidget::setTabOrder(pages, backButton);
  QWidget::setTabOrder(backButton, nextButton);
  QWidget::setTabOrder(nextButton, cancelButton);
}

int AddWizard::ShowModal(bool adding) {
  adding_ = adding;
  return exec() == kOk ? kOk : kCancel;
}

void AddWizard::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) LoadTask();
  QDialog::showEvent(event);
}

void AddWizard::LoadTask() {
  setWindowTitle(T(lang::SettingsCaption));
  inputFileLabel->setText(T(lang::InputFileField));
  outputFileLabel->setText(T(lang::OutputFileField));
  inputFileButton->setToolTip(T(lang::ChooseInputFile));
  inputFileButton->setAccessibleName(T(lang::ChooseInputFile));
  outputFileButton->setToolTip(T(lang::ChooseOutputFile));
  outputFileButton->setAccessibleName(T(lang::ChooseOutputFile));
  inputInfoList->setAccessibleName(T(lang::InputFileInformationCaption));
  coverPreview->setAccessibleName(T(lang::CoverPreviewName));
  NameControlsByTheirLabels(this);
  inputFileDialog->setWindowTitle(T(lang::InputFileDialogTitle));
  outputFileDialog->setWindowTitle(T(lang::OutputFileDialogTitle));
  inputInfoBox->setTitle(T(lang::InputFileInformationCaption));
  tagBox->setTitle(T(lang::TagEditorCaption));
  cancelButton->setText(T(lang::CancelButton));
  nextButton->setText(T(lang::NextButton) + QStringLiteral(" >"));
  backButton->setText(QStringLiteral("< ") + T(lang::BackButton));
  if (pages->currentIndex() == 0) {
    OnFilesPageShown();
  } else {
    pages->setCurrentIndex(0);
  }

  ShowInputInformation();

  const ConversionTask& task = WorkingTask;
  outputPathEdit->setText(FromPath(task.outputFile));
  SelectItem(bitrateSelector, std::to_string(task.bitrate) + " kbps", task.bitrate, BitrateItems());
  SelectItem(minBitrateSelector, std::to_string(task.vbrMinBitrate) + " kbps", task.vbrMinBitrate, BitrateItems());
  SelectItem(maxBitrateSelector, std::to_string(task.vbrMaxBitrate) + " kbps", task.vbrMaxBitrate, BitrateItems());
  SelectItem(sampleRateSelector, std::to_string(task.sampleRate) + " Hz", task.sampleRate, SampleRateItems());
  if (task.channelMode >= 0 && task.channelMode < channelModeSelector->count()) {
    channelModeSelector->setCurrentIndex(task.channelMode);
  } else if (channelModeSelector->currentIndex() < 0) {
    channelModeSelector->setCurrentIndex(DefaultChannelMode);
  }
  vbrCheck->setChecked(task.vbr);
  bitrateStack->setCurrentIndex(task.vbr ? 1 : 0);

  ShowTags();
  LoadHistoryLists();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void AddWizard::ShowInputInformation() {
  const ConversionTask& task = WorkingTask;
  inputPathEdit->setText(FromPath(task.sourceFile));
  inputInfoList->clear();
  inputInfoList->addItem(QStringLiteral(" ") + T(lang::DurationLabel) + QStringLiteral(": ") +
                          Q(FormatDuration(task.duration)));
  inputInfoList->addItem(QStringLiteral(" ") + T(lang::AudioLabel) + QStringLiteral(": ") +
                          Q(FormatSourceAudio(task.sourceSampleRate, task.sourceChannels)));
}

void AddWizard::ShowTags() {
  const ConversionTask& task = WorkingTask;
  titleEdit->setText(Q(task.title));
  artistEdit->setEditText(Q(task.artist));
  genreEdit->setEditText(Q(task.genre));
  yearEdit->setEditText(Q(task.year));
  albumEdit->setEditText(Q(task.album));
  commentEdit->setEditText(Q(task.comment));
  albumArtistEdit->setEditText(Q(task.albumArtist));
  trackEdit->setEditText(Q(task.track));
  ShowCover();
}

void AddWizard::ShowCover() {
  const ConversionTask& task = WorkingTask;
  QPixmap picture;
  if (task.coverBytes > 0) {
    // Read again from the source: tasks hold no pictures (a small file read, like the
    // inspection this wizard runs itself when the source is changed).
    const engine::CoverPicture cover = ReadCover(task.sourceFile);
    picture.loadFromData(cover.data.data(), static_cast<uint>(cover.data.size()));
  }
  coverPreview->clear();
  coverInfo->setText(task.coverBytes > 0 ? Q(FormatPicture(task.coverMimeType, task.coverBytes)) : T(lang::NoCoverPicture));
  if (picture.isNull()) {
    coverPreview->setText(task.coverBytes > 0 ? Q(task.coverMimeType) : QString());
  } else {
    coverPreview->setPixmap(picture.scaled(coverPreview->contentsRect().size(), Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
  }
  coverCheck->setEnabled(task.coverBytes > 0);
  coverCheck->setChecked(task.coverBytes > 0 && !task.omitCover);
}

void AddWizard::LoadHistoryLists() {
  const std::array<QComboBox*, TagHistoryFiles.size()> boxes = {albumEdit,   artistEdit,      yearEdit,
                                                                 commentEdit, albumArtistEdit, trackEdit};
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

void AddWizard::OnPageChanged(int index) {
  if (index == 0) OnFilesPageShown();
  if (index == 1) OnSettingsPageShown();
  if (index == 2) OnTagsPageShown();
}

void AddWizard::OnFilesPageShown() {
  backButton->setEnabled(false);
  nextButton->setEnabled(true);
  nextButton->setText(T(lang::NextButton) + QStringLiteral(" >"));
}

void AddWizard::OnSettingsPageShown() {
  backButton->setEnabled(true);
  nextButton->setEnabled(true);
  nextButton->setText(T(lang::NextButton) + QStringLiteral(" >"));
}

void AddWizard::OnTagsPageShown() {
  backButton->setEnabled(true);
  nextButton->setEnabled(true);
  nextButton->setText(T(lang::OKButton));
}

void AddWizard::OnBackClicked() {
  if (pages->currentIndex() > 0) pages->setCurrentIndex(pages->currentIndex() - 1);
}

void AddWizard::OnNextClicked() {
  switch (pages->currentIndex()) {
    case 0:
      if (OutputNameAccepted()) pages->setCurrentIndex(1);
      break;
    case 1:
      pages->setCurrentIndex(2);
      break;
    default:
      Finish();
      break;
  }
}

void AddWizard::OnCancelClicked() { done(kCancel); }

void AddWizard::StayOnOutputName() { outputPathEdit->setFocus(); }

bool AddWizard::OutputNameAccepted() {
  // Linux paths keep their "/" separators: the name is checked as it is.
  const std::string name = ToPath(outputPathEdit->text());
  if (platform::FileExists(name)) {
    // Replacing the source itself would destroy it while it is being read.
    if (platform::SameFile(name, WorkingTask.sourceFile)) {
      ShowError(Translated(lang::OutputIsInput) + "\n" + name + "\n" + Translated(lang::ChooseAnotherOutput));
      StayOnOutputName();
      return false;
    }
    if (!AskYes(platform::ErrnoText(EEXIST) + ":\n" + name + "\n" + Translated(lang::ReplaceFileQuestion),
                DefaultButton::Second)) {
      StayOnOutputName();
      return false;
    }
  }
  const NameParts parts = SplitName(name);
  if (platform::FolderExists(parts.folder)) return true;
  if (!AskYes(Translated(lang::OutputFolderMissing) + "\n" + parts.folder + "\n" + Translated(lang::CreateFolderQuestion))) {
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
  outputPathEdit->setText(FromPath(*folder + parts.fileName));
  return true;
}

void AddWizard::Finish() {
  ConversionTask& task = WorkingTask;
  task.outputFile = ToPath(outputPathEdit->text());
  task.bitrate = SelectedNumber(bitrateSelector);
  task.vbrMinBitrate = SelectedNumber(minBitrateSelector);
  task.vbrMaxBitrate = SelectedNumber(maxBitrateSelector);
  task.sampleRate = SelectedNumber(sampleRateSelector);
  task.channelMode = channelModeSelector->currentIndex();
  task.vbr = vbrCheck->isChecked();
  task.title = titleEdit->text().toStdString();
  task.artist = artistEdit->currentText().toStdString();
  task.comment = commentEdit->currentText().toStdString();
  task.genre = genreEdit->currentText().toStdString();
  task.year = yearEdit->currentText().toStdString();
  task.album = albumEdit->currentText().toStdString();
  task.albumArtist = albumArtistEdit->currentText().toStdString();
  task.track = trackEdit->currentText().toStdString();
  task.omitCover = task.coverBytes > 0 && !coverCheck->isChecked();

  task.estimatedSize = EstimateTaskSize(task);

  Settings& defaults = DefaultSettings;
  defaults.inputFileDir = platform::FolderOf(task.sourceFile);
  // The output folder stays the main window's choice: a name changed here is for this task.
  defaults.audioBitrate = task.bitrate;
  defaults.audioSampleRate = task.sampleRate;
  defaults.audioBitsPerSample = task.bitsPerSample;
  defaults.audioChannels = task.channelMode;
  defaults.audioVbr = task.vbr;
  defaults.audioVbrMinBitrate = task.vbrMinBitrate;
  defaults.audioVbrMaxBitrate = task.vbrMaxBitrate;

  // A list that cannot be written keeps the wizard on this page; the value is already among
  // the items then, so the next Finish does not write that list again.
  if (!StoreHistoryLists()) return;

  if (adding_) AppendWorkingTask();
  SaveSettings();
  done(kOk);
}

bool AddWizard::StoreHistoryLists() {
  const std::array<QComboBox*, TagHistoryFiles.size()> boxes = {albumEdit,   artistEdit,      yearEdit,
                                                                 commentEdit, albumArtistEdit, trackEdit};
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

void AddWizard::OnInputFileClicked() {
  ConversionTask& task = WorkingTask;
  const bool defaultOutputName =
      ToPath(outputPathEdit->text()) == DefaultOutputFolder(task.sourceFile, DefaultSettings.outputFileDir) +
                                            ReplaceExtension(platform::FileNameOf(task.sourceFile), ".mp3");

  const std::string current = ToPath(inputPathEdit->text());
  inputFileDialog->setDirectory(FromPath(platform::FolderOf(current)));
  inputFileDialog->selectFile(FromPath(platform::FileNameOf(current)));
  if (inputFileDialog->exec() != QDialog::Accepted || inputFileDialog->selectedFiles().isEmpty()) return;

  // On this thread, blocking the window: a file that cannot be inspected leaves the task as it
  // was, without a message.
  CurrentFile = ToPath(inputFileDialog->selectedFiles().constFirst());
  AssignOutputName = false;
  InspectMediaFile();

  ShowInputInformation();
  if (defaultOutputName) outputPathEdit->setText(FromPath(MakeUniqueOutputName(".mp3")));
  ShowTags();
}

void AddWizard::OnOutputFileClicked() {
  const std::string current = ToPath(outputPathEdit->text());
  outputFileDialog->setDirectory(FromPath(platform::FolderOf(current)));
  outputFileDialog->selectFile(FromPath(platform::FileNameOf(current)));
  if (outputFileDialog->exec() != QDialog::Accepted || outputFileDialog->selectedFiles().isEmpty()) return;
  outputPathEdit->setText(outputFileDialog->selectedFiles().constFirst());
}

void AddWizard::OnVbrToggled() { bitrateStack->setCurrentIndex(vbrCheck->isChecked() ? 1 : 0); }

void AddWizard::OnInputPathKey(QKeyEvent* event) {
  if (OpensFileDialog(*event)) OnInputFileClicked();
}


bool AddWizard::eventFilter(QObject* watched, QEvent* event) {
  // A key that would type into the input name picks another input file instead.
  if (event->type() == QEvent::KeyPress && watched == inputPathEdit) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!OpensFileDialog(*key)) return false;  // Tab, Enter, Escape work as everywhere
    OnInputPathKey(key);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
