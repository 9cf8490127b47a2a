// The shared library exports the five functions and nothing else, under its versioned name.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string CommandOutput(const std::string& command) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return output;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) output += chunk.data();
  return output;
}

std::string Library() {
  const char* path = std::getenv("AVPULL_LIBRARY");
  return path != nullptr ? path : "";
}

TEST(Exports, OnlyTheInterfaceFunctions) {
  ASSERT_FALSE(Library().empty());
  std::istringstream lines(CommandOutput("nm -D --defined-only '" + Library() + "'"));
  std::set<std::string> names;
  std::string address, type, name;
  while (lines >> address >> type >> name) names.insert(name);
  const std::set<std::string> expected = {"file_init", "set_audio_buffer_size", "file_get_audio_sample",
                                          "file_get_video_frame", "file_exit", "file_get_source_channels"};
  EXPECT_EQ(names, expected);
}

TEST(Exports, LibraryCarriesItsSoname) {
  ASSERT_FALSE(Library().empty());
  EXPECT_NE(CommandOutput("readelf -d '" + Library() + "'").find("[libavpull.so.1]"), std::string::npos);
}

}  // namespace
