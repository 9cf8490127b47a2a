#include "probe_helpers.h"

namespace metascan::testing {
namespace {

ByteVec fileType() { return atom("ftyp", ByteWriter().text("isom").be32(512).text("isomiso2mp41").data()); }
ByteVec mediaData() { return atom("mdat", ByteVec(200, 0xA9)); }  // full of 0xA9 bytes
ByteVec movieHeader() { return atom("mvhd", ByteVec(100, 0)); }

TEST(QuickTimeAtoms, UserDataTitleAfterSkippedAtoms) {
  ByteVec file = cat({fileType(), mediaData(),
                      atom("moov", {movieHeader(), atom("udta", {userDataText("nam", "Title")})})});
  ProbeResult got = probe(parse_mov, file);
  EXPECT_EQ(got.result, METASCAN_OK);
  EXPECT_EQ(got.found, "title=Title\n");
}

TEST(QuickTimeAtoms, EveryUserDataTextFillsItsField) {
  ByteVec udta = atom("udta", {userDataText("cpy", "Copy"), userDataText("nam", "Name"),
                               userDataText("cmt", "Note"), userDataText("aut", "Writer"),
                               userDataText("ART", "Artist"), userDataText("alb", "Album"),
                               userDataText("gen", "Genre"), userDataText("day", "2004")});
  EXPECT_EQ(probe(parse_mov, cat({fileType(), atom("moov", {udta})})).found,
            "title=Name\nartist=Artist\nalbum=Album\ncomment=Note\ngenre=Genre\n"
            "copyright=Copy\nauthor=Writer\n");
}

// MPEG-4 writers put version and flags before the children of "meta"; QuickTime's does not.
TEST(QuickTimeAtoms, ItemListOfBothKindsOfMeta) {
  auto items = [] {
    return atom("ilst", {ilstItem("\xA9" "nam", "Title"), ilstItem("\xA9" "ART", "Artist"),
                         ilstItem("\xA9" "alb", "Album"), ilstItem("\xA9" "gen", "Genre")});
  };
  const std::pair<const char*, ByteVec> metas[] = {
      {"full atom", metaFullAtom({handlerAtom(), items()})},
      {"QuickTime", metaQuickTime({handlerAtom(), items()})},
  };
  for (const auto& [kind, meta] : metas) {
    ByteVec file = cat({fileType(), mediaData(), atom("moov", {movieHeader(), atom("udta", {meta})})});
    EXPECT_EQ(probe(parse_mov, file).found, "title=Title\nartist=Artist\nalbum=Album\ngenre=Genre\n")
        << kind;
  }
}

// Items that are not text items may come first and may hold 0xA9 bytes (cover art does); they
// are stepped over by their sizes.
TEST(QuickTimeAtoms, NonTextItemsAreSteppedOver) {
  ByteVec cover = atom("covr", {atom("data", ByteWriter().be32(13).be32(0).bytes(ByteVec(40, 0xA9)).data())});
  ByteVec track = atom("trkn", {atom("data", ByteWriter().be32(0).be32(0).be32(7).be32(12).data())});
  ByteVec meta = metaFullAtom({handlerAtom(), atom("ilst", {track, cover, ilstItem("\xA9" "nam", "Title"),
                                                            ilstItem("cprt", "Not read"),
                                                            ilstItem("\xA9" "alb", "Album")})});
  EXPECT_EQ(probe(parse_mov, cat({atom("moov", {atom("udta", {meta})})})).found,
            "title=Title\nalbum=Album\n");
}

TEST(QuickTimeAtoms, ClassicTextLosesItsPrefixAndEndsAtZero) {
  ByteVec withZero = atom("\xA9" "nam", ByteWriter().be16(5).be16(0).text("Hello").zeros(3).text("junk").data());
  EXPECT_EQ(probe(parse_mov, atom("moov", {atom("udta", {withZero})})).found, "title=Hello\n");
  // Some writers put an item-list "data" atom in user data; its value is the text.
  ByteVec dataStyle = atom("\xA9" "ART", {atom("data", ByteWriter().be32(1).be32(0).text("Artist").data())});
  EXPECT_EQ(probe(parse_mov, atom("moov", {atom("udta", {dataStyle})})).found, "artist=Artist\n");
}

TEST(QuickTimeAtoms, TextAtomAtTopLevelIsRead) {
  EXPECT_EQ(probe(parse_mov, cat({fileType(), userDataText("nam", "Top")})).found, "title=Top\n");
}

TEST(QuickTimeAtoms, LastTitleInTheFileWins) {
  ByteVec trak = atom("trak", {atom("udta", {userDataText("nam", "Track")})});
  ByteVec moov = atom("moov", {atom("udta", {userDataText("nam", "Movie")}), trak});
  EXPECT_EQ(probe(parse_mov, moov).found, "title=Track\n");
}

TEST(QuickTimeAtoms, SixtyFourBitSizesAreFollowed) {
  ByteVec moov = atom("moov", {atom64("udta", userDataText("nam", "Title"))});
  EXPECT_EQ(probe(parse_mov, cat({fileType(), atom64("mdat", ByteVec(50, 0)), moov})).found,
            "title=Title\n");
}

TEST(QuickTimeAtoms, SizeZeroAtTopLevelRunsToTheEndOfTheFile) {
  ByteVec moov = atom("moov", {atom("udta", {userDataText("nam", "Title")})});
  writeBe32(moov, 0, 0);
  EXPECT_EQ(probe(parse_mov, cat({fileType(), mediaData(), moov})).found, "title=Title\n");
}

// A broken atom ends the walk of the list that holds it; what came before stays found and the
// lists above it go on.
TEST(QuickTimeAtoms, BrokenChildEndsOnlyItsOwnList) {
  ByteVec goodTitle = userDataText("nam", "Title");
  ByteVec album = atom("udta", {userDataText("alb", "Album")});
  auto brokenChildSize = [&](std::uint32_t size) {
    ByteVec broken = userDataText("ART", "Artist");
    writeBe32(broken, 0, size);
    return atom("moov", {atom("udta", {goodTitle, broken, userDataText("cmt", "Lost")}), album});
  };
  const std::pair<std::uint32_t, const char*> sizes[] = {
      {0, "zero ends a list"}, {3, "smaller than a header"}, {7, "smaller than a header"},
      {1, "64-bit size past the list"}, {0x7FFFFFFF, "past the list"}};
  for (auto [size, why] : sizes) {
    EXPECT_EQ(probe(parse_mov, brokenChildSize(size)).found, "title=Title\nalbum=Album\n")
        << "size " << size << ": " << why;
  }

  ByteVec itemSizeZero = metaFullAtom({atom("ilst", {ilstItem("\xA9" "nam", "Title"),
                                                     ByteWriter().be32(0).text("\xA9" "ART").data(),
                                                     ilstItem("\xA9" "alb", "Lost")})});
  EXPECT_EQ(probe(parse_mov, atom("moov", {atom("udta", {itemSizeZero})})).found, "title=Title\n");
}

TEST(QuickTimeAtoms, TopLevelWalkEndsAtBadSizes) {
  ByteVec title = userDataText("nam", "Title");
  ByteVec moovPastEnd = atom("moov", {atom("udta", {userDataText("alb", "Album")})});
  writeBe32(moovPastEnd, 0, 0x7FFFFFFF);
  ByteVec sizeFive = atom("free", {});
  writeBe32(sizeFive, 0, 5);
  ByteVec wideTooSmall = ByteWriter().be32(1).text("mdat").be64(15).data();
  const std::pair<const char*, ByteVec> cases[] = {
      {"atom past the end of the file", cat({title, moovPastEnd})},
      {"size 5", cat({title, sizeFive, userDataText("alb", "Lost")})},
      {"64-bit size below its header", cat({title, wideTooSmall, userDataText("alb", "Lost")})},
      {"64-bit size cut off", cat({title, ByteWriter().be32(1).text("mdat").be32(0).data()})},
      {"header cut off", cat({title, ByteVec{0, 0, 0}})},
  };
  for (const auto& [name, bytes] : cases) {
    ProbeResult got = probe(parse_mov, bytes);
    EXPECT_EQ(got.result, METASCAN_OK) << name;
    EXPECT_EQ(got.found, "title=Title\n") << name;
  }
}

// A hostile file nests containers a hundred thousand deep; following it all would overflow the
// stack. Real movies nest a few levels, and those are followed.
TEST(QuickTimeAtoms, DeepNestingDoesNotExhaustTheStack) {
  constexpr std::uint32_t kLevels = 100'000;
  ByteVec inner = userDataText("nam", "Deep");
  ByteWriter nested;
  for (std::uint32_t level = 0; level < kLevels; ++level) {
    nested.be32(static_cast<std::uint32_t>(8 * (kLevels - level) + inner.size())).text("moov");
  }
  nested.bytes(inner);
  ProbeResult got = probe(parse_mov, nested.data());
  EXPECT_EQ(got.result, METASCAN_OK);
  EXPECT_EQ(got.found, "");

  ByteVec shallow = userDataText("nam", "Shallow");
  for (int i = 0; i < 10; ++i) shallow = atom(i % 2 ? "trak" : "udta", shallow);
  EXPECT_EQ(probe(parse_mov, atom("moov", shallow)).found, "title=Shallow\n");
}

TEST(QuickTimeAtoms, ShortBodiesGiveNoText) {
  ByteVec tinyText = atom("\xA9" "nam", ByteVec{0, 1});
  // An item whose "data" atom lacks its type, flags and locale.
  ByteVec tinyData = ByteWriter().be32(16).text("\xA9" "ART").be32(8).text("data").data();
  ByteVec meta = metaFullAtom({atom("ilst", {tinyData})});
  EXPECT_EQ(probe(parse_mov, atom("moov", {atom("udta", {tinyText, meta})})).found, "");
}

}  // namespace
}  // namespace metascan::testing
