#include "platform/dynlib.h"

#include <dlfcn.h>

#include <utility>

namespace platform {

std::optional<SharedLibrary> SharedLibrary::Open(const std::string& name) {
  // dlopen takes an empty name for the program itself, whose symbols are no library's.
  if (name.empty()) return std::nullopt;
  // RTLD_NOW: a library missing a symbol it needs fails here, not at some later call.
  // RTLD_LOCAL: its symbols cannot stand in for another library's.
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return std::nullopt;
  return SharedLibrary(handle);
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

SharedLibrary::~SharedLibrary() { Close(); }

void SharedLibrary::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

}  // namespace platform
