// What an add action adds: the files the user chose or dropped as they are, and the media files
// under each chosen or dropped folder, found recursively. No Qt; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

struct AddedFile {
  std::string path;
  // The file's folder below the folder it was added with, that folder's own name first
  // ("Album/CD1" for Album/CD1/01.wma when Album was added); empty for a file added by itself.
  // An output folder keeps this structure under it.
  std::string subfolder;
};

// `paths` in their order, each folder replaced by the regular files below it whose extension is
// one of `extensions` (lower case, without the dot; letter case of the files ignored), in name
// order (NaturalLess, folder by folder). Hidden files and folders (".name") and links to folders
// are not entered; folders that cannot be read are passed over. A path that is neither a folder
// nor an existing file is kept, so that its add can say why it failed.
std::vector<AddedFile> CollectAddedFiles(const std::vector<std::string>& paths,
                                         const std::vector<std::string>& extensions);

// Name order as people expect it: letter case ignored, and runs of digits compared as numbers,
// so "Track 2" comes before "Track 10".
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace core
