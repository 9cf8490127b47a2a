#include "core/conversion_run.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "core/interface_texts.h"
#include "core/library.h"
#include "core/output_name.h"
#include "engine/replay_gain.h"
#include "engine/staged_file.h"
#include "platform/paths/file_identity.h"
#include "platform/paths/path_names.h"

namespace core {

namespace {

// `text` with "%1" and "%2" replaced.
std::string Filled(std::string text, const std::string& first, const std::string& second = {}) {
  for (const auto& [mark, value] : {std::pair<std::string, const std::string&>{"%1", first}, {"%2", second}}) {
    if (const std::size_t at = text.find(mark); at != std::string::npos) text.replace(at, 2, value);
  }
  return text;
}

const char* NotAFileText(engine::NameKind kind) {
  switch (kind) {
    case engine::NameKind::Folder: return lang::OutputIsFolderError;
    case engine::NameKind::SymbolicLink: return lang::OutputIsLinkError;
    case engine::NameKind::Device: return lang::OutputIsDeviceError;
    case engine::NameKind::Pipe: return lang::OutputIsPipeError;
    case engine::NameKind::Socket: return lang::OutputIsSocketError;
    default: return lang::OutputExistsError;
  }
}

std::string ShortDecodeText(const engine::ShortDecode& shortDecode, TextLookup tr) {
  char decoded[32], declared[32];
  std::snprintf(decoded, sizeof decoded, "%.1f", shortDecode.decodedSeconds);
  std::snprintf(declared, sizeof declared, "%.1f", shortDecode.declaredSeconds);
  return Filled(tr(lang::ShortDecodeWarning), decoded, declared);
}

// "LYRICS (45.0 MB), picture 4 (20.3 MB)" for the tags a file could not carry.
std::string LeftOutText(const std::vector<engine::Mp3Tags::LeftOut>& leftOut, TextLookup tr) {
  std::string list;
  for (const engine::Mp3Tags::LeftOut& left : leftOut) {
    char size[32];
    std::snprintf(size, sizeof size, " (%.1f MB)", static_cast<double>(left.bytes) / (1024.0 * 1024.0));
    list += (list.empty() ? "" : ", ") + left.what + size;
  }
  return Filled(tr(lang::TagsLeftOutWarning), list);
}

}  // namespace

std::string ErrorText(const engine::ConversionError& error, TextLookup tr) {
  using Kind = engine::ConversionError::Kind;
  switch (error.kind) {
    case Kind::SourceUnreadable: return error.detail;  // every report names the source already
    case Kind::EncoderUnavailable: return Filled(tr(lang::EncoderUnavailableError), error.detail);
    case Kind::EncoderRefused: return Filled(tr(lang::EncoderRefusedError), error.detail);
    case Kind::EncoderFailed: return Filled(tr(lang::EncoderFailedError), error.detail);
    case Kind::FolderUncreatable: return Filled(tr(lang::FolderUncreatableError), error.file, error.detail);
    case Kind::OutputUncreatable: return Filled(tr(lang::OutputUncreatableError), error.file, error.detail);
    case Kind::OutputWriteFailed: return Filled(tr(lang::OutputWriteError), error.file, error.detail);
    case Kind::OutputExists: return Filled(tr(lang::OutputExistsError), error.file);
    case Kind::OutputNotAFile: return Filled(tr(NotAFileText(engine::KindOfName(error.file))), error.file);
    case Kind::NotVerified: return Filled(tr(lang::NotVerifiedError), error.detail);
    case Kind::Failed: break;
  }
  return error.detail;
}

std::string ItemStateText(ItemState state, TextLookup tr) {
  switch (state) {
    case ItemState::Waiting: return tr(lang::WaitingState);
    case ItemState::Asking: return tr(lang::WaitingState);
    case ItemState::Converting: return tr(lang::ConvertingState);
    case ItemState::Done: return tr(lang::DoneState);
    case ItemState::Failed: return tr(lang::FailedState);
    case ItemState::Skipped: return tr(lang::SkippedState);
    case ItemState::Cancelled: return tr(lang::CancelledState);
  }
  return {};
}

ConversionRun::ConversionRun(std::vector<RunItem> items, int jobs, platform::Dispatcher& dispatcher, Handlers handlers,
                             TextLookup tr)
    : items_(std::move(items)),
      reports_(items_.size()),
      conversions_(items_.size()),
      loudness_(items_.size()),
      albumKeys_(items_.size()),
      jobs_(std::clamp(jobs, 1, engine::kMostJobs)),
      dispatcher_(dispatcher),
      handlers_(std::move(handlers)),
      tr_(tr),
      self_(std::make_shared<ConversionRun*>(this)) {
  PlanOutputNames();
}

ConversionRun::~ConversionRun() {
  // Nothing posted from now on reaches this run; each conversion stops and removes its file.
  self_.reset();
  if (albumGains_.joinable()) albumGains_.join();
  for (auto& conversion : conversions_) {
    if (conversion) conversion->Stop();
  }
  conversions_.clear();
}

void ConversionRun::PlanOutputNames() {
  // Every source's name is taken: no item writes over a file this run reads.
  std::map<platform::FileId, std::size_t> sources;
  std::set<std::string> taken;
  for (std::size_t i = 0; i < items_.size(); ++i) taken.insert(platform::NameKey(items_[i].sourceFile));
  for (std::size_t i = 0; i < items_.size(); ++i) {
    ItemReport& report = reports_[i];
    const RunItem& item = items_[i];
    report.outputFile = item.outputFile;
    if (const std::optional<platform::FileId> id = platform::IdOf(item.sourceFile)) {
      const auto [earlier, first] = sources.emplace(*id, i);
      if (!first) {
        report.state = ItemState::Skipped;
        report.skip = SkipReason::SameSource;
        report.reason = Filled(tr_(lang::SameSourceNote), items_[earlier->second].sourceFile);
        continue;
      }
    }
    // Its own source is the one name an item may not be numbered away from: writing it would
    // destroy the source while it is read.
    if (platform::NameKey(report.outputFile) == platform::NameKey(item.sourceFile)) {
      report.state = ItemState::Failed;
      report.reason = tr_(lang::OutputIsSourceError);
      continue;
    }
    const std::string wanted = FittedName(report.outputFile);
    report.outputFile =
        FirstFreeName(wanted, [&](const std::string& candidate) { return taken.count(platform::NameKey(candidate)) > 0; });
    report.renamed = report.outputFile != wanted;
    taken.insert(platform::NameKey(report.outputFile));
  }
}

void ConversionRun::Start() {
  if (started_) return;
  started_ = true;
  startedAt_ = std::chrono::steady_clock::now();
  for (int item = 0; item < Count(); ++item) {
    if (reports_[static_cast<std::size_t>(item)].state != ItemState::Waiting && handlers_.itemChanged)
      handlers_.itemChanged(item);
  }
  Pump();
  FinishIfDone();
}

void ConversionRun::Pump() {
  FillSlots();
  FinishIfDone();
}

void ConversionRun::FillSlots() {
  if (pumping_ || !started_) return;
  pumping_ = true;
  while (!paused_ && !cancelled_ && static_cast<int>(converting_.size()) < jobs_) {
    if (!answered_.empty()) {
      const auto [item, replace] = answered_.front();
      answered_.pop_front();
      Launch(item, replace);
      continue;
    }
    while (next_ < items_.size() && reports_[next_].state != ItemState::Waiting) ++next_;
    if (next_ >= items_.size()) break;
    StartItem(static_cast<int>(next_++));
  }
  pumping_ = false;
  ShareSpareSlots();
}

void ConversionRun::ShareSpareSlots() {
  if (converting_.empty()) return;
  // While an item waits for a slot (or for an answer that may free one), every slot is its own.
  std::size_t waiting = answered_.size() + toAsk_.size() + (asking_ ? 1 : 0);
  for (std::size_t item = next_; item < items_.size(); ++item)
    if (reports_[item].state == ItemState::Waiting) ++waiting;
  const int spare = waiting > 0 || paused_ || cancelled_ ? 0 : jobs_ - static_cast<int>(converting_.size());
  const int count = static_cast<int>(converting_.size());
  for (int i = 0; i < count; ++i) {
    const int extra = spare > 0 ? spare / count + (i < spare % count ? 1 : 0) : 0;
    conversions_[static_cast<std::size_t>(converting_[static_cast<std::size_t>(i)])]->SetWorkers(1 + extra);
  }
}

void ConversionRun::StartItem(int item) {
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  switch (const engine::NameKind kind = engine::KindOfName(report.outputFile)) {
    case engine::NameKind::Missing:
      Launch(item, engine::Replace::Never);
      return;
    case engine::NameKind::RegularFile: {
      const RunItem& what = items_[static_cast<std::size_t>(item)];
      if (what.updateOnly) {
        // An MP3 this program made from this very source is brought up to date without a
        // question; one it did not make is the user's, and asked about like any other.
        const std::optional<MadeFrom> recorded = ReadMadeFrom(report.outputFile);
        const std::optional<MadeFrom> now = RecordOf(what.sourceFile, what.encoding);
        if (recorded && now && recorded->source == now->source) {
          if (*recorded == *now) {
            report.skip = SkipReason::UpToDate;
            SetState(item, ItemState::Skipped, tr_(lang::UpToDateState));
          } else {
            Launch(item, engine::Replace::RegularFile);
          }
          return;
        }
      }
      SetState(item, ItemState::Asking);
      toAsk_.push_back(item);
      AskNext();
      return;
    }
    default:
      SetState(item, ItemState::Failed, Filled(tr_(NotAFileText(kind)), report.outputFile));
      return;
  }
}

void ConversionRun::AskNext() {
  if (asking_ || toAsk_.empty()) return;
  const int item = toAsk_.front();
  toAsk_.pop_front();
  if (!handlers_.collision) {
    AnswerCollision(item, CollisionAnswer::Skip);
    return;
  }
  asking_ = item;
  HoldClock(true);
  handlers_.collision(item, reports_[static_cast<std::size_t>(item)].outputFile);
}

void ConversionRun::AnswerCollision(int item, CollisionAnswer answer) {
  if (item < 0 || item >= Count()) return;
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  if (report.state != ItemState::Asking) return;
  if (asking_ == item) {
    asking_.reset();
    HoldClock(false);
  }
  switch (answer) {
    case CollisionAnswer::Skip:
      report.skip = SkipReason::OutputExists;
      SetState(item, ItemState::Skipped, "\"" + report.outputFile + "\" " + tr_(lang::AlreadyExists));
      break;
    case CollisionAnswer::Replace:
      answered_.emplace_back(item, engine::Replace::RegularFile);
      break;
    case CollisionAnswer::KeepBoth: {
      const auto taken = [this](const std::string& candidate) {
        if (platform::NameExists(candidate)) return true;
        const std::string key = platform::NameKey(candidate);
        return std::any_of(reports_.begin(), reports_.end(), [&](const ItemReport& other) {
          return platform::NameKey(other.outputFile) == key;
        });
      };
      report.outputFile = FirstFreeName(report.outputFile, taken);
      report.renamed = true;
      answered_.emplace_back(item, engine::Replace::Never);
      break;
    }
  }
  AskNext();
  Pump();
}

void ConversionRun::Launch(int item, engine::Replace replace) {
  const RunItem& what = items_[static_cast<std::size_t>(item)];
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  engine::ConversionRequest request;
  request.sourceFile = what.sourceFile;
  request.outputFile = report.outputFile;
  request.encoding = what.encoding;
  request.replace = replace;
  request.makeFolders = what.makeFolders;
  request.monoStaysMono = what.monoStaysMono;
  request.tags = [source = what.sourceFile, choice = what.tags, encoding = what.encoding] {
    engine::Mp3Tags tags = ResolveTags(source, choice);
    if (const std::optional<MadeFrom> record = RecordOf(source, encoding))
      tags.frames.push_back(engine::Id3Frame::Private(kMadeFromOwner, FormatMadeFrom(*record)));
    return tags;
  };
  request.claim = what.claim;
  request.tagGate = tagGate_;
  request.verify = what.verify;
  request.replayGain = what.replayGain;
  if (what.updateOnly) {
    request.upToDate = [source = what.sourceFile, output = report.outputFile, encoding = what.encoding] {
      return UpToDate(output, source, encoding);
    };
  }
  const std::string folder = platform::FolderOf(report.outputFile);
  const bool clearFolder = clearedFolders_.insert(folder).second;
  const std::weak_ptr<ConversionRun*> run = self_;
  platform::Dispatcher& dispatcher = dispatcher_;
  auto onEnd = [run, item, &dispatcher, clearFolder, folder](const engine::ConversionResult& result) {
    // What killed conversions left in the folder goes once its first item of the run is done.
    if (clearFolder) engine::RemoveStaleParts(folder);
    dispatcher.Post([run, item, result] {
      if (const auto self = run.lock()) (*self)->EndItem(item, result);
    });
  };
  try {
    conversions_[static_cast<std::size_t>(item)] = std::make_unique<engine::Conversion>(std::move(request), onEnd);
  } catch (const std::exception& e) {
    SetState(item, ItemState::Failed, e.what());
    return;
  }
  converting_.push_back(item);
  if (paused_) conversions_[static_cast<std::size_t>(item)]->Pause();
  SetState(item, ItemState::Converting);
}

void ConversionRun::EndItem(int item, const engine::ConversionResult& result) {
  std::unique_ptr<engine::Conversion> conversion = std::move(conversions_[static_cast<std::size_t>(item)]);
  if (!conversion) return;
  conversion.reset();  // its worker has ended: joining it is immediate
  std::erase(converting_, item);
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  RunItem& what = items_[static_cast<std::size_t>(item)];
  what.duration = std::max(what.duration, result.declaredDuration);
  if (result.upToDate) {
    report.skip = SkipReason::UpToDate;
    Record(item, ItemState::Skipped, tr_(lang::UpToDateState));
  } else if (result.claimedElsewhere) {
    report.skip = SkipReason::ClaimedElsewhere;
    Record(item, ItemState::Skipped, tr_(lang::ClaimedElsewhereReason));
  } else if (result.written) {
    // Complete under its name, even when a cancel came in as it finished.
    std::vector<std::string> warnings;
    if (const auto shortDecode = engine::ShortDecodeOf(result.declaredDuration, result.decodedDuration))
      warnings.push_back(ShortDecodeText(*shortDecode, tr_));
    if (!result.tagsLeftOut.empty()) warnings.push_back(LeftOutText(result.tagsLeftOut, tr_));
    for (const std::string& warning : warnings) report.warning = report.warning ? *report.warning + "; " + warning : warning;
    report.outputBytes = result.outputBytes;
    report.verified = result.verified;
    loudness_[static_cast<std::size_t>(item)] = result.loudness;
    albumKeys_[static_cast<std::size_t>(item)] = result.albumKey;
    Record(item, ItemState::Done);
  } else if (result.error && !cancelled_) {
    // A cancel can also surface as a failed read (the decoder was interrupted): it is a cancel.
    report.error = result.error;
    Record(item, ItemState::Failed, ErrorText(*result.error, tr_));
  } else {
    Record(item, ItemState::Cancelled);
  }
  // The freed slot is taken before the end is reported: the owner's answer to a report (a
  // window redrawing its lists, a line printed to a slow terminal) would otherwise keep a core
  // idle after every file, which adds up over a run of short files.
  FillSlots();
  if (handlers_.itemChanged) handlers_.itemChanged(item);
  FinishIfDone();
}

void ConversionRun::SetState(int item, ItemState state, std::string reason) {
  Record(item, state, std::move(reason));
  if (handlers_.itemChanged) handlers_.itemChanged(item);
}

void ConversionRun::Record(int item, ItemState state, std::string reason) {
  ItemReport& report = reports_[static_cast<std::size_t>(item)];
  report.state = state;
  report.reason = std::move(reason);
}

void ConversionRun::FinishIfDone() {
  if (finished_ || !started_ || pumping_ || !converting_.empty()) return;
  // The albums' gains are being written: the run ends when they are.
  if (albumGains_.joinable() && albumGainsDone_) {
    albumGains_.join();
    finished_ = true;
    finishedAt_ = std::chrono::steady_clock::now();
    if (handlers_.finished) handlers_.finished();
    return;
  }
  const bool allEnded = std::none_of(reports_.begin(), reports_.end(), [](const ItemReport& report) {
    return report.state == ItemState::Waiting || report.state == ItemState::Converting ||
           report.state == ItemState::Asking;
  });
  if (!allEnded) return;
  if (paused_) Resume();
  if (StartAlbumGains()) return;  // finished once they are written
  finished_ = true;
  finishedAt_ = std::chrono::steady_clock::now();
  if (handlers_.finished) handlers_.finished();
}

bool ConversionRun::StartAlbumGains() {
  if (albumGainsDone_ || cancelled_) return false;
  albumGainsDone_ = true;
  // The tracks of each album converted in this run, by the album they name.
  std::map<std::string, std::vector<int>> albums;
  for (int item = 0; item < Count(); ++item) {
    if (reports_[static_cast<std::size_t>(item)].state == ItemState::Done && loudness_[static_cast<std::size_t>(item)])
      albums[albumKeys_[static_cast<std::size_t>(item)]].push_back(item);
  }
  if (albums.empty()) return false;
  struct Retag {
    std::string file;
    std::vector<engine::Id3Frame> frames;
  };
  std::vector<Retag> retags;
  for (const auto& [key, tracks] : albums) {
    std::vector<const engine::LoudnessMeter*> meters;
    for (int item : tracks) meters.push_back(loudness_[static_cast<std::size_t>(item)].get());
    const std::optional<engine::LoudnessResult> album = engine::AlbumLoudness(meters);
    if (!album) continue;
    for (int item : tracks) {
      const auto track = loudness_[static_cast<std::size_t>(item)]->Result();
      retags.push_back({reports_[static_cast<std::size_t>(item)].outputFile, engine::ReplayGainFrames(track, album)});
    }
  }
  loudness_.assign(loudness_.size(), nullptr);  // the meters are done with
  if (retags.empty()) return false;
  const std::weak_ptr<ConversionRun*> run = self_;
  platform::Dispatcher& dispatcher = dispatcher_;
  albumGains_ = std::thread([run, &dispatcher, retags = std::move(retags)] {
    for (const Retag& retag : retags) {
      // Through a hidden copy that takes the MP3's name only when whole, as every MP3 does; an MP3
      // whose tag has no room left keeps its track gain alone.
      try {
        engine::StagedFile copy(retag.file);
        if (engine::RewriteTagInCopy(retag.file, retag.frames, copy.TemporaryName()).outcome ==
            engine::RetagOutcome::Rewritten)
          copy.Commit(engine::StagedFile::Replace::RegularFile);
      } catch (const std::exception&) {
        // The MP3 stays as it was: complete, with its track gain.
      }
    }
    dispatcher.Post([run] {
      if (const auto self = run.lock()) (*self)->FinishIfDone();
    });
  });
  return true;
}

void ConversionRun::HoldClock(bool hold) {
  if (hold) {
    if (clockHolds_++ == 0) heldAt_ = std::chrono::steady_clock::now();
  } else if (clockHolds_ > 0 && --clockHolds_ == 0) {
    heldFor_ += std::chrono::steady_clock::now() - heldAt_;
  }
}

void ConversionRun::Pause() {
  if (!started_ || paused_ || cancelled_ || finished_) return;
  paused_ = true;
  HoldClock(true);
  for (int item : converting_) conversions_[static_cast<std::size_t>(item)]->Pause();
}

void ConversionRun::Resume() {
  if (!paused_) return;
  paused_ = false;
  HoldClock(false);
  for (int item : converting_) conversions_[static_cast<std::size_t>(item)]->Resume();
  Pump();
}

void ConversionRun::Cancel() {
  if (cancelled_ || finished_) return;
  cancelled_ = true;
  if (paused_) {
    paused_ = false;
    HoldClock(false);
  }
  if (asking_) {
    asking_.reset();
    HoldClock(false);
  }
  toAsk_.clear();
  answered_.clear();
  for (int item : converting_) conversions_[static_cast<std::size_t>(item)]->Stop();
  for (int item = 0; item < Count(); ++item) {
    const ItemState state = reports_[static_cast<std::size_t>(item)].state;
    if (state == ItemState::Waiting || state == ItemState::Asking) SetState(item, ItemState::Cancelled);
  }
  FinishIfDone();
}

bool ConversionRun::Holding() const {
  return paused_ && std::all_of(converting_.begin(), converting_.end(), [this](int item) {
           return conversions_[static_cast<std::size_t>(item)]->Holding();
         });
}

std::int64_t ConversionRun::Length(int item) const {
  const std::int64_t known = items_[static_cast<std::size_t>(item)].duration;
  const auto& conversion = conversions_[static_cast<std::size_t>(item)];
  return conversion ? std::max(known, conversion->Length()) : known;
}

std::int64_t ConversionRun::Position(int item) const {
  const auto& conversion = conversions_[static_cast<std::size_t>(item)];
  if (conversion) return std::min(conversion->Position(), Length(item));
  const ItemState state = reports_[static_cast<std::size_t>(item)].state;
  return state == ItemState::Waiting || state == ItemState::Converting || state == ItemState::Asking ? 0
                                                                                                      : Length(item);
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
  auto held = heldFor_;
  if (clockHolds_ > 0) held += now - heldAt_;
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - startedAt_ - held);
}

}  // namespace core
