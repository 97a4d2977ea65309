// Multi-process chaos: several "browser processes" (chaos_worker) convert
// many documents through the shipped library against one storage directory,
// with the converter stand-in behaving well, badly, slowly or not at all,
// while the test SIGKILLs workers, at random or while they hold the storage
// lock (inside a lookup, an eviction or a commit), and starts new ones.
// Outputs are megabytes each, so the 100 MiB cache budget is reached and
// eviction runs.
//
// Afterwards: no worker hung or blocked its plug-in thread, no converter is
// left, the storage lock can be taken, the index verifies without being
// cleared (interrupted commits are finished), every record's page is whole,
// the recorded sizes fit the budget, and after an eviction pass no directory
// is left without a record and nothing in the working area.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "params/office_params_base.h"
#include "storage/storage_lock.h"
#include "storage/storage_manager.h"
#include "tests/support/log_capture.h"
#include "tests/support/converter_stand_in.h"
#include "tests/support/files.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace test_support;

const int kWorkers = 8;
const int kDocumentsPerWorker = 10;
const int kChaosSeconds = 25;
const char kTimeLimit[] = "2";

class ChaosTest : public ::testing::Test {
protected:
    void SetUp() override {
        mRoot = mTemp.path();
        ASSERT_FALSE(mRoot.empty());
        mDocs = mRoot + "/docs";
        ASSERT_EQ(0, ::mkdir(mDocs.c_str(), 0777));
        ASSERT_EQ(0, ::mkdir((mRoot + "/run").c_str(), 0777));
        mShmPrefix = "rrz-chaos-" + std::to_string(getpid()) + "-";
        ::setenv("OFFICE_PLUGINS_DATA", (mRoot + "/data").c_str(), 1);
        ::setenv("OFFICE_PLUGINS_BIN", converterStandInDir(), 1);
        ::setenv("OFFICE_PLUGINS_TIME_LIMIT", kTimeLimit, 1);
        ::setenv("QV_SHM_PREFIX", mShmPrefix.c_str(), 1);
        ::setenv("QV_ZETA_RUNTIME_DIR", (mRoot + "/run").c_str(), 1);
        COfficeParamsBase::reload();  // for the manager this process opens
    }

    void TearDown() override {
        for (auto& worker : mRunning) ::kill(worker.first, SIGKILL);
        for (auto& worker : mRunning) ::waitpid(worker.first, nullptr, 0);
        // A failed run must not leave converters holding ctest's output.
        for (pid_t pid : standInsUnder(mRoot)) ::kill(pid, SIGKILL);
        ::unlink(("/dev/shm/" + mShmPrefix + CStorageManager::sShMemName).c_str());
    }

    void writeDocuments() {
        std::mt19937 random(12345);
        int k = 0;
        // Good conversions of 2..11 MiB after a short pause: twenty of them
        // hold far more than the budget.
        for (int i = 0; i < 20; ++i) {
            unsigned size = (2u + random() % 10u) << 20;
            addDocument(k++, "msg 0 converting " + std::to_string(i) + "\nsleep " + std::to_string(random() % 300) +
                                 "\nfill " + std::to_string(size) + "\nindex page " + std::to_string(i) + "\n");
        }
        addDocument(k++, "msg 2 cannot read this\nexit 1\n");           // fails, no page
        addDocument(k++, "msg 0 stuck\nhang\n");                         // killed at the limit
        addDocument(k++, "flood 3000 0 tick\nindex flooded\n");          // many small messages
        addDocument(k++, "closepipe\nsleep 3000\nindex late\n");         // pipe closed, runs on
        addDocument(k++, "ignoreterm\nindex done\nhang\n");              // page written, never ends
        addDocument(k++, "sleep 1500\nfill 1048576\nindex slow\n");      // slow but in time
    }

    void addDocument(int k, const std::string& script) {
        ASSERT_TRUE(writeFile(mDocs + "/doc" + std::to_string(k) + ".doc", script));
    }

    pid_t startWorker(unsigned seed, int count) {
        std::string out = mRoot + "/worker" + std::to_string(mStarted) + ".out";
        pid_t pid = ::fork();
        if (pid == 0) {
            FILE* log = std::freopen(out.c_str(), "w", stdout);
            (void)log;
            std::string seedText = std::to_string(seed);
            std::string countText = std::to_string(count);
            ::execl(RRZ_CHAOS_WORKER, RRZ_CHAOS_WORKER, RRZ_PLUGIN_PATH, mDocs.c_str(), seedText.c_str(),
                    countText.c_str(), kTimeLimit, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        mOutputs.push_back(out);
        ++mStarted;
        if (pid > 0) mRunning[pid] = true;
        return pid;
    }

    // Reaps finished workers; a worker that ended by itself must have
    // ended with 0.
    void reap() {
        for (auto it = mRunning.begin(); it != mRunning.end();) {
            int status = 0;
            pid_t done = ::waitpid(it->first, &status, WNOHANG);
            if (done == it->first) {
                if (WIFEXITED(status)) {
                    EXPECT_EQ(0, WEXITSTATUS(status)) << "worker " << done << " failed (3 hung, 4 blocked)";
                } else {
                    ADD_FAILURE() << "worker " << done << " died of signal " << WTERMSIG(status);
                }
                it = mRunning.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Watches the storage lock (glibc keeps its owner's thread id in the
    // mutex) for up to a second; a worker seen holding it is stopped and,
    // when it still holds it once stopped, killed. True when one was.
    bool killLockHolder() {
        int fd = ::shm_open(("/" + mShmPrefix + CStorageManager::sShMemName).c_str(), O_RDONLY, 0);
        void* block = fd < 0 ? MAP_FAILED : ::mmap(nullptr, CStorageLockBlock::size(), PROT_READ, MAP_SHARED, fd, 0);
        if (fd >= 0) ::close(fd);
        if (block == MAP_FAILED) return false;
        volatile const int* owner = &static_cast<const pthread_mutex_t*>(block)->__data.__owner;
        bool killed = false;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!killed && std::chrono::steady_clock::now() < end) {
            const int thread = *owner;
            std::string status = thread > 0 ? readFile("/proc/" + std::to_string(thread) + "/status") : "";
            size_t at = status.find("Tgid:");
            pid_t pid = at == std::string::npos ? 0 : static_cast<pid_t>(std::atoi(status.c_str() + at + 5));
            if (mRunning.count(pid) == 0) continue;
            ::kill(pid, SIGSTOP);
            eventually([&] { return readFile("/proc/" + std::to_string(pid) + "/stat").find(") T ") != std::string::npos; }, 200);
            killed = *owner == thread;
            ::kill(pid, killed ? SIGKILL : SIGCONT);
            if (killed) {
                ::waitpid(pid, nullptr, 0);
                mRunning.erase(pid);
            }
        }
        ::munmap(const_cast<void*>(block), CStorageLockBlock::size());
        return killed;
    }

    int countDone() const {
        int done = 0;
        for (const std::string& out : mOutputs) {
            std::string text = readFile(out);
            for (size_t at = text.find("DONE "); at != std::string::npos; at = text.find("DONE ", at + 1)) ++done;
        }
        return done;
    }

    TempDir mTemp{"rrz-chaos"};
    std::string mRoot;
    std::string mDocs;
    std::string mShmPrefix;
    std::map<pid_t, bool> mRunning;
    std::vector<std::string> mOutputs;
    int mStarted = 0;
};

TEST_F(ChaosTest, KilledAndFaultyProcessesLeaveAConsistentCacheAndNothingRunning) {
    writeDocuments();
    std::mt19937 random(static_cast<unsigned>(getpid()));
    for (int i = 0; i < kWorkers; ++i) ASSERT_GT(startWorker(random(), kDocumentsPerWorker), 0);

    int kills = 0;
    int holderKills = 0;
    auto chaosEnd = std::chrono::steady_clock::now() + std::chrono::seconds(kChaosSeconds);
    while (std::chrono::steady_clock::now() < chaosEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(800 + random() % 1500));
        reap();
        // Every other round, the victim is whoever holds the storage lock.
        if (kills % 2 == 0 && killLockHolder()) {
            ++kills;
            ++holderKills;
        } else if (!mRunning.empty()) {
            auto victim = mRunning.begin();
            std::advance(victim, random() % mRunning.size());
            pid_t pid = victim->first;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            mRunning.erase(victim);
            ++kills;
        }
        while (static_cast<int>(mRunning.size()) < kWorkers) {
            ASSERT_GT(startWorker(random(), kDocumentsPerWorker / 2), 0);
        }
    }
    // Let the last ones finish undisturbed.
    auto drainEnd = std::chrono::steady_clock::now() + std::chrono::seconds(75);
    while (!mRunning.empty() && std::chrono::steady_clock::now() < drainEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reap();
    }
    EXPECT_TRUE(mRunning.empty()) << mRunning.size() << " workers did not finish";
    const int documents = countDone();
    std::printf("chaos: %d processes, %d kills (%d holding the storage lock), %d documents completed\n", mStarted,
                kills, holderKills, documents);
    EXPECT_GE(mStarted, kWorkers + 5);
    EXPECT_GE(documents, 40);
    EXPECT_GE(holderKills, 3);

    // The converters of killed workers included.
    EXPECT_TRUE(eventually([&] { return standInsUnder(mRoot).empty(); }))
        << "a converter process is left";

    // The lock: a worker killed while holding it must not leave it held.
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    ASSERT_TRUE(manager.lockCache(10000)) << "the storage lock stays held";
    manager.unlockCache();

    const std::string converted = mRoot + "/data/converted/";
    LogCapture capture;
    TQVVector<CStorageManager::CacheEntry> list;
    ASSERT_TRUE(manager.readCache(list));
    EXPECT_FALSE(capture.contains("clearCache")) << "the cache was cleared";
    ASSERT_GT(list.size(), 0);
    UInt64 total = 0;
    for (int i = 0; i < list.size(); ++i) {
        CQVString page;
        EXPECT_TRUE(manager.findDocumentInCache(list[i].md5, page)) << "a record lost its page";
        EXPECT_EQ(0u, readFile(page.c_str()).find("<html><body>")) << page.c_str() << " is not whole";
        total += list[i].size;
    }
    EXPECT_LE(total, CStorageManager::sStorageSize);
    std::printf("chaos: %d records, %llu bytes recorded\n", list.size(), static_cast<unsigned long long>(total));

    ASSERT_TRUE(manager.squeezeCache(0));
    EXPECT_EQ(std::vector<std::string>(), listDirectory(mRoot + "/data/files")) << "left in the working area";
    list.clear();
    ASSERT_TRUE(manager.readCache(list));
    std::vector<std::string> recorded;
    for (int i = 0; i < list.size(); ++i) recorded.push_back(CStorageManager::md5ToString(list[i].md5).c_str());
    for (const std::string& name : listDirectory(converted)) {
        if (name.size() == 32) {
            EXPECT_NE(recorded.end(), std::find(recorded.begin(), recorded.end(), name)) << "orphan " << name;
        }
    }
    manager.cleanup();
}

}  // namespace
