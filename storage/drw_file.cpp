#include "storage/drw_file.h"

#include <unistd.h>

#include <string>

#include "platform/qv_file_operations.h"

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
    if (!copied || std::fflush(tmp) != 0 || !QVFileOperations::syncFile(fileno(tmp))) {
        std::fclose(tmp);
        ::unlink(mTmpPath.c_str());
        return nullptr;
    }
    mFile = tmp;
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
