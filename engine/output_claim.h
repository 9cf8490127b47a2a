// A claim on an output name, for several processes converting into one folder at once (on one
// machine, or on several sharing a network folder): the process that holds the claim converts
// that output; another one finds it held and leaves the output alone.
//
// The claim is an exclusive lock (flock) on a hidden file beside the output name
// (".song.mp3.claim"), held while the output is converted and removed when it is released. A
// claim left by a killed process is unlocked, so the next process takes it over.
//
// Used by one thread at a time.
#pragma once

#include <memory>
#include <string>

namespace engine {

class OutputClaim {
 public:
  enum class Outcome { Claimed, HeldElsewhere, Failed };

  // Tries to claim `output` (whose folder exists); without waiting for another holder.
  static std::unique_ptr<OutputClaim> Take(const std::string& output, Outcome& outcome);
  // Removes the claim's file and releases the lock.
  ~OutputClaim();
  OutputClaim(const OutputClaim&) = delete;
  OutputClaim& operator=(const OutputClaim&) = delete;

  // The hidden file of the claim on `output`.
  static std::string ClaimFileOf(const std::string& output);

 private:
  OutputClaim(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

  std::string path_;
  int fd_;
};

// Whether `fileName` (a name without folder) is the hidden file of a claim.
bool IsClaimName(const std::string& fileName);

}  // namespace engine
