// File-system operations of the framework.
//
// Every operation returns true on success, else false with errno describing
// the first failure; nothing is logged here, callers log with strerror(errno).
// Any thread may call; the operations share no state. Paths are taken as
// given (relative paths are relative to the process's working directory).
#pragma once

#include <sys/stat.h>

#include "platform/qv_types.h"

// The status of one file as getFileStatus found it.
class CQVFileStatus {
public:
    CQVFileStatus() : mMode(0), mSize(0) {}

    // The file type bits (mode & S_IFMT, 0xF000): S_IFDIR 0x4000, S_IFREG
    // 0x8000, S_IFLNK 0xA000, ...
    UInt32 getType() const { return mMode & S_IFMT; }
    // Type and permission bits as st_mode holds them.
    UInt32 getMode() const { return mMode; }
    // Size in bytes (64-bit even where off_t is 32-bit).
    UInt64 getSize() const { return mSize; }

    bool isDirectory() const { return getType() == S_IFDIR; }
    bool isRegularFile() const { return getType() == S_IFREG; }
    bool isSymbolicLink() const { return getType() == S_IFLNK; }

    void set(UInt32 mode, UInt64 size) {
        mMode = mode;
        mSize = size;
    }

private:
    UInt32 mMode;
    UInt64 mSize;
};

namespace QVFileOperations {

// Fills status for path. Symbolic links are not followed: a link reports
// S_IFLNK and its own size, so walking a tree never leaves it.
bool getFileStatus(const char* path, CQVFileStatus& status);

// Creates directory path with mode (before the umask), creating missing
// parents with the same mode. Fails with EEXIST when path already exists
// (directory or not), ENOTDIR when a parent is not a directory.
bool makeDirRecursive(const char* path, UInt32 mode);

// Removes path and, for a directory, everything below it. Symbolic links
// are removed, never followed, so nothing outside the tree is touched. Files
// without write permission are removed like others (the directory's
// permission is what counts). Keeps going after a failure and removes what
// it can; the result is false with errno of the first failure. A missing
// path fails with ENOENT.
bool recursiveRemove(const char* path);

// Moves a file or directory (rename(2): same file system; an existing
// target file is replaced, an existing target directory must be empty).
// The move survives a power loss only once both directories were synced.
bool rename(const char* from, const char* to);

// Durability: a file's data survives a power loss once the file was synced,
// a name created, removed or moved in a directory once the directory was.
// syncFile syncs the open file fd (fsync); syncDirectory syncs the entries of
// directory path.
bool syncFile(int fd);
bool syncDirectory(const char* path);

// Test seam: an observer told of every rename, syncFile and syncDirectory
// just before it happens, so that a test can end a process at any step of a
// commit, or keep what a power loss would keep (what was synced). One per
// process, none by default; set it while no other thread uses these
// operations.
class ISyncObserver {
public:
    enum Step { RENAME, SYNC_FILE, SYNC_DIRECTORY };
    virtual ~ISyncObserver() {}
    // fd: SYNC_FILE's file, else -1; path: the directory, or the renamed
    // path (to: its new name), else null.
    virtual void beforeStep(Step step, int fd, const char* path, const char* to) = 0;
};
void setSyncObserver(ISyncObserver* observer);

}  // namespace QVFileOperations
