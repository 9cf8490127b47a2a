// A conversion run: converts a list of items (one source file to one MP3 file each), up to `jobs`
// of them at once, each through its own engine::Conversion on its own worker thread. The desktop
// program's progress window and tavisto-convert both run their conversions through it.
//
// The names are planned before anything converts, from the run's own list: files are told apart
// by what they are (device and inode, and the folder's case rule), not by their spelling, so a
// source named twice is converted once, an item never writes over the source of another item,
// and two items that would write one file get numbered names ("song (2).mp3") — the same ones
// every time the same list runs. A name too long for a file name is shortened to fit.
//
// A failed item never stops the run: it is recorded with its reason and the next item starts.
// An item's MP3 appears under its name only when it is complete, so a failed, skipped or
// cancelled item leaves nothing under it. When a regular file exists under an item's name as the
// item is about to start, the item waits in the Asking state for the owner's answer (Replace,
// Skip or Keep both) while the other items go on; anything else under the name fails the item.
//
// Thread: the owning thread, the one that serves `dispatcher`. Every handler runs there and the
// run's state changes only there; a conversion's end reaches the run in one posted task.
// Progress is read from atomics the conversions publish (Position).
//
// Ownership: the run owns each item's conversion while the item converts, and releases it when
// the item ends. Destroying the run stops what still converts; no handler runs after.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/item_tags.h"
#include "core/translation.h"
#include "engine/conversion.h"
#include "engine/encoding_settings.h"
#include "platform/dispatcher.h"

namespace core {

// What one item of a run converts.
struct RunItem {
  std::string sourceFile;
  std::string outputFile;
  engine::EncodingSettings encoding = engine::kDefaultEncoding;
  TagChoice tags;
  std::int64_t duration = 0;  // the length known before the run (100 ns); 0 when unknown
  // Whether the output's missing folders are made when the item starts (the desktop program's
  // tasks: their folders were confirmed, or lie under the chosen output folder).
  bool makeFolders = false;
  // Whether a one-channel source becomes a one-channel MP3 whatever `encoding` says (the
  // encoding's mode was not chosen for this source).
  bool monoStaysMono = false;
  // Keeping a library in step: an MP3 that Tavisto made from this source as it is now, with
  // these settings, is left as it is (skipped as up to date); one it made from an older state of
  // the source is replaced without a question. Every MP3 records what it was made from
  // (library.h) whatever this says.
  bool updateOnly = false;
  // Whether the output's name is claimed while it converts, so that several processes working
  // on one library convert each source once between them.
  bool claim = false;
  // Whether the MP3 is decoded again and checked before it takes its name, and whether its
  // ReplayGain (track, and album once the album's last track is done) is measured and written.
  bool verify = true;
  bool replayGain = true;
};

enum class ItemState { Waiting, Asking, Converting, Done, Failed, Skipped, Cancelled };

// Why an item was skipped.
enum class SkipReason {
  None,
  OutputExists,  // its MP3 exists and was not to be replaced
  SameSource,    // an earlier item of the run converts the same file
  UpToDate,      // its MP3 was made from the source as it is, with the same settings
  ClaimedElsewhere,  // another process converts its output
};

// What became of one item.
struct ItemReport {
  ItemState state = ItemState::Waiting;
  // Where the MP3 goes (or went): the item's own name, or a numbered one when another item of
  // the run takes that name or the user chose to keep an existing file ("renamed" says so).
  std::string outputFile;
  bool renamed = false;
  std::string reason;  // Failed and Skipped: why, in the user's language
  SkipReason skip = SkipReason::None;
  std::optional<engine::ConversionError> error;  // Failed in the engine: the facts of it
  // Done: the source decoded shorter than it declares, or held a tag too large to carry.
  std::optional<std::string> warning;
  std::int64_t outputBytes = 0;        // Done: the size of the MP3
  bool verified = false;               // Done: it decoded back as written
};

// What to do with an output that exists when its item is about to start.
enum class CollisionAnswer { Replace, Skip, KeepBoth };

class ConversionRun {
 public:
  struct Handlers {
    // The state of `item` changed (it started, asks, or ended: Report says how). When an item
    // ends, the items that take its job slot start, and are reported, before its end is: no slot
    // stays idle while the owner deals with a report.
    std::function<void(int item)> itemChanged;
    // A regular file exists under `output` as `item` is about to start: the item waits until
    // AnswerCollision. One question at a time; without a handler the item is skipped.
    std::function<void(int item, const std::string& output)> collision;
    // Every item has ended.
    std::function<void()> finished;
  };

  // `jobs` is clamped to 1 … engine::kMostJobs. Texts are composed through `tr`.
  ConversionRun(std::vector<RunItem> items, int jobs, platform::Dispatcher& dispatcher, Handlers handlers,
                TextLookup tr = EnglishText);
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
  // Stops every converting item (they leave nothing behind) and every waiting or asking one.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  bool Finished() const { return finished_; }
  // The answer to the question about the item that asks. Ignored for an item that does not.
  void AnswerCollision(int item, CollisionAnswer answer);
  // The item whose question is open, if any.
  std::optional<int> Asking() const { return asking_; }

  int Count() const { return static_cast<int>(items_.size()); }
  const RunItem& Item(int item) const { return items_[static_cast<std::size_t>(item)]; }
  const ItemReport& Report(int item) const { return reports_[static_cast<std::size_t>(item)]; }
  int Jobs() const { return jobs_; }
  // The items converting now, in the order they started.
  std::vector<int> Converting() const { return converting_; }

  // How far `item` has decoded, and its length: what its file declares once it is open, else
  // what the item says (100 ns).
  std::int64_t Position(int item) const;
  std::int64_t Length(int item) const;
  // The same over the whole run. An item that ended counts its whole length as done.
  std::int64_t TotalPosition() const;
  std::int64_t TotalLength() const;
  // The time the run has taken so far; time paused, or spent waiting for an answer, does not
  // count.
  std::chrono::milliseconds Elapsed() const;

 private:
  void PlanOutputNames();
  // Fills the free job slots (FillSlots), then finishes the run when nothing is left.
  void Pump();
  // Starts waiting and answered items while a job slot is free and the run goes on, then shares
  // the slots none of them needs.
  void FillSlots();
  void StartItem(int item);
  void Launch(int item, engine::Replace replace);
  void EndItem(int item, const engine::ConversionResult& result);
  // Records the state of `item` and reports it (Handlers::itemChanged); Record only records it.
  void SetState(int item, ItemState state, std::string reason = {});
  void Record(int item, ItemState state, std::string reason = {});
  void AskNext();
  void FinishIfDone();
  void HoldClock(bool hold);
  // Grants the job slots no waiting item needs to the items converting, so that the tail of a run
  // (or a single long file) is encoded on every core.
  void ShareSpareSlots();
  // Once every item has ended: the albums' gains into their tracks, on a thread of its own.
  bool StartAlbumGains();

  std::vector<RunItem> items_;
  std::vector<ItemReport> reports_;
  std::vector<std::unique_ptr<engine::Conversion>> conversions_;  // per item; set while it converts
  std::vector<int> converting_;
  std::deque<int> toAsk_;           // items whose question waits for the open one
  std::deque<std::pair<int, engine::Replace>> answered_;  // items to start before the next waiting one
  std::optional<int> asking_;
  std::set<std::string> clearedFolders_;  // where stale temporary files were cleared
  // The run's conversions read and write their tags in turn (ConversionRequest::tagGate).
  std::shared_ptr<std::mutex> tagGate_ = std::make_shared<std::mutex>();
  // Per item: the loudness of a converted track and the album it belongs to, for the album gain.
  std::vector<std::shared_ptr<const engine::LoudnessMeter>> loudness_;
  std::vector<std::string> albumKeys_;
  std::thread albumGains_;
  bool albumGainsDone_ = false;
  int jobs_;
  platform::Dispatcher& dispatcher_;
  Handlers handlers_;
  TextLookup tr_;
  std::size_t next_ = 0;  // the first item that may still be waiting
  bool started_ = false;
  bool paused_ = false;
  bool cancelled_ = false;
  bool finished_ = false;
  bool pumping_ = false;
  int clockHolds_ = 0;
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point heldAt_;
  std::chrono::steady_clock::time_point finishedAt_;
  std::chrono::steady_clock::duration heldFor_{};
  // Handed to what is posted to the owning thread, which must not reach a run that is gone.
  std::shared_ptr<ConversionRun*> self_;
};

// The text of an item state ("Waiting", "Done", …) in the user's language.
std::string ItemStateText(ItemState state, TextLookup tr = EnglishText);

// The reason a conversion failed, in the user's language.
std::string ErrorText(const engine::ConversionError& error, TextLookup tr = EnglishText);

}  // namespace core
