// DerazoZoraveMain with the office suite service: started on demand and
// shared, ended when idle, its suite renewed, and every way it can fail
// ending in a converted document all the same. Each test owns its service.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "converter_program/converter_test_support.h"
#include "converter_program/staging.h"

namespace {

using namespace NConverterTest;

class OfficeService : public ::testing::Test {
protected:
    void SetUp() override {
        if (!officeSuiteInstalled() || sample("sample.ppt").empty()) {
            GTEST_SKIP() << "office suite or sample documents not installed";
        }
    }

    void own(int idleSeconds) { mService.reset(new CTestService(mDir.path() + "service/", idleSeconds)); }

    // Converts a sample with the test's service; extra entries are added.
    std::unique_ptr<CConverterProcess> convert(const std::string& name, const std::string& out,
                                               std::vector<std::string> extra = std::vector<std::string>()) {
        std::unique_ptr<CConverterProcess> converter(new CConverterProcess);
        std::vector<std::string> environment = mService->environment();
        environment.insert(environment.end(), extra.begin(), extra.end());
        EXPECT_TRUE(converter->start(sample(name), mDir.path() + out + "/index.html", environment));
        return converter;
    }

    // A finished conversion whose entry page (or first slide's text) has text.
    void expectConverted(CConverterProcess& converter, const std::string& out, const std::string& text) {
        ASSERT_TRUE(converter.finish());
        EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
        std::string page = readFile(mDir.path() + out + "/index.html");
        if (page.find(text) == std::string::npos) {
            page = readFile(mDir.path() + out + "/text0.html");
        }
        EXPECT_NE(std::string::npos, page.find(text)) << converter.transcript();
    }

    // The pid of the suite once it converts; never one that kill() would
    // take for a group or for every process.
    pid_t suiteWhileConverting() {
        bool converting = waitFor([this] { return mService->status("converting") == 1; }, 30000);
        long suite = mService->status("suite");
        return converting && suite > 1 ? static_cast<pid_t>(suite) : 0;
    }

    CTempDir mDir;  // outlives the service, which lives below it
    std::unique_ptr<CTestService> mService;
};

std::string descriptorTarget(pid_t pid, int fd) {
    char target[256];
    ssize_t n = ::readlink(("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd)).c_str(), target,
                           sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

TEST_F(OfficeService, StartsOnDemandInItsOwnSessionAndServesTheNextConversion) {
    own(60);
    auto first = convert("sample.docx", "a");
    expectConverted(*first, "a", "RRZ-DOCX-1");
    EXPECT_TRUE(first->hasMessage(0, "Started the office suite service")) << first->transcript();
    EXPECT_TRUE(first->hasMessage(0, "Office suite service: ok text")) << first->transcript();
    const long service = mService->status("service");
    const long suite = mService->status("suite");
    ASSERT_GT(service, 0);
    ASSERT_GT(suite, 0);
    EXPECT_NE(::getsid(0), ::getsid(static_cast<pid_t>(service)));
    // Neither keeps the test runner's output open.
    for (long pid : {service, suite}) {
        for (int fd = 0; fd < 256; ++fd) {
            std::string target = descriptorTarget(static_cast<pid_t>(pid), fd);
            for (int ours : {1, 2}) {
                EXPECT_TRUE(target.empty() || target != descriptorTarget(::getpid(), ours))
                    << pid << " fd " << fd << " " << target;
            }
        }
    }

    auto second = convert("sample.xlsx", "b");
    expectConverted(*second, "b", "RRZ-XLSX-1");
    EXPECT_FALSE(second->hasMessage(0, "Started the office suite service")) << second->transcript();
    EXPECT_FALSE(second->hasMessage(0, "Starting the office suite")) << second->transcript();
    EXPECT_EQ(service, mService->status("service"));
    EXPECT_EQ(suite, mService->status("suite"));
}

TEST_F(OfficeService, IdleServiceEndsWithItsSuite) {
    own(2);
    auto converter = convert("sample.doc", "a");
    expectConverted(*converter, "a", "RRZ-DOC-1");
    EXPECT_TRUE(waitFor([this] { return mService->gone(); }, 30000));
    EXPECT_FALSE(exists(mService->dir() + "socket"));
}

TEST_F(OfficeService, SuiteIsRenewedAfterItsConversions) {
    own(60);
    const std::vector<std::string> everyTwo = {"OFFICE_PLUGINS_CONVERTER_SUITE_CONVERSIONS=2"};
    auto first = convert("sample.doc", "a", everyTwo);
    expectConverted(*first, "a", "RRZ-DOC-1");
    const long suite = mService->status("suite");
    auto second = convert("sample.xls", "b");
    expectConverted(*second, "b", "RRZ-XLS-1");
    EXPECT_TRUE(waitFor([&] { long now = mService->status("suite"); return now > 0 && now != suite; }, 30000));
    EXPECT_EQ(1u, suiteProcessesMentioning(mService->dir()).size());
    auto third = convert("sample.docx", "c");
    expectConverted(*third, "c", "RRZ-DOCX-1");
    EXPECT_TRUE(third->hasMessage(0, "Office suite service: ok text")) << third->transcript();
}

// Something else at the socket's place: the document is converted anyway.
TEST_F(OfficeService, DocumentIsConvertedWhateverHoldsTheSocket) {
    struct tCase {
        const char* name;
        const char* expected;  // in a message
        int listener;          // 0: none, 1: a socket file nobody serves, 2: a program that is not the service
        mode_t mode;
    } cases[] = {
        {"stale socket", "Office suite service: ok", 1, 0700},
        {"foreign program", "is not served by the office suite service", 2, 0700},
        {"directory open to others", "is not a private directory", 0, 0755},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        own(60);
        ASSERT_EQ(0, ::mkdir(mService->dir().c_str(), c.mode));
        ASSERT_EQ(0, ::chmod(mService->dir().c_str(), c.mode));
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct sockaddr_un address;
        std::memset(&address, 0, sizeof address);
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (mService->dir() + "socket").c_str());
        if (c.listener > 0) {
            ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
            ASSERT_EQ(0, ::listen(fd, 4));
        }
        std::thread foreign([&] {
            int client = c.listener == 2 ? ::accept(fd, nullptr, nullptr) : -1;
            if (client >= 0) {
                EXPECT_GT(::write(client, "hello\n", 6), 0);
                ::close(client);
            }
        });
        if (c.listener == 1) {
            ::close(fd);
        }
        auto converter = convert("sample.doc", c.name);
        expectConverted(*converter, c.name, "RRZ-DOC-1");
        EXPECT_TRUE(converter->hasMessage(c.listener == 1 ? 0 : 1, c.expected)) << converter->transcript();
        foreign.join();
        if (c.listener != 1) {
            ::close(fd);
        }
        mService.reset();
        ASSERT_TRUE(NStaging::removeTree(mDir.path() + "service"));
    }
}

TEST_F(OfficeService, SuiteKilledDuringAConversionCostsNoDocument) {
    own(60);
    auto warm = convert("sample.docx", "warm");
    expectConverted(*warm, "warm", "RRZ-DOCX-1");
    auto victim = convert("sample.ppt", "a");
    const pid_t converting = suiteWhileConverting();
    ASSERT_GT(converting, 1);
    ASSERT_EQ(0, ::kill(converting, SIGKILL));
    expectConverted(*victim, "a", "RRZ-PPT-1");
    auto next = convert("sample.xls", "b");
    expectConverted(*next, "b", "RRZ-XLS-1");
    EXPECT_TRUE(next->hasMessage(0, "Office suite service: ok spreadsheet")) << next->transcript();
}

TEST_F(OfficeService, KilledConverterMakesTheServiceRenewItsSuiteAndLeavesNothingAfterIdling) {
    own(5);
    auto warm = convert("sample.docx", "warm");
    expectConverted(*warm, "warm", "RRZ-DOCX-1");
    const long suite = mService->status("suite");
    auto victim = convert("sample.ppt", "a");
    ASSERT_GT(suiteWhileConverting(), 1);
    ASSERT_GT(victim->pid(), 1);
    // As the plug-in does: the converter's whole process group.
    ASSERT_EQ(0, ::kill(-victim->pid(), SIGKILL));
    victim->finish();
    EXPECT_TRUE(waitFor([&] { long now = mService->status("suite"); return now > 0 && now != suite; }, 30000));
    EXPECT_TRUE(suite > 1 && ::kill(static_cast<pid_t>(suite), 0) != 0) << "the old suite still runs";
    EXPECT_TRUE(waitFor([this] { return mService->gone(); }, 60000));
}

TEST_F(OfficeService, FourConvertersAtOnceAllGetTheirOwnDocument) {
    own(60);
    const char* const names[] = {"sample.doc", "sample.xlsx", "sample.pptx", "sample.docx"};
    const char* const texts[] = {"RRZ-DOC-1", "RRZ-XLSX-1", "RRZ-PPTX-1", "RRZ-DOCX-1"};
    std::vector<std::unique_ptr<CConverterProcess>> converters;
    for (int i = 0; i < 4; ++i) {
        converters.push_back(convert(names[i], std::to_string(i)));
    }
    for (int i = 0; i < 4; ++i) {
        expectConverted(*converters[i], std::to_string(i), texts[i]);
        EXPECT_TRUE(converters[i]->hasMessage(0, "Office suite service: ok")) << converters[i]->transcript();
    }
    EXPECT_EQ(1u, suiteProcessesMentioning(mService->dir()).size());
}

// The same files with the same bytes as a conversion by a suite of its own.
TEST_F(OfficeService, OutputEqualsTheColdPath) {
    own(60);
    for (const char* name : {"sample.doc", "sample.docx", "sample.xls", "sample.xlsx", "sample.ppt", "sample.pptx"}) {
        SCOPED_TRACE(name);
        const std::string warm = std::string("warm-") + name;
        const std::string cold = std::string("cold-") + name;
        auto shared = convert(name, warm);
        ASSERT_TRUE(shared->finish());
        EXPECT_TRUE(shared->hasMessage(0, "Office suite service: ok")) << shared->transcript();
        CConverterProcess own;
        ASSERT_TRUE(own.start(sample(name), mDir.path() + cold + "/index.html"));
        ASSERT_TRUE(own.finish());
        EXPECT_TRUE(own.hasMessage(0, "Starting the office suite")) << own.transcript();
        auto warmFiles = filesBelow(mDir.path() + warm + "/");
        auto coldFiles = filesBelow(mDir.path() + cold + "/");
        ASSERT_FALSE(coldFiles.empty());
        ASSERT_EQ(coldFiles.size(), warmFiles.size());
        for (std::size_t i = 0; i < coldFiles.size(); ++i) {
            EXPECT_EQ(coldFiles[i].first, warmFiles[i].first);
            EXPECT_TRUE(coldFiles[i].second == warmFiles[i].second) << coldFiles[i].first;
        }
    }
}

}  // namespace
