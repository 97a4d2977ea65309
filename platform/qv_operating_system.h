// Process facts and checked memory. Any thread may call.
#pragma once

#include <cstddef>

#include "platform/qv_types.h"

namespace QVOperatingSystem {
// The process id.
Int32 getCurrentPID();
// The kernel's id of the calling thread (as in /proc/<pid>/task); equals the
// process id on the main thread.
Int32 getCurrentTID();
}

namespace QVMemory {
// size bytes of uninitialised memory, never null: when memory is exhausted
// the process stops (a line on stderr, then abort). size 0 gives a unique
// pointer that must be released too. Release with release().
void* allocChecked(std::size_t size);
// Releases a block from allocChecked; null is ignored.
void release(void* block);
}
