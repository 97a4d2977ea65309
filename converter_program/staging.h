// The file-tree work of one conversion: a private work directory beside the
// output, the size of what the suite has written so far, moving the result
// into place and removing what is left.
//
// Symbolic links are never followed: they count with their own size, are
// moved as links and removed as links. All functions set errno on failure.
#pragma once

#include <string>

namespace NStaging {

// Creates a new directory "<parent>.convert-XXXXXX" (parent ends with "/")
// with mode 0700 and returns its path with a trailing "/" in path.
bool makeWorkDir(const std::string& parent, std::string& path);

// Adds up the sizes of all files below dir (directories themselves count 0).
// Entries that vanish while counting are skipped, so it can run while the
// suite writes. False only when dir itself cannot be read.
bool treeSize(const std::string& dir, unsigned long long& size);

// Renames every entry of from into to (both on one file system), replacing
// entries of the same name. On failure names the entry in failedEntry; the
// entries moved until then stay moved.
bool moveContents(const std::string& from, const std::string& to, std::string& failedEntry);

// Removes path and everything below it. A missing path counts as removed.
bool removeTree(const std::string& path);

}  // namespace NStaging
