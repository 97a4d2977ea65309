// Process facts. Any thread may call.
#pragma once

#include "platform/qv_types.h"

namespace QVOperatingSystem {
// The process id.
Int32 getCurrentPID();
// The kernel's id of the calling thread (as in /proc/<pid>/task); equals the
// process id on the main thread.
Int32 getCurrentTID();
}
