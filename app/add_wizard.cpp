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
#include "app/elided_label.h"
#include "app/info_panel.h"
#include "app/ui_text.h"
#include "app/workspace.h"
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
#include "core/tags/folder_art.h"
#include "app/message_window.h"
#include "platform/errtext.h"

namespace app {

namespace {

using core::MessageKind;
constexpr int kCoverPreviewSize = 96;  // pixels of the square the cover is shown in

// A question through the message window: true when the answer is Yes. A question whose Yes
// loses work waits on No.
bool AskYes(Workspace& workspace, const std::string& text, DefaultButton defaultButton = DefaultButton::First) {
  return workspace.messages.Show(MessageKind::Question, text, lang::NoButton, lang::YesButton, defaultButton) ==
         Answer::First;
}

void ShowError(Workspace& workspace, const std::string& text) {
  workspace.messages.Show(MessageKind::Error, text, lang::HelpButton, lang::OKButton);
}

QComboBox* MakeSelector(QWidget* parent, const char* name, const std::vector<std::string>& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  for (const std::string& item : items) box->addItem(ToQString(item));
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

// Selects the item whose number is nearest to `value`, so that Finish always reads an offered
// number whatever the settings file held.
void SelectItem(QComboBox* box, std::int32_t value) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
  box->setCurrentIndex(core::NearestItemIndex(items, value));
}

std::int32_t SelectedNumber(const QComboBox* box) { return core::LeadingNumber(box->currentText().toStdString()); }

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

// The read-only input name opens its dialog for the keys that would change a name: a character
// typed, Delete, a paste or a cut. Every other key does what it does in any field: End, Home and
// the arrows move, Shift with them selects, Ctrl+C copies; Tab, Enter and Escape move on, confirm
// or cancel the window, and Backspace (which would erase backwards) does nothing.
bool OpensFileDialog(const QKeyEvent& event) {
  if (event.key() == Qt::Key_Delete || event.matches(QKeySequence::Paste) || event.matches(QKeySequence::Cut))
    return true;
  const Qt::KeyboardModifiers held = event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
  if (held != Qt::NoModifier) return false;
  const QString text = event.text();
  return !text.isEmpty() && text.front().isPrint();
}

// An output name split at its last "/" into its folder (with the "/") and its file name.
struct NameParts {
  std::string folder, fileName;
};
NameParts SplitName(const std::string& name) { return {platform::FolderOf(name), platform::FileNameOf(name)}; }

}  // namespace

AddWizard::AddWizard(Workspace& workspace, QWidget* parent) : QDialog(parent, kDialogFlags), workspace_(workspace) {
  setObjectName(QStringLiteral("AddWizard"));
  setModal(true);

  // Page 1: the input and output files and what the input holds.
  auto* filesPage = new QWidget;
  filesPage->setObjectName(QStringLiteral("filesPage"));
  inputFileLabel_ = new QLabel(filesPage);
  inputFileLabel_->setObjectName(QStringLiteral("inputFileLabel"));
  inputPathEdit_ = new QLineEdit(filesPage);
  inputPathEdit_->setObjectName(QStringLiteral("inputPathEdit"));
  inputPathEdit_->setReadOnly(true);
  inputFileButton_ = new QToolButton(filesPage);
  inputFileButton_->setObjectName(QStringLiteral("inputFileButton"));
  inputFileButton_->setIcon(QIcon::fromTheme(QStringLiteral("document-open"), style()->standardIcon(QStyle::SP_DirOpenIcon)));
  outputFileLabel_ = new QLabel(filesPage);
  outputFileLabel_->setObjectName(QStringLiteral("outputFileLabel"));
  outputPathEdit_ = new QLineEdit(filesPage);
  outputPathEdit_->setObjectName(QStringLiteral("outputPathEdit"));
  // The output name is typed or chosen with the button.
  outputFileButton_ = new QToolButton(filesPage);
  outputFileButton_->setObjectName(QStringLiteral("outputFileButton"));
  outputFileButton_->setIcon(
      QIcon::fromTheme(QStringLiteral("document-save-as"), style()->standardIcon(QStyle::SP_DialogSaveButton)));
  inputFileLabel_->setBuddy(inputPathEdit_);
  outputFileLabel_->setBuddy(outputPathEdit_);
  inputInfoBox_ = new QGroupBox(filesPage);
  inputInfoBox_->setObjectName(QStringLiteral("inputInfoBox"));
  inputInfoList_ = new QListWidget(inputInfoBox_);
  inputInfoList_->setObjectName(QStringLiteral("inputInfoList"));
  inputInfoList_->setSelectionMode(QAbstractItemView::NoSelection);
  inputInfoList_->setFocusPolicy(Qt::NoFocus);
  (new QVBoxLayout(inputInfoBox_))->addWidget(inputInfoList_);
  auto* page1 = new QGridLayout(filesPage);
  page1->setContentsMargins(0, 0, 0, 0);
  page1->addWidget(inputFileLabel_, 0, 0, 1, 2);
  page1->addWidget(inputPathEdit_, 1, 0);
  page1->addWidget(inputFileButton_, 1, 1);
  page1->addWidget(outputFileLabel_, 2, 0, 1, 2);
  page1->addWidget(outputPathEdit_, 3, 0);
  page1->addWidget(outputFileButton_, 3, 1);
  page1->addItem(new QSpacerItem(0, 8), 4, 0);
  page1->addWidget(inputInfoBox_, 5, 0, 1, 2);
  page1->setRowStretch(5, 1);

  // Page 2: the MP3 settings.
  auto* settingsPage = new QWidget;
  settingsPage->setObjectName(QStringLiteral("settingsPage"));
  auto* bitrateGroup = new QGroupBox(UiText(lang::BitrateCaption), settingsPage);
  bitrateGroup->setObjectName(QStringLiteral("bitrateGroup"));
  vbrCheck_ = new QCheckBox(UiText(lang::VbrCheck), bitrateGroup);
  vbrCheck_->setObjectName(QStringLiteral("vbrCheck"));
  bitrateStack_ = new QStackedWidget(bitrateGroup);
  bitrateStack_->setObjectName(QStringLiteral("bitrateStack"));
  auto* constantPage = new QWidget;
  const std::vector<std::string> bitrates = core::BitrateItems(TranslatedText(lang::KbpsUnit));
  bitrateSelector_ = MakeSelector(constantPage, "bitrateSelector", bitrates);
  auto* bitrateLabel = new QLabel(UiText(lang::BitrateField), constantPage);
  bitrateLabel->setBuddy(bitrateSelector_);
  auto* constantLayout = new QHBoxLayout(constantPage);
  constantLayout->setContentsMargins(0, 0, 0, 0);
  constantLayout->addWidget(bitrateLabel);
  constantLayout->addWidget(bitrateSelector_);
  constantLayout->addStretch(1);
  auto* variablePage = new QWidget;
  minBitrateSelector_ = MakeSelector(variablePage, "minBitrateSelector", bitrates);
  maxBitrateSelector_ = MakeSelector(variablePage, "maxBitrateSelector", bitrates);
  QStringList qualities;
  for (int quality = engine::kBestVbrQuality; quality <= engine::kSmallestVbrQuality; ++quality) {
    QString item = QString::number(quality);
    if (quality == engine::kBestVbrQuality) item += QStringLiteral(" (") + UiText(lang::BestQuality) + QStringLiteral(")");
    if (quality == engine::kSmallestVbrQuality) item += QStringLiteral(" (") + UiText(lang::SmallestFile) + QStringLiteral(")");
    qualities << item;
  }
  vbrQualitySelector_ = new QComboBox(variablePage);
  vbrQualitySelector_->setObjectName(QStringLiteral("vbrQualitySelector"));
  vbrQualitySelector_->addItems(qualities);
  auto* qualityLabel = new QLabel(UiText(lang::VbrQualityField), variablePage);
  qualityLabel->setBuddy(vbrQualitySelector_);
  auto* minLabel = new QLabel(UiText(lang::MinimumBitrateField), variablePage);
  auto* maxLabel = new QLabel(UiText(lang::MaximumBitrateField), variablePage);
  minLabel->setBuddy(minBitrateSelector_);
  maxLabel->setBuddy(maxBitrateSelector_);
  auto* variableLayout = new QHBoxLayout(variablePage);
  variableLayout->setContentsMargins(0, 0, 0, 0);
  variableLayout->addWidget(minLabel);
  variableLayout->addWidget(minBitrateSelector_);
  variableLayout->addSpacing(12);
  variableLayout->addWidget(maxLabel);
  variableLayout->addWidget(maxBitrateSelector_);
  variableLayout->addSpacing(12);
  variableLayout->addWidget(qualityLabel);
  variableLayout->addWidget(vbrQualitySelector_);
  variableLayout->addStretch(1);
  bitrateStack_->addWidget(constantPage);
  bitrateStack_->addWidget(variablePage);
  auto* bitrateLayout = new QVBoxLayout(bitrateGroup);
  bitrateLayout->addWidget(vbrCheck_);
  bitrateLayout->addWidget(bitrateStack_);

  auto* sampleRateGroup = new QGroupBox(UiText(lang::SampleRateCaption), settingsPage);
  sampleRateGroup->setObjectName(QStringLiteral("sampleRateGroup"));
  sampleRateSelector_ = MakeSelector(sampleRateGroup, "sampleRateSelector", core::SampleRateItems());
  auto* sampleRateLabel = new QLabel(UiText(lang::SampleRateField), sampleRateGroup);
  sampleRateLabel->setBuddy(sampleRateSelector_);
  auto* sampleRateLayout = new QHBoxLayout(sampleRateGroup);
  sampleRateLayout->addWidget(sampleRateLabel);
  sampleRateLayout->addWidget(sampleRateSelector_);
  sampleRateLayout->addStretch(1);
  auto* channelGroup = new QGroupBox(UiText(lang::ChannelModeCaption), settingsPage);
  channelGroup->setObjectName(QStringLiteral("channelGroup"));
  channelModeSelector_ = MakeSelector(channelGroup, "channelModeSelector", core::ChannelModeItems(TranslatedText));
  auto* channelLabel = new QLabel(UiText(lang::ChannelModeField), channelGroup);
  channelLabel->setBuddy(channelModeSelector_);
  auto* channelLayout = new QHBoxLayout(channelGroup);
  channelLayout->addWidget(channelLabel);
  channelLayout->addWidget(channelModeSelector_);
  channelLayout->addStretch(1);
  auto* page2 = new QVBoxLayout(settingsPage);
  page2->setContentsMargins(0, 0, 0, 0);
  page2->addWidget(bitrateGroup);
  page2->addWidget(sampleRateGroup);
  page2->addWidget(channelGroup);
  page2->addStretch(1);

  // Page 3: the tags; the genre offers the genre names, the other boxes their history; beside
  // them the cover picture the task will write.
  auto* tagsPage = new QWidget;
  tagsPage->setObjectName(QStringLiteral("tagsPage"));
  tagBox_ = new QGroupBox(tagsPage);
  tagBox_->setObjectName(QStringLiteral("tagBox"));
  titleEdit_ = new QLineEdit(tagBox_);
  titleEdit_->setObjectName(QStringLiteral("titleEdit"));
  albumEdit_ = MakeEditableBox(tagBox_, "albumEdit");
  artistEdit_ = MakeEditableBox(tagBox_, "artistEdit");
  albumArtistEdit_ = MakeEditableBox(tagBox_, "albumArtistEdit");
  trackEdit_ = MakeEditableBox(tagBox_, "trackEdit");
  // A track number, with the total after a slash: "3" or "3/12".
  trackEdit_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("([1-9][0-9]{0,5}(/([0-9]{0,6})?)?)?")), trackEdit_));
  genreEdit_ = MakeEditableBox(tagBox_, "genreEdit");
  for (const char* genre : core::kGenreNames) genreEdit_->addItem(QString::fromUtf8(genre));
  yearEdit_ = MakeEditableBox(tagBox_, "yearEdit");
  commentEdit_ = MakeEditableBox(tagBox_, "commentEdit");
  auto* tags = new QFormLayout;
  tags->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  tags->addRow(UiText(lang::TitleField), titleEdit_);
  tags->addRow(UiText(lang::AlbumField), albumEdit_);
  tags->addRow(UiText(lang::ArtistField), artistEdit_);
  tags->addRow(UiText(lang::AlbumArtistField), albumArtistEdit_);
  tags->addRow(UiText(lang::TrackField), trackEdit_);
  tags->addRow(UiText(lang::GenreField), genreEdit_);
  tags->addRow(UiText(lang::YearField), yearEdit_);
  tags->addRow(UiText(lang::CommentField), commentEdit_);
  coverPreview_ = new QLabel(tagBox_);
  coverPreview_->setObjectName(QStringLiteral("coverPreview"));
  coverPreview_->setFixedSize(kCoverPreviewSize, kCoverPreviewSize);
  coverPreview_->setAlignment(Qt::AlignCenter);
  coverPreview_->setWordWrap(true);
  coverPreview_->setFrameShape(QFrame::StyledPanel);
  coverCheck_ = new QCheckBox(UiText(lang::IncludeCoverCheck), tagBox_);
  coverCheck_->setObjectName(QStringLiteral("coverCheck"));
  // One line each, cut to the room there is (the whole text on hover): the page keeps its height
  // whatever the folder's picture is called and however much the source carries.
  coverInfo_ = new ElidedLabel(tagBox_, 32, 16);
  coverInfo_->setObjectName(QStringLiteral("coverInfo"));
  moreTagsLabel_ = new ElidedLabel(tagBox_, 32, 16);
  moreTagsLabel_->setObjectName(QStringLiteral("moreTagsLabel"));
  moreTagsLabel_->SetElideMode(Qt::ElideRight);
  auto* coverSide = new QVBoxLayout;
  coverSide->addWidget(coverCheck_);
  coverSide->addWidget(coverInfo_);
  coverSide->addStretch(1);
  coverSide->addWidget(moreTagsLabel_);
  auto* cover = new QHBoxLayout;
  cover->addWidget(coverPreview_);
  cover->addLayout(coverSide, 1);
  auto* tagLayout = new QVBoxLayout(tagBox_);
  tagLayout->addLayout(tags);
  tagLayout->addLayout(cover);
  auto* page3 = new QVBoxLayout(tagsPage);
  page3->setContentsMargins(0, 0, 0, 0);
  page3->addWidget(tagBox_);
  page3->addStretch(1);

  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("pages"));
  pages_->addWidget(filesPage);
  pages_->addWidget(settingsPage);
  pages_->addWidget(tagsPage);

  cancelButton_ = new QPushButton(this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setAutoDefault(false);
  backButton_ = new QPushButton(this);
  backButton_->setObjectName(QStringLiteral("backButton"));
  backButton_->setAutoDefault(false);
  nextButton_ = new QPushButton(this);
  nextButton_->setObjectName(QStringLiteral("nextButton"));
  nextButton_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(backButton_);
  buttons->addWidget(nextButton_);
  buttons->addSpacing(10);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);

  inputFileDialog_ = new QFileDialog(this);
  inputFileDialog_->setObjectName(QStringLiteral("inputFileDialog"));
  inputFileDialog_->setAcceptMode(QFileDialog::AcceptOpen);
  inputFileDialog_->setFileMode(QFileDialog::ExistingFile);
  outputFileDialog_ = new QFileDialog(this);
  outputFileDialog_->setObjectName(QStringLiteral("outputFileDialog"));
  outputFileDialog_->setAcceptMode(QFileDialog::AcceptSave);
  outputFileDialog_->setFileMode(QFileDialog::AnyFile);
  outputFileDialog_->setNameFilter(UiText(lang::Mp3FilesFilter) + QStringLiteral(" (*.mp3)"));
  outputFileDialog_->setDefaultSuffix(QStringLiteral("mp3"));
  // Replacing an existing file is asked on Next, with the rest of the output name's checks.
  outputFileDialog_->setOption(QFileDialog::DontConfirmOverwrite);

  // The layout keeps every page's controls at their own minimum sizes. The window is as tall as
  // its tallest page and no taller (nothing floats in empty room, and it is no window to
  // maximise); it can be made wider, for long names.
  resize(sizeHint().expandedTo(QSize(329, 326)));
  setFixedHeight(height());

  connect(pages_, &QStackedWidget::currentChanged, this, &AddWizard::OnPageChanged);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(backButton_, &QPushButton::clicked, this, &AddWizard::OnBackClicked);
  connect(nextButton_, &QPushButton::clicked, this, &AddWizard::OnNextClicked);
  connect(inputFileButton_, &QToolButton::clicked, this, &AddWizard::OnInputFileClicked);
  connect(outputFileButton_, &QToolButton::clicked, this, &AddWizard::OnOutputFileClicked);
  connect(vbrCheck_, &QCheckBox::clicked, this, &AddWizard::OnVbrToggled);
  inputPathEdit_->installEventFilter(this);
  // Alt with a letter that no control of the page carries (Alt+N on the last page, where Next
  // has become OK) must not type the letter into the field that has the focus.
  KeepAccessKeysOutOfFields(this);

  // Tab goes as the eye does: the page, then Back, Next (OK) and Cancel.
  QWidget::setTabOrder(pages_, backButton_);
  QWidget::setTabOrder(backButton_, nextButton_);
  QWidget::setTabOrder(nextButton_, cancelButton_);
}

bool AddWizard::ShowModal() { return exec() == QDialog::Accepted; }

void AddWizard::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) LoadTask();
  QDialog::showEvent(event);
}

void AddWizard::LoadTask() {
  setWindowTitle(UiText(lang::SettingsCaption));
  inputFileLabel_->setText(UiText(lang::InputFileField));
  outputFileLabel_->setText(UiText(lang::OutputFileField));
  inputFileButton_->setToolTip(UiText(lang::ChooseInputFile));
  inputFileButton_->setAccessibleName(UiText(lang::ChooseInputFile));
  outputFileButton_->setToolTip(UiText(lang::ChooseOutputFile));
  outputFileButton_->setAccessibleName(UiText(lang::ChooseOutputFile));
  inputInfoList_->setAccessibleName(UiText(lang::InputFileInformationCaption));
  coverPreview_->setAccessibleName(UiText(lang::CoverPreviewName));
  NameControlsByTheirLabels(this);
  inputFileDialog_->setWindowTitle(UiText(lang::InputFileDialogTitle));
  outputFileDialog_->setWindowTitle(UiText(lang::OutputFileDialogTitle));
  inputInfoBox_->setTitle(UiText(lang::InputFileInformationCaption));
  tagBox_->setTitle(UiText(lang::TagEditorCaption));
  cancelButton_->setText(UiText(lang::CancelButton));
  nextButton_->setText(UiText(lang::NextButton) + QStringLiteral(" >"));
  backButton_->setText(QStringLiteral("< ") + UiText(lang::BackButton));
  if (pages_->currentIndex() == 0) {
    ShowFilesPage();
  } else {
    pages_->setCurrentIndex(0);
  }

  ShowInputInformation();

  const core::ConversionTask& task = workspace_.workingTask;
  outputPathEdit_->setText(PathText(task.outputFile));
  const engine::EncodingSettings& encoding = task.encoding;
  SelectItem(bitrateSelector_, encoding.bitrate);
  SelectItem(minBitrateSelector_, encoding.vbrMinBitrate);
  SelectItem(maxBitrateSelector_, encoding.vbrMaxBitrate);
  SelectItem(sampleRateSelector_, encoding.sampleRate);
  vbrQualitySelector_->setCurrentIndex(std::clamp(encoding.vbrQuality, engine::kBestVbrQuality, engine::kSmallestVbrQuality));
  channelModeSelector_->setCurrentIndex(engine::NumberOf(encoding.channelMode));
  vbrCheck_->setChecked(encoding.vbr);
  bitrateStack_->setCurrentIndex(encoding.vbr ? 1 : 0);

  ShowTags();
  LoadHistoryLists();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void AddWizard::ShowInputInformation() {
  const core::ConversionTask& task = workspace_.workingTask;
  inputPathEdit_->setText(PathText(task.sourceFile));
  // The field scrolls a long path; the whole of it on hover.
  inputPathEdit_->setToolTip(inputPathEdit_->text());
  inputInfoList_->clear();
  inputInfoList_->addItem(QStringLiteral(" ") + UiText(lang::DurationLabel) + QStringLiteral(": ") + DurationText(task.duration));
  inputInfoList_->addItem(QStringLiteral(" ") + UiText(lang::AudioLabel) + QStringLiteral(": ") +
                          ToQString(core::FormatSourceAudio(task.sourceSampleRate, task.sourceChannels, TranslatedText)));
}

void AddWizard::ShowTags() {
  const core::ConversionTask& task = workspace_.workingTask;
  titleEdit_->setText(ToQString(task.title));
  artistEdit_->setEditText(ToQString(task.artist));
  genreEdit_->setEditText(ToQString(task.genre));
  yearEdit_->setEditText(ToQString(task.year));
  albumEdit_->setEditText(ToQString(task.album));
  commentEdit_->setEditText(ToQString(task.comment));
  albumArtistEdit_->setEditText(ToQString(task.albumArtist));
  trackEdit_->setEditText(ToQString(task.track));
  ShowCover();
  const QString more = MoreTagsText(task.moreTags);
  moreTagsLabel_->SetFullText(more.isEmpty() ? QString() : UiText(lang::MoreTagsLabel) + QStringLiteral(": ") + more);
  moreTagsLabel_->setVisible(!more.isEmpty());
}

void AddWizard::ShowCover() {
  const core::ConversionTask& task = workspace_.workingTask;
  QPixmap picture;
  QString note;
  folderArt_.reset();
  if (task.coverBytes > 0) {
    // Read again from the source: tasks hold no pictures (a small file read, like the
    // inspection this wizard runs itself when the source is changed).
    const engine::CoverPicture cover = core::ReadCover(task.sourceFile);
    picture.loadFromData(cover.data.data(), static_cast<uint>(cover.data.size()));
    note = UiText(lang::SourceCoverNote).arg(PictureText(task.coverMimeType, task.coverBytes));
  } else {
    // A source without a cover of its own takes the album art beside it, as the conversion will
    // (core::ResolveTags): the user sees which file that is.
    folderArt_ = tags::ChooseFolderArt(tags::FolderOf(task.sourceFile));
  }
  if (folderArt_) {
    if (const std::optional<tags::FolderArt> art = tags::ReadFolderArt(*folderArt_))
      picture.loadFromData(art->data.data(), static_cast<uint>(art->data.size()));
    note = UiText(lang::FolderCoverNote).arg(PathText(folderArt_->fileName));
  } else if (task.coverBytes <= 0) {
    note = UiText(lang::NoCoverPicture);
  }
  const bool hasCover = task.coverBytes > 0 || folderArt_.has_value();
  coverPreview_->clear();
  coverInfo_->SetFullText(note, folderArt_ ? PathText(folderArt_->path) : QString());
  if (picture.isNull()) {
    coverPreview_->setText(task.coverBytes > 0 ? ToQString(task.coverMimeType) : QString());
  } else {
    coverPreview_->setPixmap(picture.scaled(coverPreview_->contentsRect().size(), Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
  }
  coverCheck_->setEnabled(hasCover);
  coverCheck_->setChecked(hasCover && !task.omitCover);
}

void AddWizard::LoadHistoryLists() {
  const std::array<QComboBox*, core::kTagHistoryFiles.size()> boxes = {albumEdit_,   artistEdit_,      yearEdit_,
                                                                 commentEdit_, albumArtistEdit_, trackEdit_};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    QComboBox* box = boxes[i];
    // Clearing and filling an editable box would replace its text: keep the task's value.
    const QString text = box->currentText();
    box->clear();
    const core::TagHistoryRead read = core::ReadTagHistory(core::TagHistoryPath(core::kTagHistoryFiles[i]));
    for (const std::string& line : read.lines) AddSorted(box, ToQString(line));
    box->setEditText(text);
    if (!read.ok) {
      // The wizard still opens, and says why once it is up; the lists after this one keep what
      // they held.
      QMetaObject::invokeMethod(this, [this, error = read.error] { ShowError(workspace_, error); }, Qt::QueuedConnection);
      return;
    }
  }
}

void AddWizard::OnPageChanged(int index) {
  if (index == 0) ShowFilesPage();
  if (index == 1) ShowSettingsPage();
  if (index == 2) ShowTagsPage();
}

void AddWizard::ShowFilesPage() {
  backButton_->setEnabled(false);
  nextButton_->setEnabled(true);
  nextButton_->setText(UiText(lang::NextButton) + QStringLiteral(" >"));
}

void AddWizard::ShowSettingsPage() {
  backButton_->setEnabled(true);
  nextButton_->setEnabled(true);
  nextButton_->setText(UiText(lang::NextButton) + QStringLiteral(" >"));
}

void AddWizard::ShowTagsPage() {
  backButton_->setEnabled(true);
  nextButton_->setEnabled(true);
  nextButton_->setText(UiText(lang::OKButton));
}

void AddWizard::OnBackClicked() {
  if (pages_->currentIndex() > 0) pages_->setCurrentIndex(pages_->currentIndex() - 1);
}

void AddWizard::OnNextClicked() {
  switch (pages_->currentIndex()) {
    case 0:
      if (OutputNameAccepted()) pages_->setCurrentIndex(1);
      break;
    case 1:
      pages_->setCurrentIndex(2);
      break;
    default:
      Finish();
      break;
  }
}

void AddWizard::StayOnOutputName() { outputPathEdit_->setFocus(); }

bool AddWizard::OutputNameAccepted() {
  // Linux paths keep their "/" separators: the name is checked as it is.
  const std::string name = PathOf(outputPathEdit_->text());
  if (platform::FileExists(name)) {
    // Replacing the source itself would destroy it while it is being read.
    if (platform::SameFile(name, workspace_.workingTask.sourceFile)) {
      ShowError(workspace_, TranslatedText(lang::OutputIsInput) + "\n" + name + "\n" + TranslatedText(lang::ChooseAnotherOutput));
      StayOnOutputName();
      return false;
    }
    if (!AskYes(workspace_, platform::ErrnoText(EEXIST) + ":\n" + name + "\n" + TranslatedText(lang::ReplaceFileQuestion),
                DefaultButton::Second)) {
      StayOnOutputName();
      return false;
    }
  }
  const NameParts parts = SplitName(name);
  if (platform::FolderExists(parts.folder)) return true;
  if (!AskYes(workspace_, TranslatedText(lang::OutputFolderMissing) + "\n" + parts.folder + "\n" + TranslatedText(lang::CreateFolderQuestion))) {
    StayOnOutputName();
    return false;
  }
  std::string error;
  const std::optional<std::string> folder = core::CreateOutputFolderChain(parts.folder, error);
  if (!folder) {
    // The output name stays as it was: going on with a bare file name would write who knows
    // where.
    ShowError(workspace_, error);
    StayOnOutputName();
    return false;
  }
  outputPathEdit_->setText(PathText(*folder + parts.fileName));
  return true;
}

void AddWizard::Finish() {
  core::ConversionTask& task = workspace_.workingTask;
  task.outputFile = PathOf(outputPathEdit_->text());
  engine::EncodingSettings& encoding = task.encoding;
  encoding.bitrate = SelectedNumber(bitrateSelector_);
  encoding.vbrMinBitrate = SelectedNumber(minBitrateSelector_);
  encoding.vbrMaxBitrate = SelectedNumber(maxBitrateSelector_);
  encoding.vbrQuality = vbrQualitySelector_->currentIndex();
  encoding.sampleRate = SelectedNumber(sampleRateSelector_);
  encoding.channelMode = engine::ChannelModeOf(channelModeSelector_->currentIndex()).value_or(encoding.channelMode);
  encoding.vbr = vbrCheck_->isChecked();
  task.title = titleEdit_->text().toStdString();
  task.artist = artistEdit_->currentText().toStdString();
  task.comment = commentEdit_->currentText().toStdString();
  task.genre = genreEdit_->currentText().toStdString();
  task.year = yearEdit_->currentText().toStdString();
  task.album = albumEdit_->currentText().toStdString();
  task.albumArtist = albumArtistEdit_->currentText().toStdString();
  task.track = trackEdit_->currentText().toStdString();
  // Left out, the source's own cover goes and so does the folder's album art.
  task.omitCover = (task.coverBytes > 0 || folderArt_.has_value()) && !coverCheck_->isChecked();

  task.estimatedSize = core::EstimateTaskSize(task);

  // A list that cannot be written keeps the wizard on this page; the value is already among
  // the items then, so the next Finish does not write that list again.
  if (!StoreHistoryLists()) return;

  core::Settings& defaults = workspace_.settings;
  defaults.inputFileDir = platform::FolderOf(task.sourceFile);
  // The output folder stays the main window's choice: a name changed here is for this task. A
  // mono source's mode says nothing about the next stereo one.
  const engine::ChannelMode mode = task.sourceChannels == 1 ? defaults.encoding.channelMode : encoding.channelMode;
  defaults.encoding = encoding;
  defaults.encoding.channelMode = mode;
  workspace_.SaveSettings();
  accept();
}

bool AddWizard::StoreHistoryLists() {
  const std::array<QComboBox*, core::kTagHistoryFiles.size()> boxes = {albumEdit_,   artistEdit_,      yearEdit_,
                                                                 commentEdit_, albumArtistEdit_, trackEdit_};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    QComboBox* box = boxes[i];
    const QString text = box->currentText();
    // The drop-down's own lookup, which ignores case.
    if (text.isEmpty() || box->findText(text, Qt::MatchFixedString) >= 0) continue;
    AddSorted(box, text);
    box->setEditText(text);
    std::string error;
    if (!core::WriteTagHistory(core::TagHistoryPath(core::kTagHistoryFiles[i]), Items(box), error)) {
      ShowError(workspace_, error);
      return false;
    }
  }
  return true;
}

void AddWizard::OnInputFileClicked() {
  core::ConversionTask& task = workspace_.workingTask;
  const bool defaultOutputName =
      PathOf(outputPathEdit_->text()) ==
      core::DefaultOutputFolder(task.sourceFile, workspace_.settings.outputFileDir) + core::Mp3FileNameFor(task.sourceFile);

  const std::string current = PathOf(inputPathEdit_->text());
  inputFileDialog_->setDirectory(PathText(platform::FolderOf(current)));
  inputFileDialog_->selectFile(PathText(platform::FileNameOf(current)));
  if (inputFileDialog_->exec() != QDialog::Accepted || inputFileDialog_->selectedFiles().isEmpty()) return;

  // On this thread: one file's header and tags. A file that cannot be inspected leaves the task
  // as it was, without a message.
  const core::Inspection inspection = core::InspectMediaFile(PathOf(inputFileDialog_->selectedFiles().constFirst()));
  if (inspection.result != core::ReadResult::Ok) return;
  core::TakeInspection(task, inspection);

  ShowInputInformation();
  if (defaultOutputName) {
    const core::ConversionTask fresh = core::TaskOf(inspection, workspace_.settings, workspace_.tasks);
    task.outputFile = fresh.outputFile;
    outputPathEdit_->setText(PathText(task.outputFile));
  }
  ShowTags();
}

void AddWizard::OnOutputFileClicked() {
  const std::string current = PathOf(outputPathEdit_->text());
  outputFileDialog_->setDirectory(PathText(platform::FolderOf(current)));
  outputFileDialog_->selectFile(PathText(platform::FileNameOf(current)));
  if (outputFileDialog_->exec() != QDialog::Accepted || outputFileDialog_->selectedFiles().isEmpty()) return;
  outputPathEdit_->setText(outputFileDialog_->selectedFiles().constFirst());
}

void AddWizard::OnVbrToggled() { bitrateStack_->setCurrentIndex(vbrCheck_->isChecked() ? 1 : 0); }

bool AddWizard::eventFilter(QObject* watched, QEvent* event) {
  // A key that would type into the input name picks another input file instead.
  if (event->type() == QEvent::KeyPress && watched == inputPathEdit_) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!OpensFileDialog(*key)) return false;  // Tab, Enter, Escape work as everywhere
    OnInputFileClicked();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace app
