// How the process gives memory back to the system.
#pragma once

namespace platform {

// Call once at start, before any thread: large blocks (a tag's pictures and texts, read, written
// and let go as each file starts) go back to the system when freed. Without this, the C library
// raises its threshold for such blocks after the first is freed and keeps later ones in each
// thread's pool, so a run on eight threads would hold eight files' worth of tags long after
// they were written.
void ReturnLargeBlocksWhenFreed();

}  // namespace platform
