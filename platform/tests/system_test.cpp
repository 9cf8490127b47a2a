#include "platform/dynlib.h"
#include "platform/errtext.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cerrno>
#include <utility>

using platform::SharedLibrary;

namespace {

using Cosine = double (*)(double);

TEST(SharedLibrary, BindsAnExportedFunctionByName) {
  std::optional<SharedLibrary> library = SharedLibrary::Open("libm.so.6");
  ASSERT_TRUE(library);
  auto cosine = reinterpret_cast<Cosine>(library->Symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(library->Symbol("no_such_entry_point"), nullptr);
}

TEST(SharedLibrary, MissingLibraryGivesNothing) {
  EXPECT_FALSE(SharedLibrary::Open("libtavisto-no-such-library.so.0"));
  EXPECT_FALSE(SharedLibrary::Open(""));
}

// Whether `name` is loaded in this process, without loading it.
bool IsLoaded(const char* name) {
  void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

// Catches a moved-from handle that still closes the library (its new owner's entry points would
// vanish) and a handle that never closes it: the one reference travels with each move and goes
// with the last owner. LAME, which the program opens the same way, is loaded by nothing else here.
TEST(SharedLibrary, TheLastOwnerClosesTheLibrary) {
  constexpr char kLame[] = "libmp3lame.so.0";
  ASSERT_FALSE(IsLoaded(kLame));
  {
    std::optional<SharedLibrary> opened = SharedLibrary::Open(kLame);
    ASSERT_TRUE(opened);
    SharedLibrary moved(std::move(*opened));
    opened.reset();
    SharedLibrary assigned = std::move(*SharedLibrary::Open("libm.so.6"));
    assigned = std::move(moved);
    EXPECT_TRUE(IsLoaded(kLame));
    EXPECT_NE(assigned.Symbol("lame_init"), nullptr);
  }
  EXPECT_FALSE(IsLoaded(kLame));
}

TEST(ErrorTexts, FileSystemErrorsInTheSystemsOwnWords) {
  EXPECT_EQ(platform::ErrnoText(ENOSPC), "No space left on device");
}

}  // namespace
