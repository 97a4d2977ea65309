// md5_bench: MD5 throughput of CHashMD5 against the system's md5sum on the
// same 256 MiB of bytes, printed as a ratio (higher is better; 1.0 means as
// fast as md5sum). Both read the bytes from the same file, which is in the
// page cache after it has been written, so both pay the same read cost.
// Five rounds alternate the two; the medians of the CPU times (user +
// system; of this thread, respectively of the md5sum process) make the
// ratio, which other work on a busy machine hardly moves. Wall times are
// printed too.
//
// Usage: md5_bench [directory for the temporary file, default /tmp]

#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "storage/hash_md5.h"

namespace {

const size_t kTotal = 256u * 1024u * 1024u;
const size_t kChunk = 64u * 1024u;
const int kRounds = 5;

double clockSeconds(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double now() { return clockSeconds(CLOCK_MONOTONIC); }

// User + system time of the waited-for children so far.
double childrenCpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

// Digest of the file with CHashMD5; wall and CPU seconds taken.
std::string ourDigest(const std::string& path, double* seconds, double* cpuSeconds) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "";
    }
    std::vector<unsigned char> chunk(kChunk);
    CHashMD5 hash;
    double start = now();
    double cpuStart = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    hash.md5_starts();
    size_t got;
    while ((got = std::fread(chunk.data(), 1, kChunk, file)) > 0) {
        hash.md5_update(chunk.data(), static_cast<unsigned int>(got));
    }
    unsigned char digest[16];
    hash.md5_finish(digest);
    *seconds = now() - start;
    *cpuSeconds = clockSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
    std::fclose(file);
    return hex(digest);
}

// Digest printed by md5sum run as a child process; its wall and CPU time
// (the shell popen starts included).
std::string md5sumDigest(const std::string& path, double* seconds, double* cpuSeconds) {
    std::string command = "exec md5sum '" + path + "'";
    double start = now();
    double cpuStart = childrenCpuSeconds();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "";
    }
    char line[256] = {0};
    char* read = std::fgets(line, sizeof(line), pipe);
    int status = ::pclose(pipe);
    *seconds = now() - start;
    *cpuSeconds = childrenCpuSeconds() - cpuStart;
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
    ourDigest(path, &ignored, &ignored);

    std::vector<double> oursWall, oursCpu, theirsWall, theirsCpu;
    std::string ours, theirs;
    for (int round = 0; round < kRounds; ++round) {
        double wall = 0, cpu = 0;
        ours = ourDigest(path, &wall, &cpu);
        oursWall.push_back(wall);
        oursCpu.push_back(cpu);
        theirs = md5sumDigest(path, &wall, &cpu);
        theirsWall.push_back(wall);
        theirsCpu.push_back(cpu);
        if (theirs.empty()) break;
    }
    ::unlink(path.c_str());

    if (theirs.empty()) {
        std::fprintf(stderr, "md5sum did not run\n");
        return 1;
    }
    const double mib = static_cast<double>(kTotal) / (1024.0 * 1024.0);
    const double oursSeconds = median(oursCpu);
    const double theirsSeconds = median(theirsCpu);
    std::printf("bytes:    %zu, medians of %d rounds, CPU time (wall time)\n", kTotal, kRounds);
    std::printf("CHashMD5: %s  %.3f s (%.3f s)  %.1f MiB/s\n", ours.c_str(), oursSeconds, median(oursWall),
                mib / oursSeconds);
    std::printf("md5sum:   %s  %.3f s (%.3f s)  %.1f MiB/s\n", theirs.c_str(), theirsSeconds, median(theirsWall),
                mib / theirsSeconds);
    std::printf("ratio (CHashMD5 / md5sum throughput): %.2f (wall %.2f)\n", theirsSeconds / oursSeconds,
                median(theirsWall) / median(oursWall));
    if (ours != theirs) {
        std::fprintf(stderr, "digests differ\n");
        return 1;
    }
    return 0;
}
