// Fuzzes the cache index as read from disk (cache.db, cache_checksum), then
// lookup by digest and eviction on the records read, in a private data
// directory on tmpfs (index writes are synced) and shared-memory name.
// Input: byte 0 a mode, byte 1 the length n of the checksum file, n bytes of
// it, the rest cache.db. Mode bit 0: the checksum is replaced by the true MD5
// of cache.db's whole records, so they are used rather than cleared. Bit 1:
// look up the first record's digest, else one from the input's tail.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "params/office_params_base.h"
#include "platform/qv_file_operations.h"
#include "storage/hash_md5.h"
#include "storage/storage_manager.h"

namespace {
std::string gRoot, gShmName;
CStorageManager* gManager = nullptr;

void put(const std::string& path, const void* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size != 0 && std::fwrite(data, size, 1, file) != 1) || std::fclose(file) != 0) abort();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/dev/shm/rrz_fuzz_cache_XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    gRoot = pattern;
    std::string prefix = "rrz-fuzz-" + std::to_string(getpid()) + "-";
    setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
    gShmName = "/dev/shm/" + prefix + CStorageManager::sShMemName;
    setenv("OFFICE_PLUGINS_DATA", (gRoot + "/data").c_str(), 1);
    COfficeParamsBase::getInstance();
    atexit([] { QVFileOperations::recursiveRemove(gRoot.c_str()); unlink(gShmName.c_str()); });
    gManager = new CStorageManager;
    if (!gManager->init()) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t mode = data[0];
    const std::size_t checksumLength = data[1] < size - 2 ? data[1] : size - 2;
    const std::uint8_t* db = data + 2 + checksumLength;
    const std::size_t dbSize = size - 2 - checksumLength;
    std::string converted = gManager->getConvertedDir().c_str();
    mkdir(converted.c_str(), 0777);  // a cleared cache from the last input may have none
    put(converted + "/cache.db", db, dbSize);
    if (mode & 1) {
        CHashMD5 hash;
        hash.md5_starts();
        hash.md5_update(db, static_cast<unsigned>(dbSize - dbSize % CStorageManager::CacheEntry::RECORD_SIZE));
        UInt8 digest[16];
        hash.md5_finish(digest);
        CQVString hex = CStorageManager::md5ToString(digest);
        put(converted + "/cache_checksum", hex.c_str(), hex.length());
    } else {
        put(converted + "/cache_checksum", data + 2, checksumLength);
    }
    TQVVector<CStorageManager::CacheEntry> list;
    gManager->readCache(list);
    for (const CStorageManager::CacheEntry& entry : list) {
        // Parsed entry points are always terminated within their field.
        if (std::memchr(entry.entryPoint, 0, sizeof(entry.entryPoint)) == nullptr) abort();
    }
    UInt8 wanted[16] = {0};
    if ((mode & 2) && dbSize >= 16) std::memcpy(wanted, db, 16);
    else if (size >= 18) std::memcpy(wanted, data + size - 16, 16);
    CQVString path;
    gManager->findDocumentInCache(wanted, path);
    gManager->squeezeCache(static_cast<UInt32>(mode) << 20);  // evicts everything recorded, then for a big document
    return 0;
}
