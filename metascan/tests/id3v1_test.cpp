#include "probe_helpers.h"

namespace metascan::testing {
namespace {

ByteVec fileWithTag(const Id3v1Fields& fields) {
  return cat({ByteVec(300, 0xFF), id3v1Tag(fields)});  // some audio bytes before the tag
}

TEST(Id3v1, TextFieldsEndAtFirstZeroByteOrAtFullWidth) {
  Id3v1Fields fields;
  fields.title = std::string(30, 'T');  // no zero byte anywhere
  fields.artist = "Ab";                 // then 28 zero bytes
  fields.album = "Trailing  ";          // blanks stay
  fields.year = "1999";
  fields.comment = std::string(30, 'c');
  fields.genre = 17;
  ProbeResult got = probe(getid3_id3v1, fileWithTag(fields));
  EXPECT_EQ(got.result, METASCAN_OK);
  EXPECT_EQ(got.found, "title=" + std::string(30, 'T') + "\nartist=Ab\nalbum=Trailing  \n"
                       "year=1999\ncomment=" + std::string(30, 'c') + "\ngenre=Rock\n");
}

TEST(Id3v1, Version11GivesTrackAndVersion10KeepsWholeComment) {
  Id3v1Fields v11;
  v11.comment = std::string(28, 'c');
  v11.track = 7;
  ProbeResult got = probe(getid3_id3v1, fileWithTag(v11));
  EXPECT_EQ(got.found, "title=\nartist=\nalbum=\nyear=\ncomment=" + std::string(28, 'c') +
                           "\ngenre=Unknown\ntrack=7\n");

  Id3v1Fields v10;
  v10.comment = std::string(30, 'c');
  got = probe(getid3_id3v1, fileWithTag(v10));
  EXPECT_EQ(got.found, "title=\nartist=\nalbum=\nyear=\ncomment=" + std::string(30, 'c') +
                           "\ngenre=Unknown\n");
}

TEST(Id3v1, GenreNumbersGiveNamesAndUnknownForGaps) {
  const std::pair<std::uint8_t, const char*> cases[] = {
      {0, "Blues"},     {17, "Rock"},      {130, "Terror"}, {147, "Synthpop"},
      {148, "Unknown"}, {200, "Unknown"},  {239, "Unknown"}, {240, "Sacred"},
      {254, "Japanese Tokusatsu"}, {255, "Unknown"},
  };
  for (auto [number, name] : cases) {
    Id3v1Fields fields;
    fields.genre = number;
    TempFile file(fileWithTag(fields));
    TagRecord record;
    ASSERT_EQ(getid3_id3v1(file.path().c_str(), &record.info), METASCAN_OK);
    ASSERT_NE(record.info.genre, nullptr);
    EXPECT_STREQ(record.info.genre, name) << "genre " << int{number};
  }
}

// Files without a tag in their last 128 bytes must read as "no tag", never as one.
TEST(Id3v1, FileWithoutTagLeavesRecordUntouched) {
  ByteVec tagAtStartOnly = cat({id3v1Tag({}), ByteVec(10, 0)});
  const ByteVec cases[] = {
      {},                                            // empty
      ByteVec(127, 'x'),                             // one byte too short for a tag
      cat({ByteVec{'T', 'A', 'G'}, ByteVec(124, 'x')}),  // "TAG" but 127 bytes in all
      ByteVec(128, 0),
      tagAtStartOnly,
  };
  for (const ByteVec& bytes : cases) {
    TempFile file(bytes);
    TagRecord record;
    record.info.track = 3;
    EXPECT_EQ(getid3_id3v1(file.path().c_str(), &record.info), METASCAN_OK);
    EXPECT_EQ(record.dump(), "track=3\n") << bytes.size() << "-byte file";
  }
}

TEST(Id3v1, TagFillingTheWholeFileIsRead) {
  Id3v1Fields fields;
  fields.title = "Only";
  fields.genre = 0;
  EXPECT_EQ(probe(getid3_id3v1, id3v1Tag(fields)).found,
            "title=Only\nartist=\nalbum=\nyear=\ncomment=\ngenre=Blues\n");
}

}  // namespace
}  // namespace metascan::testing
