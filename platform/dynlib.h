// Dynamic libraries by name, with the call shapes of the Windows loader over dlopen/dlsym.
#pragma once

#include "platform/win_types.h"

namespace platform {

// Loads a shared library by name with the system's default search order. `file` and `flags`
// exist for the call shape only and must be null and 0. Returns null when loading fails.
HMODULE LoadLibraryExA(const char* name, HANDLE file, DWORD flags);

// The address the library exports under `name`, or null.
FARPROC GetProcAddress(HMODULE module, const char* name);

// Releases one reference to the library; non-zero on success.
BOOL FreeLibrary(HMODULE module);

}  // namespace platform
