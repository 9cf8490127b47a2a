// Every field of every source format into the MP3 tag: sources tagged by mutagen as the usual
// taggers tag them, read (ReadSourceTags), mapped (MapToMp3Tags), rendered in front of real MP3
// audio and read back by mutagen. One table of fields, run for each format.
#include "core/tags/tag_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <taglib/asffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include "core/tags/tag_summary.h"
#include "mutagen_sources.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "tag_readers.h"
#include "tagged_sources.h"

namespace {

using namespace media_fixtures;
using Bytes = std::vector<std::uint8_t>;
using Frames = std::map<std::string, std::string>;
using testsupport::Hex;
using testsupport::MutagenFormat;
using V = testsupport::FullTagValues;

// One second of MP3 audio without any tag or Info frame.
const Bytes& RawMp3() {
  static const Bytes bytes = [] {
    TempDir dir;
    EXPECT_TRUE(Ffmpeg(SineInput(440, 44100, 1.0) + " -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0",
                       dir.File("raw.mp3")));
    return ReadBytes(dir.File("raw.mp3"));
  }();
  return bytes;
}

// What mutagen reads from the tag MapToMp3Tags gives for `source`, put in front of MP3 audio.
Frames MutagenReads(const TempDir& dir, const engine::Mp3Tags& tags) {
  Bytes file = engine::RenderCompleteId3v2Tag(tags, tags.pictures ? tags.pictures() : std::vector<engine::TagPicture>{});
  EXPECT_FALSE(file.empty());
  file.insert(file.end(), RawMp3().begin(), RawMp3().end());
  WriteBytes(dir.File("out.mp3"), file);
  return testsupport::MutagenId3v2(dir.File("out.mp3"));
}

std::string Joined(std::initializer_list<const char*> values) {
  std::string out;
  for (const char* value : values) out += (out.empty() ? "" : "|") + std::string(value);
  return out;
}

// The values of a "|"-joined list, sorted: for the fields whose order a format does not keep.
std::vector<std::string> Sorted(const std::string& joined) {
  std::vector<std::string> values;
  for (std::size_t at = 0; at <= joined.size();) {
    const std::size_t end = std::min(joined.find('|', at), joined.size());
    values.push_back(joined.substr(at, end - at));
    at = end + 1;
  }
  std::sort(values.begin(), values.end());
  return values;
}

constexpr const char* kAbsent = "<absent>";

struct FieldRow {
  const char* field;
  std::string key;  // mutagen's key (tag_readers.h)
  std::string expected;
  // Formats whose value differs (kAbsent: no frame), by their name.
  std::map<std::string, std::string> except = {};
  // Whether the values may come in another order: ASF keeps a name's further values in another
  // header object than its first, and a reader takes them in the file's order.
  bool severalValues = false;
};

const std::vector<FieldRow>& Rows() {
  static const std::vector<FieldRow> rows = [] {
    const std::string back = Hex(testsupport::CoverImage(false));
    const std::string front = Hex(testsupport::CoverImage(true));
    const std::string mb = "TXXX:MusicBrainz ";
    return std::vector<FieldRow>{
        {"title", "TIT2", V::title},
        {"two artists", "TPE1", Joined({V::artists[0], V::artists[1]}), {}, true},
        {"album artist", "TPE2", V::albumArtist},
        {"album", "TALB", V::album},
        {"track", "TRCK", "3/12"},
        {"disc", "TPOS", "2/3"},
        {"year", "TYER", "2004"},
        {"two genres", "TCON", Joined({V::genres[0], V::genres[1]}), {}, true},
        {"comment", "COMM", std::string("eng||") + V::comment},
        {"two composers", "TCOM", Joined({V::composers[0], V::composers[1]}), {}, true},
        {"lyrics", "USLT", std::string("eng||") + V::lyrics},
        {"publisher", "TPUB", V::publisher},
        {"bpm", "TBPM", V::bpm},
        {"isrc", "TSRC", V::isrc},
        {"grouping", "TIT1", V::grouping},
        {"subtitle", "TIT3", V::subtitle},
        {"conductor", "TPE3", V::conductor},
        {"lyricist", "TEXT", V::lyricist},
        {"original year", "TORY", "1987"},
        {"copyright", "TCOP", V::copyright},
        {"album sort", "TSOA", V::albumSort},
        {"artist sort", "TSOP", V::artistSort},
        {"album artist sort", "TSO2", V::albumArtistSort},
        {"title sort", "TSOT", V::titleSort},
        {"compilation", "TCMP", "1"},
        {"recording id", "UFID:http://musicbrainz.org", V::recordingId},
        {"release id", mb + "Album Id", V::releaseId},
        {"artist id", mb + "Artist Id", V::artistId},
        {"album artist id", mb + "Album Artist Id", V::albumArtistId},
        {"release group id", mb + "Release Group Id", V::releaseGroupId},
        {"work id", mb + "Work Id", V::workId},
        {"release track id", mb + "Release Track Id", V::releaseTrackId},
        {"disc id", mb + "Disc Id", V::discId},
        {"rating, five stars", "POPM:Windows Media Player 9 Series", "255"},
        {"catalog number", "TXXX:CATALOGNUMBER", V::catalogNumber},
        // A field no table names keeps its name; an ASF attribute of its own is not carried.
        {"own field", "TXXX:MYFIELD", V::ownField, {{"Wma", kAbsent}}},
        // The source's loudness is not the MP3's: measured anew, never copied.
        {"no ReplayGain", "TXXX:REPLAYGAIN_TRACK_GAIN", kAbsent},
        {"no ReplayGain (lower case)", "TXXX:replaygain_track_gain", kAbsent},
        {"no encoder", "TXXX:ENCODER", kAbsent},
        // The front cover first, then the others in the source's order (for ASF the file's,
        // see severalValues); MP4 names no types: its first is the front cover.
        {"first picture", "APIC#0", "image/png|3||" + front},
        {"second picture", "APIC#1", "image/jpeg|4|Back side|" + back,
         {{"M4a", "image/jpeg|0|(2)|" + back}}},
        {"no text/html picture", "pictures", "2"},
    };
  }();
  return rows;
}

class EveryField : public testing::TestWithParam<MutagenFormat> {};

TEST_P(EveryField, ArrivesInTheMp3AsTheWellKnownTaggersWriteIt) {
  TempDir dir;
  const std::string source = testsupport::MakeMutagenTaggedSource(dir, GetParam(), 0.5);
  const tags::SourceTags read = tags::ReadSourceTags(source);
  EXPECT_TRUE(read.hadReplayGain);
  Frames frames = MutagenReads(dir, tags::MapToMp3Tags(read));
  EXPECT_EQ(frames["version"], "2.3.0");
  for (const FieldRow& row : Rows()) {
    const auto except = row.except.find(GetParam().name);
    const std::string expected = except != row.except.end() ? except->second : row.expected;
    if (expected == kAbsent) {
      EXPECT_EQ(frames.count(row.key), 0u) << row.field << ": " << frames[row.key];
    } else if (row.severalValues && std::string(GetParam().name) == "Wma") {
      EXPECT_EQ(Sorted(frames[row.key]), Sorted(expected)) << row.field;
    } else {
      EXPECT_EQ(frames[row.key], expected) << row.field << " (" << row.key << ")";
    }
    frames.erase(row.key);
  }
  // ID3v2.3 knows Latin-1 (0) and UTF-16 with a byte order mark (1) only.
  EXPECT_EQ(frames["encodings"].find_first_not_of("01 "), std::string::npos) << frames["encodings"];
}

INSTANTIATE_TEST_SUITE_P(Sources, EveryField, testing::ValuesIn(testsupport::MutagenFormats()),
                         [](const auto& row) { return std::string(row.param.name); });

// What the wizard shows as "more tags" for a source with every field.
TEST(MoreTagsSummary, CountsWhatTheSourceCarries) {
  TempDir dir;
  const tags::SourceTags read = tags::ReadSourceTags(testsupport::MakeMutagenTaggedSource(dir, testsupport::MutagenFormats()[1], 0.5));
  using tags::MoreTag;
  const std::vector<tags::MoreTagCount> expected = {
      {MoreTag::Artists, 2},   {MoreTag::Composers, 2},  {MoreTag::Genres, 2},      {MoreTag::Lyrics, 1},
      {MoreTag::Rating, 5},    {MoreTag::Publisher, 1},  {MoreTag::Bpm, 1},         {MoreTag::Isrc, 1},
      {MoreTag::Grouping, 1},  {MoreTag::Subtitle, 1},   {MoreTag::Conductor, 1},   {MoreTag::Lyricist, 1},
      {MoreTag::OriginalYear, 1}, {MoreTag::Copyright, 1}, {MoreTag::SortOrders, 4}, {MoreTag::Compilation, 1},
      {MoreTag::MusicBrainzIds, 8}, {MoreTag::Pictures, 1}, {MoreTag::Other, 2},
  };
  EXPECT_EQ(tags::SummarizeMoreTags(read), expected);
  EXPECT_TRUE(tags::SummarizeMoreTags(tags::SourceTags{}).empty());
}

// The user's values in place of the source's, and what the user chose to leave out.
struct OverrideCase {
  const char* name;
  void (*set)(tags::TagOverrides&);
  Frames expected;
  std::vector<const char*> absent;
};
void PrintTo(const OverrideCase& row, std::ostream* out) { *out << row.name; }

const OverrideCase kOverrides[] = {
    {"UnchangedTextsKeepEveryValue", [](tags::TagOverrides& o) { o.artist = "Track Artist Ёж; Second Artist"; },
     {{"TPE1", "Track Artist Ёж|Second Artist"}, {"TPUB", V::publisher}}, {}},
    {"AChangedTextIsTheUsers", [](tags::TagOverrides& o) { o.artist = "Someone; Else"; o.title = "New"; },
     {{"TPE1", "Someone|Else"}, {"TIT2", "New"}}, {}},
    {"AnEmptyTextDropsTheField", [](tags::TagOverrides& o) { o.composer = ""; o.track = 0; }, {}, {"TCOM", "TRCK"}},
    {"NoMoreTags", [](tags::TagOverrides& o) { o.carryMoreTags = false; },
     {{"TALB", V::album}, {"pictures", "2"}}, {"TPUB", "USLT", "POPM:Windows Media Player 9 Series", "TXXX:MYFIELD"}},
    {"NoPictures", [](tags::TagOverrides& o) { o.carryPictures = false; }, {{"pictures", "0"}}, {}},
    // The source has a front cover of its own: the folder's is not wanted.
    {"FolderCoverOnlyWithoutAFrontCover",
     [](tags::TagOverrides& o) { o.folderCover = engine::TagPicture{3, "", "image/jpeg", testsupport::CoverImage(false)}; },
     {{"pictures", "2"}}, {}},
};

class UserValues : public testing::TestWithParam<OverrideCase> {};

TEST_P(UserValues, TakeThePlaceOfTheSources) {
  TempDir dir;
  const tags::SourceTags read = tags::ReadSourceTags(testsupport::MakeMutagenTaggedSource(dir, testsupport::MutagenFormats()[1], 0.5));
  tags::TagOverrides overrides;
  GetParam().set(overrides);
  Frames frames = MutagenReads(dir, tags::MapToMp3Tags(read, overrides));
  for (const auto& [key, value] : GetParam().expected) EXPECT_EQ(frames[key], value) << key;
  for (const char* key : GetParam().absent) EXPECT_EQ(frames.count(key), 0u) << key;
}

INSTANTIATE_TEST_SUITE_P(Overrides, UserValues, testing::ValuesIn(kOverrides),
                         [](const auto& row) { return std::string(row.param.name); });

// A source without a front cover gets the folder's, first; one without pictures only it.
TEST(PicturesToWrite, FolderCoverStandsInForAMissingFrontCover) {
  tags::SourceTags source;
  source.pictures.push_back({engine::kPictureBackCover, "", "image/jpeg", testsupport::CoverImage(false)});
  source.pictures.push_back({engine::kPictureOther, "", "image/jpeg", testsupport::CoverImage(false)});
  tags::TagOverrides overrides;
  overrides.folderCover = engine::TagPicture{engine::kPictureOther, "", "image/png", testsupport::CoverImage(true)};
  const std::vector<engine::TagPicture> pictures = tags::PicturesToWrite(source, overrides);
  ASSERT_EQ(pictures.size(), 3u);
  EXPECT_EQ(pictures[0].type, engine::kPictureFrontCover);
  EXPECT_EQ(pictures[0].data, testsupport::CoverImage(true));
  // Pictures of one description would be one picture to a reader.
  EXPECT_EQ(pictures[1].description, "(2)");
  EXPECT_EQ(pictures[2].description, "(3)");
}

// The desktop media player's own rating values give its own POPM values back.
TEST(Rating, SharedUserRatingBecomesThePlayersPopularimeter) {
  const std::pair<unsigned, int> cases[] = {{1, 1}, {25, 64}, {50, 128}, {75, 196}, {99, 255}, {0, 0}};
  TempDir dir;
  const std::string path = dir.File("rated.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a wmav2", path));
  for (const auto& [shared, popm] : cases) {
    {
      TagLib::ASF::File file(path.c_str(), false);
      file.tag()->setAttribute("WM/SharedUserRating", TagLib::ASF::Attribute(shared));
      ASSERT_TRUE(file.save());
    }
    EXPECT_EQ(tags::PopularimeterRating(tags::ReadSourceTags(path).rating), popm) << shared;
  }
}

// A picture over 16 MB and a text over 1 MB are left out and listed; what fits stays.
TEST(SourceTags, WhatIsTooLargeIsLeftOutAndListed) {
  TempDir dir;
  const std::string path = dir.File("large.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 0.2) + " -c:a libmp3lame", path));
  {
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    auto* lyrics = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::Latin1);
    lyrics->setText(TagLib::String(std::string(engine::kMaxTagTextBytes + 1, 'l')));
    tag->addFrame(lyrics);
    auto* label = new TagLib::ID3v2::TextIdentificationFrame("TPUB", TagLib::String::Latin1);
    label->setText("Label");
    tag->addFrame(label);
    Bytes huge(engine::kMaxPictureBytes + 1, 0x5A);
    huge[0] = 0xFF, huge[1] = 0xD8, huge[2] = 0xFF;
    tag->addFrame(testsupport::Apic(huge, "image/jpeg", TagLib::ID3v2::AttachedPictureFrame::FrontCover));
    tag->addFrame(testsupport::Apic(testsupport::CoverImage(true), "image/png", TagLib::ID3v2::AttachedPictureFrame::BackCover));
    ASSERT_TRUE(file.save());
  }
  const tags::SourceTags read = tags::ReadSourceTags(path);
  ASSERT_EQ(read.leftOut.size(), 2u);
  EXPECT_EQ(read.leftOut[0].kind, tags::SourceTags::LeftOut::Kind::Text);
  EXPECT_EQ(read.leftOut[0].what, "LYRICS");
  EXPECT_EQ(read.leftOut[1].kind, tags::SourceTags::LeftOut::Kind::Picture);
  EXPECT_EQ(read.leftOut[1].bytes, engine::kMaxPictureBytes + 1);
  EXPECT_TRUE(read.Values(tags::TagField::Lyrics).empty());
  EXPECT_EQ(read.Value(tags::TagField::Publisher), "Label");
  ASSERT_EQ(read.pictures.size(), 1u);
  EXPECT_EQ(read.cover.data, read.pictures[0].data);
}

}  // namespace
