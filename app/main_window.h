// The main window: the checked task list, where new tasks' MP3 files go, the info panel
// describing the selected task, and the buttons to add files or whole folders (by dialog, by
// dropping them, or from the command line), remove, edit and convert tasks, and to open the help
// and the about window. Every button has its usual key: Insert or Ctrl+O adds files,
// Ctrl+Shift+O a folder, Delete removes, Enter edits, Space checks, F1 opens the guide and Ctrl+Q
// quits through the same checks as the close button.
//
// While a file is being read or the progress window is visible, CanAct refuses every action
// that could change the task list (closing the window included) with a notice.
//
// Thread: the user-interface thread. Ownership: the window owns its controls; the wizard and the
// progress window are created by start-up and only used here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QStringList>

class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;
class AddWizard;
class ProgressWindow;
class TipsWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // The windows the main window drives (created by start-up after it, not owned); `tips` is
  // null when tips were off at start-up (`tipsWindow`).
  void SetWindows(AddWizard* wizard, ProgressWindow* progress, TipsWindow* tipsWindow);

  // True when no file is being read and no run is shown; otherwise shows the refusal notice.
  bool CanAct();
  void LockControls(bool lock);
  // Adds files and folders (see added_files.h): each file through the wizard, or, once the user
  // chose to use the same settings for the rest, straight away. A file that cannot be added
  // does not stop the others: when several were given, those refused are listed in one message
  // at the end. The wizard's Cancel ends the add. The last task added is selected. While the
  // window cannot act (a file is read, a run is shown) the paths wait and are added after.
  void AddPaths(const std::vector<std::string>& paths);
  // Inspects `path` and adds it: through the wizard, or straight away with `sameSettings`. The
  // read result (ReadOk when the file was readable, whether the wizard then took it or not),
  // and in `added` whether a task was added.
  std::int32_t AddOneFile(const std::string& path, const std::string& subfolder, bool sameSettings, bool& added);

  // The task list.
  void RefreshTaskList();
  void AppendTaskRow(int index);
  bool UpdateButtons();
  void ShowTaskInfo(int index);
  void EditTask(int index);
  void OpenSourceFile(int index);
  void OpenOutputFile(int index);
  int CurrentRow() const;
  void SetCurrentRow(int row);
  // Shows task `index` as it is now in its row (check mark, title, status).
  void RefreshTaskRow(int index);

  bool controlsLocked = false;

  // Tests answer the open-file dialog through `chooser` (the chosen files, or nothing for
  // Cancel); an empty function restores the dialog.
  using FileChooser = std::function<std::optional<QStringList>(QFileDialog& dialog)>;
  static void SetFileChooser(FileChooser chooser);

  QLabel* readingStatusLabel;  // statusBar panel 0: the file being read
  QLabel* statusRightLabel;  // statusBar panel 1
  QWidget* bottomPanel;
  QGroupBox* infoPanel;
  QLabel* inputInfoLabel;
  QLabel* outputInfoLabel;
  QLabel* settingsInfoLabel;
  QLabel* extrasInfoLabel;  // album artist, track, disc, composer, cover: those the task has
  QLabel* durationInfoLabel;
  QLabel* editLinkLabel;
  QWidget* buttonPanel;
  QPushButton* addFilesButton;
  QPushButton* addFolderButton;
  QPushButton* removeButton;
  QPushButton* editButton;
  QPushButton* startButton;
  QPushButton* helpButton;
  QPushButton* aboutButton;
  QWidget* listArea;
  QGroupBox* taskListBox;
  QTreeWidget* taskListView;
  QLabel* outputLocationLabel;
  QComboBox* outputLocationSelector;  // beside each source, the chosen folder, choose another
  QFileDialog* addFilesDialog;
  QFileDialog* addFolderDialog;
  QFileDialog* outputFolderDialog;

 public slots:
  void ResetControls();
  void OnAddFilesClicked();
  void OnAddFolderClicked();
  void AddDroppedFiles(const std::vector<std::string>& paths);
  void OnOutputLocationChosen(int index);
  void OnHelpClicked();
  void OnAboutClicked();
  void OnTaskListClicked();
  void OnTaskCheckChanged(QTreeWidgetItem* item, int column);
  void OnTaskDoubleClicked();
  void OnRemoveClicked();
  void OnEditClicked();
  void OnStartClicked();
  void OnInfoLinkActivated(const QString& link);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyCaptions();
  void BuildLayout();
  void AddShortcuts();
  // Shows DefaultSettings.outputFileDir in the selector.
  void ShowOutputLocation();
  // The paths a dialog returned (through the tests' chooser when one is set); nothing on Cancel.
  std::optional<QStringList> Choose(QFileDialog& dialog);
  void AddWaitingPaths();

  AddWizard* wizard_ = nullptr;
  ProgressWindow* progress_ = nullptr;
  TipsWindow* tips_ = nullptr;
  std::vector<std::string> waitingPaths_;  // given while the window could not act
  bool fillingList_ = false;          // the list's own changes are not the user's
  bool shownBefore_ = false;
  bool showingOutputLocation_ = false;
};
