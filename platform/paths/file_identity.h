// Telling files apart by what they are, not by how their paths are spelt: "song.wma",
// "./song.wma", "a/../song.wma", a link to it and, on a file system that ignores case, "SONG.WMA"
// all name one file. Any thread.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// A file's identity: its device and inode.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  auto operator<=>(const FileId&) const = default;
};

// The identity of the file `path` names (links followed); nothing when there is none.
std::optional<FileId> IdOf(const std::string& path);

// Whether the file system of `folder` (an existing one) finds names without regard to letter
// case: FAT, exFAT, NTFS, HFS+, SMB shares, and ext4 or F2FS folders marked to fold case.
bool IgnoresCase(const std::string& folder);

// `name` with its letters folded to lower case as such file systems compare them (ASCII, and the
// capitals of Latin-1, Greek and Cyrillic).
std::string FoldedCase(const std::string& name);

// A key that is equal for two paths exactly when a file written under the one would be the file
// under the other: the identity of the path's folder when it exists (else its absolute, lexically
// normal spelling), and the file name, case-folded where the folder ignores case. Paths whose
// folders are not known yet fall back to comparing spellings.
std::string NameKey(const std::string& path);

}  // namespace platform
