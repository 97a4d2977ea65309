#include "platform/qv_assert.h"

#include <cstdio>
#include <cstdlib>

namespace QVAssertions {

void fail(const char* message, const char* file, int line) {
    // stderr is unbuffered; one fprintf keeps the line in one piece.
    std::fprintf(stderr, "%s:%d: fatal: %s\n", file, line, message);
    std::abort();
}

}  // namespace QVAssertions
