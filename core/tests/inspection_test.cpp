// Inspection of real media files written by ffmpeg: what the media reader and the tag readers
// give, the default output name, and that a file that cannot be used changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/conversion_task.h"
#include "core/inspection.h"
#include "core/output_name.h"
#include "core/settings.h"
#include "platform/mmstream/tests/media_fixtures.h"

using namespace core;
using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

// An ID3v1 tag of 128 bytes; the texts are Windows-1252 bytes, as old taggers wrote them.
std::string Id3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
                     const std::string& year, const std::string& comment, unsigned char genre) {
  auto field = [](const std::string& text, std::size_t width) {
    std::string bytes = text.substr(0, width);
    bytes.resize(width, '\0');
    return bytes;
  };
  std::string tag = "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
                    field(comment, 30);
  tag += static_cast<char>(genre);
  return tag;
}

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// Every test starts from an empty task list and built-in defaults.
class InspectionTest : public ::testing::Test {
 protected:
  void SetUp() override { defaults.inputFileDir = "/home/user/Documents/"; }

  // Inspects `path` as the add action does; the task it gives, when it gives one.
  ReadResult Inspect(const std::string& path, const std::string& subfolder = {}) {
    const core::Inspection inspection = InspectMediaFile(path);
    if (inspection.result == ReadResult::Ok) task = TaskOf(inspection, defaults, tasks, subfolder);
    return inspection.result;
  }

  Settings defaults;
  TaskList tasks;
  ConversionTask task;

  std::string Sine(const std::string& name, const std::string& arguments = "-c:a wmav2") {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 44100, 1) + " " + arguments + " -ac 2", path));
    return path;
  }

  TempDir dir;
};

struct TaggedFile {
  const char* name;
  const char* fileName;
  const char* arguments;  // ffmpeg arguments: codecs and metadata
  std::string id3v1;      // appended to the file when not empty
  const char* title;
  const char* artist;
  const char* album;
  const char* genre;
  const char* year;
  const char* comment;
};

void PrintTo(const TaggedFile& file, std::ostream* out) { *out << file.name; }

const TaggedFile kTaggedFiles[] = {
    // A WMA file is an ASF file: its header carries the tags (the artist arrives as the author,
    // and the copyright stands in for the missing comment).
    {"WMA", "song.wma",
     "-c:a wmav2 -metadata title=Song -metadata 'artist=Ärtist' -metadata album=Album -metadata genre=Jazz"
     " -metadata year=2004 -metadata copyright=Us",
     "", "Song", "Ärtist", "Album", "Jazz", "2004", "Us"},
    {"WMVTitleAndAuthor", "clip.wmv",
     "-f lavfi -i testsrc=d=1:s=64x48:r=5 -c:v wmv2 -c:a wmav2 -shortest -metadata title=Clip -metadata author=Maker",
     "", "Clip", "Maker", "", "", "", ""},
    {"WMAWithoutTags", "plain name.wma", "-c:a wmav2", "", "plain name", "", "", "", "", ""},
    {"MP4", "song.mp4",
     "-c:a aac -metadata title=Tune -metadata artist=Band -metadata album=Record -metadata comment=Note"
     " -metadata genre=Jazz",
     "", "Tune", "Band", "Record", "Jazz", "", "Note"},
    // An M4A file is an MPEG-4 file.
    {"M4A", "song.m4a", "-c:a aac -metadata title=Tune -metadata artist=Band", "", "Tune", "Band", "", "", "", ""},
    // The RealMedia header has no texts; the ID3v1 tag at the end gives them all, its
    // Windows-1252 "é" turned into UTF-8.
    {"RealMediaWithOnlyId3v1", "song.rm", "-c:a ac3 -f rm",
     Id3v1Tag("Caf\xE9 Title", "Artist", "Album", "1999", "Note", 17), "Café Title", "Artist", "Album", "Rock",
     "1999", "Note"},
    // The header's title wins; the ID3v1 tag fills what the header lacks.
    {"RealMediaTitleBeforeId3v1", "song.rm", "-c:a ac3 -f rm -metadata title=Header",
     Id3v1Tag("Tag", "Artist", "Album", "1999", "", 8), "Header", "Artist", "Album", "Jazz", "1999", ""},
};

class TaggedMediaFile : public InspectionTest, public ::testing::WithParamInterface<TaggedFile> {};

TEST_P(TaggedMediaFile, FillsTheWorkingTaskWithItsOwnDurationFormatAndTags) {
  const TaggedFile& f = GetParam();
  const std::string path = Sine(f.fileName, f.arguments);
  if (!f.id3v1.empty()) Append(path, f.id3v1);

  ASSERT_EQ(Inspect(path), ReadResult::Ok);
  const ConversionTask& t = task;
  EXPECT_EQ(t.sourceFile, path);
  EXPECT_TRUE(t.hasAudio);
  EXPECT_GT(t.duration, 9'000'000);
  EXPECT_LT(t.duration, 40'000'000);
  EXPECT_EQ(t.sourceSampleRate, 44100);
  EXPECT_EQ(t.sourceChannels, 2);
  EXPECT_EQ(t.title.str(), f.title);
  EXPECT_EQ(t.artist.str(), f.artist);
  EXPECT_EQ(t.album.str(), f.album);
  EXPECT_EQ(t.genre.str(), f.genre);
  EXPECT_EQ(t.year.str(), f.year);
  EXPECT_EQ(t.comment.str(), f.comment);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, TaggedMediaFile, ::testing::ValuesIn(kTaggedFiles),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(InspectionTest, EmptyOutputFolderPutsTheOutputBesideTheSourceNumberedWhileTaken) {
  const std::string source = Sine("a.wma");
  const std::string folder = dir.Path() + "/";
  ASSERT_EQ(Inspect(source), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, folder + "a.mp3");

  std::ofstream(folder + "a.mp3") << "earlier output";
  ASSERT_EQ(Inspect(source), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, folder + "a (2).mp3");

  tasks.Append(task);  // a listed task now writes a (2).mp3
  ASSERT_EQ(Inspect(source), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, folder + "a (3).mp3");
}

// A chosen output folder holds the output, under the sub-folders the source had below the folder
// it was added with.
TEST_F(InspectionTest, AChosenOutputFolderKeepsTheSourcesSubfolders) {
  const std::string source = Sine("a.wma");
  defaults.outputFileDir = "/srv/out/";
  ASSERT_EQ(Inspect(source, "Album/CD 1"), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, "/srv/out/Album/CD 1/a.mp3");
  ASSERT_EQ(Inspect(source), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, "/srv/out/a.mp3");
  defaults.outputFileDir.clear();
  // Beside the source, where its folders are anyway.
  ASSERT_EQ(Inspect(source, "Album/CD 1"), ReadResult::Ok);
  EXPECT_EQ(task.outputFile, dir.Path() + "/a.mp3");
}

struct UnusableFile {
  const char* name;
  ReadResult result;
};

void PrintTo(const UnusableFile& file, std::ostream* out) { *out << file.name; }

class UnusableMediaFile : public InspectionTest, public ::testing::WithParamInterface<UnusableFile> {};

TEST_P(UnusableMediaFile, GivesItsResultAndChangesNothing) {
  const std::string name = GetParam().name;
  const std::string path = dir.File(name);
  if (name == "video.mp4") {
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=d=1:s=64x48:r=5 -c:v mpeg4", path));
  }
  if (name == "noise.wma") media_fixtures::WriteBytes(path, media_fixtures::RandomBytes(20000, 7));
  if (name == "protected.wma") {
    ASSERT_TRUE(Ffmpeg(media_fixtures::SineInput(1000, 44100, 1) + " -c:a wmav2", path));
    media_fixtures::WriteBytes(path, media_fixtures::WithAsfEncryptionObject(media_fixtures::ReadBytes(path)));
  }
  const core::Inspection inspection = InspectMediaFile(path);
  EXPECT_EQ(inspection.result, GetParam().result);
  EXPECT_EQ(inspection.tags, ProbedTags{}) << "nothing of an unusable file is read";
}

INSTANTIATE_TEST_SUITE_P(Files, UnusableMediaFile,
                         ::testing::Values(UnusableFile{"video.mp4", ReadResult::NoAudio},
                                           UnusableFile{"noise.wma", ReadResult::Failed},
                                           UnusableFile{"missing.wma", ReadResult::Missing},
                                           UnusableFile{"protected.wma", ReadResult::Protected}),
                         [](const auto& row) {
                           std::string name = row.param.name;
                           return name.substr(0, name.find('.'));
                         });

// Each refusal says why in its own words; only a file that may lack a codec gets the hint.
TEST(ReadFailureMessageFor, NamesTheFileAndTheReason) {
  const ReadFailureMessage protectedFile = ReadFailureMessageFor(ReadResult::Protected, "/m/song.wma");
  EXPECT_EQ(protectedFile.kind, MessageKind::Error);
  EXPECT_EQ(protectedFile.text, "/m/song.wma is protected by DRM and cannot be converted.");
  const ReadFailureMessage unreadable = ReadFailureMessageFor(ReadResult::Failed, "/m/song.wma");
  EXPECT_EQ(unreadable.kind, MessageKind::Error);
  EXPECT_NE(unreadable.text.find("codecs"), std::string::npos);
  EXPECT_EQ(ReadFailureMessageFor(ReadResult::NoAudio, "/m/clip.mp4").kind, MessageKind::Warning);
  const ReadFailureMessage missing = ReadFailureMessageFor(ReadResult::Missing, "/m/gone.wma");
  EXPECT_EQ(missing.text, "The following file does not exist.\n/m/gone.wma") << "not \"not a media file\"";
}

// The media reader may not know a duration that the container header states.
TEST(TakeInspection, ZeroReaderDurationTakesTheTagDurationOnlyThen) {
  core::Inspection inspection;
  inspection.path = "/m/a.wmv";
  inspection.result = ReadResult::Ok;
  inspection.facts = MediaFacts{0, 0, 0, 44100, 2};
  inspection.tags.duration = 1'800'000'000;
  ConversionTask task;
  task.encoding.bitrate = 128;
  TakeInspection(task, inspection);
  EXPECT_EQ(task.duration, 1'800'000'000);
  EXPECT_EQ(task.estimatedSize, 2966);

  inspection.facts.duration = 50'000'000;
  TakeInspection(task, inspection);
  EXPECT_EQ(task.duration, 50'000'000);
}

// A mono source becomes a mono MP3; every other keeps the mode the settings prefer.
TEST(TaskOf, AMonoSourceStaysMono) {
  core::Inspection inspection;
  inspection.path = "/m/a.wma";
  inspection.result = ReadResult::Ok;
  Settings defaults;
  defaults.encoding.channelMode = engine::ChannelMode::Stereo;
  TaskList tasks;
  for (const auto& [channels, mode] : {std::pair{1, engine::ChannelMode::Mono}, std::pair{2, engine::ChannelMode::Stereo},
                                       std::pair{6, engine::ChannelMode::Stereo}}) {
    inspection.facts.sourceChannels = channels;
    EXPECT_EQ(TaskOf(inspection, defaults, tasks).encoding.channelMode, mode) << channels;
  }
}

TEST(OutputNames, AFolderOfThatNameIsTakenToo) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("a.mp3"));
  core::Inspection inspection;
  inspection.path = "/in/a.wma";
  inspection.result = ReadResult::Ok;
  Settings defaults;
  defaults.outputFileDir = dir.Path() + "/";
  EXPECT_EQ(TaskOf(inspection, defaults, TaskList{}).outputFile, dir.File("a (2).mp3"));
}

}  // namespace
