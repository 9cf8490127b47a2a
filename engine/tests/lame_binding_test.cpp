// Loading the encoder library: one binding per process shared by its outputs, and clear
// refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "decoded_audio.h"
#include "engine/mp3_output.h"
#include "test_components.h"

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

// Several outputs share the one binding: destroying one while another still encodes must not
// pull the library from under it; the last one releases it.
TEST(LameBinding, TheLibraryStaysBoundUntilItsLastOutputGoes) {
  enginetest::MainThread main;
  testsupport::TempDir dir;
  auto* first = new Mp3Output(nullptr);
  ASSERT_TRUE(lame::Loaded());
  void* init = lame::Slot(lame::e_lame_init);
  EXPECT_NE(init, nullptr);
  EXPECT_NE(lame::Slot(lame::e_beWriteInfoTag), nullptr);  // the binding's own stand-in
  auto second = std::make_unique<Mp3Output>(nullptr);
  EXPECT_EQ(lame::Slot(lame::e_lame_init), init) << "nothing is bound again";
  EXPECT_EQ(lame::Users(), 2);
  delete first;
  ASSERT_TRUE(lame::Loaded());
  EXPECT_EQ(lame::Users(), 1);

  enginetest::ToneInput tone(nullptr, 44100, 2, 44100);
  bool done = false;
  second->onDone = [&](Component*) { done = true; };
  second->fileName = dir.File("after.mp3");
  second->SetInput(&tone);
  second->Run();
  ASSERT_TRUE(main.RunUntil([&] { return done; }));
  EXPECT_NEAR(testsupport::DecodeAudioFile(dir.File("after.mp3")).seconds(), 1.0, 1152.0 / 44100);
  second.reset();
  EXPECT_FALSE(lame::Loaded());
  EXPECT_EQ(lame::Users(), 0);
}
