// The add/edit wizard: the modal three-page window through which the user confirms or changes
// one conversion task before it enters the task list. It holds no task of its own: it shows
// WorkingTask, which inspection (add) or a copy of a list entry (edit) has filled, and Finish
// writes the pages back into it.
//
// Page 1 shows the input file with its duration and audio format and the output file, and checks
// the output name on Next; page 2 holds the MP3 settings; page 3 the tag texts. Finish also makes
// the task's folders and MP3 settings the new defaults and saves them, adds new tag values to the
// history lists and, when adding, appends the task to Tasks.
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

class TaddFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TaddFrm(QWidget* parent = nullptr);

  // Shows the wizard modally for WorkingTask. With `adding`, Finish appends the task to Tasks;
  // without it (editing an entry) the caller stores WorkingTask back. Returns 1 when the user
  // finished (the task and the defaults are then stored) and 2 when they cancelled or closed the
  // window (WorkingTask may then hold a newly picked input file, which the caller ignores).
  int ShowModal(bool adding);

  // Set by the opener: Finish appends to Tasks.
  bool Adding = false;

  // The controls, by their design names.
  QStackedWidget* addPages;
  QWidget* addPage1;
  QWidget* addPage2;
  QWidget* addPage3;
  QLabel* InputFileLabel;
  QLineEdit* srcFile;
  QToolButton* addFileBtn;
  QLabel* outFileLabel;
  QLineEdit* dstFile;
  QToolButton* outFileBtn;
  QGroupBox* inputFileInfoPanel;
  QListWidget* inFileInfoList;
  QCheckBox* VBRCheck;
  QStackedWidget* BitrateSettingsPage;
  QComboBox* bitRateSel;
  QComboBox* minBitrateSel;
  QComboBox* maxBitrateSel;
  QComboBox* samplerateSel;
  QComboBox* ChannelModeSel;
  QGroupBox* tagPanel;
  QLineEdit* titleEdit;
  QComboBox* albumEdit;
  QComboBox* artistEdit;
  QComboBox* GenreEdit;
  QComboBox* YearEdit;
  QComboBox* commentEdit;
  QPushButton* cancelBtn;
  QPushButton* backBtn;
  QPushButton* nextBtn;
  QFileDialog* AddFilesDlg;  // picks another input file
  QFileDialog* outFileDlg;   // picks the output file

 public slots:
  void FormShow();
  void addPage1Show();
  void addPage2Show();
  void addPage3Show();
  void backBtnClick();
  void suiButton4Click();  // nextBtn: the next page, or Finish on page 3
  void cancelBtnClick();
  void addFileBtnClick();
  void outFileBtnClick();
  void VBRCheckClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void srcFileKeyDown(QKeyEvent* event);
  void dstFileKeyDown(QKeyEvent* event);
  void ShowInputInformation();
  void ShowTags();
  void LoadHistoryLists();
  void PageShown(int index);
  bool OutputNameAccepted();
  void Finish();
  bool StoreHistoryLists();
  void StayOnOutputName();
};
