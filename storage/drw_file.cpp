#include "storage/drw_file.h"

#include <unistd.h>

namespace {

const size_t kCopyBlock = 1024;

// Copies the rest of from into to; true when from was read to its end.
bool copyStream(FILE* from, FILE* to) {
    char block[kCopyBlock];
    size_t written = 0;
    do {
        size_t got = std::fread(block, 1, sizeof(block), from);
        written = std::fwrite(block, 1, got, to);
        if (written != got) {
            return false;
        }
    } while (written == sizeof(block));
    return std::feof(from) != 0 && std::ferror(from) == 0;
}

}  // namespace

CDRWFile::CDRWFile(const char* path, const char* tmpPath)
    : mPath(path), mTmpPath(tmpPath), mFile(nullptr) {}

CDRWFile::~CDRWFile() {
    if (mFile != nullptr) {
        close();
        if (mFile != nullptr) {
            // The sync failed; the stream must not outlive its owner.
            std::fclose(mFile);
            mFile = nullptr;
        }
    }
}

FILE* CDRWFile::open(bool truncate) {
    if (mFile != nullptr) {
        return mFile;
    }
    if (truncate) {
        mFile = std::fopen(mTmpPath.c_str(), "w");
        return mFile;
    }

    FILE* tmp = std::fopen(mTmpPath.c_str(), "w+");
    FILE* old = std::fopen(mPath.c_str(), "r");
    if (old == nullptr) {
        if (tmp != nullptr) {
            std::fclose(tmp);
            ::unlink(mTmpPath.c_str());
        }
        return nullptr;
    }
    if (tmp == nullptr) {
        std::fclose(old);
        return nullptr;
    }
    bool copied = copyStream(old, tmp);
    std::fclose(old);
    if (!copied || std::fflush(tmp) != 0 || ::fsync(fileno(tmp)) != 0) {
        std::fclose(tmp);
        ::unlink(mTmpPath.c_str());
        return nullptr;
    }
    mFile = tmp;
    return mFile;
}

bool CDRWFile::close() {
    if (mFile == nullptr) {
        return false;
    }
    if (std::fflush(mFile) != 0 || ::fsync(fileno(mFile)) != 0) {
        return false;
    }
    FILE* file = mFile;
    mFile = nullptr;
    if (std::fclose(file) != 0) {
        return false;
    }
    // rename() replaces an existing target atomically. Deleting the target
    // first would open a window in which a crash leaves no file at all.
    return ::rename(mTmpPath.c_str(), mPath.c_str()) == 0;
}
