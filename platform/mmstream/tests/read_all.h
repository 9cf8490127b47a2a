// Reads a whole audio stream through MediaStream, checking on the way that block times join.
#pragma once

#include "platform/mmstream/media_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace mmstream_test {

struct Decoded {
  std::vector<uint8_t> pcm;
  platform::mmstream::Time first_start = -1;
  platform::mmstream::Time last_end = 0;
  platform::mmstream::Result final_result;
  int blocks = 0;
};

// Reads until the end (or a failure, kept in final_result) with `buffer_size`-byte reads. Each
// block must start where the previous ended and last as long as its bytes say.
inline Decoded ReadAll(platform::mmstream::MediaStream& media, uint32_t buffer_size = 4096) {
  using namespace platform::mmstream;
  Decoded out;
  std::vector<uint8_t> buffer(buffer_size);
  const PcmFormat& format = media.AudioFormat();
  Time expected_start = -1;
  // A bound far above any test file, so that a stream that never ends fails instead of hanging.
  for (int guard = 0; guard < 1'000'000; ++guard) {
    uint32_t bytes = 0;
    Time start = 0;
    Time end = 0;
    Result result = media.ReadAudio(buffer.data(), buffer_size, bytes, start, end);
    if (!result.Ok()) {
      out.final_result = std::move(result);
      return out;
    }
    EXPECT_GT(bytes, 0u);
    EXPECT_EQ(bytes % format.BlockAlign(), 0u);
    if (expected_start >= 0) {
      EXPECT_EQ(start, expected_start) << "block " << out.blocks;
    }
    const double frames = static_cast<double>(bytes / format.BlockAlign());
    EXPECT_NEAR(static_cast<double>(end - start), frames * 1e7 / format.sampleRate, 1.0);
    if (out.first_start < 0) out.first_start = start;
    expected_start = end;
    out.last_end = end;
    out.pcm.insert(out.pcm.end(), buffer.begin(), buffer.begin() + bytes);
    ++out.blocks;
  }
  ADD_FAILURE() << "the stream did not end";
  return out;
}

}  // namespace mmstream_test
