// What the kernel tells of one process, read from /proc/<pid>/stat.
#pragma once

#include <sys/types.h>

struct tProcessStatus {
    char state;    // 'R', 'S', ..., 'Z' for a zombie nobody has reaped yet
    pid_t parent;
    pid_t group;
};

// False when the process is gone (or /proc cannot be read).
bool readProcessStatus(pid_t pid, tProcessStatus& status);
