// Crashes at every step of a commit: a writer adds a conversion to the cache
// and refreshes the last use of an older one, and is stopped before its
// K-th sync or rename, either killed (what it wrote stays) or by a simulated
// power loss (only what was synced stays). The next reader must keep every
// record committed before the crash, never serve a damaged page, and the
// next eviction pass must leave no orphan in the cache or the working area.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/qv_file_operations.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "storage/working_file.h"

using namespace storage_test;

namespace {

// What a power loss keeps of a tree: each file's content as of its last
// sync, each directory's entries as of its last sync; the whole tree counts
// as synced when the recorder starts. Files are known by inode, so a synced
// file keeps its content under whatever name its directory kept.
class DurableImage : public QVFileOperations::ISyncObserver {
public:
    explicit DurableImage(const std::string& root) : mRoot(root) { mRootInode = takeTree(root); }

    // crash() is called instead of the step with index stopAt (from 0).
    int stopAt = -1;
    std::function<void()> crash;
    int steps = 0;

    void beforeStep(Step step, int fd, const char* path, const char*) override {
        if (steps++ == stopAt) crash();
        if (step == SYNC_FILE) {
            struct stat st;
            // The writer's descriptor may be write-only.
            if (::fstat(fd, &st) == 0) mFiles[st.st_ino] = readFile("/proc/self/fd/" + std::to_string(fd));
        } else if (step == SYNC_DIRECTORY) {
            takeDirectory(path);
        }
    }

    // Replaces the tree by what the disk would hold after a power loss now.
    void powerLoss() {
        const std::string rebuilt = mRoot.substr(0, mRoot.size() - 1) + ".rebuilt/";
        removeTree(rebuilt);
        build(mRootInode, rebuilt);
        removeTree(mRoot);
        ::rename(rebuilt.c_str(), mRoot.c_str());
    }

private:
    ino_t takeDirectory(const std::string& dir) {
        struct stat st;
        ::lstat(dir.c_str(), &st);
        std::map<std::string, ino_t>& entries = mDirectories[st.st_ino];
        entries.clear();
        for (const std::string& name : listDirectory(dir)) {
            struct stat child;
            if (::lstat((dir + "/" + name).c_str(), &child) != 0) continue;
            entries[name] = child.st_ino;
            mIsDirectory[child.st_ino] = S_ISDIR(child.st_mode);
        }
        return st.st_ino;
    }
    ino_t takeTree(const std::string& dir) {
        ino_t inode = takeDirectory(dir);
        for (const auto& entry : mDirectories[inode]) {
            const std::string path = dir + "/" + entry.first;
            mIsDirectory[entry.second] ? (void)takeTree(path) : (void)(mFiles[entry.second] = readFile(path));
        }
        return inode;
    }
    // A file never synced comes back empty, a directory never synced empty.
    void build(ino_t inode, const std::string& dir) {
        ::mkdir(dir.c_str(), 0777);
        for (const auto& entry : mDirectories[inode]) {
            const std::string path = dir + "/" + entry.first;
            mIsDirectory[entry.second] ? build(entry.second, path) : (void)writeFile(path, mFiles[entry.second]);
        }
    }

    std::string mRoot;
    ino_t mRootInode = 0;
    std::map<ino_t, std::string> mFiles;
    std::map<ino_t, std::map<std::string, ino_t>> mDirectories;
    std::map<ino_t, bool> mIsDirectory;
};

const char kPage[] = "<html><body>the converted document, whole</body></html>";
enum Crash { KILL, POWER_LOSS };

class StorageCrash : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
        TQVVector<CStorageManager::CacheEntry> list;
        list.push_back(makeEntry(1, 1, 1000));
        list.push_back(makeEntry(2, 2, 1000));
        commitRecords(mManager, list);
        mBefore = dataDir().substr(0, dataDir().size() - 1) + ".before";
        std::filesystem::remove_all(mBefore);
        std::filesystem::copy(dataDir(), mBefore, std::filesystem::copy_options::recursive);
    }
    void TearDown() override {
        std::filesystem::remove_all(mBefore);
        StorageTest::TearDown();
    }

    // In a child: receives a document and converts it as the converter does
    // (nothing synced), adds it to the cache, then refreshes record 1; stops
    // before step stopAt. Returns the steps done before the addition
    // returned and in all, when it was not stopped.
    std::pair<int, int> write(int stopAt, Crash crash) {
        int report[2];
        if (::pipe(report) != 0) return {-1, -1};
        pid_t child = ::fork();
        if (child == 0) {
            ::close(report[0]);
            CStorageManager manager;
            if (!manager.init()) ::_exit(1);
            DurableImage image(dataDir());
            const std::string file = filesDir() + "123_4.doc";
            if (NWorkingFile::createClaimed(file.c_str()) < 0) ::_exit(1);
            ::mkdir((file + "_files").c_str(), 0777);
            ::mkdir((file + "_files/assets").c_str(), 0777);
            writeFile(file + "_files/assets/style.css", "body {}");
            writeFile(file + "_files/index.html", kPage);
            image.stopAt = stopAt;
            image.crash = [&] {
                if (crash == POWER_LOSS) image.powerLoss();
                ::raise(SIGKILL);
            };
            QVFileOperations::setSyncObserver(&image);
            manager.lockCache();
            manager.addDocumentToCache(newKey(), (file + "_files/").c_str(), "index.html");
            int added = image.steps;
            manager.touchDocument(makeEntry(1, 1, 1).md5);
            manager.unlockCache();
            int steps[2] = {added, image.steps};
            ::_exit(::write(report[1], steps, sizeof(steps)) == sizeof(steps) ? 0 : 1);
        }
        ::close(report[1]);
        int steps[2] = {-1, -1};
        ssize_t got = child > 0 ? ::read(report[0], steps, sizeof(steps)) : -1;
        ::close(report[0]);
        ::waitpid(child, nullptr, 0);
        return got == sizeof(steps) ? std::make_pair(steps[0], steps[1]) : std::make_pair(-1, -1);
    }

    static const UInt8 (&newKey())[16] {
        static CStorageManager::CacheEntry entry = makeEntry(7, 1, 1);
        return entry.md5;
    }

    // Whether md5 is served, and then only with its whole page.
    bool served(const UInt8 (&md5)[16], const std::string& page) {
        CQVString path;
        if (!mManager.findDocumentInCache(md5, path)) return false;
        EXPECT_EQ(page, readFile(path.c_str())) << "a damaged page was served";
        return true;
    }

    void restore() {
        std::filesystem::remove_all(dataDir());
        std::filesystem::copy(mBefore, dataDir(), std::filesystem::copy_options::recursive);
    }

    CStorageManager mManager;
    std::string mBefore;
};

TEST_F(StorageCrash, EveryCommittedRecordSurvivesACrashAtAnyStepAndNothingIsLeftOver) {
    const std::pair<int, int> steps = write(-1, KILL);
    ASSERT_GT(steps.first, 5) << "the addition syncs its files and commits the index";
    ASSERT_GT(steps.second, steps.first + 3) << "the refresh commits the index";
    for (Crash crash : {KILL, POWER_LOSS}) {
        for (int stopAt = 0; stopAt <= steps.second; ++stopAt) {
            SCOPED_TRACE((crash == KILL ? "killed before step " : "power lost before step ") +
                         std::to_string(stopAt));
            restore();
            write(stopAt, crash);
            EXPECT_TRUE(served(makeEntry(1, 1, 1).md5, "<html/>"));
            EXPECT_TRUE(served(makeEntry(2, 1, 1).md5, "<html/>"));
            bool added = served(newKey(), kPage);
            EXPECT_TRUE(added || stopAt < steps.first) << "a committed record was lost";

            EXPECT_TRUE(mManager.squeezeCache(0));
            TQVVector<CStorageManager::CacheEntry> list;
            ASSERT_TRUE(mManager.readCache(list));
            for (const std::string& name : listDirectory(convertedDir())) {
                struct stat st;
                bool named = ::stat((convertedDir() + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
                for (int i = 0; i < list.size(); ++i) named = named || hexOf(list[i].md5) == name;
                EXPECT_TRUE(named) << "orphan " << name;
            }
            EXPECT_EQ(std::vector<std::string>(), listDirectory(filesDir()));
        }
    }
}

}  // namespace
