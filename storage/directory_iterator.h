// TQVBasicDirectoryIterator: an input iterator over the names in one
// directory, "." and ".." left out, in the order the file system gives them.
//
//   for (CQVDirectoryIterator it(CQVPath(dir)), end; it != end; ++it)
//       use(it->getString());   // the entry's leaf name
//
// Construction from a path opens the directory and positions on the first
// entry; a directory that cannot be opened (or read) gives an iterator that
// is at its end at once. The default-constructed iterator is the end.
//
// Copies share the directory handle (the last copy closes it): advancing
// one copy moves the others' next entry too, as for any input iterator.
// Each copy has its own entry buffer, so a copy keeps the name it had.
//
// Dereferencing an iterator at its end is a programming error and stops the
// process (QV_ASSERT). Neither locks nor logs; one iterator (and its copies)
// is used by one thread at a time.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/qv_assert.h"
#include "platform/qv_operating_system.h"
#include "platform/qv_path.h"
#include "platform/qv_shared_ptr.h"
#include "platform/safe_dir.h"

// How the iterator reads one entry.
struct CQVDirTraits32 {
    static int readdir_r(DIR* dir, struct dirent* entry, struct dirent** result) {
        return tamarix_qnx_safe_readdir_r(dir, entry, result);
    }
};

template <typename Path, typename Traits>
class TQVBasicDirectoryIterator {
public:
    typedef TQVSharedPtr<DIR, QVPrivate::CQVDirectoryCloserPolicy> DirHandle;

    TQVBasicDirectoryIterator() : mBufferSize(0), mBuffer(nullptr), mCurrent(nullptr) {}

    explicit TQVBasicDirectoryIterator(const Path& path)
        : mDir(tamarix_qnx_safe_opendir(path.c_str())),
          mBufferSize(entryBufferSize(path.c_str())),
          mBuffer(allocBuffer(mBufferSize)),
          mCurrent(nullptr) {
        if (!mDir.isNull()) {
            advance();
        }
    }

    TQVBasicDirectoryIterator(const TQVBasicDirectoryIterator& other)
        : mDir(other.mDir),
          mBufferSize(other.mBufferSize),
          mBuffer(copyBuffer(other.mBuffer, other.mBufferSize)),
          mCurrent(other.mCurrent != nullptr ? reinterpret_cast<struct dirent*>(mBuffer) : nullptr),
          mName(other.mName) {}

    TQVBasicDirectoryIterator& operator=(const TQVBasicDirectoryIterator& other) {
        if (this != &other) {
            TQVBasicDirectoryIterator copy(other);
            swap(copy);
        }
        return *this;
    }

    ~TQVBasicDirectoryIterator() { QVMemory::release(mBuffer); }

    TQVBasicDirectoryIterator& operator++() {
        if (mCurrent != nullptr) {
            advance();
        }
        return *this;
    }

    // The current entry's leaf name.
    const Path* operator->() const {
        QV_ASSERT(mCurrent != nullptr);
        return &mName;
    }
    const Path& operator*() const {
        QV_ASSERT(mCurrent != nullptr);
        return mName;
    }

    bool atEnd() const { return mCurrent == nullptr; }

    // Same handle: equal when the current names are equal (at the end the
    // name is empty). Different handles: equal only when both are at the end.
    bool operator==(const TQVBasicDirectoryIterator& other) const {
        if (mDir == other.mDir) {
            return currentName() == other.currentName();
        }
        return atEnd() && other.atEnd();
    }
    bool operator!=(const TQVBasicDirectoryIterator& other) const { return !(*this == other); }

private:
    static std::size_t entryBufferSize(const char* path) {
        long nameMax = ::pathconf(path, _PC_NAME_MAX);
        std::size_t size = nameMax > 0 ? static_cast<std::size_t>(nameMax) + 25 : 1024;
        // The entry record must hold its fixed fields and a full name.
        std::size_t least = offsetof(struct dirent, d_name) + sizeof(dirent::d_name);
        return size < least ? least : size;
    }

    static unsigned char* allocBuffer(std::size_t size) {
        unsigned char* buffer = static_cast<unsigned char*>(QVMemory::allocChecked(size));
        std::memset(buffer, 0, size);
        return buffer;
    }

    static unsigned char* copyBuffer(const unsigned char* from, std::size_t size) {
        if (from == nullptr) {
            return nullptr;
        }
        unsigned char* buffer = static_cast<unsigned char*>(QVMemory::allocChecked(size));
        std::memcpy(buffer, from, size);
        return buffer;
    }

    void swap(TQVBasicDirectoryIterator& other) {
        mDir.swap(other.mDir);
        std::swap(mBufferSize, other.mBufferSize);
        std::swap(mBuffer, other.mBuffer);
        std::swap(mCurrent, other.mCurrent);
        std::swap(mName, other.mName);
    }

    CQVString currentName() const { return mCurrent != nullptr ? mName.getString() : CQVString(); }

    void advance() {
        struct dirent* entry = reinterpret_cast<struct dirent*>(mBuffer);
        for (;;) {
            struct dirent* result = nullptr;
            if (Traits::readdir_r(mDir.get(), entry, &result) != 0 || result == nullptr) {
                mCurrent = nullptr;
                mName = Path();
                return;
            }
            const char* name = result->d_name;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
                mCurrent = result;
                mName = Path(name);
                return;
            }
        }
    }

    DirHandle mDir;
    std::size_t mBufferSize;
    unsigned char* mBuffer;
    struct dirent* mCurrent;
    Path mName;
};

typedef TQVBasicDirectoryIterator<CQVPath, CQVDirTraits32> CQVDirectoryIterator;
