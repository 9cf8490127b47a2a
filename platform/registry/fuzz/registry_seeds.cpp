// Writes seed inputs for fuzz_registry into the folder given as the only argument: the .reg
// texts of the tests, as the store, people and the Windows registry editor write them.
#include "platform/registry/tests/sample_reg_texts.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " FOLDER\n";
    return 2;
  }
  int number = 0;
  for (const std::string& text : platform::testing::SampleRegTexts()) {
    std::ofstream out(std::string(argv[1]) + "/seed-" + std::to_string(++number) + ".reg", std::ios::binary);
    out << text;
    if (!out.flush()) {
      std::cerr << "cannot write seeds into " << argv[1] << "\n";
      return 1;
    }
  }
  return 0;
}
