// An exclusive lock on the folder of a file, held while one process reads, changes and replaces
// that file, so that two processes saving at once both keep what they wrote (the settings file,
// the tag history lists). Advisory: only those who take it are held back. A folder that cannot
// be locked (some network file systems) is worked on without.
#pragma once

#include <string>

namespace platform {

class FolderLock {
 public:
  // Locks the folder of `file` (the current folder for a bare name), waiting for another holder.
  explicit FolderLock(const std::string& file);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace platform
