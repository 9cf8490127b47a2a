#include "core/tag_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/paths/path_names.h"
#include "platform/text_encoding.h"
#include "platform/errtext.h"
#include "platform/paths/file_read.h"
#include "platform/paths/folder_chain.h"
#include "platform/paths/folder_lock.h"
#include "platform/paths/user_dirs.h"

namespace core {

namespace {

// A list grows by one short value per finished task; anything this large is not a list.
constexpr std::size_t kLargestList = 4 * 1024 * 1024;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string ReadError(const std::string& path, const platform::FileReadResult& read) {
  const std::string file = "Cannot read the file " + Quoted(path) + ": ";
  switch (read.status) {
    case platform::FileReadStatus::NotRegular:
      return file + "it is not a regular file.";
    case platform::FileReadStatus::TooLarge:
      return file + "it is too large for a list.";
    default:
      return file + platform::ErrnoText(read.error != 0 ? read.error : EIO) + ".";
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string TagHistoryPath(const std::string& fileName) { return platform::UserDataFolder() + fileName; }

TagHistoryRead ReadTagHistory(const std::string& path) {
  TagHistoryRead result;
  platform::FileReadResult read = platform::ReadRegularFile(path, kLargestList);
  if (read.status == platform::FileReadStatus::Missing) {
    result.ok = true;
    return result;
  }
  if (read.status != platform::FileReadStatus::Ok) {
    result.error = ReadError(path, read);
    return result;
  }
  result.ok = true;
  const std::string& bytes = read.bytes;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    result.lines.push_back(ToValidUtf8(line));
    start = end + 1;
  }
  return result;
}

bool WriteTagHistory(const std::string& path, const std::vector<std::string>& lines, std::string& error) {
  const std::string folder = platform::FolderOf(path);
  if (!folder.empty() && !platform::MakeFolderChain(folder, &error)) return false;
  // Another Tavisto may save the same list at the same moment: under the folder's lock, what it
  // added is read and kept.
  const platform::FolderLock lock(path);
  std::vector<std::string> merged;
  if (const TagHistoryRead current = ReadTagHistory(path); current.ok) merged = current.lines;
  for (std::string line : lines) {
    // A line break inside a value would split it.
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    if (std::find(merged.begin(), merged.end(), line) == merged.end()) merged.push_back(std::move(line));
  }
  std::string bytes;
  for (const std::string& line : merged) bytes += line + '\n';

  // A name of its own, so that nobody else's temporary file is ever written over.
  std::string temporary = folder + "." + platform::FileNameOf(path) + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "Cannot write the file " + Quoted(path) + ": " + platform::ErrnoText(errno) + ".";
    return false;
  }
  ::fchmod(fd, 0644);
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int reason = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    error = "Cannot write the file " + Quoted(path) + ": " + platform::ErrnoText(reason != 0 ? reason : EIO) + ".";
  }
  return ok;
}

}  // namespace core
