#include "platform/qv_operating_system.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace QVOperatingSystem {

Int32 getCurrentPID() { return static_cast<Int32>(getpid()); }

Int32 getCurrentTID() { return static_cast<Int32>(syscall(SYS_gettid)); }

}  // namespace QVOperatingSystem

namespace QVMemory {

void* allocChecked(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        std::fprintf(stderr, "fatal: out of memory allocating %zu bytes\n", size);
        std::abort();
    }
    return block;
}

void release(void* block) { std::free(block); }

}  // namespace QVMemory
