#include "platform/memory_use.h"

#include <malloc.h>

namespace platform {

void ReturnLargeBlocksWhenFreed() {
  // A fixed threshold also turns off the library's own raising of it.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

}  // namespace platform
