// The default output name of a task: the source's file name with the output's extension, in
// the output folder, numbered "(2)", "(3)", ... while the name is taken.
// Any thread; reads Tasks, so the task list must not change meanwhile (see common.h).
#pragma once

#include <functional>
#include <string>
#include <string_view>

// `fileName` with its extension (from its last dot) replaced by `extension`; a name without a
// dot gets `extension` appended. ReplaceExtension("song.wma", ".mp3") is "song.mp3".
std::string ReplaceExtension(std::string_view fileName, std::string_view extension);

// `path` itself when `taken` says it is free, else the first of "name (2).ext", "name (3).ext",
// ... (the number before the file name's extension) that is free.
std::string FirstFreeName(const std::string& path, const std::function<bool(const std::string&)>& taken);

// The folder (ending with "/") where a new task's MP3 goes: the chosen `outputFolder` with the
// source's `subfolder` under it (see added_files.h), or, when no folder is chosen (empty), the
// source's own folder.
std::string DefaultOutputFolder(std::string_view sourceFile, std::string_view outputFolder,
                                std::string_view subfolder = {});

// `outputFolder` (which ends with "/", or is empty) + the file name of `sourceFile` with
// `extension`, numbered " (2)", " (3)", ... before the extension while a file or folder of that
// name exists or a task of Tasks already writes it.
std::string MakeUniqueOutputName(std::string_view sourceFile, std::string_view outputFolder,
                                 std::string_view extension);

// The same for WorkingTask.sourceFile in its DefaultOutputFolder.
std::string MakeUniqueOutputName(std::string_view extension);
