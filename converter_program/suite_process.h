// Starting the office suite's own program (soffice.bin, not its start
// script) as a child of this process.
//
// The child stays in this process's process group, so the plug-in, which
// kills the converter's whole group, kills the suite with it; and it gets
// SIGKILL as its parent-death signal, so it also ends within moments when
// only the converter is killed. It receives no descriptor but its standard
// ones: stdin from /dev/null, stdout and stderr appended to logPath.
// SIGPIPE and the signal mask are back to their defaults in it.
//
// REQUIRES: the calling process is single-threaded (the parent-death signal
// belongs to the thread that forks).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Returns the child's pid once the program has been executed, or -1 with
// errno set when it could not be (no child is left behind then). The caller
// reaps the child.
pid_t spawnSuite(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment, const std::string& logPath);

// Marks every descriptor above 2 close-on-exec (the inherited pipe among
// them), so that nothing the converter holds reaches the suite.
void markAllCloseOnExec();

// Makes this process the parent of the orphans among its descendants, so
// that whatever a killed suite started is left to this process to end.
// Call before the first suite starts.
void adoptOrphans();

// Kills the descendants of this process that are in its process group
// (suites and whatever they started; the office suite service has a session
// of its own and stays) and reaps them, so that none outlives the
// conversion. Waits at most about two seconds.
void endSuiteLeftovers();
