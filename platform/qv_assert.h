// Fatal assertions of the framework: a broken precondition that no caller is
// allowed to produce (an index out of range, dereferencing an end iterator).
//
// The process is stopped with abort() after one line on stderr naming the
// check and its place. Nothing is logged: the logger itself is built on this
// layer and may be the component that failed. Any thread may call.
#pragma once

namespace QVAssertions {
// Writes "<file>:<line>: fatal: <message>" to stderr and aborts.
[[noreturn]] void fail(const char* message, const char* file, int line);
}

// Stops the process when condition is false; the text of the condition is
// the message. Active in every build type: these checks guard memory safety.
#define QV_ASSERT(condition)                                          \
    do {                                                              \
        if (!(condition)) {                                           \
            QVAssertions::fail("assertion failed: " #condition,       \
                               __FILE__, __LINE__);                   \
        }                                                             \
    } while (0)
