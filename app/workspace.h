// What the desktop program works on, owned by main() and handed to the windows by reference:
// the task list and the store that keeps it on disk, the working task that inspection fills and
// the wizard edits, the settings (with the tips counter) and their store, the program's folder,
// and the services every window uses — the dispatcher that brings workers' results to the
// user-interface thread, the message window and the desktop's opener. Tests build their own; a
// workspace keeps its task list only once told where (KeepTasksIn).
//
// Thread: the user-interface thread.
#pragma once

#include <string>

#include "app/desktop.h"
#include "app/message_window.h"
#include "core/conversion_task.h"
#include "core/settings.h"
#include "core/task_store.h"
#include "platform/dispatcher.h"

namespace app {

class Workspace {
 public:
  // `programFolder` ends with "/": the input folder when the settings cannot be read.
  Workspace(std::string programFolder, platform::Dispatcher& dispatcher);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // Reads the settings from their store (creating it on a first start).
  void LoadSettings();
  // Writes the settings that changed since they were read.
  void SaveSettings();

  // Keeps the task list in `path` from now on (the program: core::TaskListPath of its
  // display); false when another Tavisto keeps that list (see core::TaskStore).
  bool KeepTasksIn(const std::string& path) { return taskStore.Open(path); }
  // Whether any task still has something to do (see core::Finished): only such a list is worth
  // keeping.
  bool HasUnfinishedTasks() const;
  // Writes the task list when it has unfinished tasks, else removes the kept file. False, with
  // `error` saying why, when it could not be written.
  bool KeepTasks(std::string* error = nullptr);

  const std::string& ProgramFolder() const { return programFolder_; }
  platform::Dispatcher& Dispatcher() { return dispatcher_; }

  core::TaskList tasks;
  core::TaskStore taskStore;
  core::ConversionTask workingTask;
  core::Settings settings;
  Desktop desktop;
  Messages messages;

 private:
  std::string programFolder_;
  platform::Dispatcher& dispatcher_;
  core::SettingsStore store_;
};

}  // namespace app
