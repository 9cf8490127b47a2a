// An output file that appears under its final name only once it is complete.
//
// It is written under a hidden temporary name in the final name's folder (".song.mp3.k3Xq9a.part")
// and moved over the final name by Commit, after its bytes are on the disk. A conversion that
// fails, is stopped or is killed therefore never leaves a partial file under the final name. The
// temporary file is created new, never through a symbolic link, and locked (flock) for as long as
// it is written: a killed process's file is then unlocked, and RemoveStaleParts clears it the
// next time a conversion writes into that folder, while the files of conversions still running
// (in this process, another one, or on another machine sharing the folder) stay.
//
// What may stand under the final name when the file is committed: nothing, or, when replacing
// is allowed, a regular file, which then goes and whose mode (and for root its owner) the new
// file takes. A folder, a link, a device, a pipe or a socket is never replaced.
//
// Used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/file_stream.h"

namespace engine {

// What kind of thing stands under a name, without following a link there.
enum class NameKind { Missing, RegularFile, Folder, SymbolicLink, Device, Pipe, Socket, Other };
NameKind KindOfName(const std::string& path);

class StagedFile {
 public:
  enum class Replace {
    Never,        // the commit fails when the final name exists by then
    RegularFile,  // a regular file of the final name is replaced
  };

  // Creates and locks the temporary file beside `finalName`; raises FileError naming the final
  // name when that is not possible (a missing folder, no permission).
  explicit StagedFile(const std::string& finalName);
  // Removes the temporary file unless it was committed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The open temporary file, for writing and reading back.
  FileStream& Stream() { return *stream_; }
  const std::string& FinalName() const { return finalName_; }
  const std::string& TemporaryName() const { return temporaryName_; }

  // Flushes the temporary file to the disk and moves it to the final name. Raises FileError
  // (the temporary file is then removed): a failed flush, the final name existing with
  // Replace::Never ("File exists"), or standing for something that is not a regular file.
  void Commit(Replace replace);
  // Closes and removes the temporary file. Never raises.
  void Discard() noexcept;
  bool Committed() const { return committed_; }

 private:
  std::string finalName_;
  std::string temporaryName_;
  std::unique_ptr<FileStream> stream_;
  bool committed_ = false;
  bool removed_ = false;
};

// Whether `fileName` (a name without folder) is one of the hidden temporary names StagedFile
// makes.
bool IsStagedName(const std::string& fileName);

// Removes the temporary files and output claims (output_claim.h) in `folder` (ending with "/",
// or "" for the current folder) that no running conversion holds: what killed conversions left. Files younger than a few seconds
// are left alone, so that one just being created is never taken. Returns how many went.
int RemoveStaleParts(const std::string& folder);

}  // namespace engine
