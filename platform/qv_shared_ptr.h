// TQVSharedPtr<T, Policy>: reference-counted ownership of one object.
//
// The last owner to let go hands the object to Policy::destroy(T*), which is
// never called with null. The count is atomic: copies of one shared pointer
// may be made, assigned and destroyed on different threads at the same time,
// as long as no single TQVSharedPtr object is written by one thread while
// another thread reads or writes that same object. The pointee itself is not
// protected.
//
// Policies shipped here: TQVOperatorDeleteDeletionPolicy (delete, the
// default), TQVArrayDeleteDeletionPolicy (delete[]); safe_dir.h adds
// QVPrivate::CQVDirectoryCloserPolicy for directory handles.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "platform/qv_assert.h"
#include "platform/qv_types.h"

template <typename T>
struct TQVOperatorDeleteDeletionPolicy {
    static void destroy(T* object) { delete object; }
};

template <typename T>
struct TQVArrayDeleteDeletionPolicy {
    static void destroy(T* array) { delete[] array; }
};

template <typename T, typename Policy = TQVOperatorDeleteDeletionPolicy<T> >
class TQVSharedPtr {
public:
    TQVSharedPtr() : mObject(nullptr), mCount(nullptr) {}
    // Takes ownership of object (null gives an empty pointer). Running out
    // of memory for the count is fatal, as for QVMemory::allocChecked.
    explicit TQVSharedPtr(T* object) : mObject(object), mCount(nullptr) {
        if (object != nullptr) {
            mCount = new (std::nothrow) std::atomic<UInt32>(1);
            if (mCount == nullptr) {
                QVAssertions::fail("out of memory for a shared pointer count", __FILE__, __LINE__);
            }
        }
    }
    TQVSharedPtr(const TQVSharedPtr& other) : mObject(other.mObject), mCount(other.mCount) {
        if (mCount != nullptr) {
            mCount->fetch_add(1, std::memory_order_relaxed);
        }
    }
    TQVSharedPtr(TQVSharedPtr&& other) noexcept : mObject(other.mObject), mCount(other.mCount) {
        other.mObject = nullptr;
        other.mCount = nullptr;
    }
    ~TQVSharedPtr() { release(); }

    TQVSharedPtr& operator=(TQVSharedPtr other) noexcept {
        swap(other);
        return *this;
    }

    // Lets go of the current object and takes ownership of object.
    void reset(T* object = nullptr) { TQVSharedPtr(object).swap(*this); }

    void swap(TQVSharedPtr& other) noexcept {
        std::swap(mObject, other.mObject);
        std::swap(mCount, other.mCount);
    }

    T* get() const { return mObject; }
    T* operator->() const { return mObject; }
    T& operator*() const { return *mObject; }
    bool isNull() const { return mObject == nullptr; }
    explicit operator bool() const { return mObject != nullptr; }

    // Number of owners (0 when empty). Only a snapshot when other threads
    // hold copies.
    UInt32 useCount() const {
        return mCount == nullptr ? 0 : mCount->load(std::memory_order_acquire);
    }

    bool operator==(const TQVSharedPtr& other) const { return mObject == other.mObject; }
    bool operator!=(const TQVSharedPtr& other) const { return mObject != other.mObject; }

private:
    void release() {
        std::atomic<UInt32>* count = mCount;
        T* object = mObject;
        mObject = nullptr;
        mCount = nullptr;
        // acq_rel: the last owner must see every write the others made
        // before they let go.
        if (count != nullptr && count->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            destroyLast(count, object);
        }
    }

    // Out of line: inlined into loops of copies, the delete makes GCC warn
    // that the count of a later copy (a different block) may be freed.
    __attribute__((noinline)) static void destroyLast(std::atomic<UInt32>* count, T* object) {
        delete count;
        Policy::destroy(object);
    }

    T* mObject;
    std::atomic<UInt32>* mCount;
};
