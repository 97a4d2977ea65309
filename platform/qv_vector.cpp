#include "platform/qv_vector.h"

#include <cstdio>

#include "platform/qv_assert.h"

namespace QVVectorAssertions {

void indexOutOfRange(int index, int size) {
    char message[96];
    std::snprintf(message, sizeof(message), "TQVVector index %d out of range (size %d)", index,
                  size);
    QVAssertions::fail(message, __FILE__, __LINE__);
}

}  // namespace QVVectorAssertions
