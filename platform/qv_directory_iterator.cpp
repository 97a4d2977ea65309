#include "platform/qv_directory_iterator.h"

#include "platform/qv_assert.h"

CQVDirectoryIterator::CQVDirectoryIterator(const CQVString& path) {
    std::error_code error;
    mEntries = std::filesystem::directory_iterator(path.c_str(), error);
    takeName();
}

CQVDirectoryIterator& CQVDirectoryIterator::operator++() {
    if (!atEnd()) {
        std::error_code error;
        mEntries.increment(error);
        if (error) mEntries = std::filesystem::directory_iterator();
        takeName();
    }
    return *this;
}

const CQVString& CQVDirectoryIterator::operator*() const {
    QV_ASSERT(!atEnd());
    return mName;
}

void CQVDirectoryIterator::takeName() {
    mName = atEnd() ? CQVString() : CQVString(mEntries->path().filename().c_str());
}
