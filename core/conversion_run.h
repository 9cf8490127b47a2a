// A conversion run: converts a list of items (one source file to one MP3 file each), up to
// `jobs` of them at once, each through its own MP3 output on its own worker thread. The desktop
// program's progress window and tavisto-convert both run their conversions through it.
//
// A failed item never stops the run: it is recorded with its reason and the next item starts.
// An item's MP3 appears under its name only when it is complete (see engine/staged_file.h), so a
// failed, skipped or cancelled item leaves nothing under it. When an item's output exists as the
// item is about to start, the owner decides (Replace, Skip or Keep both); two items of one run
// never write the same name: a later one is numbered ("song (2).mp3").
//
// Thread: the main thread, the one that serves the main-thread dispatcher. Every handler runs
// there and the run's state changes only there; the outputs' workers reach the run through the
// dispatcher only. Progress is read from atomics the workers publish (Position).
//
// Ownership: the run owns each item's input and output while the item converts, and releases
// them when the item ends. Destroying the run stops what still converts; no handler runs after.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoding_settings.h"

namespace engine {
class DecodedInput;
class Mp3Output;
}  // namespace engine

// What one item of a run converts.
struct RunItem {
  std::string sourceFile;
  std::string outputFile;
  engine::EncodingSettings encoding;
  std::int64_t duration = 0;  // the length known before the run (100 ns); 0 when unknown
  // Whether the output's missing folders are made when the item starts (the desktop program's
  // tasks: their folders were confirmed, or lie under the chosen output folder).
  bool makeFolders = false;
};

enum class ItemState { Waiting, Converting, Done, Failed, Skipped, Cancelled };

// What became of one item.
struct ItemReport {
  ItemState state = ItemState::Waiting;
  // Where the MP3 goes (or went): the item's own name, or a numbered one when another item of
  // the run takes that name or the user chose to keep an existing file ("renamed" says so).
  std::string outputFile;
  bool renamed = false;
  std::string reason;                  // Failed and Skipped: why
  std::optional<std::string> warning;  // Done: the source decoded shorter than it declares
  std::int64_t outputBytes = 0;        // Done: the size of the MP3
};

// What to do with an output that exists when its item is about to start.
enum class CollisionAnswer { Replace, Skip, KeepBoth };

class ConversionRun {
 public:
  struct Handlers {
    // The state of `item` changed (it started, or it ended: Report says how).
    std::function<void(int item)> itemChanged;
    // An item's output exists as it is about to start. Without a handler the item is skipped.
    std::function<CollisionAnswer(int item, const std::string& output)> collision;
    // Every item has ended.
    std::function<void()> finished;
  };

  // The number of conversions a run does at once by default: one per processor core.
  static int DefaultJobs();

  // `jobs` is clamped to 1 … 64.
  ConversionRun(std::vector<RunItem> items, int jobs, Handlers handlers);
  ~ConversionRun();
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  // Starts the first items. A run starts once.
  void Start();
  // Holds every converting item between blocks and starts no new one; Resume goes on.
  void Pause();
  void Resume();
  bool Paused() const { return paused_; }
  // True once a paused run's converting items all hold still between blocks.
  bool Holding() const;
  // Stops every converting item (they leave nothing behind) and every waiting one.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  bool Finished() const { return finished_; }

  int Count() const { return static_cast<int>(items_.size()); }
  const RunItem& Item(int item) const { return items_[static_cast<std::size_t>(item)]; }
  const ItemReport& Report(int item) const { return reports_[static_cast<std::size_t>(item)]; }
  int Jobs() const { return jobs_; }
  // The items converting now, in the order they started.
  std::vector<int> Converting() const;

  // How far `item` has decoded, and its length: what its file declares once it is open, else
  // what the item says (100 ns).
  std::int64_t Position(int item) const;
  std::int64_t Length(int item) const;
  // The same over the whole run. An item that ended counts its whole length as done.
  std::int64_t TotalPosition() const;
  std::int64_t TotalLength() const;
  // The time the run has taken so far; paused time does not count.
  std::chrono::milliseconds Elapsed() const;

 private:
  struct Slot;

  void PlanOutputNames();
  void Pump();
  void StartItem(int item);
  void EndItem(int item, std::optional<std::string> error);
  void SetState(int item, ItemState state, std::string reason = {});
  void FinishIfDone();

  std::vector<RunItem> items_;
  std::vector<ItemReport> reports_;
  std::vector<std::unique_ptr<Slot>> slots_;  // per item; set while it converts
  std::vector<int> converting_;
  int jobs_;
  Handlers handlers_;
  std::size_t next_ = 0;  // the first item that may still be waiting
  bool started_ = false;
  bool paused_ = false;
  bool cancelled_ = false;
  bool finished_ = false;
  bool pumping_ = false;
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point pausedAt_;
  std::chrono::steady_clock::time_point finishedAt_;
  std::chrono::steady_clock::duration pausedFor_{};
  // Handed to what is posted to the main thread, which must not reach a run that is gone.
  std::shared_ptr<ConversionRun*> self_;
};

// The texts of the item states ("Waiting", "Done", …), as the task list shows them.
const char* ItemStateText(ItemState state);
