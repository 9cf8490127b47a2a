#include "found_tags.h"

#include <cstdlib>
#include <cstring>

namespace metascan {

namespace {

using TextMember = char* tag_info::*;

TextMember fieldPointer(TagField field) {
  switch (field) {
    case TagField::title: return &tag_info::title;
    case TagField::artist: return &tag_info::artist;
    case TagField::album: return &tag_info::album;
    case TagField::year: return &tag_info::year;
    case TagField::comment: return &tag_info::comment;
    case TagField::genre: return &tag_info::genre;
    case TagField::copyright: return &tag_info::copyright;
    case TagField::author: return &tag_info::author;
    case TagField::rating: return &tag_info::rating;
  }
  return nullptr;
}

}  // namespace

bool FoundTags::commitTo(tag_info& record) const {
  std::array<char*, kTextFields> blocks{};
  for (std::size_t i = 0; i < kTextFields; ++i) {
    if (!texts_[i]) continue;
    const std::string& text = *texts_[i];
    blocks[i] = static_cast<char*>(std::malloc(text.size() + 1));
    if (blocks[i] == nullptr) {
      for (char* block : blocks) std::free(block);
      return false;
    }
    std::memcpy(blocks[i], text.data(), text.size());
    blocks[i][text.size()] = '\0';
  }
  for (std::size_t i = 0; i < kTextFields; ++i) {
    if (blocks[i] != nullptr) record.*fieldPointer(static_cast<TagField>(i)) = blocks[i];
  }
  if (track_) record.track = *track_;
  if (duration_) record.duration = *duration_;
  return true;
}

}  // namespace metascan
