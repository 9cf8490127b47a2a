#include "core/tags/folder_art.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/paths/file_descriptor.h"
#include "platform/utf8.h"

namespace tags {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// "image/jpeg" or "image/png" for the first bytes of those, else "".
std::string JpegOrPng(const std::uint8_t* data, std::size_t size) {
  const std::string mime = engine::ImageMimeType(data, size);
  return mime == "image/jpeg" || mime == "image/png" ? mime : std::string();
}

// Opens `path` for reading if it is a regular file of at most the picture limit; its size.
// O_NONBLOCK: a FIFO named like album art must not make the open wait for a writer.
int OpenPicture(const std::string& path, std::uint64_t& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
      static_cast<std::uint64_t>(status.st_size) > engine::kMaxPictureBytes) {
    ::close(fd);
    return -1;
  }
  bytes = static_cast<std::uint64_t>(status.st_size);
  return fd;
}

std::size_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::string PathIn(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool IsAlbumArtName(const std::string& fileName) {
  const std::string name = platform::AsciiLower(fileName);
  if (name == "folder.jpg" || name == "albumartsmall.jpg") return true;
  if (StartsWith(name, "albumart_{") && EndsWith(name, "}_large.jpg") && name.size() > 21) return true;
  return (StartsWith(name, "cover.") && name.size() > 6) || (StartsWith(name, "front.") && name.size() > 6);
}

std::optional<FolderArtFile> ChooseFolderArt(const std::string& folder) {
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return std::nullopt;
  std::vector<FolderArtFile> candidates;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    // Only the few names that can be album art are looked at any closer.
    if (!IsAlbumArtName(name)) continue;
    if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
    struct stat status {};
    const std::string path = PathIn(folder, name);
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        static_cast<std::uint64_t>(status.st_size) > engine::kMaxPictureBytes) {
      continue;
    }
    candidates.push_back({path, name, static_cast<std::uint64_t>(status.st_size)});
  }
  ::closedir(listing);
  std::sort(candidates.begin(), candidates.end(), [](const FolderArtFile& a, const FolderArtFile& b) {
    return a.bytes != b.bytes ? a.bytes > b.bytes : a.fileName < b.fileName;
  });
  for (FolderArtFile& candidate : candidates) {
    std::uint64_t bytes = 0;
    const platform::FileDescriptor fd(OpenPicture(candidate.path, bytes));
    if (fd.Get() < 0) continue;
    std::uint8_t head[8];
    if (!JpegOrPng(head, ReadUpTo(fd.Get(), head, sizeof head)).empty()) return std::move(candidate);
  }
  return std::nullopt;
}

std::optional<FolderArt> ReadFolderArt(const FolderArtFile& file) {
  std::uint64_t bytes = 0;
  const platform::FileDescriptor fd(OpenPicture(file.path, bytes));
  if (fd.Get() < 0) return std::nullopt;
  FolderArt art;
  art.fileName = file.fileName;
  art.data.resize(static_cast<std::size_t>(bytes));
  art.data.resize(ReadUpTo(fd.Get(), art.data.data(), art.data.size()));
  art.mimeType = JpegOrPng(art.data.data(), art.data.size());
  if (art.mimeType.empty()) return std::nullopt;
  return art;
}

std::optional<FolderArt> FindFolderArt(const std::string& folder) {
  const std::optional<FolderArtFile> chosen = ChooseFolderArt(folder);
  if (!chosen) return std::nullopt;
  return ReadFolderArt(*chosen);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace tags
