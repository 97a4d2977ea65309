// Received documents in the working area are claimed by the process that
// receives them: it holds an advisory lock (flock) on the file for as long
// as the document lives. The kernel drops the lock with the process, so the
// eviction pass tells a document that some instance is still receiving or
// converting from one a crashed or killed process left behind, without any
// change to the file names.
//
// A flock belongs to an open file description: other descriptors of the
// file, opened and closed in the same process (the document's stdio stream,
// the converter's copy), never release it, and a claim conflicts with a
// test from any other description, in this process or another.
//
// Any thread may call these.
#pragma once

namespace NWorkingFile {

// Creates path, which must not exist yet, and claims it. Returns the
// descriptor that holds the claim (read and write, close-on-exec): the
// claim lasts until it is closed. -1 with errno set when the file cannot
// be created and claimed.
int createClaimed(const char* path);

// Removes path when no process claims it, holding the claim meanwhile so
// that nobody claims it in between. True when it was removed.
bool removeUnclaimed(const char* path);

}  // namespace NWorkingFile
