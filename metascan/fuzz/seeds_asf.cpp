// Seeds for fuzz_asf: headers with the three objects the reader knows and one it skips.
#include "seed_writer.h"

using namespace metascan::testing;

int main(int argc, char** argv) {
  ByteVec description = asfContentDescription(utf16le(u"Café Über 東京"), utf16le(u"Author"),
                                              utf16le(u"Copyright"), utf16le(u"Description"),
                                              utf16le(u"\U0001F600"));
  ByteVec attributes = asfExtendedContent({
      asfTextDescriptor(u"WM/AlbumTitle", u"Album"),
      asfTextDescriptor(u"WM/AlbumArtist", u"Artist"),
      asfTextDescriptor(u"WM/Genre", u"Jazz"),
      asfTextDescriptor(u"WM/Year", u"2004"),
      {u"WM/TrackNumber", 3, ByteWriter().le32(7).data()},
      asfTextDescriptor(u"wm/tracknumber", u"07"),
  });
  ByteVec skipped = asfObject(kAsfStreamPropertiesGuid, ByteVec(54, 0));
  return metascan::fuzz::writeSeeds(argc, argv, {
      {"full", cat({asfHeader({skipped, asfFileProperties(18'000'000), description, attributes}),
                    ByteVec(32, 0)})},
      {"description", asfHeader({description})},
      {"attributes", asfHeader({attributes})},
  });
}
