// Starting a program as the leader of a process group of its own.
//
// Called from any thread. Nothing here allocates between fork and exec, so
// it is safe in a process with many threads.
#pragma once

#include "platform/qv_types.h"

namespace NConverterProcess {

// Runs path with the null-terminated argument vector argv (argv[0] included)
// and the caller's environment, without a shell, as the leader of a new
// process group whose id is the returned process id. Ignored signals and the
// signal mask are reset to their defaults in the child.
//
// inheritedFd >= 0: that descriptor is opened in the child with its
// close-on-exec flag cleared, and every other descriptor above 2 is closed
// there. inheritedFd -1: the child keeps what is not close-on-exec.
//
// Returns the process id once the program has been executed, or -1 with
// errno set when the child could not be created or the program could not be
// executed (no child is left behind then). The caller must reap the child.
Int32 spawnGroupLeader(const char* path, char* const argv[], int inheritedFd);

// Waits for the child pid to end and reaps it (retrying on EINTR).
void reap(Int32 pid);

}  // namespace NConverterProcess
