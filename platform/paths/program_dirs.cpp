#include "platform/paths/program_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace platform {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string RunningProgramFolder() {
  // readlink does not say whether it cut the name short: grow the buffer until it fits.
  std::vector<char> buffer(1024);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string path(buffer.data(), static_cast<std::size_t>(length));
      const std::size_t slash = path.rfind('/');
      return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> FindBesideProgram(std::string_view name, const std::string& programFolder) {
  if (programFolder.empty() || name.empty()) return std::nullopt;
  for (const char* below : {"", "../share/tavisto/"}) {
    const std::string candidate = programFolder + below + std::string(name);
    if (IsRegularFile(candidate)) return std::filesystem::path(candidate).lexically_normal().string();
  }
  return std::nullopt;
}

std::optional<std::string> FindBesideProgram(std::string_view name) {
  return FindBesideProgram(name, RunningProgramFolder());
}

}  // namespace platform
