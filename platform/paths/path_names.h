// Small helpers for paths and files. Paths use "/" and are case-sensitive. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The folder part of `path`: everything up to and including its last "/"; "" when it has none.
std::string FolderOf(std::string_view path);

// The file-name part of `path`: everything after its last "/".
std::string FileNameOf(std::string_view path);

// The extension of the file name of `path`, from its last "." (dot included); "" when the file
// name has no dot.
std::string ExtensionOf(std::string_view path);

// `folder` ending with "/", as every folder the settings store keeps; "" stays "".
std::string WithTrailingSlash(std::string_view folder);

// True when `path` names an existing file that is not a folder (links are followed).
bool FileExists(const std::string& path);

// True when `path` names an existing folder (links are followed).
bool FolderExists(const std::string& path);

// True when anything stands under `path`: a file, a folder, or a symbolic link, even one that
// points nowhere (a file written there would go through it).
bool NameExists(const std::string& path);

// True when both paths name one existing file (hard links and symbolic links included): writing
// the one would destroy the other.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace platform
