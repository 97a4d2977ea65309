#include "platform/qv_operating_system.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace QVOperatingSystem {

Int32 getCurrentPID() { return static_cast<Int32>(getpid()); }

Int32 getCurrentTID() { return static_cast<Int32>(syscall(SYS_gettid)); }

}  // namespace QVOperatingSystem
