#include "platform/qv_path.h"

CQVString CQVPath::getLeaf() const {
    const char* begin = mPath.begin();
    const char* end = mPath.end();
    while (end > begin && end[-1] == '/') {
        --end;
    }
    if (end == begin) {
        return mPath.isEmpty() ? CQVString() : CQVString("/");
    }
    const char* start = end;
    while (start > begin && start[-1] != '/') {
        --start;
    }
    return CQVString(start, static_cast<UInt32>(end - start));
}
