// Creating the folder chain of an output name that the user confirmed in the wizard.
// Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace core {

// The folder that `folderText` names, as the wizard creates it: blanks and control characters
// stripped from both ends, a text without a root placed under "/", repeated "/" joined, and a
// trailing "/" added. "  music//out " gives "/music/out/"; "" gives "/".
std::string OutputFolderPath(std::string_view folderText);

// Finds or creates every folder of OutputFolderPath(folderText), from the root down. Returns
// that path (ending with "/") when all of them exist afterwards; otherwise nullopt, and `error`
// names the folder that could not be created and the system's reason.
std::optional<std::string> CreateOutputFolderChain(std::string_view folderText, std::string& error);

}  // namespace core
