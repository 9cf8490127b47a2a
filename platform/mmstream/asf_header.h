// What the header of an ASF file (WMA, WMV, ASF) states that FFmpeg does not pass on.
//
// FFmpeg takes an ASF file's play duration only when the file is as long as its header says,
// and otherwise estimates the duration from the bytes that are there; for a file cut short that
// estimate is the cut length, so the shortfall could not be noticed. The header still says how
// long the file was made to play. It also says whether the content is encrypted (DRM), which
// FFmpeg cannot decode.
//
// Header layout (all numbers little-endian):
//   Header Object: GUID 75B22630-668E-11CF-A6D9-00AA0062CE6C (16), size (8), object count (4),
//                  two reserved bytes, then the child objects, each GUID (16) + size (8) + body.
//   File Properties Object 8CABDCA1-A947-11CF-8EE4-00C00C205365: at object offset 64 the play
//                  duration (100 ns, preroll included), at 80 the preroll (ms), at 88 the flags
//                  (bit 0: broadcast, durations not valid).
//   Content Encryption Object 2211B3FB-BD23-11D2-B4B7-00C04FB3A5AA, Extended Content Encryption
//                  Object 298AE614-2622-4C17-B935-DAE07EE9289C: the content is protected.
// GUIDs are stored with their first three fields little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::mmstream {

struct AsfHeaderFacts {
  bool isAsf = false;             // the bytes start with an ASF header object
  std::int64_t playDuration = 0;  // 100 ns without the preroll; 0 when not stated
  bool encrypted = false;         // an encryption object is present
};

// Reads the facts from the first `size` bytes of a file. Bounded: every object's size is checked
// against what its parent has left, and a header cut short gives what was found before the cut.
AsfHeaderFacts ReadAsfHeaderFacts(const std::uint8_t* bytes, std::size_t size);

// The same for the file open as `fd`, read with pread (the file offset does not move); at most
// the first 16 MiB of a header are read.
AsfHeaderFacts ReadAsfHeaderFacts(int fd);

}  // namespace platform::mmstream
