#include "core/conversion_run.h"

#include "platform/paths/folder_chain.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>
#include <utility>

#include "core/interface_texts.h"
#include "core/output_name.h"
#include "engine/decoded_input.h"
#include "engine/mp3_output.h"
#include "platform/dispatcher.h"
#include "platform/paths/path_names.h"

namespace {

constexpr char kOutputIsSource[] = "The output file is the source file itself.";
constexpr int kMostJobs = 64;

}  // namespace

// One converting item: its input and the output that pulls from it. The output goes first, as
// its worker reads the input.
struct ConversionRun::Slot {
  std::unique_ptr<engine::DecodedInput> input;
  std::unique_ptr<engine::Mp3Output> output;
};

int ConversionRun::DefaultJobs() { return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMostJobs); }

ConversionRun::ConversionRun(std::vector<RunItem> items, int jobs, Handlers handlers)
    : items_(std::move(items)),
      reports_(items_.size()),
      slots_(items_.size()),
      jobs_(std::clamp(jobs, 1, kMostJobs)),
      handlers_(std::move(handlers)),
      self_(std::make_shared<ConversionRun*>(this)) {
  PlanOutputNames();
}

ConversionRun::~ConversionRun() {
  // Nothing posted from now on reaches this run.
  self_.reset();
  for (int item : converting_) {
    Slot& slot = *slots_[static_cast<std::size_t>(item)];
    slot.output->Stop();
    slot.output->Resume();  // a stop takes effect once the worker runs again
  }
  // Each output finishes its worker (removing its unfinished file) before its input goes.
  slots_.clear();
}

void ConversionRun::PlanOutputNames() {
  std::set<std::string> claimed;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    ItemReport& report = reports_[i];
    report.outputFile = items_[i].outputFile;
    if (claimed.count(report.outputFile) > 0) {
      report.outputFile = FirstFreeName(report.outputFile, [&](const std::string& candidate) {
        return claimed.count(candidate) > 0 || platform::NameExists(candidate);
      });
      report.renamed = true;
    }
    claimed.insert(report.outputFile);
  }
}

void ConversionRun::Start() {
  if (started_) return;
  started_ = true;
  startedAt_ = std::chrono::steady_clock::now();
  Pump();
  FinishIfDone();
}

void ConversionRun::Pump() {
  if (pumping_ || !started_) return;
  pumping_ = true;
  while (!paused_ && !cancelled_ && static_cast<int>(converting_.size()) < jobs_) {
    while (next_ < items_.size() && reports_[next_].state != ItemState::Waiting) ++next_;
    if (next_ >= items_.size()) break;
    StartItem(static_cast<int>(next_++));
  }
  pumping_ = false;
  FinishIfDone();
}

void ConversionRun::StartItem(int item) {
  const RunItem& what = items_[static_cast<std::size_t>(item)];
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  // Writing the MP3 would destroy the source while it is read.
  if (platform::SameFile(what.sourceFile, report.outputFile)) {
    SetState(item, ItemState::Failed, kOutputIsSource);
    return;
  }
  bool replace = false;
  if (platform::NameExists(report.outputFile)) {
    // The question may take a while; the other items go on meanwhile, and the run may be
    // cancelled before it is answered.
    const CollisionAnswer answer =
        handlers_.collision ? handlers_.collision(item, report.outputFile) : CollisionAnswer::Skip;
    if (report.state != ItemState::Waiting) return;
    if (cancelled_) {
      SetState(item, ItemState::Cancelled);
      return;
    }
    switch (answer) {
      case CollisionAnswer::Skip:
        SetState(item, ItemState::Skipped, "\"" + report.outputFile + "\" " + lang::AlreadyExists);
        return;
      case CollisionAnswer::Replace:
        replace = true;
        break;
      case CollisionAnswer::KeepBoth: {
        const auto taken = [this](const std::string& candidate) {
          if (platform::NameExists(candidate)) return true;
          return std::any_of(reports_.begin(), reports_.end(),
                             [&](const ItemReport& other) { return other.outputFile == candidate; });
        };
        report.outputFile = FirstFreeName(report.outputFile, taken);
        report.renamed = true;
        break;
      }
    }
  }

  if (what.makeFolders) {
    std::string error;
    if (!platform::MakeFolderChain(platform::FolderOf(report.outputFile), &error)) {
      SetState(item, ItemState::Failed, error);
      return;
    }
  }

  auto slot = std::make_unique<Slot>();
  try {
    slot->output = engine::MakeMp3Output();
  } catch (const std::exception& e) {
    SetState(item, ItemState::Failed, e.what());
    return;
  }
  slot->input = std::make_unique<engine::DecodedInput>(nullptr);
  slot->input->fileName = what.sourceFile;
  engine::ConfigureMp3Output(*slot->output, what.encoding);
  // Decoded at the MP3's rate: FFmpeg resamples, so LAME does not have to.
  slot->input->deliveryRate = engine::SampleRateHz(slot->output->sampleRate);
  slot->output->fileName = report.outputFile;
  slot->output->replaceExisting = replace;
  slot->output->SetInput(slot->input.get());
  // Both reach the run on the main thread, later: an output cannot be released from inside its
  // own handler, and an error is reported on the worker.
  const std::weak_ptr<ConversionRun*> run = self_;
  slot->output->onDone = [run, item](engine::Component*) {
    platform::MainDispatcher().Post([run, item] {
      if (const auto self = run.lock()) (*self)->EndItem(item, std::nullopt);
    });
  };
  slot->output->onError = [run, item](engine::Component*, const std::exception& e) {
    platform::MainDispatcher().Post([run, item, reason = std::string(e.what())] {
      if (const auto self = run.lock()) (*self)->EndItem(item, reason);
    });
  };
  engine::Mp3Output& output = *slot->output;
  slots_[static_cast<std::size_t>(item)] = std::move(slot);
  converting_.push_back(item);
  SetState(item, ItemState::Converting);
  output.Run();
}

void ConversionRun::EndItem(int item, std::optional<std::string> error) {
  std::unique_ptr<Slot> slot = std::move(slots_[static_cast<std::size_t>(item)]);
  if (!slot) return;
  std::erase(converting_, item);
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  RunItem& what = items_[static_cast<std::size_t>(item)];
  what.duration = std::max(what.duration, slot->input->DeclaredDuration());
  if (slot->output->FileWritten()) {
    // Complete under its name, even when a cancel came in as it finished.
    report.warning = engine::ShortDecodeWarning(slot->input->DeclaredDuration(), slot->input->DecodedDuration());
    std::error_code ignored;
    const auto size = std::filesystem::file_size(report.outputFile, ignored);
    report.outputBytes = ignored ? 0 : static_cast<std::int64_t>(size);
    slot.reset();
    SetState(item, ItemState::Done);
  } else {
    slot.reset();
    // A cancel can also surface as a failed read (the decoder was interrupted): it is a cancel.
    if (error && !cancelled_) {
      SetState(item, ItemState::Failed, *error);
    } else {
      SetState(item, ItemState::Cancelled);
    }
  }
  Pump();
  FinishIfDone();
}

void ConversionRun::SetState(int item, ItemState state, std::string reason) {
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  report.state = state;
  report.reason = std::move(reason);
  if (handlers_.itemChanged) handlers_.itemChanged(item);
}

void ConversionRun::FinishIfDone() {
  if (finished_ || !started_ || pumping_ || !converting_.empty()) return;
  const bool allEnded = std::none_of(reports_.begin(), reports_.end(), [](const ItemReport& report) {
    return report.state == ItemState::Waiting || report.state == ItemState::Converting;
  });
  if (!allEnded) return;
  if (paused_) Resume();
  finished_ = true;
  finishedAt_ = std::chrono::steady_clock::now();
  if (handlers_.finished) handlers_.finished();
}

void ConversionRun::Pause() {
  if (!started_ || paused_ || cancelled_ || finished_) return;
  paused_ = true;
  pausedAt_ = std::chrono::steady_clock::now();
  for (int item : converting_) slots_[static_cast<std::size_t>(item)]->output->Pause();
}

void ConversionRun::Resume() {
  if (!paused_) return;
  paused_ = false;
  pausedFor_ += std::chrono::steady_clock::now() - pausedAt_;
  for (int item : converting_) slots_[static_cast<std::size_t>(item)]->output->Resume();
  Pump();
}

void ConversionRun::Cancel() {
  if (cancelled_ || finished_) return;
  cancelled_ = true;
  if (paused_) {
    paused_ = false;
    pausedFor_ += std::chrono::steady_clock::now() - pausedAt_;
  }
  for (int item : converting_) {
    engine::Mp3Output& output = *slots_[static_cast<std::size_t>(item)]->output;
    output.Stop();
    output.Resume();
  }
  for (int item = 0; item < Count(); ++item) {
    if (reports_[static_cast<std::size_t>(item)].state == ItemState::Waiting) SetState(item, ItemState::Cancelled);
  }
  FinishIfDone();
}

bool ConversionRun::Holding() const {
  return paused_ && std::all_of(converting_.begin(), converting_.end(), [this](int item) {
           return slots_[static_cast<std::size_t>(item)]->output->Holding();
         });
}

std::vector<int> ConversionRun::Converting() const { return converting_; }

std::int64_t ConversionRun::Length(int item) const {
  const std::int64_t known = items_[static_cast<std::size_t>(item)].duration;
  const auto& slot = slots_[static_cast<std::size_t>(item)];
  return slot ? std::max(known, slot->input->DeclaredDuration()) : known;
}

std::int64_t ConversionRun::Position(int item) const {
  const auto& slot = slots_[static_cast<std::size_t>(item)];
  if (slot) return std::min(slot->input->DecodedDuration(), Length(item));
  const ItemState state = reports_[static_cast<std::size_t>(item)].state;
  return state == ItemState::Waiting || state == ItemState::Converting ? 0 : Length(item);
}

std::int64_t ConversionRun::TotalLength() const {
  std::int64_t total = 0;
  for (int item = 0; item < Count(); ++item) total += std::max<std::int64_t>(Length(item), 0);
  return total;
}

std::int64_t ConversionRun::TotalPosition() const {
  std::int64_t done = 0;
  for (int item = 0; item < Count(); ++item) done += std::max<std::int64_t>(Position(item), 0);
  return done;
}

std::chrono::milliseconds ConversionRun::Elapsed() const {
  if (!started_) return std::chrono::milliseconds(0);
  const auto now = finished_ ? finishedAt_ : std::chrono::steady_clock::now();
  auto paused = pausedFor_;
  if (paused_) paused += now - pausedAt_;
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - startedAt_ - paused);
}

const char* ItemStateText(ItemState state) {
  switch (state) {
    case ItemState::Waiting: return lang::WaitingState;
    case ItemState::Converting: return lang::ConvertingState;
    case ItemState::Done: return lang::DoneState;
    case ItemState::Failed: return lang::FailedState;
    case ItemState::Skipped: return lang::SkippedState;
    case ItemState::Cancelled: return lang::CancelledState;
  }
  return "";
}
