#include "core/output_name.h"

#include "engine/encoding_settings.h"
#include "platform/paths/path_names.h"

namespace core {

namespace {

// The extension of a file name as the naming rule sees it: from its last dot, unless that dot
// starts the name.
std::size_t ExtensionStart(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

// The first bytes of `text`, at most `bytes` of them, not ending inside a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

// `stem` + `ending`, the stem shortened so that the whole fits in a file name.
std::string Fitted(std::string_view stem, std::string_view ending) {
  const std::size_t room = kMaxFileNameBytes > ending.size() ? kMaxFileNameBytes - ending.size() : 0;
  return std::string(CutAtCharacter(stem, room)).append(ending);
}

}  // namespace

std::string Mp3FileNameFor(std::string_view sourcePath) {
  const std::string name = platform::FileNameOf(sourcePath);
  return Fitted(std::string_view(name).substr(0, ExtensionStart(name)), engine::kMp3Extension);
}

std::string FittedName(std::string_view path) {
  const std::string name = platform::FileNameOf(path);
  if (name.size() <= kMaxFileNameBytes) return std::string(path);
  const std::size_t extension = ExtensionStart(name);
  return platform::FolderOf(path) + Fitted(std::string_view(name).substr(0, extension), name.substr(extension));
}

std::string NumberedName(std::string_view path, long long number) {
  const std::string folder = platform::FolderOf(path);
  const std::string name = platform::FileNameOf(path);
  const std::size_t extension = ExtensionStart(name);
  const std::string ending = " (" + std::to_string(number) + ")" + name.substr(extension);
  return folder + Fitted(std::string_view(name).substr(0, extension), ending);
}

std::string FirstFreeName(const std::string& path, const std::function<bool(const std::string&)>& taken) {
  std::string candidate = path;
  // Each name tried is a different one, and only finitely many names are taken.
  for (long long n = 2; taken(candidate); ++n) candidate = NumberedName(path, n);
  return candidate;
}

std::string DefaultOutputFolder(std::string_view sourceFile, std::string_view outputFolder,
                                std::string_view subfolder) {
  if (outputFolder.empty()) return platform::FolderOf(sourceFile);
  std::string folder(outputFolder);
  if (folder.back() != '/') folder += '/';
  if (!subfolder.empty()) folder += std::string(subfolder) + '/';
  return folder;
}

}  // namespace core
