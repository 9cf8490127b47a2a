// The main window's task list and info panel: one row per task with its check mark mirrored
// into the task, the info lines of the selected task, and remove, edit and start.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/add.h"
#include "app/api.h"
#include "app/common.h"
#include "app/lang.h"
#include "app/main.h"
#include "app/task_info.h"
#include "engine/msgbox.h"
#include "engine/progress.h"
#include "engine/shell.h"

namespace {

QListWidgetItem* TaskRow(const TConversionTask& task) {
  auto* item = new QListWidgetItem(QString::fromStdString(task.Title.str()));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(task.Checked ? Qt::Checked : Qt::Unchecked);
  item->setSizeHint(QSize(0, std::max(16, QFontMetrics(item->font()).height() + 4)));
  return item;
}

}  // namespace

int TmainFrm::CurrentRow() const { return TaskList->currentRow(); }

void TmainFrm::RefreshTaskList() {
  fillingList_ = true;
  TaskList->clear();
  if (!Tasks.Empty()) {
    for (int i = 0; i < Tasks.Count(); ++i) TaskList->addItem(TaskRow(Tasks[i]));
    startBtn->setEnabled(true);
  } else {
    // The hint row belongs to no task and has no check mark.
    auto* hint = new QListWidgetItem(QString::fromUtf8(lang::AddFilesHint));
    hint->setFlags(Qt::ItemIsEnabled);
    TaskList->addItem(hint);
    for (QPushButton* button : {rmFileBtn, editFileBtn, startBtn}) button->setEnabled(false);
  }
  fillingList_ = false;
  UpdateButtons();
}

void TmainFrm::AppendTaskRow(int index) {
  fillingList_ = true;
  if (Tasks.Count() == 1) TaskList->clear();  // the hint row goes
  if (TaskList->count() < index + 1) TaskList->addItem(TaskRow(WorkingTask));
  TaskList->item(index)->setCheckState(Qt::Checked);
  fillingList_ = false;
  UpdateButtons();
}

bool TmainFrm::UpdateButtons() {
  if (ControlsLocked) return false;
  if (Tasks.Empty()) {
    startBtn->setEnabled(false);
    return false;
  }
  startBtn->setEnabled(true);
  const bool selected = !TaskList->selectedItems().isEmpty();
  rmFileBtn->setEnabled(selected);
  editFileBtn->setEnabled(selected);
  return selected;
}

void TmainFrm::ShowTaskInfo(int index) {
  if (index >= Tasks.Count()) return;
  if (index < 0) {
    taskInfo_1->setText(EmptyListInfo());
    for (QLabel* label : {taskInfo_2, TaskInfo_5, taskinfo_3, Taskinfo_4}) label->clear();
    return;
  }
  const TConversionTask& task = Tasks[index];
  const TaskInfoLines lines = TaskInfoFor(task, FileExists(task.OutputFile));
  taskInfo_1->setText(lines.input);
  taskInfo_2->setText(lines.output);
  TaskInfo_5->setText(lines.settings);
  taskinfo_3->setText(lines.duration);
  Taskinfo_4->setText(lines.editLink);
}

void TmainFrm::TaskListClick() {
  if (Tasks.Empty()) {
    ShowTaskInfo(-1);
    addFileBtnClick();
  }
  if (UpdateButtons() && CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
}

void TmainFrm::TaskListClickCheck(QListWidgetItem* item) {
  if (fillingList_ || item == nullptr) return;
  const int row = TaskList->row(item);
  if (row < 0 || row >= Tasks.Count()) return;
  // Ticking a box selects its row, as clicking the row would.
  if (!ControlsLocked && CurrentRow() != row) TaskList->setCurrentRow(row);
  if (UpdateButtons()) {
    Tasks[row].Checked = item->checkState() == Qt::Checked;
  } else {
    // Not recorded, so the mark goes back to what the task holds.
    fillingList_ = true;
    item->setCheckState(Tasks[row].Checked ? Qt::Checked : Qt::Unchecked);
    fillingList_ = false;
  }
}

void TmainFrm::TaskListDblClick() {
  if (UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
}

void TmainFrm::rmFileBtnClick() {
  if (!CanAct() || !UpdateButtons() || CurrentRow() < 0) return;
  const int row = CurrentRow();
  RemoveTask(row);
  RefreshTaskList();
  // The info panel follows: the row now in the removed one's place, or the empty-list hint.
  if (Tasks.Empty()) {
    ShowTaskInfo(-1);
  } else {
    TaskList->setCurrentRow(std::min(row, Tasks.Count() - 1));
    UpdateButtons();
    ShowTaskInfo(CurrentRow());
  }
}

void TmainFrm::editFileBtnClick() {
  if (CanAct() && UpdateButtons() && CurrentRow() >= 0) EditTask(CurrentRow());
}

void TmainFrm::EditTask(int index) {
  if (ControlsLocked) {
    engine::ShowMessageWindow(engine::mkInformation, lang::CannotActWhileBusy, lang::HelpButton, lang::OKButton);
    return;
  }
  if (index < 0 || index >= Tasks.Count() || wizard_ == nullptr) return;
  WorkingTask = Tasks[index];
  if (wizard_->ShowModal(false) != 1) return;
  StoreWorkingTask(index);
  const QString title = QString::fromStdString(WorkingTask.Title.str());
  if (TaskList->item(index)->text() != title) TaskList->item(index)->setText(title);
  ShowTaskInfo(index);
}

void TmainFrm::startBtnClick() {
  if (!CanAct()) return;
  if (Tasks.Empty()) {
    engine::ShowMessageWindow(engine::mkQuestion, lang::NothingToConvert, lang::HelpButton, lang::OKButton);
    return;
  }
  if (progress_ != nullptr) progress_->StartRun();
  // Converted files now exist: their output names become links.
  if (CurrentRow() >= 0) ShowTaskInfo(CurrentRow());
}

void TmainFrm::OpenSourceFile(int index) {
  if (index >= 0 && index < Tasks.Count()) engine::OpenWithDesktop(Tasks[index].SourceFile);
}

void TmainFrm::OpenOutputFile(int index) {
  if (index >= 0 && index < Tasks.Count()) engine::OpenWithDesktop(Tasks[index].OutputFile);
}

void TmainFrm::taskInfo_1HyperLinkClick(const QString& link) {
  if (link == QStringLiteral("aa")) {
    addFileBtnClick();
  } else if (link == QStringLiteral("bb")) {
    OpenSourceFile(CurrentRow());
  } else if (link == QStringLiteral("cc")) {
    editFileBtnClick();
  } else if (link == QStringLiteral("dd")) {
    OpenOutputFile(CurrentRow());
  }
}
