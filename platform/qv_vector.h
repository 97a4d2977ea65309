// TQVVector<T>: a growable array of values.
//
// Indices are int, 0-based. An index out of range (get, erase) is a
// programming error: QVVectorAssertions stops the process with a message on
// stderr; callers check size() first. References returned by get() stay valid
// until the vector is modified. Not synchronised: one writer at a time, and
// no reader while it writes.
#pragma once

#include <cstddef>
#include <vector>

namespace QVVectorAssertions {
// Reports an index outside [0, size) (or an invalid range) and aborts.
[[noreturn]] void indexOutOfRange(int index, int size);
}

template <typename T>
class TQVVector {
public:
    TQVVector() = default;

    int size() const { return static_cast<int>(mItems.size()); }
    bool isEmpty() const { return mItems.empty(); }

    void push_back(const T& value) { mItems.push_back(value); }

    T& get(int i) {
        check(i);
        return mItems[static_cast<std::size_t>(i)];
    }
    const T& get(int i) const {
        check(i);
        return mItems[static_cast<std::size_t>(i)];
    }
    T& operator[](int i) { return get(i); }
    const T& operator[](int i) const { return get(i); }

    // Removes element i; the following ones move down by one.
    void erase(int i) {
        check(i);
        mItems.erase(mItems.begin() + i);
    }
    // Removes the elements first to last, both inclusive.
    // REQUIRES: 0 <= first <= last < size().
    void erase(int first, int last) {
        check(first);
        check(last);
        if (first > last) {
            QVVectorAssertions::indexOutOfRange(first, last + 1);
        }
        mItems.erase(mItems.begin() + first, mItems.begin() + last + 1);
    }

    void clear() { mItems.clear(); }

private:
    void check(int i) const {
        if (i < 0 || i >= size()) {
            QVVectorAssertions::indexOutOfRange(i, size());
        }
    }

    std::vector<T> mItems;
};
