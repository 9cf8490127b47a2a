// The user's folders as a Linux desktop defines them (XDG base directories and user
// directories), and where this program keeps its settings and the files it writes.
// Every function reads the environment when it is called and creates nothing. Callable from any
// thread, as long as no thread changes the environment meanwhile.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// $HOME when set and not empty, else the home folder of the user's account, else "/".
// No trailing "/" (except for "/" itself).
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else HomeFolder() + "/.config".
std::string ConfigHomeFolder();

// $XDG_DATA_HOME when it is an absolute path, else HomeFolder() + "/.local/share".
std::string DataHomeFolder();

// The user's documents folder, as the desktop's file dialogs know it: XDG_DOCUMENTS_DIR from
// ConfigHomeFolder() + "/user-dirs.dirs", else HomeFolder() + "/Documents". No trailing "/";
// the folder need not exist.
std::string DocumentsFolder();

// The folder that XDG_<name>_DIR names in the text of a user-dirs.dirs file ("$HOME/..." with
// `home` put in for $HOME, or an absolute path), without trailing "/". The last assignment
// counts, as in the shell. nullopt when the name is absent or its value is not absolute.
std::optional<std::string> FindUserDir(std::string_view fileText, std::string_view name,
                                       std::string_view home);

// The settings file: $TAVISTO_REGISTRY when set and not empty, else
// ConfigHomeFolder() + "/Quorlen/Tavisto.reg".
std::string RegistryFilePath();

// The folder for the files the program writes (the tag history lists), with a trailing "/":
// the folder of $TAVISTO_REGISTRY when that is set (so a test or a portable set-up keeps
// everything together), else DataHomeFolder() + "/Tavisto/". It may not exist yet.
std::string UserDataFolder();

}  // namespace platform
