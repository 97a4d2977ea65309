// TQVScopedArray<T>: sole owner of an array made with new[]; the array is
// deleted with delete[] when the owner goes or is reset. Not copyable.
// Indexing is unchecked, like a raw array. Not synchronised.
#pragma once

#include <cstddef>

template <typename T>
class TQVScopedArray {
public:
    explicit TQVScopedArray(T* array = nullptr) : mArray(array) {}
    ~TQVScopedArray() { delete[] mArray; }

    TQVScopedArray(const TQVScopedArray&) = delete;
    TQVScopedArray& operator=(const TQVScopedArray&) = delete;

    // Deletes the current array and owns array instead.
    void reset(T* array = nullptr) {
        if (array != mArray) {
            delete[] mArray;
            mArray = array;
        }
    }
    // Gives up ownership without deleting.
    T* release() {
        T* array = mArray;
        mArray = nullptr;
        return array;
    }

    T* get() const { return mArray; }
    T& operator[](std::size_t i) const { return mArray[i]; }
    bool isNull() const { return mArray == nullptr; }

private:
    T* mArray;
};
