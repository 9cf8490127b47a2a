// The main window: the checked task list, where the MP3 files go and how they are named, how a
// run treats them (only new or changed files; verification, ReplayGain and folder art in the
// options menu), the info panel describing the selected task, and the buttons to add files or
// whole folders (by dialog, by dropping them, or from the command line), remove, edit and
// convert tasks, and to open the help and the about window. Every button has its usual key:
// Insert or Ctrl+O adds files, Ctrl+Shift+O a folder, Delete removes, Enter edits, Space checks,
// F1 opens the guide and Ctrl+Q quits through the same checks as the close button.
//
// The output choice (folder and names) applies to every listed task that follows it: a change
// names them anew at once, except a task the user gave its own output in the wizard and one whose
// MP3 is done. The choices and options are kept in the settings.
//
// Adding reads one file at a time on a reading thread (SourceReader) and shows each in the
// wizard as its result arrives; meanwhile, and while a run goes on, CanAct refuses every action
// that could change the task list (closing the window included) with a notice. Files handed over
// during a run are read all the same and listed at once, waiting for the run, with the settings
// new tasks get; when the run ends they are converted in a run of their own (after a cancelled
// run they are left checked for Start). Files given while an add goes on wait until it ends.
//
// The task list is kept on disk (the workspace's task store) as it changes. On the first show
// the window offers to bring back the unfinished list a previous session left; closing keeps an
// unfinished list for the next start and says so, once.
//
// Thread: the user-interface thread. Ownership: the window owns its controls and its reader;
// the wizard and the progress window are created by start-up and only used here. The window's
// controls are its own; tests find them by their object names.
#pragma once

#include <array>
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
#include "core/conversion_task.h"
#include "core/library.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QMenu;
class QTimer;
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

  // Offers to bring back the list the last session left when it has unfinished tasks (see the
  // top); shown once, on the first show, before anything is added. Until it is settled nothing
  // is written over that list.
  void OfferKeptTasks();
  // Writes the task list now (otherwise it is written shortly after each change).
  void KeepTasksNow();

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
  // Files handed over during a run, read one after the other into waiting tasks.
  struct HandOff {
    std::vector<core::AddedFile> files;
    std::size_t next = 0;
    std::vector<std::string> refused;
  };

  void BuildLayout();
  void AddShortcuts();
  void ApplyCaptions();
  void LockControls(bool lock);
  // The controls of where and how MP3 files are made: off while files are added.
  std::vector<QWidget*> OutputControls() const;
  bool UpdateButtons();
  void RefreshTaskList();
  void AppendTaskRow(int index);
  void ShowTaskInfo(int index);
  void EditTask(int index);
  // Shows the settings' output folder in the selector.
  void ShowOutputLocation();
  // Shows the settings' name choice, pattern and run options.
  void ShowOutputNames();
  void ShowRunOptions();
  // The pattern the name controls give now; nothing, with `reason` saying why, when the own
  // pattern does not parse.
  std::optional<core::NamePattern> EditedPattern(QString& reason) const;
  // Shows the selected (else the first) task's name under the edited choice, or why the
  // pattern is not used.
  void ShowNamePreview();
  // Names every task that follows the output choice anew and shows the result.
  void ApplyOutputChoice();
  // The output name a new task gets under the current choice.
  void NameNewTask(core::ConversionTask& task) const;
  // Whether the wizard gave the task its own output: it changed the name, and not by changing
  // the source of a task that followed the choice (which is then named anew).
  void TakeWizardOutput(core::ConversionTask& task, const core::ConversionTask& before) const;
  // Sizes the file and status columns to their texts (each up to a share of the list's width);
  // the title column takes the rest. `row` says which row changed (-1: any number of them), so
  // that a long list is not measured again for each row. Coalesced: the columns change once
  // the current event is handled.
  void FitColumns(int row = -1);
  void FitColumnsNow();
  // The width the text (and icon) of `row` in `column` needs.
  int TextWidth(int row, int column) const;
  // The list changed: it is written to disk shortly.
  void TasksChanged();
  void QueueForRun(const std::vector<std::string>& paths);
  void ReadNextHandedOver();
  void OnHandedOverInspected(const core::Inspection& inspection);
  // Converts the tasks that waited for the run, unless that run was cancelled.
  void StartQueuedTasks();
  // The paths a dialog returned (through the tests' chooser when one is set); nothing on Cancel.
  std::optional<QStringList> Choose(QFileDialog& dialog);
  void AddNextFile();
  void OnFileInspected(const core::Inspection& inspection);
  void FinishAdding();
  void AddWaitingPaths();

  void OnAddFilesClicked();
  void OnAddFolderClicked();
  void OnOutputLocationChosen(int index);
  void OnOutputNamesChosen(int index);
  void OnNamePatternEdited();
  void OnNamePatternSettled();
  void OnRunOptionToggled();
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
  std::optional<HandOff> handOff_;
  std::vector<std::string> waitingPaths_;  // given while the window could not act
  bool controlsLocked_ = false;
  bool fillingList_ = false;  // the list's own changes are not the user's
  bool shownBefore_ = false;
  bool showingOutputLocation_ = false;
  bool showingNames_ = false;
  bool showingOptions_ = false;
  bool keptTasksSettled_ = false;  // the kept list was offered (or there was none)
  bool columnsPending_ = false;
  bool columnsMeasured_ = false;
  std::array<int, 2> columnWidths_{};  // what the file and status columns' texts need
  QTimer* keepTimer_;
  QTimer* patternTimer_;  // a pattern typed in applies once the typing pauses

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
  QLabel* outputNamesLabel_;
  QComboBox* outputNamesSelector_;  // like the source, artist/album/title, own pattern
  QLineEdit* namePatternEdit_;      // shown for the own pattern
  QLabel* namePreviewLabel_;
  QCheckBox* updateOnlyCheck_;
  QPushButton* optionsButton_;
  QMenu* optionsMenu_;
  QAction* verifyAction_;
  QAction* replayGainAction_;
  QAction* folderArtAction_;
  QFileDialog* addFilesDialog_;
  QFileDialog* addFolderDialog_;
  QFileDialog* outputFolderDialog_;
};

}  // namespace app
