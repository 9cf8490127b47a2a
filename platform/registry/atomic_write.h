// Replacing a file's contents so that a crash or a failed write never leaves it half-written.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes `bytes` into a new file in the folder of `path` (creating the folder chain first),
// flushes it to the disk, then renames it over `path`. When `path` is a symbolic link to an
// existing file, that file is replaced and the link stays; an existing file keeps its
// permission bits. True on success. Otherwise false: the old file is unchanged, no temporary
// file is left behind, and `error` (when given) says what failed and why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// The file that WriteFileAtomically(path, ...) replaces: the file a symbolic link points to,
// or `path` itself.
std::string FileBehindLink(const std::string& path);

}  // namespace platform
