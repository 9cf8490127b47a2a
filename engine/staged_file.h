// An output file that appears under its final name only once it is complete.
//
// It is written under a hidden temporary name in the final name's folder (".song.mp3.k3Xq9a.part")
// and moved over the final name by Commit, after its bytes are on the disk. A conversion that
// fails, is stopped or is killed therefore never leaves a partial file under the final name: at
// most the hidden temporary file of a killed process stays behind. The temporary file is created
// new, never through a symbolic link, and the final step never follows a link at the final name
// either: with Replace::Allowed a link there is replaced, not written through.
//
// Used by one thread at a time.
#pragma once

#include <memory>
#include <string>

#include "engine/file_stream.h"

namespace engine {

class StagedFile {
 public:
  enum class Replace {
    Never,    // the commit fails when the final name exists by then
    Allowed,  // an existing file (or link) of the final name is replaced
  };

  // Creates the temporary file beside `finalName`; raises FileError naming the final name when
  // that is not possible (a missing folder, no permission).
  explicit StagedFile(const std::string& finalName);
  // Removes the temporary file unless it was committed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The open temporary file, for writing. Closed by Commit and Discard.
  FileStream& Stream() { return *stream_; }
  const std::string& FinalName() const { return finalName_; }
  const std::string& TemporaryName() const { return temporaryName_; }

  // Closes the stream if it is still open, flushes the temporary file to the disk and moves it to
  // the final name. Raises FileError (the temporary file is then removed): a failed flush, or
  // the final name already existing with Replace::Never ("File exists").
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

}  // namespace engine
