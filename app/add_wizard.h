// The add/edit wizard: the modal three-page window through which the user confirms or changes
// one conversion task before it enters the task list. It holds no task of its own: it shows
// WorkingTask, which inspection (add) or a copy of a list entry (edit) has filled, and Finish
// writes the pages back into it.
//
// Page 1 shows the input file with its duration and audio format and the output file, and checks
// the output name on Next; page 2 holds the MP3 settings; page 3 the tags and the cover picture.
// Finish also makes the source's folder and the MP3 settings the new defaults and saves them
// (the output folder stays the main window's choice), adds new tag values to the history lists
// and, when adding, appends the task to Tasks.
//
// Thread: the user-interface thread. Created once and reused; every show reloads everything
// from WorkingTask, DefaultSettings and the history files.
#pragma once

#include <QDialog>

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

class AddWizard : public QDialog {
  Q_OBJECT

 public:
  explicit AddWizard(QWidget* parent = nullptr);

  // Shows the wizard modally for WorkingTask. With `adding`, Finish appends the task to Tasks;
  // without it (editing an entry) the caller stores WorkingTask back. Returns 1 when the user
  // finished (the task and the defaults are then stored) and 2 when they cancelled or closed the
  // window (WorkingTask may then hold a newly picked input file, which the caller ignores).
  int ShowModal(bool adding);
  // Whether Finish appends the task to Tasks (ShowModal sets it; tests that show the wizard
  // without its own loop set it here).
  void SetAdding(bool adding) { adding_ = adding; }

  // The controls.
  QStackedWidget* pages;
  QWidget* filesPage;
  QWidget* settingsPage;
  QWidget* tagsPage;
  QLabel* inputFileLabel;
  QLineEdit* inputPathEdit;
  QToolButton* inputFileButton;
  QLabel* outputFileLabel;
  QLineEdit* outputPathEdit;
  QToolButton* outputFileButton;
  QGroupBox* inputInfoBox;
  QListWidget* inputInfoList;
  QCheckBox* vbrCheck;
  QStackedWidget* bitrateStack;
  QComboBox* bitrateSelector;
  QComboBox* minBitrateSelector;
  QComboBox* maxBitrateSelector;
  QComboBox* sampleRateSelector;
  QComboBox* channelModeSelector;
  QGroupBox* tagBox;
  QLineEdit* titleEdit;
  QComboBox* albumEdit;
  QComboBox* artistEdit;
  QComboBox* albumArtistEdit;
  QComboBox* trackEdit;  // "3" or "3/12"
  QComboBox* genreEdit;
  QComboBox* yearEdit;
  QComboBox* commentEdit;
  QLabel* coverPreview;  // the cover the task writes, or why there is none
  QCheckBox* coverCheck;  // unchecked: the MP3 gets no picture
  QLabel* coverInfo;      // the picture's type and size, or that the source has none
  QPushButton* cancelButton;
  QPushButton* backButton;
  QPushButton* nextButton;
  QFileDialog* inputFileDialog;  // picks another input file
  QFileDialog* outputFileDialog;   // picks the output file

 public slots:
  void LoadTask();
  void OnFilesPageShown();
  void OnSettingsPageShown();
  void OnTagsPageShown();
  void OnBackClicked();
  void OnNextClicked();  // nextButton: the next page, or Finish on page 3
  void OnCancelClicked();
  void OnInputFileClicked();
  void OnOutputFileClicked();
  void OnVbrToggled();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInputPathKey(QKeyEvent* event);
  void ShowInputInformation();
  void ShowTags();
  void ShowCover();
  void LoadHistoryLists();
  void OnPageChanged(int index);
  bool OutputNameAccepted();
  void Finish();
  bool StoreHistoryLists();
  void StayOnOutputName();

  bool adding_ = false;  // Finish appends the task to Tasks
};
