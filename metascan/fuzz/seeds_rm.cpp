// Seeds for fuzz_rm: chunk lists that reach "CONT" after the chunks the walk steps over.
#include "seed_writer.h"

using namespace metascan::testing;

int main(int argc, char** argv) {
  return metascan::fuzz::writeSeeds(argc, argv, {
      {"cont", cat({rmFileHeader(), rmProperties(), rmChunk("MDPR", ByteVec(30, 1)),
                    rmContent("Title", "Author", "Copyright", "Comment")})},
      {"after-data", cat({rmFileHeader(), rmChunk("DATA", ByteVec(40, 2)), rmChunk("INDX", ByteVec(8, 3)),
                          rmContent("Caf\xE9", "", "", "Note")})},
  });
}
