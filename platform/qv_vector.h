// TQVVector<T>: a growable array of values over std::vector.
//
// Indices are int, 0-based. An index out of range (get, erase) is a
// programming error: QVVectorAssertions stops the process with a message on
// stderr; callers check size() first. References and iterators stay valid
// until the vector is modified; the iterators are std::vector's, so the
// standard algorithms and range-for apply. Not synchronised: one writer at a
// time, and no reader while it writes.
#pragma once

#include <cstddef>
#include <vector>

namespace QVVectorAssertions {
// Reports an index outside [0, size) and aborts.
[[noreturn]] void indexOutOfRange(int index, int size);
}

template <typename T>
class TQVVector {
public:
    typedef typename std::vector<T>::iterator iterator;
    typedef typename std::vector<T>::const_iterator const_iterator;

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
    void clear() { mItems.clear(); }

    iterator begin() { return mItems.begin(); }
    iterator end() { return mItems.end(); }
    const_iterator begin() const { return mItems.begin(); }
    const_iterator end() const { return mItems.end(); }

private:
    void check(int i) const {
        if (i < 0 || i >= size()) {
            QVVectorAssertions::indexOutOfRange(i, size());
        }
    }

    std::vector<T> mItems;
};
