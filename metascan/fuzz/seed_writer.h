// Seed corpora for the metascan fuzz targets, built with the tests' byte builders. Each seed
// program writes its files into the folder named by its first argument.
#pragma once

#include "metascan/tests/byte_builders.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace metascan::fuzz {

using Seeds = std::vector<std::pair<std::string, testing::ByteVec>>;

inline int writeSeeds(int argc, char** argv, const Seeds& seeds) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
    return 2;
  }
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(std::string(argv[1]) + "/seed-" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return 1;
  }
  return 0;
}

}  // namespace metascan::fuzz
