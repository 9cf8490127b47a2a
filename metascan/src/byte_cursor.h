// A bounded reader over a span of file bytes: every read is checked against what is left, a
// read that does not fit fails without touching memory past the span, and the failure sticks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace metascan {

using Bytes = std::span<const std::uint8_t>;

class ByteCursor {
 public:
  explicit ByteCursor(Bytes data) : data_(data) {}

  // False once any read came up short; later reads then return 0 or nothing.
  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return data_.size() - position_; }

  std::uint16_t le16() { return static_cast<std::uint16_t>(little(2)); }
  std::uint32_t le32() { return static_cast<std::uint32_t>(little(4)); }
  std::uint64_t le64() { return little(8); }
  std::uint16_t be16() { return static_cast<std::uint16_t>(big(2)); }
  std::uint32_t be32() { return static_cast<std::uint32_t>(big(4)); }
  std::uint64_t be64() { return big(8); }

  // Exactly `count` bytes, or nothing and a failed cursor when fewer are left.
  Bytes take(std::uint64_t count) {
    if (!ok_ || count > remaining()) {
      ok_ = false;
      return {};
    }
    Bytes out = data_.subspan(position_, static_cast<std::size_t>(count));
    position_ += out.size();
    return out;
  }

  // `count` bytes, cut at the end of the span when fewer are left (the cursor stays good).
  Bytes takeUpTo(std::uint64_t count) {
    if (!ok_) return {};
    return take(count < remaining() ? count : remaining());
  }

  bool skip(std::uint64_t count) { return take(count).size() == count && ok_; }

 private:
  std::uint64_t little(std::size_t width) {
    Bytes bytes = take(width);
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i > 0; --i) value = (value << 8) | bytes[i - 1];
    return value;
  }
  std::uint64_t big(std::size_t width) {
    std::uint64_t value = 0;
    for (std::uint8_t byte : take(width)) value = (value << 8) | byte;
    return value;
  }

  Bytes data_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace metascan
