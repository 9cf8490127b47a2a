// Seeds for fuzz_id3v1: tags of version 1.0 and 1.1 after a little audio.
#include "seed_writer.h"

using namespace metascan::testing;

int main(int argc, char** argv) {
  Id3v1Fields v10{"Title", "Artist", "Album", "2004", std::string(30, 'c'), 17, std::nullopt};
  Id3v1Fields v11{std::string(30, 't'), "A", "", "1999", "Comment", 254, 7};
  return metascan::fuzz::writeSeeds(argc, argv, {
      {"v10", cat({ByteVec(64, 0xFF), id3v1Tag(v10)})},
      {"v11", id3v1Tag(v11)},
  });
}
