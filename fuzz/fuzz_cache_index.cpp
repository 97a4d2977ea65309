// Fuzzes the cache index as read from disk: cache.db and cache_checksum with
// arbitrary contents, then the operations that act on the records read
// (lookup by digest, eviction).
//
// Input: byte 0 is a mode, byte 1 the length n of the checksum file's
// content, the next n bytes that content, the rest cache.db. Mode bit 0 set:
// the checksum file is replaced by the true MD5 of cache.db, so that the
// records themselves are used rather than the cache cleared. Bit 1 set: the
// lookup asks for the first record's digest, else for a digest from the
// input's tail.
//
// Everything happens in a private data directory under /dev/shm and under a
// private shared-memory name, removed at exit.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "params/office_params_base.h"
#include "platform/qv_file_operations.h"
#include "storage/hash_md5.h"
#include "storage/storage_manager.h"

namespace {

std::string gRoot;
std::string gShmName;
CStorageManager* gManager = nullptr;

void removeAll() {
    if (!gRoot.empty()) QVFileOperations::recursiveRemove(gRoot.c_str());
    if (!gShmName.empty()) unlink(gShmName.c_str());
}

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = size == 0 || std::fwrite(data, size, 1, file) == 1;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // On tmpfs: every index write is synced, which on a disk would hold the
    // target to a few hundred runs a second.
    char pattern[] = "/dev/shm/rrz_fuzz_cache_XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    gRoot = pattern;
    std::string prefix = "rrz-fuzz-" + std::to_string(getpid()) + "-";
    setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
    gShmName = "/dev/shm/" + prefix + CStorageManager::sShMemName;
    setenv("OFFICE_PLUGINS_DATA", (gRoot + "/data").c_str(), 1);
    COfficeParamsBase::getInstance();
    atexit(removeAll);
    gManager = new CStorageManager;
    if (!gManager->init()) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t mode = data[0];
    std::size_t checksumLength = data[1];
    data += 2;
    size -= 2;
    if (checksumLength > size) checksumLength = size;
    const std::uint8_t* checksum = data;
    const std::uint8_t* db = data + checksumLength;
    const std::size_t dbSize = size - checksumLength;

    std::string converted = gManager->getConvertedDir().c_str();
    // A cleared cache from the last input may have no directory yet.
    mkdir(converted.c_str(), 0777);
    if (!writeFile(converted + "/cache.db", db, dbSize)) abort();
    if (mode & 1) {
        CHashMD5 hash;
        hash.md5_starts();
        const std::size_t whole = dbSize - dbSize % CStorageManager::CacheEntry::RECORD_SIZE;
        hash.md5_update(db, static_cast<unsigned int>(whole));
        UInt8 digest[16];
        hash.md5_finish(digest);
        CQVString hex = CStorageManager::md5ToString(digest);
        if (!writeFile(converted + "/cache_checksum", reinterpret_cast<const std::uint8_t*>(hex.c_str()),
                       hex.length()))
            abort();
    } else if (!writeFile(converted + "/cache_checksum", checksum, checksumLength)) {
        abort();
    }

    TQVVector<CStorageManager::CacheEntry> list;
    gManager->readCache(list);
    for (int i = 0; i < list.size(); ++i) {
        // Parsed entry points are always terminated within their field.
        if (std::memchr(list.get(i).entryPoint, 0, sizeof(list.get(i).entryPoint)) == nullptr) abort();
    }

    UInt8 wanted[16] = {0};
    if ((mode & 2) && dbSize >= 16) {
        std::memcpy(wanted, db, 16);
    } else if (size >= 16) {
        std::memcpy(wanted, data + size - 16, 16);
    }
    CQVString path;
    gManager->findDocumentInCache(wanted, path);
    // Eviction of everything recorded, then of what a big document needs.
    gManager->squeezeCache(static_cast<UInt32>(mode) << 20);
    return 0;
}
