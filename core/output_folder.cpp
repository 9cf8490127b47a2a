#include "core/output_folder.h"

#include "platform/paths/folder_chain.h"

namespace core {

std::string OutputFolderPath(std::string_view folderText) {
  // Bytes of code 32 and below never occur inside a UTF-8 sequence, so stripping them cannot
  // split a character.
  while (!folderText.empty() && static_cast<unsigned char>(folderText.front()) <= 32) folderText.remove_prefix(1);
  while (!folderText.empty() && static_cast<unsigned char>(folderText.back()) <= 32) folderText.remove_suffix(1);

  std::string path = "/";
  std::size_t start = 0;
  while (start < folderText.size()) {
    std::size_t end = folderText.find('/', start);
    if (end == std::string_view::npos) end = folderText.size();
    if (end > start) path.append(folderText.substr(start, end - start)).append("/");
    start = end + 1;
  }
  return path;
}

std::optional<std::string> CreateOutputFolderChain(std::string_view folderText, std::string& error) {
  std::string path = OutputFolderPath(folderText);
  if (!platform::MakeFolderChain(path, &error)) return std::nullopt;
  return path;
}

}  // namespace core
