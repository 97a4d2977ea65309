// md5_bench: MD5 throughput of CHashMD5 against the system's md5sum on the
// same 256 MiB of bytes, printed as a ratio (higher is better; 1.0 means as
// fast as md5sum). Both read the bytes from the same file, which is in the
// page cache after it has been written, so both pay the same read cost.
//
// Usage: md5_bench [directory for the temporary file, default /tmp]

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "storage/hash_md5.h"

namespace {

const size_t kTotal = 256u * 1024u * 1024u;
const size_t kChunk = 64u * 1024u;

double now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string hex(const unsigned char (&digest)[16]) {
    std::string out;
    char two[3];
    for (unsigned char byte : digest) {
        std::snprintf(two, sizeof(two), "%02x", byte);
        out += two;
    }
    return out;
}

bool writeTestFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror("fopen");
        return false;
    }
    std::vector<unsigned char> chunk(kChunk);
    UInt32 x = 0x12345678;
    for (size_t written = 0; written < kTotal; written += kChunk) {
        for (unsigned char& byte : chunk) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            byte = static_cast<unsigned char>(x);
        }
        if (std::fwrite(chunk.data(), 1, kChunk, file) != kChunk) {
            std::perror("fwrite");
            std::fclose(file);
            return false;
        }
    }
    return std::fclose(file) == 0;
}

// Digest of the file with CHashMD5; seconds taken in *seconds.
std::string ourDigest(const std::string& path, double* seconds) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "";
    }
    std::vector<unsigned char> chunk(kChunk);
    CHashMD5 hash;
    double start = now();
    hash.md5_starts();
    size_t got;
    while ((got = std::fread(chunk.data(), 1, kChunk, file)) > 0) {
        hash.md5_update(chunk.data(), static_cast<unsigned int>(got));
    }
    unsigned char digest[16];
    hash.md5_finish(digest);
    *seconds = now() - start;
    std::fclose(file);
    return hex(digest);
}

// Digest printed by md5sum run as a child process; wall time in *seconds.
std::string md5sumDigest(const std::string& path, double* seconds) {
    std::string command = "md5sum '" + path + "'";
    double start = now();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "";
    }
    char line[256] = {0};
    char* read = std::fgets(line, sizeof(line), pipe);
    int status = ::pclose(pipe);
    *seconds = now() - start;
    if (read == nullptr || status != 0) {
        return "";
    }
    return std::string(line, strnlen(line, 32));
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string path = dir + "/md5_bench_" + std::to_string(getpid()) + ".bin";
    if (!writeTestFile(path)) {
        ::unlink(path.c_str());
        return 1;
    }
    // Warm the page cache for both readers.
    double ignored = 0;
    ourDigest(path, &ignored);

    double oursSeconds = 0;
    double theirsSeconds = 0;
    std::string ours = ourDigest(path, &oursSeconds);
    std::string theirs = md5sumDigest(path, &theirsSeconds);
    ::unlink(path.c_str());

    if (theirs.empty()) {
        std::fprintf(stderr, "md5sum did not run\n");
        return 1;
    }
    const double mib = static_cast<double>(kTotal) / (1024.0 * 1024.0);
    std::printf("bytes:    %zu\n", kTotal);
    std::printf("CHashMD5: %s  %.3f s  %.1f MiB/s\n", ours.c_str(), oursSeconds, mib / oursSeconds);
    std::printf("md5sum:   %s  %.3f s  %.1f MiB/s\n", theirs.c_str(), theirsSeconds,
                mib / theirsSeconds);
    std::printf("ratio (CHashMD5 / md5sum throughput): %.2f\n", theirsSeconds / oursSeconds);
    if (ours != theirs) {
        std::fprintf(stderr, "digests differ\n");
        return 1;
    }
    return 0;
}
