// What a reader found in one file, held until the reader is done, so that a failing call leaves
// the caller's record untouched and a field met twice costs no lost block.
#pragma once

#include "metascan/metascan.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace metascan {

enum class TagField { title, artist, album, year, comment, genre, copyright, author, rating };

class FoundTags {
 public:
  // A field met again replaces the earlier text: the last one in the file wins.
  void set(TagField field, std::string text) {
    texts_[static_cast<std::size_t>(field)] = std::move(text);
  }
  void setTrack(std::int32_t track) { track_ = track; }
  void setDuration(std::int64_t duration) { duration_ = duration; }

  const std::optional<std::string>& text(TagField field) const {
    return texts_[static_cast<std::size_t>(field)];
  }
  const std::optional<std::int32_t>& track() const { return track_; }
  const std::optional<std::int64_t>& duration() const { return duration_; }

  // Writes every found field into `record`, each text as a fresh malloc block with a zero
  // terminator; fields not found are left as they are. All or nothing: when an allocation fails
  // nothing is written and the result is false.
  bool commitTo(tag_info& record) const;

 private:
  static constexpr std::size_t kTextFields = 9;
  std::array<std::optional<std::string>, kTextFields> texts_;
  std::optional<std::int32_t> track_;
  std::optional<std::int64_t> duration_;
};

}  // namespace metascan
