#include "converter/document.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "storage/working_file.h"

namespace {
const std::size_t kWriteBufferSize = 65536;
}  // namespace

CDocument::CDocument(const char* filePath)
    : mState(New),
      mFilePath(filePath),
      mClaim(-1),
      mFile(nullptr),
      mWriteBuffer(nullptr),
      mHash(nullptr),
      mMD5() {}

CDocument::~CDocument() {
    removeFile();
    delete[] mWriteBuffer;
    delete mHash;
}

void CDocument::removeFile() {
    if (mFile != nullptr) {
        std::fclose(mFile);
        mFile = nullptr;
    }
    if (mClaim >= 0) {
        // Deleted while still claimed, so the eviction pass never races us.
        if (unlink(mFilePath.c_str()) != 0) {
            QV_LOG(LogMessage::WARNING, "Can't delete file: %s", strerror(errno));
        }
        ::close(mClaim);
        mClaim = -1;
    }
}

void CDocument::discard() { removeFile(); }

bool CDocument::startWrite() {
    if (mState != New) {
        return false;
    }
    mClaim = NWorkingFile::createClaimed(mFilePath.c_str());
    int writer = mClaim < 0 ? -1 : ::fcntl(mClaim, F_DUPFD_CLOEXEC, 0);
    mFile = writer < 0 ? nullptr : ::fdopen(writer, "wb");
    if (mFile == nullptr) {
        QV_LOG(LogMessage::ERROR, "Can't open file: %s", strerror(errno));
        if (writer >= 0) {
            ::close(writer);
        }
        removeFile();
        return false;
    }
    mWriteBuffer = new char[kWriteBufferSize];
    if (std::setvbuf(mFile, mWriteBuffer, _IOFBF, kWriteBufferSize) != 0) {
        // Still correct with the default buffer, only slower.
        QV_LOG(LogMessage::WARNING, "Can't set the file buffer: %s", strerror(errno));
    }
    mHash = new CHashMD5;
    mHash->md5_starts();
    mState = Writing;
    return true;
}

Int32 CDocument::write(const void* data, Int32 length) {
    if (mState != Writing || data == nullptr || mFile == nullptr || length < 0) {
        return -1;
    }
    mHash->md5_update(static_cast<const unsigned char*>(data), static_cast<unsigned int>(length));
    std::size_t written = std::fwrite(data, 1, static_cast<std::size_t>(length), mFile);
    if (std::ferror(mFile) && written == 0) {
        QV_LOG(LogMessage::ERROR, "%s", strerror(errno));
        return -1;
    }
    return static_cast<Int32>(written);
}

bool CDocument::finishWrite() {
    if (mState == Written) {
        return false;
    }
    if (mFile != nullptr) {
        int closed = std::fclose(mFile);
        mFile = nullptr;
        delete[] mWriteBuffer;
        mWriteBuffer = nullptr;
        if (closed != 0) {
            QV_LOG(LogMessage::ERROR, "Can't close file: %s", strerror(errno));
            return false;
        }
        mHash->md5_finish(mMD5);
        delete mHash;
        mHash = nullptr;
    }
    mState = Written;
    return true;
}

bool CDocument::convert(const CQVString& destination, CQVString& entryPoint) {
    if (mState != Written) {
        return false;
    }
    entryPoint = mConverter.convertFile(mFilePath, destination);
    if (!mConverter.isConversionComplete()) {
        QV_LOG(LogMessage::WARNING, "conversion did not complete");
        return false;
    }
    CQVString page = destination + entryPoint;
    FILE* file = std::fopen(page.c_str(), "r");
    if (file == nullptr) {
        QV_LOG(LogMessage::WARNING, "converted document was not found");
        return false;
    }
    QV_LOG(LogMessage::MESSAGE, "converted document exists");
    std::fclose(file);
    return true;
}

void CDocument::interruptConversion() { mConverter.interrupt(); }
