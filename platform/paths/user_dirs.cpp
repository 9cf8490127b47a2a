#include "platform/paths/user_dirs.h"

#include "platform/paths/file_read.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {
namespace {

// user-dirs.dirs holds a handful of lines; anything bigger is not one.
constexpr std::size_t kMaxUserDirsBytes = 64 * 1024;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Join(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

// The XDG variables count only when they hold an absolute path; a relative one is ignored.
std::string AbsoluteEnvironmentOr(const char* name, const std::string& fallback) {
  const std::string value = Environment(name);
  if (!value.empty() && value.front() == '/') return WithoutTrailingSlashes(value);
  return fallback;
}

std::string AccountHomeFolder() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// The value of a shell assignment: a double-quoted text with backslash escapes, or a bare word.
std::optional<std::string> ShellValue(std::string_view text) {
  std::string value;
  if (!text.empty() && text.front() == '"') {
    for (std::size_t i = 1; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '"') return value;
      if (c == '\\' && i + 1 < text.size()) {
        value += text[++i];
      } else {
        value += c;
      }
    }
    return std::nullopt;  // no closing quote
  }
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '#') break;
    value += c;
  }
  return value;
}

std::string ExpandHome(const std::string& value, std::string_view home) {
  for (const std::string_view variable : {std::string_view("$HOME"), std::string_view("${HOME}")}) {
    if (value.compare(0, variable.size(), variable) == 0 &&
        (value.size() == variable.size() || value[variable.size()] == '/')) {
      return std::string(home) + value.substr(variable.size());
    }
  }
  return value;
}

}  // namespace

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) home = AccountHomeFolder();
  if (home.empty()) home = "/";
  return WithoutTrailingSlashes(home);
}

std::string ConfigHomeFolder() {
  return AbsoluteEnvironmentOr("XDG_CONFIG_HOME", Join(HomeFolder(), ".config"));
}

std::string DataHomeFolder() {
  return AbsoluteEnvironmentOr("XDG_DATA_HOME", Join(HomeFolder(), ".local/share"));
}

std::optional<std::string> FindUserDir(std::string_view fileText, std::string_view name,
                                       std::string_view home) {
  const std::string variable = "XDG_" + std::string(name) + "_DIR";
  std::optional<std::string> found;
  std::size_t start = 0;
  while (start < fileText.size()) {
    std::size_t end = fileText.find('\n', start);
    if (end == std::string_view::npos) end = fileText.size();
    std::string_view line = fileText.substr(start, end - start);
    start = end + 1;

    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, variable.size()) != variable) continue;
    line.remove_prefix(variable.size());
    if (line.empty() || line.front() != '=') continue;  // another variable with this prefix
    line.remove_prefix(1);

    const std::optional<std::string> value = ShellValue(line);
    if (!value) continue;  // a line the shell could not read either
    const std::string path = ExpandHome(*value, home);
    if (!path.empty() && path.front() == '/') {
      found = WithoutTrailingSlashes(path);
    } else {
      found.reset();  // the last assignment counts, and a relative one is invalid
    }
  }
  return found;
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  const FileReadResult file = ReadRegularFile(Join(ConfigHomeFolder(), "user-dirs.dirs"), kMaxUserDirsBytes);
  if (file.status == FileReadStatus::Ok) {
    if (std::optional<std::string> folder = FindUserDir(file.bytes, "DOCUMENTS", home)) return *folder;
  }
  return Join(home, "Documents");
}

std::string RegistryFilePath() {
  const std::string overridden = Environment("TAVISTO_REGISTRY");
  if (!overridden.empty()) return overridden;
  return Join(ConfigHomeFolder(), "Quorlen/Tavisto.reg");
}

std::string UserDataFolder() {
  const std::string overridden = Environment("TAVISTO_REGISTRY");
  if (!overridden.empty()) {
    const std::size_t slash = overridden.rfind('/');
    return slash == std::string::npos ? std::string("./") : overridden.substr(0, slash + 1);
  }
  return Join(DataHomeFolder(), "Tavisto/");
}

}  // namespace platform
