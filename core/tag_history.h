// The tag history lists: earlier album, artist, year, comment, album artist and track values
// that the wizard offers again. Each list is a text file in the user's data folder (platform::UserDataFolder()), one
// value per line in the list's order, written with LF line ends and read with LF or CR LF.
// Any thread; the wizard uses them on the user-interface thread.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace core {

// The lists in the order the wizard handles them: album, artist, year, comment, album artist,
// track.
inline constexpr std::array<const char*, 6> kTagHistoryFiles = {"album.lst",     "author.lst",      "year.lst",
                                                               "Copyright.lst", "albumartist.lst", "track.lst"};

// The path of the list file `fileName` in the user's data folder.
std::string TagHistoryPath(const std::string& fileName);

struct TagHistoryRead {
  bool ok = false;
  std::vector<std::string> lines;  // when ok; valid UTF-8 (a legacy 8-bit line is converted)
  std::string error;               // when not ok: the file and the system's reason
};

// Reads the list file at `path` line by line; an empty line gives an empty value. A file that
// does not exist yet is an empty list. A file that cannot be read (no permission, a folder, a
// damaged disk, larger than a list ever grows) is an error.
TagHistoryRead ReadTagHistory(const std::string& path);

// Replaces the list file at `path` with what it holds now and the values of `lines` it lacks, one
// per line, creating the folder when it is missing: values another Tavisto saved meanwhile stay.
// The file is replaced whole (written beside it under a name of its own, then renamed), under a
// lock on its folder, so a failure leaves the previous list and two saves at once both count. A line break inside a value would split it: it is written as a blank.
// False, with `error` naming the file and the system's reason, when it cannot be written.
bool WriteTagHistory(const std::string& path, const std::vector<std::string>& lines, std::string& error);

}  // namespace core
