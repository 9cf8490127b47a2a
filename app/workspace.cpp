#include "app/workspace.h"

namespace app {

Workspace::Workspace(std::string programFolder, platform::Dispatcher& dispatcher)
    : messages(desktop), programFolder_(std::move(programFolder)), dispatcher_(dispatcher), store_(programFolder_) {}

void Workspace::LoadSettings() { settings = store_.Load(); }

void Workspace::SaveSettings() { store_.Save(settings); }

bool Workspace::HasUnfinishedTasks() const {
  for (int i = 0; i < tasks.Count(); ++i) {
    if (!core::Finished(tasks[i].state)) return true;
  }
  return false;
}

bool Workspace::KeepTasks(std::string* error) {
  if (!taskStore.IsOpen()) return true;
  // A list whose every MP3 is made holds nothing to bring back.
  if (!HasUnfinishedTasks()) {
    taskStore.Discard();
    return true;
  }
  return taskStore.Save(tasks, error);
}

}  // namespace app
