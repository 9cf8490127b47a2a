// Keeping a library in step: output names from tags, and the record each MP3 carries of its
// source.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "core/library.h"
#include "engine/mp3_tags.h"
#include "platform/mmstream/tests/media_fixtures.h"

using namespace core;

namespace {

struct PatternRow {
  const char* name;
  const char* pattern;
  NameFields fields;
  std::string expected;
};

NameFields Fields() {
  return NameFields{"Artist", "Album Artist", "Album", "Title", "2004-05-12", "Rock", 3, 1, "file", "Sub/Folder"};
}

NameFields With(void (*change)(NameFields&)) {
  NameFields fields = Fields();
  change(fields);
  return fields;
}

class Patterns : public ::testing::TestWithParam<PatternRow> {};

}  // namespace

TEST_P(Patterns, FieldsAndReplacements) {
  std::string error;
  const auto pattern = NamePattern::Parse(GetParam().pattern, error);
  ASSERT_TRUE(pattern) << error;
  EXPECT_EQ(pattern->Expand(GetParam().fields), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Patterns,
    ::testing::Values(
        PatternRow{"EveryField", "%artist%|%albumartist%|%album%|%title%|%track%|%disc%|%year%|%genre%|%filename%",
                   Fields(), "Artist_Album Artist_Album_Title_03_1_2004_Rock_file.mp3"},
        PatternRow{"FoldersFromThePattern", "%albumartist%/%album%/%track% %title%", Fields(),
                   "Album Artist/Album/03 Title.mp3"},
        PatternRow{"FolderKeepsItsFolders", "%folder%/%filename%", Fields(), "Sub/Folder/file.mp3"},
        PatternRow{"AlbumArtistFallsBackToTheArtist", "%albumartist%",
                   With([](NameFields& f) { f.albumArtist.clear(); }), "Artist.mp3"},
        PatternRow{"EmptyArtistAndAlbum", "%albumartist%/%album%/%title%",
                   With([](NameFields& f) { f.artist = f.albumArtist = f.album = ""; }),
                   "Unknown Artist/Unknown Album/Title.mp3"},
        PatternRow{"TitleFallsBackToTheFileName", "%title%", With([](NameFields& f) { f.title.clear(); }), "file.mp3"},
        PatternRow{"ASlashInAValueMakesNoFolder", "%artist%/%title%",
                   With([](NameFields& f) { f.artist = "AC/DC"; }), "AC_DC/Title.mp3"},
        PatternRow{"CharactersFatRefuses", "%title%", With([](NameFields& f) { f.title = "a\\b:c*d?e\"f<g>h|i"; }),
                   "a_b_c_d_e_f_g_h_i.mp3"},
        PatternRow{"ControlCharacters", "%title%", With([](NameFields& f) { f.title = "a\tb\nc\x7f" "d"; }),
                   "a_b_c_d.mp3"},
        PatternRow{"TrailingDotsAndSpacesGo", "%album%/%title%",
                   With([](NameFields& f) { f.album = "Vol. 2. . "; f.title = "End..."; }), "Vol. 2/End.mp3"},
        PatternRow{"NoHiddenFolders", "%album%/%title%",
                   With([](NameFields& f) { f.album = "...And Justice"; }), "_..And Justice/Title.mp3"},
        PatternRow{"AnEmptyPartGoes", "%genre%/%title%", With([](NameFields& f) { f.genre.clear(); }), "Title.mp3"},
        PatternRow{"NoTrackNoNumber", "%track% %title%", With([](NameFields& f) { f.track = 0; }), "Title.mp3"},
        PatternRow{"PartsFitAFileNameCutBetweenCharacters", "%album%/%title%",
                   With([](NameFields& f) {
                     f.album = std::string(253, 'a') + "\u00e9\u00e9";
                     f.title = std::string(250, 't') + "\u00e9\u00e9";
                   }),
                   std::string(253, 'a') + "\u00e9/" + std::string(250, 't') + ".mp3"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Patterns, AnUnknownFieldIsAnError) {
  std::string error;
  EXPECT_FALSE(NamePattern::Parse("%artst%/%title%", error));
  EXPECT_EQ(error, "unknown field %artst% in the name pattern");
  EXPECT_FALSE(NamePattern::Parse("%title", error));
  EXPECT_FALSE(NamePattern::Parse("%", error));
}

// The record survives the round trip through an MP3's tag and is found without reading audio;
// whatever else is in the tag, or a damaged tag, gives no false record.
TEST(MadeFrom, TheRecordReadsBackFromTheTagAlone) {
  media_fixtures::TempDir dir;
  const std::string source = dir.File("source.wma");
  media_fixtures::WriteBytes(source, {1, 2, 3});
  const engine::EncodingSettings settings;
  const std::optional<MadeFrom> record = RecordOf(source, settings);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->source, source);
  EXPECT_EQ(record->size, 3);
  engine::Mp3Tags tags;
  tags.title = "Title";
  tags.frames.push_back(engine::Id3Frame::Private("someone.else", "not ours"));
  tags.frames.push_back(engine::Id3Frame::Private(kMadeFromOwner, FormatMadeFrom(*record)));
  std::vector<std::uint8_t> bytes = engine::RenderId3v2Tag(tags);
  bytes.insert(bytes.end(), 2000, 0xFF);  // stands for the audio
  const std::string mp3 = dir.File("out.mp3");
  media_fixtures::WriteBytes(mp3, bytes);
  EXPECT_EQ(ReadMadeFrom(mp3), record);
  EXPECT_TRUE(UpToDate(mp3, source, settings));
  engine::EncodingSettings other = settings;
  other.bitrate = 128;
  EXPECT_FALSE(UpToDate(mp3, source, other)) << "other settings";
  media_fixtures::WriteBytes(source, {1, 2, 3, 4});
  EXPECT_FALSE(UpToDate(mp3, source, settings)) << "a changed source";

  for (const std::size_t cut : {std::size_t{5}, std::size_t{12}, std::size_t{40}}) {
    media_fixtures::WriteBytes(mp3, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)});
    EXPECT_FALSE(ReadMadeFrom(mp3)) << cut;
  }
  EXPECT_FALSE(ParseMadeFrom("source=/a\nsize=x\nmtime=1\nsettings=s\n"));
  EXPECT_FALSE(ParseMadeFrom("source=/a\n"));
}
