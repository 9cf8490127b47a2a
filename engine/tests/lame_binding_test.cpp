// Loading the encoder library: one binding per process, and clear refusals.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/mp3_output.h"

using namespace engine;

namespace {

struct LibraryOverride {
  explicit LibraryOverride(const std::string& name) { setenv("TAVISTO_LAME_LIBRARY", name.c_str(), 1); }
  ~LibraryOverride() { unsetenv("TAVISTO_LAME_LIBRARY"); }
};

std::string ConstructionError() {
  try {
    Mp3Output out(nullptr);
  } catch (const PipelineError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(LameBinding, AMissingLibraryStopsTheOutputWithTheLoadersMessage) {
  {
    LibraryOverride missing("libtavisto-no-encoder.so.0");
    EXPECT_EQ(ConstructionError(), "libtavisto-no-encoder.so.0 library could not be loaded.");
    EXPECT_FALSE(lame::Loaded());
    EXPECT_EQ(lame::Slot(lame::e_lame_init), nullptr);
  }
  EXPECT_EQ(lame::LibraryName(), "libmp3lame.so.0");
}

// A library without an entry point the output calls is refused at load, naming what it lacks,
// rather than crashing in the middle of a run.
TEST(LameBinding, ALibraryLackingAnEntryPointIsRefusedNamingIt) {
  const char* incomplete = std::getenv("INCOMPLETE_LAME");
  ASSERT_NE(incomplete, nullptr);
  LibraryOverride override(incomplete);
  EXPECT_EQ(ConstructionError(), std::string(incomplete) + " library lacks the entry point lame_set_in_samplerate.");
  EXPECT_FALSE(lame::Loaded());
  EXPECT_EQ(lame::Slot(lame::e_lame_init), nullptr);
}

TEST(LameBinding, ASecondOutputBindsNothingAgainAndDestroyingOneReleasesTheLibrary) {
  auto* first = new Mp3Output(nullptr);
  ASSERT_TRUE(lame::Loaded());
  void* init = lame::Slot(lame::e_lame_init);
  EXPECT_NE(init, nullptr);
  EXPECT_NE(lame::Slot(lame::e_beWriteInfoTag), nullptr);  // the binding's own stand-in
  auto* second = new Mp3Output(nullptr);
  EXPECT_EQ(lame::Slot(lame::e_lame_init), init);
  delete second;
  EXPECT_FALSE(lame::Loaded());
  delete first;
}
