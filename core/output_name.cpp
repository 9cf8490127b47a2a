#include "core/output_name.h"

#include "platform/paths/path_names.h"
#include "core/conversion_task.h"
#include "core/settings.h"

std::string ReplaceExtension(std::string_view fileName, std::string_view extension) {
  const std::size_t dot = fileName.rfind('.');
  std::string name(fileName.substr(0, dot));  // npos keeps the whole name
  return name.append(extension);
}

std::string FirstFreeName(const std::string& path, const std::function<bool(const std::string&)>& taken) {
  const std::string folder = platform::FolderOf(path);
  const std::string name = platform::FileNameOf(path);
  const std::string extension = platform::ExtensionOf(name);
  const std::string stem = name.substr(0, name.size() - extension.size());
  std::string candidate = path;
  // Each name tried is a different one, and only finitely many names are taken.
  for (long long n = 2; taken(candidate); ++n) candidate = folder + stem + " (" + std::to_string(n) + ")" + extension;
  return candidate;
}

std::string MakeUniqueOutputName(std::string_view sourceFile, std::string_view outputFolder,
                                 std::string_view extension) {
  const std::string first = std::string(outputFolder) + ReplaceExtension(platform::FileNameOf(sourceFile), extension);
  return FirstFreeName(first, [](const std::string& candidate) {
    return platform::FileExists(candidate) || platform::FolderExists(candidate) || IsOutputInUse(candidate);
  });
}

std::string DefaultOutputFolder(std::string_view sourceFile, std::string_view outputFolder,
                                std::string_view subfolder) {
  if (outputFolder.empty()) return platform::FolderOf(sourceFile);
  std::string folder(outputFolder);
  if (folder.back() != '/') folder += '/';
  if (!subfolder.empty()) folder += std::string(subfolder) + '/';
  return folder;
}

std::string MakeUniqueOutputName(std::string_view extension) {
  return MakeUniqueOutputName(WorkingTask.sourceFile, DefaultOutputFolder(WorkingTask.sourceFile, DefaultSettings.outputFileDir),
                              extension);
}
