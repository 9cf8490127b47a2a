// Output names: the one rule both programs name an MP3 by, numbered names, and where a new
// task's MP3 goes. Pure functions over texts, apart from the `taken` questions the callers answer.
// Any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace core {

// The longest file name (in bytes) the file systems MP3 files go to take.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The file name of the MP3 made from the file `sourcePath`: its name without its extension, and
// ".mp3". The extension is the part from the last dot, unless that dot starts the name (".wma"
// is a hidden file's name, so it becomes ".wma.mp3"). A name that would be longer than
// kMaxFileNameBytes is shortened at a character boundary before the extension.
std::string Mp3FileNameFor(std::string_view sourcePath);

// `path` with its file name shortened before its extension, at a character boundary, when it is
// too long for a file name; else `path` itself.
std::string FittedName(std::string_view path);

// `path` with " (n)" before the extension of its file name ("song (2).mp3"), the name before it
// shortened at a character boundary when the result would be too long for a file name.
std::string NumberedName(std::string_view path, long long number);

// `path` itself when `taken` says it is free, else the first of NumberedName(path, 2),
// NumberedName(path, 3), ... that is free.
std::string FirstFreeName(const std::string& path, const std::function<bool(const std::string&)>& taken);

// The folder (ending with "/") where a new task's MP3 goes: the chosen `outputFolder` with the
// source's `subfolder` under it (see added_files.h), or, when no folder is chosen (empty), the
// source's own folder.
std::string DefaultOutputFolder(std::string_view sourceFile, std::string_view outputFolder,
                                std::string_view subfolder = {});

}  // namespace core
