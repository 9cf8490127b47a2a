// The main window: the checked task list, the info panel describing the selected task, and the
// buttons to add files (by the open-file dialog or by dropping them), remove, edit and convert
// tasks, and to open the help and the about window.
//
// While a file is being read or the progress window is visible, CanAct refuses every action
// that could change the task list (closing the window included) with a notice.
//
// Thread: the user-interface thread. Ownership: the window owns its controls; the wizard and the
// progress window are created by start-up and only used here.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QStringList>

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
  // Inspects `path` and adds it: through the wizard, or straight away with `sameSettings`.
  bool AddOneFile(const std::string& path, bool sameSettings);
  // The add-files action: with `dropped` files (from a drop) or, without, the open-file dialog.
  void AddFiles(const std::optional<std::vector<std::string>>& dropped);

  // The task list (Part of the window's behaviour kept in task_list.cpp).
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
  QPushButton* removeButton;
  QPushButton* editButton;
  QPushButton* startButton;
  QPushButton* helpButton;
  QPushButton* aboutButton;
  QWidget* listArea;
  QGroupBox* taskListBox;
  QTreeWidget* taskListView;
  QFileDialog* addFilesDialog;

 public slots:
  void ResetControls();
  void OnAddFilesClicked();
  void AddDroppedFiles(const std::vector<std::string>& paths);
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
  // The drop filter's extensions, set from the dialog's filter before each drop.
  void UpdateDropExtensions();

  AddWizard* wizard_ = nullptr;
  ProgressWindow* progress_ = nullptr;
  TipsWindow* tips_ = nullptr;
  std::vector<std::string> dropExtensions_;  // the drop filter's accepted extensions
  bool fillingList_ = false;
  bool shownBefore_ = false;         // the list's own changes are not the user's
};
