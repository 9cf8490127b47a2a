#include "platform/mmstream/error_text.h"

extern "C" {
#include <libavutil/error.h>
}

#include <array>
#include <cstdio>
#include <cstring>

namespace platform::mmstream {

namespace {

// Few distinct codes ever get a text; a handful of slots holds them all, and a new code beyond
// that replaces the oldest slot instead of growing the table.
constexpr std::size_t kSlots = 4;

struct Slot {
  HRESULT code = S_OK;
  char text[AV_ERROR_MAX_STRING_SIZE * 2] = {};
};

struct Table {
  std::array<Slot, kSlots> slots;
  std::size_t next = 0;
};

thread_local Table table;

Slot& SlotFor(HRESULT code) {
  for (Slot& s : table.slots) {
    if (s.code == code) return s;
  }
  Slot& slot = table.slots[table.next];
  table.next = (table.next + 1) % kSlots;
  slot.code = code;
  return slot;
}

}  // namespace

HRESULT RecordFailure(HRESULT code, int averror) {
  Slot& slot = SlotFor(code);
  // av_strerror writes a generic "Error number N occurred" when it knows no better text.
  av_strerror(averror, slot.text, sizeof slot.text);
  slot.text[sizeof slot.text - 1] = '\0';
  return code;
}

HRESULT RecordFailureText(HRESULT code, const char* text) {
  Slot& slot = SlotFor(code);
  std::snprintf(slot.text, sizeof slot.text, "%s", text);
  return code;
}

std::string ErrorText(HRESULT code) {
  if (code == S_OK) return {};
  for (const Slot& s : table.slots) {
    if (s.code == code) return s.text;
  }
  return {};
}

}  // namespace platform::mmstream
