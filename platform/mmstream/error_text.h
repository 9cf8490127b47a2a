// Texts for the result codes the multimedia-stream layer produces from FFmpeg failures.
//
// The layer reports failures with the few DirectShow-style codes its callers know (E_FAIL,
// VFW_E_INVALID_FILE_FORMAT), so the code alone cannot say why a file failed. Each thread
// therefore remembers, per code, FFmpeg's text for the last failure it got with that code, the
// way a thread's errno works: a caller that gets a code and asks for its text on the same thread
// gets the reason ("No such file or directory"). The table is thread-local (no locks, no races)
// and has a fixed number of slots (bounded whatever happens).
#pragma once

#include "platform/win_types.h"

#include <string>

namespace platform::mmstream {

// Remembers FFmpeg's text for `averror` as the reason for `code` on this thread; returns `code`.
HRESULT RecordFailure(HRESULT code, int averror);

// Remembers `text` itself as the reason for `code` on this thread; returns `code`.
HRESULT RecordFailureText(HRESULT code, const char* text);

// FFmpeg's text for the last failure this thread got with `code` from the layer, or "" when the
// layer has not produced that code on this thread.
std::string ErrorText(HRESULT code);

}  // namespace platform::mmstream
