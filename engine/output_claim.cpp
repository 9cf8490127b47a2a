#include "engine/output_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace engine {

namespace {

constexpr std::string_view kClaimSuffix = ".claim";
// Room for the dot and the suffix within a file name's 255 bytes.
constexpr std::size_t kMaxNameBytesKept = 240;

}  // namespace

std::string OutputClaim::ClaimFileOf(const std::string& output) {
  const std::size_t slash = output.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
  if (name.size() > kMaxNameBytesKept) {
    std::size_t cut = kMaxNameBytesKept;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return folder + "." + name + std::string(kClaimSuffix);
}

std::unique_ptr<OutputClaim> OutputClaim::Take(const std::string& output, Outcome& outcome) {
  const std::string path = ClaimFileOf(output);
  // A holder that releases its claim removes the file; a file found removed after locking it is
  // not the claim any more, so the next attempt takes a new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      outcome = Outcome::Failed;
      return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      ::close(fd);
      outcome = reason == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Failed;
      return nullptr;
    }
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      outcome = Outcome::Claimed;
      return std::unique_ptr<OutputClaim>(new OutputClaim(path, fd));
    }
    ::close(fd);
  }
  outcome = Outcome::Failed;
  return nullptr;
}

OutputClaim::~OutputClaim() {
  // The name goes while the lock is still held, so nobody locks a file that is about to go.
  ::unlink(path_.c_str());
  ::close(fd_);
}

bool IsClaimName(const std::string& fileName) {
  return fileName.size() > 1 + kClaimSuffix.size() && fileName[0] == '.' &&
         fileName.compare(fileName.size() - kClaimSuffix.size(), kClaimSuffix.size(), kClaimSuffix) == 0;
}

}  // namespace engine
