#include "app/output_name.h"

#include "app/api.h"
#include "app/common.h"
#include "app/settings.h"

std::string ReplaceExtension(std::string_view fileName, std::string_view extension) {
  const std::size_t dot = fileName.rfind('.');
  std::string name(fileName.substr(0, dot));  // npos keeps the whole name
  return name.append(extension);
}

std::string MakeUniqueOutputName(std::string_view sourceFile, std::string_view outputFolder,
                                 std::string_view extension) {
  const std::string name = FileNameOf(sourceFile);
  std::string candidate = std::string(outputFolder) + ReplaceExtension(name, extension);
  // Each name tried is a different one, and only finitely many files and tasks exist.
  for (long long n = 2; FileExists(candidate) || FolderExists(candidate) || IsOutputInUse(candidate); ++n) {
    candidate = std::string(outputFolder) + ReplaceExtension(name, "(" + std::to_string(n) + ")" + std::string(extension));
  }
  return candidate;
}

std::string MakeUniqueOutputName(std::string_view extension) {
  return MakeUniqueOutputName(WorkingTask.SourceFile, DefaultSettings.OutputFileDir, extension);
}
