// The component run time's per-thread initialisation. Nothing on Linux needs it, but the call
// sites stay: each thread counts its initialisations so that pairs match as they would there.
#pragma once

#include "platform/win_types.h"

namespace platform {

// S_OK for a thread's first initialisation, S_FALSE for a nested one.
HRESULT CoInitialize(void* reserved);
// Undoes one CoInitialize of the calling thread; extra calls are ignored.
void CoUninitialize();
// Current nesting depth on the calling thread (for tests and checks).
int CoInitializeDepth();

}  // namespace platform
