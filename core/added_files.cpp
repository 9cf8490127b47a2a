#include "core/added_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

namespace core {

namespace fs = std::filesystem;

namespace {

unsigned char Lower(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Hidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name[0] == '.';
}

// The files under `folder`, as paths relative to it, in NaturalLess order component by component.
std::vector<fs::path> MediaFilesUnder(const fs::path& folder, const std::set<std::string>& extensions) {
  std::vector<fs::path> found;
  std::error_code error;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::directory_entry& entry = *it;
    std::error_code ignored;
    if (Hidden(entry.path())) {
      if (entry.is_directory(ignored)) it.disable_recursion_pending();
      continue;
    }
    // A link to a folder could lead back up the tree: only real folders are entered.
    if (entry.is_symlink(ignored) && entry.is_directory(ignored)) {
      it.disable_recursion_pending();
      continue;
    }
    if (!entry.is_regular_file(ignored)) continue;
    std::string extension = entry.path().extension().string();
    if (extension.size() < 2) continue;
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), Lower);
    if (extensions.count(extension) != 0) found.push_back(entry.path().lexically_relative(folder));
  }
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](const fs::path& x, const fs::path& y) { return NaturalLess(x.string(), y.string()); });
  });
  return found;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Numbers: without their leading zeros, the longer one is larger; else digit by digit.
      std::size_t iEnd = i, jEnd = j;
      while (iEnd < a.size() && IsDigit(a[iEnd])) ++iEnd;
      while (jEnd < b.size() && IsDigit(b[jEnd])) ++jEnd;
      std::string_view x = a.substr(i, iEnd - i), y = b.substr(j, jEnd - j);
      x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
      y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = iEnd;
      j = jEnd;
      continue;
    }
    if (Lower(a[i]) != Lower(b[j])) return Lower(a[i]) < Lower(b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal but for case or leading zeros: a fixed order all the same
}

std::vector<AddedFile> CollectAddedFiles(const std::vector<std::string>& paths,
                                         const std::vector<std::string>& extensions) {
  const std::set<std::string> wanted(extensions.begin(), extensions.end());
  std::vector<AddedFile> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      files.push_back({path, {}});
      continue;
    }
    fs::path folder(path);
    if (!folder.has_filename()) folder = folder.parent_path();  // "/music/Album/"
    const fs::path name = folder.filename();
    for (const fs::path& relative : MediaFilesUnder(folder, wanted)) {
      files.push_back({(folder / relative).string(), (name / relative.parent_path()).lexically_normal().string()});
    }
  }
  for (AddedFile& file : files) {
    if (!file.subfolder.empty() && file.subfolder.back() == '/') file.subfolder.pop_back();
  }
  return files;
}

}  // namespace core
