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
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TTipsFrm;
class TaddFrm;

namespace engine {
class TprgFrm;
}

class TmainFrm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TmainFrm(QWidget* parent = nullptr);

  // The windows the main window drives (created by start-up after it, not owned); `tips` is
  // null when tips were off at start-up (`tipsWindow`).
  void SetWindows(TaddFrm* wizard, engine::TprgFrm* progress, TTipsFrm* tipsWindow);

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

  bool ControlsLocked = false;

  // Tests answer the open-file dialog through `chooser` (the chosen files, or nothing for
  // Cancel); an empty function restores the dialog.
  using FileChooser = std::function<std::optional<QStringList>(QFileDialog& dialog)>;
  static void SetFileChooser(FileChooser chooser);

  QLabel* statusPanel0;  // statusBar panel 0: the file being read
  QLabel* statusPanel1;  // statusBar panel 1
  QWidget* btmPanel;
  QGroupBox* infoPanel;
  QLabel* taskInfo_1;
  QLabel* taskInfo_2;
  QLabel* TaskInfo_5;
  QLabel* taskinfo_3;
  QLabel* Taskinfo_4;
  QWidget* rightPanel;
  QPushButton* addFileBtn;
  QPushButton* rmFileBtn;
  QPushButton* editFileBtn;
  QPushButton* startBtn;
  QPushButton* helpBtn;
  QPushButton* aboutBtn;
  QWidget* clientPanel;
  QGroupBox* taskPanel;
  QListWidget* TaskList;
  QFileDialog* AddFilesDlg;

 public slots:
  void FormCreate();
  void addFileBtnClick();
  void dfFormDropFiles(const std::vector<std::string>& paths);
  void helpBtnClick();
  void aboutBtnClick();
  void TaskListClick();
  void TaskListClickCheck(QListWidgetItem* item);
  void TaskListDblClick();
  void rmFileBtnClick();
  void editFileBtnClick();
  void startBtnClick();
  void taskInfo_1HyperLinkClick(const QString& link);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void BuildLayout();
  // The drop filter's extensions, set from the dialog's filter before each drop.
  void dfFormBeforeDrop();

  TaddFrm* wizard_ = nullptr;
  engine::TprgFrm* progress_ = nullptr;
  TTipsFrm* tips_ = nullptr;
  std::vector<std::string> fltExt_;  // the drop filter's accepted extensions
  bool fillingList_ = false;         // the list's own changes are not the user's
};
