#include "probe_helpers.h"

namespace metascan::testing {
namespace {

ByteVec mediaProperties() { return rmChunk("MDPR", ByteVec(40, 0x11)); }

TEST(RealMedia, WalkStopsAtContAndReadsNothingAfterIt) {
  ByteVec file = cat({rmFileHeader(), rmProperties(), rmContent("Title", "Author", "Copy", "Note"),
                      mediaProperties(), rmContent("Later", "", "", ""), rmChunk("DATA", ByteVec(99, 0))});
  ProbeResult got = probe(parse_rm, file);
  EXPECT_EQ(got.result, METASCAN_OK);
  // The author arrives in `artist`, not in `author`.
  EXPECT_EQ(got.found, "title=Title\nartist=Author\ncomment=Note\ncopyright=Copy\n");
}

TEST(RealMedia, EmptyTextsLeaveTheirFieldsEmpty) {
  ByteVec file = cat({rmFileHeader(), rmContent("Hello", "", "", "")});
  EXPECT_EQ(probe(parse_rm, file).found, "title=Hello\n");
}

TEST(RealMedia, LegacyEightBitTextsComeBackByteForByte) {
  ByteVec file = cat({rmFileHeader(), rmContent("Caf\xE9 \xDC" "ber", "", "", "")});
  EXPECT_EQ(probe(parse_rm, file).found, "title=Caf\xE9 \xDC" "ber\n");
}

TEST(RealMedia, ContentOfAnotherVersionIsNotRead) {
  ByteVec file = cat({rmFileHeader(), rmContent("Title", "Author", "", "", 1)});
  EXPECT_EQ(probe(parse_rm, file).found, "");
}

// Every way the chunk list can end before a "CONT": result 0, no fields, and no endless walk.
TEST(RealMedia, ChunkListEndingBeforeContGivesNoFields) {
  ByteVec content = rmContent("Title", "", "", "");
  ByteVec zeroSize = rmProperties();
  writeBe32(zeroSize, 4, 0);
  ByteVec sizeSeven = rmProperties();
  writeBe32(sizeSeven, 4, 7);
  ByteVec pastEnd = rmProperties();
  writeBe32(pastEnd, 4, 0xFFFFFFFF);
  const std::pair<const char*, ByteVec> cases[] = {
      {"unknown identifier", cat({rmFileHeader(), rmChunk("RJMD", {}), content})},
      {"lower-case identifier", cat({rmFileHeader(), rmChunk("prop", {}), content})},
      {"list ends", cat({rmFileHeader(), rmProperties()})},
      {"short header at the end", cat({rmFileHeader(), ByteVec{'C', 'O', 'N'}})},
      {"size 0", cat({rmFileHeader(), zeroSize, content})},
      {"size 7", cat({rmFileHeader(), sizeSeven, content})},
      {"size past the end", cat({rmFileHeader(), pastEnd, content})},
      {"empty file", {}},
  };
  for (const auto& [name, bytes] : cases) {
    ProbeResult got = probe(parse_rm, bytes);
    EXPECT_EQ(got.result, METASCAN_OK) << name;
    EXPECT_EQ(got.found, "") << name;
  }
}

TEST(RealMedia, LengthsOverrunningContAreCutAtItsEnd) {
  ByteVec content = rmContent("Title", "Author", "", "");
  // The author claims 300 bytes; its chunk ends after six. The chunk size still counts only the
  // real bytes, and the chunk after it must not leak into the text.
  std::size_t authorLength = 8 + 2 + 2 + 5;
  ASSERT_EQ(content.at(authorLength + 1), 6);
  content[authorLength] = 0x01;
  content[authorLength + 1] = 0x2C;
  content.resize(content.size() - 4);  // drop the lengths of copyright and comment
  writeBe32(content, 4, static_cast<std::uint32_t>(content.size()));
  ByteVec file = cat({rmFileHeader(), content, mediaProperties()});
  EXPECT_EQ(probe(parse_rm, file).found, "title=Title\nartist=Author\n");
}

TEST(RealMedia, ContCutOffByTheEndOfTheFileKeepsWhatIsThere) {
  ByteVec file = cat({rmFileHeader(), rmContent("Title", "Author", "", "")});
  file.resize(file.size() - 7);  // "hor" and the last two lengths
  EXPECT_EQ(probe(parse_rm, file).found, "title=Title\nartist=Aut\n");
}

}  // namespace
}  // namespace metascan::testing
