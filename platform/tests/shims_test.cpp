#include "platform/com.h"
#include "platform/dynlib.h"
#include "platform/errtext.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <thread>

using namespace platform;

TEST(DynamicLibrary, BindsAnExportedFunctionByName) {
  HMODULE lib = LoadLibraryExA("libm.so.6", nullptr, 0);
  ASSERT_NE(lib, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(lib, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(GetProcAddress(lib, "no_such_entry_point"), nullptr);
  EXPECT_NE(FreeLibrary(lib), 0);
}

TEST(DynamicLibrary, MissingLibraryGivesNull) {
  EXPECT_EQ(LoadLibraryExA("libtavisto-no-such-library.so.0", nullptr, 0), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "cos"), nullptr);
  EXPECT_EQ(FreeLibrary(nullptr), 0);
}

TEST(ComShim, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  std::thread other([] {
    EXPECT_EQ(CoInitializeDepth(), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
  });
  other.join();
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is ignored
  EXPECT_EQ(CoInitializeDepth(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ErrorTexts, FileSystemErrorsInTheSystemsOwnWords) {
  EXPECT_EQ(ErrnoText(ENOSPC), "No space left on device");
}
