#include "engine/lame_library.h"

#include <array>
#include <atomic>
#include <mutex>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "engine/file_stream.h"
#include "engine/mp3_frames.h"
#include "platform/dynlib.h"

namespace engine::lame {

namespace {

constexpr std::array<const char*, EntryCount> kNames = {
#define TAVISTO_LAME_NAME(name) #name,
    TAVISTO_LAME_ENTRY_POINTS(TAVISTO_LAME_NAME)
#undef TAVISTO_LAME_NAME
};

// The entry points the MP3 output calls; a library without one of them cannot encode.
constexpr std::array kRequired = {
    e_lame_init, e_lame_set_in_samplerate, e_lame_set_num_channels, e_lame_set_out_samplerate,
    e_lame_set_mode, e_lame_set_copyright, e_lame_set_original, e_lame_set_error_protection,
    e_lame_set_brate, e_lame_set_quality, e_lame_set_VBR, e_lame_set_bWriteVbrTag,
    e_lame_set_VBR_q, e_lame_set_VBR_min_bitrate_kbps, e_lame_set_VBR_max_bitrate_kbps,
    e_lame_init_params, e_lame_encode_buffer_interleaved, e_lame_encode_buffer, e_id3tag_init,
    e_id3tag_set_title, e_id3tag_set_artist, e_id3tag_set_album, e_id3tag_set_year,
    e_id3tag_set_track, e_id3tag_set_comment, e_id3tag_set_genre, e_lame_encode_flush,
    e_lame_get_bWriteVbrTag, e_beWriteInfoTag, e_lame_close};
static_assert(kRequired.size() == 30);

// Process-wide state: one copy, as the library is loaded once per process. Load and Unload
// change it under the mutex; while a user holds the library nothing here changes, so encoding
// threads read the bound entry points without a lock.
std::mutex loadMutex;
int users = 0;
std::atomic<bool> loaded{false};
// Never destroyed: an output still encoding while the process ends keeps its entry points.
std::optional<platform::SharedLibrary>& library = *new std::optional<platform::SharedLibrary>;
std::array<void*, EntryCount> slots{};
void* lametagFrame = nullptr;  // lame_get_lametag_frame, for the Info tag stand-in
// The float entry points (LAME 3.99 and later), which take decoded samples as they are.
void* encodeFloat = nullptr;             // lame_encode_buffer_ieee_float
void* encodeFloatInterleaved = nullptr;  // lame_encode_buffer_interleaved_ieee_float
// The stream encoder's extra calls (see MissingStreamEntryPoint).
void* vbrQuality = nullptr;         // lame_set_VBR_quality
void* id3Automatic = nullptr;       // lame_set_write_id3tag_automatic
void* disableReservoir = nullptr;   // lame_set_disable_reservoir
std::atomic<lame_t> lastInitialised{nullptr};
std::string loadError;

using LametagFrameFn = std::size_t (*)(lame_t, unsigned char*, std::size_t);

template <class Fn>
Fn Bound(Entry entry) {
  return reinterpret_cast<Fn>(slots[entry]);
}

// The old single-file call of the Windows build: writes the tag of the most recently
// initialised context and leaves the context open.
int WriteVbrHeaderStandIn(const char* fileName);

}  // namespace

std::string LibraryName() {
  const char* name = std::getenv("TAVISTO_LAME_LIBRARY");
  return name != nullptr && *name != '\0' ? name : "libmp3lame.so.0";
}

void Load() {
  std::lock_guard lock(loadMutex);
  if (loaded) {
    ++users;
    return;
  }
  const std::string name = LibraryName();
  library = platform::SharedLibrary::Open(name);
  if (!library) {
    loadError = name + " library could not be loaded.";
    return;
  }
  for (int i = 0; i < EntryCount; ++i) slots[i] = library->Symbol(kNames[i]);
  lametagFrame = library->Symbol("lame_get_lametag_frame");
  encodeFloat = library->Symbol("lame_encode_buffer_ieee_float");
  encodeFloatInterleaved = library->Symbol("lame_encode_buffer_interleaved_ieee_float");
  vbrQuality = library->Symbol("lame_set_VBR_quality");
  id3Automatic = library->Symbol("lame_set_write_id3tag_automatic");
  disableReservoir = library->Symbol("lame_set_disable_reservoir");
  // The Info tag calls exist only in the Windows build of the library; this build writes the
  // tag itself from the encoder's tag frame.
  if (slots[e_beWriteInfoTag] == nullptr && lametagFrame != nullptr)
    slots[e_beWriteInfoTag] = reinterpret_cast<void*>(&WriteInfoTagIntoFile);
  if (slots[e_beWriteVbrHeader] == nullptr && lametagFrame != nullptr)
    slots[e_beWriteVbrHeader] = reinterpret_cast<void*>(&WriteVbrHeaderStandIn);

  // Refusing a library without an entry point the output calls beats a crash mid-run.
  const char* missing = nullptr;
  for (Entry entry : kRequired) {
    if (slots[entry] == nullptr) {
      missing = entry == e_beWriteInfoTag ? "lame_get_lametag_frame" : kNames[entry];
      break;
    }
  }
  if (missing == nullptr && encodeFloat == nullptr) missing = "lame_encode_buffer_ieee_float";
  if (missing == nullptr && encodeFloatInterleaved == nullptr) missing = "lame_encode_buffer_interleaved_ieee_float";
  if (missing != nullptr) {
    loadError = name + " library lacks the entry point " + missing + ".";
    library.reset();
    slots.fill(nullptr);
    lametagFrame = encodeFloat = encodeFloatInterleaved = nullptr;
    vbrQuality = id3Automatic = disableReservoir = nullptr;
    return;
  }
  loaded = true;
  users = 1;
  loadError.clear();
}

void Unload() {
  std::lock_guard lock(loadMutex);
  if (users == 0 || --users > 0) return;
  loaded = false;
  library.reset();
  slots.fill(nullptr);
  lametagFrame = encodeFloat = encodeFloatInterleaved = nullptr;
  vbrQuality = id3Automatic = disableReservoir = nullptr;
  lastInitialised = nullptr;
}

bool Loaded() { return loaded; }

int Users() {
  std::lock_guard lock(loadMutex);
  return users;
}

std::string LoadError() {
  std::lock_guard lock(loadMutex);
  return loadError;
}
void* Slot(Entry entry) { return slots[entry]; }

lame_t lame_init() {
  lame_t gf = Bound<lame_t (*)()>(e_lame_init)();
  lastInitialised = gf;
  return gf;
}

#define TAVISTO_INT_SETTER(name) \
  int name(lame_t gf, int value) { return Bound<int (*)(lame_t, int)>(e_##name)(gf, value); }
TAVISTO_INT_SETTER(lame_set_in_samplerate)
TAVISTO_INT_SETTER(lame_set_num_channels)
TAVISTO_INT_SETTER(lame_set_out_samplerate)
TAVISTO_INT_SETTER(lame_set_mode)
TAVISTO_INT_SETTER(lame_set_copyright)
TAVISTO_INT_SETTER(lame_set_original)
TAVISTO_INT_SETTER(lame_set_error_protection)
TAVISTO_INT_SETTER(lame_set_brate)
TAVISTO_INT_SETTER(lame_set_quality)
TAVISTO_INT_SETTER(lame_set_VBR)
TAVISTO_INT_SETTER(lame_set_bWriteVbrTag)
TAVISTO_INT_SETTER(lame_set_VBR_q)
TAVISTO_INT_SETTER(lame_set_VBR_min_bitrate_kbps)
TAVISTO_INT_SETTER(lame_set_VBR_max_bitrate_kbps)
#undef TAVISTO_INT_SETTER

int lame_get_bWriteVbrTag(lame_t gf) { return Bound<int (*)(lame_t)>(e_lame_get_bWriteVbrTag)(gf); }
int lame_init_params(lame_t gf) { return Bound<int (*)(lame_t)>(e_lame_init_params)(gf); }

int lame_encode_buffer_interleaved(lame_t gf, short* pcm, int samplesPerChannel, unsigned char* mp3, int mp3Size) {
  return Bound<int (*)(lame_t, short*, int, unsigned char*, int)>(e_lame_encode_buffer_interleaved)(
      gf, pcm, samplesPerChannel, mp3, mp3Size);
}

int lame_encode_buffer(lame_t gf, const short* left, const short* right, int samples, unsigned char* mp3, int mp3Size) {
  return Bound<int (*)(lame_t, const short*, const short*, int, unsigned char*, int)>(e_lame_encode_buffer)(
      gf, left, right, samples, mp3, mp3Size);
}

int lame_encode_buffer_ieee_float(lame_t gf, const float* left, const float* right, int samples, unsigned char* mp3,
                                  int mp3Size) {
  using Fn = int (*)(lame_t, const float*, const float*, int, unsigned char*, int);
  return reinterpret_cast<Fn>(encodeFloat)(gf, left, right, samples, mp3, mp3Size);
}

int lame_encode_buffer_interleaved_ieee_float(lame_t gf, const float* pcm, int samplesPerChannel, unsigned char* mp3,
                                              int mp3Size) {
  using Fn = int (*)(lame_t, const float*, int, unsigned char*, int);
  return reinterpret_cast<Fn>(encodeFloatInterleaved)(gf, pcm, samplesPerChannel, mp3, mp3Size);
}

void id3tag_init(lame_t gf) { Bound<void (*)(lame_t)>(e_id3tag_init)(gf); }

#define TAVISTO_TEXT_SETTER(name) \
  void name(lame_t gf, const char* text) { Bound<void (*)(lame_t, const char*)>(e_##name)(gf, text); }
TAVISTO_TEXT_SETTER(id3tag_set_title)
TAVISTO_TEXT_SETTER(id3tag_set_artist)
TAVISTO_TEXT_SETTER(id3tag_set_album)
TAVISTO_TEXT_SETTER(id3tag_set_year)
TAVISTO_TEXT_SETTER(id3tag_set_comment)
#undef TAVISTO_TEXT_SETTER

int id3tag_set_track(lame_t gf, const char* text) {
  return Bound<int (*)(lame_t, const char*)>(e_id3tag_set_track)(gf, text);
}
int id3tag_set_genre(lame_t gf, const char* text) {
  return Bound<int (*)(lame_t, const char*)>(e_id3tag_set_genre)(gf, text);
}

int lame_encode_flush(lame_t gf, unsigned char* mp3, int mp3Size) {
  return Bound<int (*)(lame_t, unsigned char*, int)>(e_lame_encode_flush)(gf, mp3, mp3Size);
}

int lame_close(lame_t gf) {
  lame_t expected = gf;
  lastInitialised.compare_exchange_strong(expected, nullptr);
  return Bound<int (*)(lame_t)>(e_lame_close)(gf);
}

int beWriteInfoTag(lame_t gf, const char* fileName) {
  lame_t expected = gf;
  lastInitialised.compare_exchange_strong(expected, nullptr);
  return Bound<int (*)(lame_t, const char*)>(e_beWriteInfoTag)(gf, fileName);
}

std::string MissingStreamEntryPoint() {
  const std::pair<Entry, const char*> listed[] = {
      {e_lame_encode_flush_nogap, "lame_encode_flush_nogap"},
      {e_lame_get_encoder_delay, "lame_get_encoder_delay"},
      {e_lame_get_encoder_padding, "lame_get_encoder_padding"},
      {e_lame_get_frameNum, "lame_get_frameNum"}};
  for (const auto& [entry, name] : listed) {
    if (slots[entry] == nullptr) return name;
  }
  if (vbrQuality == nullptr) return "lame_set_VBR_quality";
  if (id3Automatic == nullptr) return "lame_set_write_id3tag_automatic";
  if (disableReservoir == nullptr) return "lame_set_disable_reservoir";
  if (lametagFrame == nullptr) return "lame_get_lametag_frame";
  return "";
}

int lame_set_VBR_quality(lame_t gf, float quality) {
  return reinterpret_cast<int (*)(lame_t, float)>(vbrQuality)(gf, quality);
}

void lame_set_write_id3tag_automatic(lame_t gf, int value) {
  reinterpret_cast<void (*)(lame_t, int)>(id3Automatic)(gf, value);
}

int lame_set_disable_reservoir(lame_t gf, int value) {
  return reinterpret_cast<int (*)(lame_t, int)>(disableReservoir)(gf, value);
}

int lame_encode_flush_nogap(lame_t gf, unsigned char* mp3, int mp3Size) {
  return Bound<int (*)(lame_t, unsigned char*, int)>(e_lame_encode_flush_nogap)(gf, mp3, mp3Size);
}

int lame_get_encoder_delay(lame_t gf) { return Bound<int (*)(lame_t)>(e_lame_get_encoder_delay)(gf); }
int lame_get_encoder_padding(lame_t gf) { return Bound<int (*)(lame_t)>(e_lame_get_encoder_padding)(gf); }
int lame_get_frameNum(lame_t gf) { return Bound<int (*)(lame_t)>(e_lame_get_frameNum)(gf); }

std::size_t lame_get_lametag_frame(lame_t gf, unsigned char* buffer, std::size_t size) {
  return reinterpret_cast<LametagFrameFn>(lametagFrame)(gf, buffer, size);
}

}  // namespace engine::lame

// ---- The Info tag stand-in ----

namespace engine::lame {

namespace {

// Overwrites the placeholder frame at the start of `fileName` with the encoder's tag frame.
bool OverwritePlaceholderFrame(lame_t gf, const char* fileName) {
  std::vector<unsigned char> frame(4096);
  const std::size_t size = reinterpret_cast<LametagFrameFn>(lametagFrame)(gf, frame.data(), frame.size());
  // At low bit rates the tag does not fit in a frame, and the encoder then writes neither the
  // placeholder nor the tag: there is nothing to overwrite, and the file is complete as it is.
  if (size == 0) return true;
  if (size > frame.size()) return false;
  try {
    FileStream file(fileName, FileStream::Mode::OpenReadWrite);
    std::uint8_t head[10];
    const std::size_t got = file.Read(head, sizeof head);
    const std::optional<std::uint64_t> offset = Id3v2TagSize(head, got);
    if (!offset) return false;
    // The placeholder must be an audio frame of the same size, or the file is not the one the
    // encoder wrote and is left alone.
    std::vector<unsigned char> placeholder(size);
    file.Seek(static_cast<long long>(*offset));
    if (file.Read(placeholder.data(), size) != size || !IsFrameHeader(placeholder.data(), size)) return false;
    file.Seek(static_cast<long long>(*offset));
    file.Write(frame.data(), size);
    file.Close();
    return true;
  } catch (const FileError&) {
    return false;
  }
}

int WriteVbrHeaderStandIn(const char* fileName) {
  const lame_t last = lastInitialised.load();
  if (last == nullptr || fileName == nullptr) return -1;
  return OverwritePlaceholderFrame(last, fileName) ? 0 : -1;
}

}  // namespace

int WriteInfoTagIntoFile(lame_t gf, const char* fileName) {
  const bool written = fileName != nullptr && OverwritePlaceholderFrame(gf, fileName);
  Bound<int (*)(lame_t)>(e_lame_close)(gf);
  return written ? 0 : -1;
}

}  // namespace engine::lame
