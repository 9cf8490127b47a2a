// Album art beside the files: for a source without an embedded front cover, the picture the
// desktop media player and other programs keep in the album's folder. The candidates, by name
// with case ignored: "Folder.jpg", "AlbumArt_{GUID}_Large.jpg", "AlbumArtSmall.jpg", "cover.*" and
// "front.*"; of those that are regular files (a link to one counts) of at most
// engine::kMaxPictureBytes whose first bytes are a JPEG's or a PNG's (whatever their extension
// says), the largest, as the best picture of the album; of equal sizes the first by name.
//
// One listing of the folder per call, and files opened only by their names: cheap in a folder of
// thousands of files. A caller that asks for many files of one folder keeps the answer per
// folder (ChooseFolderArt gives the name without the bytes). No Qt here; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/mp3_tags.h"

namespace tags {

struct FolderArtFile {
  std::string path;      // the folder and the file name
  std::string fileName;  // as the folder lists it, for the wizard to show
  std::uint64_t bytes = 0;
};

struct FolderArt {
  std::string fileName;
  std::string mimeType;  // "image/jpeg" or "image/png", by the first bytes
  std::vector<std::uint8_t> data;  // the file, byte for byte

  // As the front cover of an MP3 (APIC type 3, empty description).
  engine::TagPicture AsFrontCover() const { return {engine::kPictureFrontCover, {}, mimeType, data}; }
};

// Whether `fileName` is one of the album-art names above.
bool IsAlbumArtName(const std::string& fileName);

// The album-art file of `folder` ("" for the current folder), or nullopt when it has none (or
// cannot be listed).
std::optional<FolderArtFile> ChooseFolderArt(const std::string& folder);

// The bytes of `file`, checked again (it may have changed since it was chosen): nullopt when it is
// no longer a regular JPEG or PNG file of at most engine::kMaxPictureBytes.
std::optional<FolderArt> ReadFolderArt(const FolderArtFile& file);

// ChooseFolderArt and ReadFolderArt in one: the largest album art of `folder` that reads.
std::optional<FolderArt> FindFolderArt(const std::string& folder);

// The folder of the file at `path` ("" for a bare name), for FindFolderArt.
std::string FolderOf(const std::string& path);

}  // namespace tags
