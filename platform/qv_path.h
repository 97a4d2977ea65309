// CQVPath: a file-system path as text, with access to its last component.
// No file-system access; a value like CQVString.
#pragma once

#include "platform/qv_string.h"

class CQVPath {
public:
    CQVPath() = default;
    CQVPath(const char* path) : mPath(path) {}        // NOLINT: implicit on purpose
    CQVPath(const CQVString& path) : mPath(path) {}   // NOLINT: implicit on purpose

    const CQVString& getString() const { return mPath; }
    const char* c_str() const { return mPath.c_str(); }

    // The last component: the text after the last '/', trailing '/'s
    // ignored. "a/b/c" -> "c", "/a/b/" -> "b", "c" -> "c", "/" -> "/",
    // "" -> "".
    CQVString getLeaf() const;

    bool operator==(const CQVPath& other) const { return mPath == other.mPath; }
    bool operator!=(const CQVPath& other) const { return mPath != other.mPath; }

private:
    CQVString mPath;
};
