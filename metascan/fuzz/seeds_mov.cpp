// Seeds for fuzz_mov: classic user-data texts, item lists in both kinds of "meta", 64-bit sizes.
#include "seed_writer.h"

using namespace metascan::testing;

int main(int argc, char** argv) {
  ByteVec fileType = atom("ftyp", ByteWriter().text("isom").be32(512).text("isommp41").data());
  ByteVec items = atom("ilst", {ilstItem("trkn", std::string_view("\0\0\0\x07", 4)), ilstItem("\xA9" "nam", "Title"),
                                ilstItem("\xA9" "ART", "Artist"), ilstItem("\xA9" "alb", "Album"),
                                ilstItem("\xA9" "gen", "Genre")});
  ByteVec classic = atom("udta", {userDataText("nam", "Name"), userDataText("cpy", "Copy"),
                                  userDataText("aut", "Author"), userDataText("cmt", "Comment")});
  return metascan::fuzz::writeSeeds(argc, argv, {
      {"mp4", cat({fileType, atom("mdat", ByteVec(16, 0)),
                   atom("moov", {atom("mvhd", ByteVec(20, 0)),
                                 atom("udta", {metaFullAtom({handlerAtom(), items})})})})},
      {"mov", cat({fileType, atom("moov", {atom("trak", {atom("mdia", {}), classic}),
                                          atom("udta", {metaQuickTime({handlerAtom(), items})})})})},
      {"wide", cat({atom64("mdat", ByteVec(8, 0)), atom("moov", {atom64("udta", userDataText("alb", "A"))})})},
  });
}
