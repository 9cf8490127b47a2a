// Tagged sources of every kind go the desktop program's way: inspected into a task, converted as
// the task says. mutagen and ffprobe, which share no code with the program, then find every
// field in the MP3 with the source's value, and the front cover byte for byte.
#include <gtest/gtest.h>

#include "core/conversion_run.h"
#include "core/inspection.h"
#include "core/progress_text.h"
#include "decoded_audio.h"
#include "platform/dispatcher.h"
#include "platform/mmstream/media_stream.h"
#include "tag_readers.h"
#include "tagged_sources.h"

using namespace core;

namespace {

using testsupport::TaggedFormat;
using V = testsupport::TaggedValues;

class TagsThroughARun : public ::testing::Test {
 protected:
  // The task the add action makes of `source`.
  ConversionTask Inspected(const std::string& source) {
    const core::Inspection inspection = InspectMediaFile(source);
    EXPECT_EQ(inspection.result, ReadResult::Ok) << source;
    return TaskOf(inspection, Settings{}, TaskList{});
  }

  // Converts `task` to `output` as the progress window does; the item's report.
  ItemReport Convert(const ConversionTask& task, const std::string& output) {
    RunItem item = ItemOf(task);
    item.outputFile = output;
    ConversionRun run({item}, 1, main_, {});
    run.Start();
    EXPECT_TRUE(main_.RunUntil([&run] { return run.Finished(); }, std::chrono::seconds(60)));
    return run.Report(0);
  }

  testsupport::TempDir dir;
  platform::EventLoop main_;
};

class EachFormat : public TagsThroughARun, public ::testing::WithParamInterface<TaggedFormat> {};

TEST_P(EachFormat, EveryFieldAndTheFrontCoverArrive) {
  const ConversionTask task = Inspected(testsupport::MakeTaggedSource(dir, GetParam(), 1.0));
  // A compilation's track keeps its own artist; the album artist has its field.
  EXPECT_EQ(task.artist, V::artist);
  EXPECT_EQ(task.albumArtist, V::albumArtist);
  EXPECT_EQ(task.track, "3/12");
  EXPECT_EQ(task.year, V::date) << "the whole date, of which ID3v2.3 takes the year";
  EXPECT_EQ(task.coverBytes, static_cast<std::int64_t>(testsupport::CoverImage(true).size()));

  const std::string mp3 = dir.File("out.mp3");
  const ItemReport report = Convert(task, mp3);
  ASSERT_EQ(report.state, ItemState::Done) << report.reason;

  std::map<std::string, std::string> frames = testsupport::MutagenId3v2(mp3);
  const std::map<std::string, std::string> expected = {
      {"version", "2.3.0"},  {"TIT2", V::title},  {"TPE1", V::artist}, {"TPE2", V::albumArtist},
      {"TALB", V::album},    {"TRCK", "3/12"},    {"TPOS", "2/3"},     {"TYER", "2004"},
      {"TCON", V::genre},    {"COMM", std::string("eng||") + V::comment}, {"TCOM", V::composer},
      {"APIC#0", "image/png|3||" + testsupport::Hex(testsupport::CoverImage(true))},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(frames[key], value) << key;

  const std::string probed = testsupport::CommandOutput(
      "ffprobe -v error -show_entries format_tags=title,album_artist,track,disc:stream=codec_name "
      "-of default=nw=1 '" + mp3 + "'");
  for (const std::string& line : {std::string("TAG:title=") + V::title, std::string("TAG:album_artist=") + V::albumArtist,
                                 std::string("TAG:track=3/12"), std::string("TAG:disc=2/3")}) {
    EXPECT_NE(probed.find(line + "\n"), std::string::npos) << line << "\n" << probed;
  }
  // The ID3v1 tag at the end holds what fits in it.
  const testsupport::Id3v1Fields id3v1 = testsupport::ReadId3v1(media_fixtures::ReadBytes(mp3));
  EXPECT_EQ(id3v1.year, "2004");
  EXPECT_EQ(id3v1.track, 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, EachFormat, ::testing::ValuesIn(testsupport::TaggedFormats()),
                         [](const auto& row) { return std::string(row.param.name); });

// A task told to leave the cover out writes no picture, and every other field still.
TEST_F(TagsThroughARun, ALeftOutCoverIsNotWritten) {
  const TaggedFormat& wma = testsupport::TaggedFormats()[5];
  ASSERT_EQ(std::string(wma.extension), "wma");
  ConversionTask task = Inspected(testsupport::MakeTaggedSource(dir, wma, 1.0));
  task.omitCover = true;
  const std::string mp3 = dir.File("bare.mp3");
  ASSERT_EQ(Convert(task, mp3).state, ItemState::Done);
  std::map<std::string, std::string> frames = testsupport::MutagenId3v2(mp3);
  EXPECT_EQ(frames.count("APIC"), 0u) << frames["frames"];
  EXPECT_EQ(frames["TPE2"], V::albumArtist);
}

// A DRM-protected source fails in the run with the same plain reason the add action gives.
TEST_F(TagsThroughARun, AProtectedSourceFailsWithItsReason) {
  const std::string source = dir.File("protected.wma");
  ASSERT_TRUE(media_fixtures::Ffmpeg(media_fixtures::SineInput(440, 44100, 1) + " -c:a wmav2", source));
  media_fixtures::WriteBytes(source, media_fixtures::WithAsfEncryptionObject(media_fixtures::ReadBytes(source)));
  ConversionTask task;
  task.sourceFile = source;
  task.encoding.bitrate = 128;
  const ItemReport report = Convert(task, dir.File("protected.mp3"));
  EXPECT_EQ(report.state, ItemState::Failed);
  EXPECT_EQ(report.reason, platform::mmstream::kProtectedFileText);
}

}  // namespace
