#include "platform/paths/file_identity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <filesystem>

#include "platform/paths/path_names.h"
#include "platform/utf8.h"

namespace platform {

namespace {

// The statfs magic numbers of file systems that ignore letter case in names.
constexpr long kCaseInsensitiveFileSystems[] = {
    0x4d44,      // FAT (msdos, vfat)
    0x2011BAB0,  // exFAT
    0x5346544e,  // NTFS (the old driver)
    0x7366746e,  // NTFS (ntfs3)
    0x482b,      // HFS+
    0xFF534D42,  // SMB (CIFS)
    0xFE534D42,  // SMB2
};

// The folder, for a folder key: its identity when it exists.
std::string FolderKey(const std::string& folder) {
  if (const std::optional<FileId> id = IdOf(folder.empty() ? "." : folder))
    return "#" + std::to_string(id->device) + ":" + std::to_string(id->inode);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  return (error ? std::filesystem::path(folder) : absolute).lexically_normal().string();
}

char32_t Folded(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;      // Latin-1
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;   // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                 // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

}  // namespace

std::optional<FileId> IdOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool IgnoresCase(const std::string& folder) {
  const std::string path = folder.empty() ? "." : folder;
  struct statfs info {};
  if (::statfs(path.c_str(), &info) == 0) {
    for (long magic : kCaseInsensitiveFileSystems) {
      if (static_cast<long>(static_cast<unsigned int>(info.f_type)) == magic) return true;
    }
  }
  // ext4 and F2FS fold case in folders marked for it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  const bool folds = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000) != 0;  // FS_CASEFOLD_FL
  ::close(fd);
  return folds;
}

std::string FoldedCase(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = Utf8SequenceLength(name, i);
    if (length == 0) {
      out += name[i++];
      continue;
    }
    AppendUtf8(out, Folded(DecodeUtf8Sequence(name, i, length)));
    i += length;
  }
  return out;
}

std::string NameKey(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string name = FileNameOf(path);
  const bool exists = IdOf(folder.empty() ? "." : folder).has_value();
  return FolderKey(folder) + "/" + (exists && IgnoresCase(folder) ? FoldedCase(name) : name);
}

}  // namespace platform
