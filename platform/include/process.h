// The C runtime's thread start, as the module uses it.
#pragma once

#include "windef.h"

// Starts `start` on a new, detached thread; (uintptr_t)-1 when no thread can be made. The
// answer is not a handle to close or wait on.
extern "C" uintptr_t _beginthread(void(__cdecl* start)(void*), unsigned stackSize, void* argument);
