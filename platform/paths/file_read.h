// Reading a whole small file whose contents nobody vouches for (settings, lists, user-dirs).
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class FileReadStatus {
  Ok,
  Missing,       // no such file (or a folder on the way is missing)
  NotPermitted,  // the user may not read it
  NotRegular,    // a folder, a pipe or a device: never read, so a pipe cannot block the caller
  TooLarge,      // larger than the caller's limit
  Failed,        // any other read error
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::Failed;
  int error = 0;      // errno of the failure, 0 when none applies
  std::string bytes;  // the whole file when status is Ok
};

// Reads the regular file at `path` when it holds at most `maxBytes` bytes.
FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace platform
