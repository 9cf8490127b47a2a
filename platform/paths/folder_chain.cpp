#include "platform/paths/folder_chain.h"

#include "platform/errtext.h"

#include <sys/stat.h>

#include <cerrno>

namespace platform {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool MakeFolderChain(const std::string& folder, std::string* error) {
  if (folder.empty()) {
    if (error != nullptr) *error = "No folder was given.";
    return false;
  }
  // Walk the path one part at a time; each prefix is a folder to find or create.
  std::size_t start = 0;
  while (start <= folder.size()) {
    std::size_t end = folder.find('/', start);
    if (end == std::string::npos) end = folder.size();
    const bool emptyPart = end == start;
    start = end + 1;
    if (emptyPart) continue;  // the root, or "//"

    const std::string prefix = folder.substr(0, end);
    if (::mkdir(prefix.c_str(), 0777) == 0) continue;
    int reason = errno;
    // An existing folder answers EEXIST, or EACCES when its parent is not writable.
    if (IsFolder(prefix)) continue;
    if (reason == EEXIST) reason = ENOTDIR;
    if (error != nullptr) *error = "Cannot create the folder \"" + prefix + "\": " + ErrnoText(reason);
    return false;
  }
  return true;
}

}  // namespace platform
