// The file input's contract: counted opens, the startSample/endSample window and the format
// queries that open and close around themselves.
#include <gtest/gtest.h>

#include "test_components.h"

using namespace enginetest;

namespace {

// A 16-bit stereo 44.1 kHz "file" of `totalSamples` sample frames.
class FakeFileInput : public FileInput {
 public:
  FakeFileInput(std::int64_t totalSamples, int sampleRate = 44100)
      : FileInput(nullptr), total_(totalSamples), rate_(sampleRate) {}
  int opens = 0, closes = 0;
  std::int64_t seekedTo = -1;

  void OpenFile() override {
    if (openCount_++ == 0) {
      ++opens;
      sampleRate_ = rate_;
      channels_ = 2;
      bitsPerSample_ = 16;
      totalSamples_ = total_;
      size_ = total_ * 4;
    }
  }
  void CloseFile() override {
    if (openCount_ == 1) ++closes;
    if (openCount_ > 0) --openCount_;
  }
  void Seek(std::int64_t sample) override { seekedTo = sample; }
  int GetData(void*, int) override { return 0; }

 private:
  std::int64_t total_;
  int rate_;
};

}  // namespace

TEST(FileInput, StartAndEndSampleNarrowTheSize) {
  struct Case {
    std::int64_t start, end, expectedSize, expectedSeek;
  } cases[] = {
      {0, -1, 100000 * 4, -1},            // the size the file reported stays
      {1000, -1, (100000 - 1000) * 4, 1000},
      {0, 5000, 5000 * 4, -1},
      {2000, 5000, 3000 * 4, 2000},
  };
  for (const Case& c : cases) {
    FakeFileInput in(100000);
    in.fileName = "song.wav";
    in.startSample = c.start;
    in.endSample = c.end;
    in.Init();
    EXPECT_EQ(in.Size(), c.expectedSize) << c.start << ".." << c.end;
    EXPECT_EQ(in.seekedTo, c.expectedSeek);
    EXPECT_TRUE(in.Busy());
    EXPECT_EQ(in.Position(), 0);
    in.Flush();
    EXPECT_FALSE(in.Busy());
    EXPECT_EQ(in.OpenCount(), 0);
  }
}

// Sizes beyond 2 GiB (over 3.4 hours of CD audio) must not wrap.
TEST(FileInput, SizesOfLongSourcesAre64Bit) {
  const std::int64_t fourHours = 4LL * 3600 * 44100;
  FakeFileInput in(fourHours);
  in.fileName = "long.wma";
  in.startSample = 1;
  in.Init();
  EXPECT_EQ(in.Size(), (fourHours - 1) * 4);
  EXPECT_GT(in.Size(), 0x7FFFFFFFLL);
  in.Flush();
}

TEST(FileInput, InitRefusesWhenBusyOrWithoutAFileName) {
  FakeFileInput in(100);
  EXPECT_THROW(
      {
        try {
          in.Init();
        } catch (const PipelineError& e) {
          EXPECT_STREQ(e.what(), "The file name is not assigned");
          throw;
        }
      },
      PipelineError);
  in.fileName = "a.wav";
  in.Init();
  try {
    in.Init();
    FAIL() << "a second Init must be refused";
  } catch (const PipelineError& e) {
    EXPECT_STREQ(e.what(), "The component is Busy");
  }
  in.Flush();
}

// Format queries open and close around themselves; while the file is open they cost nothing,
// and every open is matched, also when the format is unknown.
TEST(FileInput, FormatQueriesKeepOpensAndClosesBalanced) {
  FakeFileInput in(441000);
  EXPECT_EQ(in.GetSampleRate(), 44100);
  EXPECT_EQ(in.GetChannels(), 2);
  EXPECT_EQ(in.GetBitsPerSample(), 16);
  EXPECT_EQ(in.GetTotalTime(), 10);
  EXPECT_EQ(in.OpenCount(), 0);
  EXPECT_EQ(in.opens, in.closes);

  in.OpenFile();
  const int opensBefore = in.opens;
  in.GetChannels();
  in.GetSampleRate();
  EXPECT_EQ(in.opens, opensBefore);
  EXPECT_EQ(in.OpenCount(), 1);
  in.CloseFile();

  FakeFileInput silent(1000, 0);  // a format with no rate
  EXPECT_EQ(silent.GetTotalTime(), 0);
  EXPECT_EQ(silent.OpenCount(), 0);
}

TEST(FileInput, ResetClearsBusyAndTheOpenCount) {
  FakeFileInput in(100);
  in.fileName = "a.wav";
  in.Init();
  in.OpenFile();
  in.Reset();
  EXPECT_FALSE(in.Busy());
  EXPECT_EQ(in.OpenCount(), 0);
}
