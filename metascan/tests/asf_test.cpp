#include "probe_helpers.h"

#include <climits>

namespace metascan::testing {
namespace {

ByteVec noText() { return {}; }

ByteVec contentDescription(std::u16string_view title, std::u16string_view author) {
  return asfContentDescription(utf16le(title), utf16le(author), noText(), noText(), noText());
}

ByteVec withMediaData(ByteVec header) {
  return cat({header, ByteVec(64, 0xEE)});  // the data object follows the header in a real file
}

TEST(AsfHeader, ContentDescriptionTextsAndEmptyAuthor) {
  // "Song" with its terminator is 10 bytes; the author is the terminator alone (2 bytes).
  ByteVec object = asfContentDescription(utf16le(u"Song"), utf16le(u""), utf16le(u"(C) Us"),
                                         utf16le(u"Notes"), utf16le(u"PG"));
  ASSERT_EQ(object[24], 10);
  ASSERT_EQ(object[26], 2);
  ProbeResult got = probe(parse_wmv, withMediaData(asfHeader({object})));
  EXPECT_EQ(got.result, METASCAN_OK);
  EXPECT_EQ(got.found, "title=Song\ncomment=Notes\ncopyright=(C) Us\nrating=PG\n");
}

TEST(AsfHeader, AttributeNamesMatchInAnyLetterCase) {
  ByteVec header = asfHeader({asfExtendedContent({
      asfTextDescriptor(u"WM/AlbumTitle", u"Album"),
      asfTextDescriptor(u"ARTIST", u"Artist"),
      asfTextDescriptor(u"Genre", u"Jazz"),
      asfTextDescriptor(u"wm/YEAR", u"2004"),
      asfTextDescriptor(u"WM/TrackNumber", u"07"),
      asfTextDescriptor(u"WM/Composer", u"skipped"),
  })});
  EXPECT_EQ(probe(parse_wmv, header).found,
            "artist=Artist\nalbum=Album\nyear=2004\ngenre=Jazz\ntrack=7\n");
}

TEST(AsfHeader, TrackNumberIsTheNumberItsValueStartsWith) {
  struct Case {
    AsfDescriptor descriptor;
    std::int32_t track;
  };
  const Case cases[] = {
      {asfTextDescriptor(u"WM/TrackNumber", u"07"), 7},
      {asfTextDescriptor(u"WM/TrackNumber", u"  12/15"), 12},
      {asfTextDescriptor(u"WM/TrackNumber", u"-3"), -3},
      {asfTextDescriptor(u"WM/TrackNumber", u"A side"), 0},
      {asfTextDescriptor(u"WM/TrackNumber", u"99999999999"), INT_MAX},
      {asfTextDescriptor(u"WM/TrackNumber", u"-99999999999"), INT_MIN},
      // Numbers stored as numbers (Windows Media Player writes a 32-bit one) give their value.
      {{u"WM/TrackNumber", 3, ByteWriter().le32(7).data()}, 7},
      {{u"WM/TrackNumber", 5, ByteWriter().le16(9).data()}, 9},
      {{u"WM/TrackNumber", 4, ByteWriter().le64(11).data()}, 11},
      {{u"WM/TrackNumber", 3, ByteWriter().le16(9).data()}, 0},  // too short for a 32-bit number
  };
  for (const Case& c : cases) {
    TempFile file(asfHeader({asfExtendedContent({c.descriptor})}));
    TagRecord record;
    ASSERT_EQ(parse_wmv(file.path().c_str(), &record.info), METASCAN_OK);
    EXPECT_EQ(record.info.track, c.track) << "value type " << c.descriptor.type;
  }
}

TEST(AsfHeader, NumericValueOfATextFieldIsItsDecimalText) {
  ByteVec header = asfHeader({asfExtendedContent({{u"WM/Year", 3, ByteWriter().le32(2004).data()}})});
  EXPECT_EQ(probe(parse_wmv, header).found, "year=2004\n");
}

TEST(AsfHeader, LaterSourceOfAFieldWins) {
  ByteVec header = asfHeader({
      contentDescription(u"First", u""),
      asfExtendedContent({asfTextDescriptor(u"WM/AlbumArtist", u"Band"),
                          asfTextDescriptor(u"Artist", u"Singer")}),
      contentDescription(u"Second", u""),
  });
  EXPECT_EQ(probe(parse_wmv, header).found, "title=Second\nartist=Singer\n");
}

TEST(AsfHeader, DurationAndUnknownObjectsSkippedBySize) {
  ByteVec header = asfHeader({
      asfObject(kAsfStreamPropertiesGuid, ByteVec(54, 0x75)),
      asfFileProperties(1'800'000'000 + 31'000'000),
      contentDescription(u"Three minutes", u"Band"),
  });
  EXPECT_EQ(probe(parse_wmv, withMediaData(header)).found,
            "title=Three minutes\nauthor=Band\nduration=1831000000\n");
}

// The next object starts where the object's size says, not where the texts inside it end.
TEST(AsfHeader, PaddedDescriptionDoesNotThrowTheWalkOff) {
  ByteVec padded = cat({contentDescription(u"Song", u""), ByteVec(6, 0x41)});
  writeLe32(padded, 16, static_cast<std::uint32_t>(padded.size()));
  ByteVec header = asfHeader({padded, asfExtendedContent({asfTextDescriptor(u"Album", u"Album")})});
  EXPECT_EQ(probe(parse_wmv, header).found, "title=Song\nalbum=Album\n");
}

TEST(AsfHeader, ObjectCountLimitsTheWalk) {
  ByteVec header = asfHeader({contentDescription(u"Song", u"")}, 0);
  EXPECT_EQ(probe(parse_wmv, header).found, "");
  EXPECT_EQ(probe(parse_wmv, header).result, METASCAN_OK);
}

// Not an ASF file, or a header that is not whole: an error, and the record as it was.
TEST(AsfHeader, RejectedFileLeavesRecordUntouched) {
  ByteVec good = asfHeader({contentDescription(u"Song", u"")});
  ByteVec otherFirstBytes = good;
  otherFirstBytes[0] ^= 1;
  ByteVec sizeBelowFixedFields = good;
  writeLe32(sizeBelowFixedFields, 16, 29);
  ByteVec truncated(good.begin(), good.end() - 1);
  ByteVec sizePastEnd = good;
  writeLe32(sizePastEnd, 16, 0xFFFFFFF0);
  const ByteVec cases[] = {otherFirstBytes, sizeBelowFixedFields, truncated, sizePastEnd,
                           ByteVec(good.begin(), good.begin() + 20), ByteVec{}};
  for (const ByteVec& bytes : cases) {
    TempFile file(bytes);
    TagRecord record;
    record.info.track = 5;
    EXPECT_EQ(parse_wmv(file.path().c_str(), &record.info), METASCAN_ERROR);
    EXPECT_EQ(record.dump(), "track=5\n");
  }
}

TEST(AsfHeader, TextsArriveAsValidUtf8) {
  ByteVec header = asfHeader({contentDescription(u"Café Über 東京", u"a\xD800z")});
  EXPECT_EQ(probe(parse_wmv, header).found, "title=Café Über 東京\nauthor=a\xEF\xBF\xBDz\n");
}

TEST(AsfHeader, TextWithoutTerminatorEndsAtItsLength) {
  ByteVec object = asfContentDescription(utf16le(u"Title", false), utf16le(u"Auth", false),
                                         noText(), noText(), noText());
  EXPECT_EQ(probe(parse_wmv, asfHeader({object})).found, "title=Title\nauthor=Auth\n");
}

// Sizes and lengths inside the header may claim anything; every read stays inside what holds it.
TEST(AsfHeader, HostileSizesStayInsideTheHeader) {
  ByteVec description = contentDescription(u"Song", u"Band");

  ByteVec zeroSizedObject = asfObject(kAsfStreamPropertiesGuid, {});
  writeLe32(zeroSizedObject, 16, 0);  // would not move forward
  EXPECT_EQ(probe(parse_wmv, asfHeader({zeroSizedObject, description}, 0x7FFFFFFF)).found, "");

  ByteVec objectPastHeader = description;
  writeLe32(objectPastHeader, 16, 0x10000);  // read as far as the header goes
  EXPECT_EQ(probe(parse_wmv, withMediaData(asfHeader({objectPastHeader}))).found,
            "title=Song\nauthor=Band\n");

  ByteVec lengthsPastObject = description;
  lengthsPastObject[26] = 0xFF;  // the author claims 255 bytes: cut at the object's end
  lengthsPastObject[27] = 0x00;
  EXPECT_EQ(probe(parse_wmv, withMediaData(asfHeader({lengthsPastObject}))).found,
            "title=Song\nauthor=Band\n");

  ByteVec shortFileProperties = asfObject(kAsfFilePropertiesGuid, ByteVec(40, 0));
  EXPECT_EQ(probe(parse_wmv, asfHeader({shortFileProperties})).found, "");

  ByteVec countBeyondDescriptors = asfExtendedContent({asfTextDescriptor(u"Album", u"A")});
  countBeyondDescriptors[24] = 0xFF;
  countBeyondDescriptors[25] = 0xFF;
  EXPECT_EQ(probe(parse_wmv, asfHeader({countBeyondDescriptors})).found, "album=A\n");

  ByteVec valuePastObject = asfExtendedContent({asfTextDescriptor(u"Album", u"Longer")});
  valuePastObject.resize(valuePastObject.size() - 4);  // the last letter and the terminator
  writeLe32(valuePastObject, 16, static_cast<std::uint32_t>(valuePastObject.size()));
  EXPECT_EQ(probe(parse_wmv, asfHeader({valuePastObject})).found, "album=Longe\n");

  ByteVec nameOnly = asfExtendedContent({asfTextDescriptor(u"Album", u"A")});
  nameOnly.resize(24 + 2 + 2 + 12);  // count, name length and name; no value length
  writeLe32(nameOnly, 16, static_cast<std::uint32_t>(nameOnly.size()));
  EXPECT_EQ(probe(parse_wmv, asfHeader({nameOnly})).found, "");
}

}  // namespace
}  // namespace metascan::testing
