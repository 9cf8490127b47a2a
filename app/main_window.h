// The main window: the checked task list, where new tasks' MP3 files go, the info panel
// describing the selected task, and the buttons to add files or whole folders (by dialog, by
// dropping them, or from the command line), remove, edit and convert tasks, and to open the help
// and the about window. Every button has its usual key: Insert or Ctrl+O adds files,
// Ctrl+Shift+O a folder, Delete removes, Enter edits, Space checks, F1 opens the guide and Ctrl+Q
// quits through the same checks as the close button.
//
// Adding reads one file at a time on a reading thread (SourceReader) and shows each in the
// wizard as its result arrives; meanwhile, and while a run goes on, CanAct refuses every action
// that could change the task list (closing the window included) with a notice, and files given
// then wait until the window is free.
//
// Thread: the user-interface thread. Ownership: the window owns its controls and its reader;
// the wizard and the progress window are created by start-up and only used here. The window's
// controls are its own; tests find them by their object names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QStringList>

#include "app/source_reader.h"
#include "core/added_files.h"

class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace app {

class AboutWindow;
class AddWizard;
class ProgressWindow;
class TipsWindow;
class Workspace;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(Workspace& workspace, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The windows the main window drives (created by start-up after it, not owned); `tips` is
  // null when tips were off at start-up.
  void SetWindows(AddWizard* wizard, ProgressWindow* progress, TipsWindow* tips);

  // True when no file is being read and no run is shown; otherwise shows the refusal notice.
  bool CanAct();
  // Adds files and folders (see added_files.h): each file through the wizard, or, once the user
  // chose to use the same settings for the rest, straight away. A file that cannot be added
  // does not stop the others: when several were given, those refused are listed in one message
  // at the end. The wizard's Cancel ends the add. The last task added is selected. While the
  // window cannot act (a file is read, a run is shown, a window asks) the paths wait and are
  // added after.
  void AddPaths(const std::vector<std::string>& paths);
  // True while an add goes on (a file is read or shown in the wizard).
  bool Adding() const { return adding_.has_value(); }

  // The task list's row that is selected, or -1.
  int CurrentRow() const;
  void SetCurrentRow(int row);
  // Shows task `index` as it is now in its row (check mark, title, status).
  void RefreshTaskRow(int index);

  // Tests answer the file and folder dialogs through `chooser` (the chosen paths, or nothing for
  // Cancel); an empty function restores the dialogs.
  using FileChooser = std::function<std::optional<QStringList>(QFileDialog& dialog)>;
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  SourceReader& Reader() { return reader_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One add: the files it adds, and how far it got.
  struct AddSession {
    std::vector<core::AddedFile> files;
    std::size_t next = 0;
    std::vector<std::string> refused;
    bool sameSettings = false;
    bool asked = false;
    int lastAdded = -1;
  };

  void BuildLayout();
  void AddShortcuts();
  void ApplyCaptions();
  void LockControls(bool lock);
  bool UpdateButtons();
  void RefreshTaskList();
  void AppendTaskRow(int index);
  void ShowTaskInfo(int index);
  void EditTask(int index);
  // Shows the settings' output folder in the selector.
  void ShowOutputLocation();
  // The paths a dialog returned (through the tests' chooser when one is set); nothing on Cancel.
  std::optional<QStringList> Choose(QFileDialog& dialog);
  void AddNextFile();
  void OnFileInspected(const core::Inspection& inspection);
  void FinishAdding();
  void AddWaitingPaths();

  void OnAddFilesClicked();
  void OnAddFolderClicked();
  void OnOutputLocationChosen(int index);
  void OnTaskListClicked();
  void OnTaskCheckChanged(QTreeWidgetItem* item, int column);
  void OnRemoveClicked();
  void OnEditClicked();
  void OnStartClicked();
  void OnRunEnded();
  void OnInfoLinkActivated(const QString& link);

  Workspace& workspace_;
  SourceReader reader_;
  AddWizard* wizard_ = nullptr;
  ProgressWindow* progress_ = nullptr;
  TipsWindow* tips_ = nullptr;
  std::unique_ptr<AboutWindow> about_;  // made on first use
  FileChooser chooser_;
  std::optional<AddSession> adding_;
  std::vector<std::string> waitingPaths_;  // given while the window could not act
  bool controlsLocked_ = false;
  bool fillingList_ = false;  // the list's own changes are not the user's
  bool shownBefore_ = false;
  bool showingOutputLocation_ = false;

  QLabel* readingStatusLabel_;
  QLabel* statusRightLabel_;
  QGroupBox* infoPanel_;
  QLabel* inputInfoLabel_;
  QLabel* outputInfoLabel_;
  QLabel* settingsInfoLabel_;
  QLabel* extrasInfoLabel_;  // album artist, track, disc, composer, cover: those the task has
  QLabel* durationInfoLabel_;
  QLabel* editLinkLabel_;
  QWidget* buttonPanel_;
  QPushButton* addFilesButton_;
  QPushButton* addFolderButton_;
  QPushButton* removeButton_;
  QPushButton* editButton_;
  QPushButton* startButton_;
  QPushButton* helpButton_;
  QPushButton* aboutButton_;
  QGroupBox* taskListBox_;
  QTreeWidget* taskListView_;
  QLabel* outputLocationLabel_;
  QComboBox* outputLocationSelector_;  // beside each source, the chosen folder, choose another
  QFileDialog* addFilesDialog_;
  QFileDialog* addFolderDialog_;
  QFileDialog* outputFolderDialog_;
};

}  // namespace app
