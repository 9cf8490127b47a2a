// Loading the encoder library: one binding per process shared by its outputs, and clear
// refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "decoded_audio.h"
#include "engine/conversion.h"
#include "engine/lame_library.h"

using namespace engine;

namespace {

struct LibraryOverride {
  explicit LibraryOverride(const std::string& name) { setenv("TAVISTO_LAME_LIBRARY", name.c_str(), 1); }
  ~LibraryOverride() { unsetenv("TAVISTO_LAME_LIBRARY"); }
};

std::string ConstructionError() { return EncoderProblem().value_or(""); }

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

// Several users share the one binding: one going while another still encodes must not pull
// the library from under it; the last one releases it.
TEST(LameBinding, TheLibraryStaysBoundUntilItsLastUserGoes) {
  lame::Load();
  ASSERT_TRUE(lame::Loaded());
  void* init = lame::Slot(lame::e_lame_init);
  EXPECT_NE(init, nullptr);
  lame::Load();
  EXPECT_EQ(lame::Slot(lame::e_lame_init), init) << "nothing is bound again";
  EXPECT_EQ(lame::Users(), 2);
  lame::Unload();
  ASSERT_TRUE(lame::Loaded());
  EXPECT_EQ(lame::Users(), 1);
  lame::Unload();
  EXPECT_FALSE(lame::Loaded());
  EXPECT_EQ(lame::Users(), 0);
}
