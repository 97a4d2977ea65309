// CQVDirectoryIterator: an input iterator over the names in one directory,
// "." and ".." left out, in the order the file system gives them.
//
//   for (CQVDirectoryIterator it(dir), end; it != end; ++it)
//       use(*it);   // the entry's name, without the directory
//
// A directory that cannot be opened gives an iterator that is at its end at
// once; an error while reading ends it early. Symbolic links are listed, not
// followed. The default-constructed iterator is the end.
//
// Copies share the open directory: advancing one moves the others' next
// entry too, as for any input iterator. Dereferencing an iterator at its end
// is a programming error and stops the process (QV_ASSERT). Neither locks
// nor logs; one iterator (and its copies) is used by one thread at a time.
#pragma once

#include <filesystem>

#include "platform/qv_string.h"

class CQVDirectoryIterator {
public:
    CQVDirectoryIterator() = default;
    explicit CQVDirectoryIterator(const CQVString& path);

    CQVDirectoryIterator& operator++();
    const CQVString& operator*() const;
    const CQVString* operator->() const { return &**this; }

    bool atEnd() const { return mEntries == std::filesystem::directory_iterator(); }
    // Equal when both are at their end, or when they share one directory.
    bool operator==(const CQVDirectoryIterator& other) const { return mEntries == other.mEntries; }
    bool operator!=(const CQVDirectoryIterator& other) const { return !(*this == other); }

private:
    void takeName();

    std::filesystem::directory_iterator mEntries;
    CQVString mName;
};
