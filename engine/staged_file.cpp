#include "engine/staged_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace engine {

namespace {

// Room for the dot, the random part and ".part" within a file name's 255 bytes.
constexpr std::size_t kMaxNameBytesKept = 200;

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

std::string RandomPart() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
  std::string part(6, ' ');
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
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Moves `from` over `to`. What may be replaced is a file or a link (the link itself, never what
// it points to); a device, a FIFO or a socket under that name is not a file to replace.
int ReplaceFileOrLink(const std::string& from, const std::string& to) {
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode) && !S_ISDIR(info.st_mode))
    return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

StagedFile::StagedFile(const std::string& finalName) : finalName_(finalName) {
  const NameParts parts = Split(finalName);
  if (parts.name.empty()) throw FileError("Cannot create file", finalName, EISDIR);
  for (int attempt = 0;; ++attempt) {
    temporaryName_ = parts.folder + "." + Shortened(parts.name) + "." + RandomPart() + ".part";
    try {
      stream_ = std::make_unique<FileStream>(temporaryName_, FileStream::Mode::CreateNew, finalName);
      return;
    } catch (const FileError& e) {
      // Another file of that name: try another. Anything else concerns the final name's folder.
      if (e.ErrorNumber() != EEXIST || attempt >= 100) throw FileError("Cannot create file", finalName, e.ErrorNumber());
    }
  }
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Commit(Replace replace) {
  try {
    stream_->Close();
    // Written by name after the stream closed (the encoder's header frame), so flushed by name.
    FileStream written(temporaryName_, FileStream::Mode::OpenReadWrite, finalName_);
    written.Sync();
    written.Close();
  } catch (const FileError&) {
    Discard();
    throw;
  }
  const int failure = replace == Replace::Allowed ? ReplaceFileOrLink(temporaryName_, finalName_)
                                                  : RenameWithoutReplacing(temporaryName_, finalName_);
  if (failure != 0) {
    Discard();
    throw FileError("Cannot create file", finalName_, failure);
  }
  committed_ = true;
  SyncFolder(Split(finalName_).folder);
}

void StagedFile::Discard() noexcept {
  if (committed_ || removed_) return;
  removed_ = true;
  try {
    stream_->Close();
  } catch (const FileError&) {
    // The file goes anyway.
  }
  ::unlink(temporaryName_.c_str());
}

}  // namespace engine
