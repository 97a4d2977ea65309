#include "storage/drw_file.h"

#include <unistd.h>

#include <string>

#include "platform/qv_file_operations.h"

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

FILE* CDRWFile::open() {
    if (mFile == nullptr) {
        mFile = std::fopen(mTmpPath.c_str(), "w");
    }
    return mFile;
}

bool CDRWFile::close() {
    if (!prepare() || !commit()) {
        return false;
    }
    // The content stands under the target now; a failing directory sync only
    // leaves the rename to the file system's own schedule.
    std::string path = mPath.c_str();
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    QVFileOperations::syncDirectory(dir.c_str());
    return true;
}

bool CDRWFile::prepare() {
    if (mFile == nullptr) {
        return false;
    }
    if (std::fflush(mFile) != 0 || !QVFileOperations::syncFile(fileno(mFile))) {
        return false;
    }
    FILE* file = mFile;
    mFile = nullptr;
    return std::fclose(file) == 0;
}

bool CDRWFile::commit() {
    // rename() replaces an existing target atomically. Deleting the target
    // first would open a window in which a crash leaves no file at all.
    return QVFileOperations::rename(mTmpPath.c_str(), mPath.c_str());
}
