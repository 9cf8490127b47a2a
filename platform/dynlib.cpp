#include "platform/dynlib.h"

#include <dlfcn.h>

namespace platform {

HMODULE LoadLibraryExA(const char* name, HANDLE /*file*/, DWORD /*flags*/) {
  if (name == nullptr) return nullptr;
  // RTLD_LOCAL keeps the library's symbols out of the global namespace, like a DLL.
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr) return 0;
  return dlclose(module) == 0 ? 1 : 0;
}

}  // namespace platform
