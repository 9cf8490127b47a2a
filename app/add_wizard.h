// The add/edit wizard: the modal three-page window through which the user confirms or changes
// one conversion task before it enters the task list. It holds no task of its own: it shows the
// workspace's working task, which inspection (add) or a copy of a list entry (edit) has filled,
// and Finish writes the pages back into it.
//
// Page 1 shows the input file with its duration and audio format and the output file, and checks
// the output name on Next; page 2 holds the MP3 settings; page 3 the tags, the cover picture the
// MP3 will carry (the source's own, or the album art of its folder, named) and a summary of the
// further tags the source carries into it. Alt with a letter that no control of the page carries
// never types into a field, and keys that only move, select or copy in the input name do so
// instead of opening its file dialog.
// Finish also makes the source's folder and the MP3 settings the new defaults and saves them
// (the output folder stays the main window's choice) and adds new tag values to the history
// lists; the caller takes the working task into the list.
//
// Thread: the user-interface thread. Created once and reused; every show reloads everything
// from the working task, the settings and the history files. The controls are the window's own;
// tests find them by their object names.
#pragma once

#include <optional>

#include <QDialog>

#include "core/tags/folder_art.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace app {

class ElidedLabel;
class Workspace;

class AddWizard : public QDialog {
  Q_OBJECT

 public:
  explicit AddWizard(Workspace& workspace, QWidget* parent = nullptr);

  // Shows the wizard modally for the working task. True when the user finished (the working
  // task and the defaults are then stored); false when they cancelled or closed the window (the
  // working task may then hold a newly picked input file, which the caller ignores).
  bool ShowModal();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadTask();
  void ShowInputInformation();
  void ShowTags();
  void ShowCover();
  void LoadHistoryLists();
  void OnPageChanged(int index);
  void ShowFilesPage();
  void ShowSettingsPage();
  void ShowTagsPage();
  void OnBackClicked();
  void OnNextClicked();  // the next page, or Finish on page 3
  void OnInputFileClicked();
  void OnOutputFileClicked();
  void OnVbrToggled();
  bool OutputNameAccepted();
  void Finish();
  bool StoreHistoryLists();
  void StayOnOutputName();

  Workspace& workspace_;
  QStackedWidget* pages_;
  QLabel* inputFileLabel_;
  QLineEdit* inputPathEdit_;
  QToolButton* inputFileButton_;
  QLabel* outputFileLabel_;
  QLineEdit* outputPathEdit_;
  QToolButton* outputFileButton_;
  QGroupBox* inputInfoBox_;
  QListWidget* inputInfoList_;
  QCheckBox* vbrCheck_;
  QStackedWidget* bitrateStack_;
  QComboBox* bitrateSelector_;
  QComboBox* minBitrateSelector_;
  QComboBox* maxBitrateSelector_;
  QComboBox* vbrQualitySelector_;  // LAME's -V 0 (best) … 9 (smallest)
  QComboBox* sampleRateSelector_;
  QComboBox* channelModeSelector_;
  QGroupBox* tagBox_;
  QLineEdit* titleEdit_;
  QComboBox* albumEdit_;
  QComboBox* artistEdit_;
  QComboBox* albumArtistEdit_;
  QComboBox* trackEdit_;  // "3" or "3/12"
  QComboBox* genreEdit_;
  QComboBox* yearEdit_;
  QComboBox* commentEdit_;
  QLabel* coverPreview_;  // the cover the task writes, or why there is none
  QCheckBox* coverCheck_;  // unchecked: the MP3 gets no picture
  ElidedLabel* coverInfo_;      // whose picture it is (the source's, a file of the album folder), or none
  ElidedLabel* moreTagsLabel_;  // what else the source carries into the MP3; hidden when nothing
  std::optional<tags::FolderArtFile> folderArt_;  // the album art the task takes, when the source has none
  QPushButton* cancelButton_;
  QPushButton* backButton_;
  QPushButton* nextButton_;
  QFileDialog* inputFileDialog_;   // picks another input file
  QFileDialog* outputFileDialog_;  // picks the output file
};

}  // namespace app
