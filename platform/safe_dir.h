// Directory reading that is safe with several threads.
//
// The C library's readdir_r is deprecated; tamarix_qnx_safe_readdir_r keeps
// its interface but reads with readdir and copies the entry into the
// caller's buffer. readdir is safe when each DIR handle is used by one
// thread at a time, which the caller guarantees; different handles may be
// read on different threads at once.
//
// The handle type is DIR (struct _dir on some platforms).
#pragma once

#include <dirent.h>

// opendir: the handle, or null with errno set.
DIR* tamarix_qnx_safe_opendir(const char* path);

// Reads the next entry into entry and sets *result = entry. At the end of
// the directory returns 0 with *result = null. On error returns the error
// number (also left in errno) with *result = null.
// REQUIRES: entry has room for offsetof(dirent, d_name) + NAME_MAX + 1 bytes
// (pathconf(path, _PC_NAME_MAX) + 25 is enough); only the bytes up to the
// name's terminator are written.
int tamarix_qnx_safe_readdir_r(DIR* dir, struct dirent* entry, struct dirent** result);

// closedir: 0, or -1 with errno set. null is ignored (returns 0).
int tamarix_qnx_safe_closedir(DIR* dir);

namespace QVPrivate {
// Shared-pointer policy that closes a directory handle:
// TQVSharedPtr<DIR, QVPrivate::CQVDirectoryCloserPolicy>.
struct CQVDirectoryCloserPolicy {
    static void destroy(DIR* dir) { tamarix_qnx_safe_closedir(dir); }
};
}
