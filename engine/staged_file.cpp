#include "engine/staged_file.h"

#include "engine/output_claim.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string_view>

namespace engine {

namespace {

// Room for the dot, the random part and ".part" within a file name's 255 bytes.
constexpr std::size_t kMaxNameBytesKept = 200;
constexpr std::size_t kRandomLength = 6;
constexpr std::string_view kPartSuffix = ".part";

struct NameParts {
  std::string folder;  // "" for the current folder, else ending with "/"
  std::string name;
};

NameParts Split(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The first bytes of a file name, not ending inside a UTF-8 sequence.
std::string Shortened(const std::string& name) {
  if (name.size() <= kMaxNameBytesKept) return name;
  std::size_t cut = kMaxNameBytesKept;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string RandomPart() {
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string part(kRandomLength, ' ');
  for (char& c : part) c = kLetters[pick(generator)];
  return part;
}

// Makes a rename durable: the folder's entry must reach the disk too.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The errno a commit reports for something under the final name that is not a file to replace.
int RefusalFor(NameKind kind) {
  switch (kind) {
    case NameKind::Missing:
    case NameKind::RegularFile: return 0;
    case NameKind::Folder: return EISDIR;
    default: return EEXIST;
  }
}

// Moves `from` to `to` unless `to` exists in any form. 0, or the errno of the failure.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without that kind of rename: a hard link fails just the same when the name
  // exists, and the temporary name then goes.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
  // Neither (some network and FAT file systems): the best left is to look first.
  if (KindOfName(to) != NameKind::Missing) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Moves `from` (open as `descriptor`) over `to`, which may only be missing or a regular file; a
// regular file's mode, and for root its owner and group, pass to the new file first.
int ReplaceRegularFile(int descriptor, const std::string& from, const std::string& to) {
  struct stat old {};
  if (::lstat(to.c_str(), &old) != 0) return errno == ENOENT ? RenameWithoutReplacing(from, to) : errno;
  if (!S_ISREG(old.st_mode)) return RefusalFor(KindOfName(to));
  if (::geteuid() == 0) {
    // Best effort: a file system without owners (FAT) keeps its own.
    (void)::fchown(descriptor, old.st_uid, old.st_gid);
  }
  (void)::fchmod(descriptor, old.st_mode & 07777);
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

NameKind KindOfName(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return NameKind::Missing;
  if (S_ISREG(info.st_mode)) return NameKind::RegularFile;
  if (S_ISDIR(info.st_mode)) return NameKind::Folder;
  if (S_ISLNK(info.st_mode)) return NameKind::SymbolicLink;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return NameKind::Device;
  if (S_ISFIFO(info.st_mode)) return NameKind::Pipe;
  if (S_ISSOCK(info.st_mode)) return NameKind::Socket;
  return NameKind::Other;
}

StagedFile::StagedFile(const std::string& finalName) : finalName_(finalName) {
  const NameParts parts = Split(finalName);
  if (parts.name.empty()) throw FileError("Cannot create file", finalName, EISDIR);
  for (int attempt = 0;; ++attempt) {
    temporaryName_ = parts.folder + "." + Shortened(parts.name) + "." + RandomPart() + std::string(kPartSuffix);
    try {
      stream_ = std::make_unique<FileStream>(temporaryName_, FileStream::Mode::CreateNew, finalName);
    } catch (const FileError& e) {
      // Another file of that name: try another. Anything else concerns the final name's folder.
      if (e.ErrorNumber() != EEXIST || attempt >= 100) throw FileError("Cannot create file", finalName, e.ErrorNumber());
      continue;
    }
    // Held until the file is committed or removed, so that nobody takes it for a dead one. A
    // cleaner may have taken the file in the moment before the lock: then it is gone from its
    // name, and another one is made. A file system without locks still writes the file.
    const int fd = stream_->Descriptor();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return;
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(temporaryName_.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev)
      return;
    stream_.reset();
    if (attempt >= 100) throw FileError("Cannot create file", finalName, EEXIST);
  }
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Commit(Replace replace) {
  int failure = 0;
  try {
    stream_->Sync();
    failure = replace == Replace::RegularFile ? ReplaceRegularFile(stream_->Descriptor(), temporaryName_, finalName_)
                                              : RenameWithoutReplacing(temporaryName_, finalName_);
    if (failure == 0) {
      committed_ = true;
      stream_->Close();
    }
  } catch (const FileError&) {
    if (!committed_) Discard();
    throw;
  }
  if (failure != 0) {
    Discard();
    throw FileError("Cannot create file", finalName_, failure);
  }
  SyncFolder(Split(finalName_).folder);
}

void StagedFile::Discard() noexcept {
  if (committed_ || removed_) return;
  removed_ = true;
  // The name goes before the lock does, so no cleaner ever sees it unlocked.
  ::unlink(temporaryName_.c_str());
  try {
    stream_->Close();
  } catch (const FileError&) {
    // The file is gone anyway.
  }
}

bool IsStagedName(const std::string& fileName) {
  // "." + name + "." + 6 letters or digits + ".part"
  const std::size_t tail = 1 + kRandomLength + kPartSuffix.size();
  if (fileName.size() < 2 + tail || fileName[0] != '.') return false;
  if (fileName.compare(fileName.size() - kPartSuffix.size(), kPartSuffix.size(), kPartSuffix) != 0) return false;
  const std::size_t random = fileName.size() - kPartSuffix.size() - kRandomLength;
  if (fileName[random - 1] != '.') return false;
  for (std::size_t i = random; i < random + kRandomLength; ++i) {
    if (kLetters.find(fileName[i]) == std::string_view::npos) return false;
  }
  return true;
}

int RemoveStaleParts(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsStagedName(name) && !IsClaimName(name)) continue;
    const std::string path = folder + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    // A lock taken means no conversion holds it any more (one that has only just made it checks,
    // once it holds the lock, that its file still has its name); the name is checked to be this
    // very file again while the lock is held, so a file that replaced it meanwhile is not taken.
    if (regular && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat now_info {};
      if (::lstat(path.c_str(), &now_info) == 0 && now_info.st_ino == info.st_ino && now_info.st_dev == info.st_dev &&
          ::unlink(path.c_str()) == 0) {
        ++removed;
      }
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace engine
