// A shared library opened by name at run time (dlopen), and the addresses of what it exports.
//
// A SharedLibrary owns one reference to the library and drops it when destroyed; the library
// stays loaded while any reference to it is held, in this process or by others. Opening and
// closing may happen on any thread; Symbol may be called from several threads at once.
#pragma once

#include <optional>
#include <string>

namespace platform {

class SharedLibrary {
 public:
  // Loads `name` (a file name such as "libmp3lame.so.0", searched for the system's way, or a
  // path) with all its symbols bound at once and kept out of the global namespace. Nothing when
  // it cannot be loaded, and for an empty name.
  static std::optional<SharedLibrary> Open(const std::string& name);

  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // The address the library exports under `name`, or null.
  void* Symbol(const char* name) const;

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void Close();

  void* handle_ = nullptr;
};

}  // namespace platform
