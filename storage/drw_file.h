// CDRWFile: a file written under a temporary name that replaces its target
// only when the write is committed.
//
// open() returns a stdio stream on the temporary file; the caller writes
// through it; close() syncs the temporary file to the disk, renames it over
// the target and syncs the target's directory. A reader opening the target
// therefore sees either the complete old content or the complete new
// content, never a half-written file, also after a power loss. Callers that
// commit several files as one step use prepare() on each, then commit() on
// each, then sync the directory themselves.
//
// Neither locks nor logs: callers hold whatever lock guards the target and
// log the failures (errno is left as the failing call set it). One object is
// used by one thread at a time.
#pragma once

#include <cstdio>

#include "platform/qv_string.h"

class CDRWFile {
public:
    // Only stores the paths; tmpPath is where the new content is written
    // (every caller passes path + ".new").
    CDRWFile(const char* path, const char* tmpPath);
    // A stream still open is committed as close() does.
    virtual ~CDRWFile();

    CDRWFile(const CDRWFile&) = delete;
    CDRWFile& operator=(const CDRWFile&) = delete;

    // The stream of the temporary file, emptied, or null. An already open
    // stream is returned as it is.
    virtual FILE* open();
    // Syncs, closes and renames the temporary file over the target. True
    // exactly when the new content now stands under the target path. False
    // with no open stream; when the sync fails the stream stays open; when
    // the close or the rename fails the temporary file is left behind and is
    // overwritten by the next truncating open.
    virtual bool close();
    // The first half of close(): syncs and closes the temporary file, which
    // then holds the new content durably but does not stand under the
    // target yet. False (the stream kept open) when the sync fails, false
    // when the close fails.
    bool prepare();
    // The second half: renames the prepared temporary file over the target.
    // Durable once the directory is synced.
    bool commit();

private:
    CQVString mPath;
    CQVString mTmpPath;
    FILE* mFile;
};
