#include "platform/com.h"

namespace platform {

namespace {
thread_local int depth = 0;
}

HRESULT CoInitialize(void* /*reserved*/) { return depth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (depth > 0) --depth;
}

int CoInitializeDepth() { return depth; }

}  // namespace platform
