#include "platform/registry/atomic_write.h"

#include "platform/errtext.h"
#include "platform/paths/folder_chain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {
namespace {

bool Fail(std::string* error, const std::string& what, int reason) {
  if (error != nullptr) *error = what + ": " + ErrnoText(reason);
  return false;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

// Replacing a symbolic link itself would cut it off from the file it points to (a settings
// file kept with the user's other dotfiles, say): write to that file instead.
std::string FileBehindLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string target = FileBehindLink(path);
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (!MakeFolderChain(folder, error)) return false;

  // The temporary file must be in the same folder: rename is atomic only within one file system.
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + "/." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Fail(error, "Cannot create a file in \"" + folder + "\"", errno);

  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd, old.st_mode & 07777);  // best effort: the content matters more than the mode
  }
  // The data must be on the disk before the rename makes it the file; otherwise a crash right
  // after the rename could leave an empty file where the old one was.
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
    const int reason = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    return Fail(error, "Cannot write \"" + target + "\"", reason);
  }
  if (::close(fd) != 0) {
    const int reason = errno;
    ::unlink(temporary.c_str());
    return Fail(error, "Cannot write \"" + target + "\"", reason);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int reason = errno;
    ::unlink(temporary.c_str());
    return Fail(error, "Cannot replace \"" + target + "\"", reason);
  }
  // Make the rename itself durable.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

}  // namespace platform
