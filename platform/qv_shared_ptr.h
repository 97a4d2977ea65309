// TQVSharedPtr<T, Policy>: reference-counted ownership of one object, a
// std::shared_ptr whose last owner hands the object to Policy::destroy(T*)
// (never called with null; the default policy deletes it).
//
// As for std::shared_ptr: copies of one pointer may be made, assigned and
// destroyed on different threads at the same time, as long as no single
// TQVSharedPtr object is written by one thread while another thread uses
// that same object. The pointee itself is not protected.
#pragma once

#include <memory>

template <typename T>
struct TQVOperatorDeleteDeletionPolicy {
    static void destroy(T* object) { delete object; }
};

template <typename T, typename Policy = TQVOperatorDeleteDeletionPolicy<T> >
class TQVSharedPtr {
public:
    TQVSharedPtr() = default;
    // Takes ownership of object; null gives an empty pointer.
    explicit TQVSharedPtr(T* object) { reset(object); }

    // Lets go of the current object and takes ownership of object.
    void reset(T* object = nullptr) {
        if (object == nullptr) {
            mOwner.reset();
        } else {
            mOwner.reset(object, [](T* owned) { Policy::destroy(owned); });
        }
    }

    T* get() const { return mOwner.get(); }
    T* operator->() const { return mOwner.get(); }
    T& operator*() const { return *mOwner; }
    bool isNull() const { return !mOwner; }
    explicit operator bool() const { return static_cast<bool>(mOwner); }

    bool operator==(const TQVSharedPtr& other) const { return mOwner == other.mOwner; }
    bool operator!=(const TQVSharedPtr& other) const { return mOwner != other.mOwner; }

private:
    std::shared_ptr<T> mOwner;
};
