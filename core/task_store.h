// The task list kept on disk, so that a list survives a crash, a kill or the end of the session:
// the text of a list and back, where an instance of the desktop program keeps it, and the store
// that writes it as it changes.
//
// The text is of this program's own design, line by line:
//
//   Tavisto task list 1
//   task
//   source /home/ann/Music/Song.wma
//   output /home/ann/MP3/Song.mp3
//   title Song
//   ...                                (one line per field of the task, in a fixed order)
//   task
//   ...
//   end 2 5f1c07a93e0d2b48
//
// Each field line is its key, one blank and its value. A value holds any bytes: "%" and the
// bytes below 0x20 and 0x7F are written as "%" and two upper-case hex digits, every other byte
// as it is (so UTF-8 stays readable). The last line counts the tasks and gives the FNV-1a hash
// (64 bits, hex) of every byte before it, so a cut or damaged file is told from a whole one. A
// field missing from a task has its value of a new task; a key that is not known, a field twice,
// a number that does not fit, anything after the last line, or another first line make the
// whole file unreadable: nothing of it is taken.
//
// Thread: one thread per store; the text functions on any thread. No Qt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conversion_task.h"

namespace core {

// The text of `tasks` as the store writes it.
std::string FormatTaskList(const TaskList& tasks);

// The tasks of a text that FormatTaskList wrote; nothing for a text that is damaged, cut short
// or of another kind (see above).
std::optional<std::vector<ConversionTask>> ParseTaskList(std::string_view text);

// `task` as a task of a list kept by an ended session comes back: what a run was doing with it
// (waiting, converting, queued) is over, so it is ready again; everything else is as it was.
ConversionTask RecoveredTask(ConversionTask task);

// The folder of the program's state files: $XDG_STATE_HOME/tavisto/ when that is an absolute
// path, else ~/.local/state/tavisto/. It may not exist yet.
std::string StateFolder();

// The name of the instance on `display` (the desktop's display name: WAYLAND_DISPLAY, else
// DISPLAY, else empty), safe as part of a file name: "wayland-0", ":0", "default".
std::string InstanceName(std::string_view display);

// Where the instance `instance` keeps its task list: StateFolder() + "tasks-<instance>.list".
std::string TaskListPath(std::string_view instance);

// The task list of one instance of the program, in one file. The instance holds a lock on the
// file (a ".lock" beside it) for the store's life, so that another process (a second instance
// on the same display started without the single-instance hand-off) never overwrites the list;
// such a process keeps no list at all. Instances on other displays use other files.
class TaskStore {
 public:
  // A store that keeps nothing, until Open.
  TaskStore() = default;
  ~TaskStore();
  TaskStore(const TaskStore&) = delete;
  TaskStore& operator=(const TaskStore&) = delete;

  // Keeps the list in `path` from now on; false (and the store keeps nothing) when another
  // process holds its lock or the lock cannot be made. The folder is made (mode 0700) when it
  // is missing: the list names the user's files.
  bool Open(const std::string& path);
  bool IsOpen() const { return lockFd_ >= 0; }
  // Keeps nothing from now on and lets go of the list (its file stays).
  void Close();
  // Whether the last Open failed because another process holds the list.
  bool HeldElsewhere() const { return heldElsewhere_; }
  const std::string& Path() const { return path_; }

  // The list the last session left, when the file is there and readable; nothing otherwise
  // (no file, a damaged or foreign one).
  std::optional<std::vector<ConversionTask>> Load() const;

  // Writes `tasks` atomically (a temporary file, flushed to the disk, renamed over the list),
  // unless the file already holds exactly that text. False, with `error` saying why, when it
  // could not be written; the file is then as it was.
  bool Save(const TaskList& tasks, std::string* error = nullptr);

  // Removes the file: nothing is kept for the next start.
  void Discard();

 private:
  std::string path_;
  int lockFd_ = -1;
  bool heldElsewhere_ = false;
  std::optional<std::string> written_;  // the text the file holds, as far as this store knows
};

}  // namespace core
