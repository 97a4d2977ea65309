// DerazoZoraveMain with the office suite service: started on demand and
// shared, ended when idle, its suite renewed, and every way it can fail
// ending in a converted document all the same. Each test owns its service.
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <thread>

#include "converter_program/converter_test_support.h"
#include "converter_program/service_client.h"

namespace {

using namespace NConverterTest;

const char* const kServed = "Office suite service: ok";

class OfficeService : public ::testing::Test {
protected:
    void SetUp() override { RRZ_REQUIRE_OFFICE_SUITE(); }
    void TearDown() override { stop(); }

    // A service of the test's own in the directory name, ending after
    // idleSeconds without work (blanks become dashes: URL-encoded in a
    // suite's command line, they would hide it from suitesUnder).
    void own(int idleSeconds, std::string name = "service") {
        stop();
        std::replace(name.begin(), name.end(), ' ', '-');
        mService = mDir / name + "/";
        mIdle = idleSeconds;
    }

    // Stops the service and waits for it, suites included.
    void stop() {
        if (mService.empty()) return;
        askService(mService, "stop");
        EXPECT_TRUE(eventually([this] { return gone(); }, 30000)) << "the service of " << mService << " did not end";
    }

    // A number from the service's status line ("suite", "service",
    // "converting"), or -1 when no service answers.
    long status(const std::string& name) const {
        const std::string line = askService(mService, "status");
        const std::size_t at = line.find(" " + name + "=");
        return at == std::string::npos ? -1 : std::atol(line.c_str() + at + name.size() + 2);
    }

    // No service holds the directory and no suite of it runs.
    bool gone() const {
        int fd = ::open((mService + "lock").c_str(), O_RDONLY | O_CLOEXEC);
        const bool unlocked = fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) ::close(fd);
        return unlocked && suitesUnder(mService).empty();
    }

    // Starts converting source (a sample's name or a path) into the
    // directory out with the test's service; extra entries are added.
    std::unique_ptr<CConverterProcess> convert(const std::string& source, const std::string& out,
                                               std::vector<std::string> extra = std::vector<std::string>()) {
        std::unique_ptr<CConverterProcess> converter(new CConverterProcess);
        extra.push_back("OFFICE_PLUGINS_CONVERTER_SERVICE_DIR=" + mService);
        extra.push_back("OFFICE_PLUGINS_CONVERTER_IDLE=" + std::to_string(mIdle));
        EXPECT_TRUE(converter->start(source[0] == '/' ? source : sample(source), mDir / out + "/index.html", extra));
        return converter;
    }

    // Finishes a conversion that must succeed with text on its entry page and
    // message among its messages.
    void expectConverted(CConverterProcess& converter, const std::string& out, const std::string& text,
                         const std::string& message = kServed) {
        ASSERT_TRUE(converter.finish());
        EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
        EXPECT_TRUE(converter.hasMessage(-1, message)) << converter.transcript();
        EXPECT_NE(std::string::npos, readFile(mDir / out + "/index.html").find(text)) << converter.transcript();
    }

    TempDir mDir{"rrz_service"};
    std::string mService;  // ends with "/"
    int mIdle = 0;
};

// Four conversions at once start one service between them, in a session of
// its own; the next conversion finds the service and its suite as they were.
TEST_F(OfficeService, StartsOnDemandOnceForFourAtOnceAndServesTheNext) {
    own(60);
    const char* const kSamples[][2] = {
        {"sample.doc", "RRZ-DOC-1"}, {"sample.xlsx", "RRZ-XLSX-1"},
        {"sample.pptx", "RRZ-PPTX-1"}, {"sample.docx", "RRZ-DOCX-1"}};
    std::vector<std::unique_ptr<CConverterProcess>> converters;
    for (const auto& s : kSamples) converters.push_back(convert(s[0], s[0]));
    for (std::size_t i = 0; i < converters.size(); ++i) expectConverted(*converters[i], kSamples[i][0], kSamples[i][1]);
    EXPECT_EQ(1u, suitesUnder(mService).size());
    const long service = status("service"), suite = status("suite");
    ASSERT_TRUE(service > 1 && suite > 1);
    EXPECT_NE(::getsid(0), ::getsid(static_cast<pid_t>(service)));
    // Neither keeps the test runner's output open.
    std::error_code error;
    const auto out = std::filesystem::read_symlink("/proc/self/fd/1", error);
    const auto err = std::filesystem::read_symlink("/proc/self/fd/2", error);
    for (long pid : {service, suite}) {
        for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            const auto target = std::filesystem::read_symlink(fd.path(), error);
            EXPECT_TRUE(target != out && target != err) << fd.path() << " " << target;
        }
    }
    auto next = convert("sample.xls", "next");
    expectConverted(*next, "next", "RRZ-XLS-1");
    EXPECT_FALSE(next->hasMessage(0, "Start")) << next->transcript();  // no service started, no suite
    EXPECT_EQ(service, status("service"));
    EXPECT_EQ(suite, status("suite"));
}

// The suite renewed after its conversions, killed halfway through one, or
// left working for a converter whose whole group is killed (as the plug-in
// does): the service serves the next conversion with a new suite (the old
// one does not linger) and still ends when idle, its socket gone.
TEST_F(OfficeService, SuiteIsRenewedWhateverEndsIt) {
    const struct {
        const char* name;
        const char* conversions;  // OFFICE_PLUGINS_CONVERTER_SUITE_CONVERSIONS
        int kill;                 // 0: nothing, 1: the suite, 2: the converter's group
    } kRows[] = {{"after two conversions", "2", 0}, {"suite killed", "", 1}, {"converter killed", "", 2}};
    for (const auto& row : kRows) {
        const std::string name = row.name;
        SCOPED_TRACE(name);
        own(3, name);
        auto warm = convert("sample.docx", name + " warm",
                            {std::string("OFFICE_PLUGINS_CONVERTER_SUITE_CONVERSIONS=") + row.conversions});
        expectConverted(*warm, name + " warm", "RRZ-DOCX-1");
        const long suite = status("suite");
        ASSERT_GT(suite, 1);  // never a pid that kill() takes for a group or for every process
        auto victim = convert("sample.ppt", name);
        if (row.kill != 0) {
            ASSERT_TRUE(eventually([this] { return status("converting") == 1; }, 30000));
            ASSERT_EQ(0, ::kill(row.kill == 1 ? static_cast<pid_t>(suite) : -victim->pid(), SIGKILL));
        }
        if (row.kill != 2) {
            expectConverted(*victim, name, "RRZ-PPT-1", "");
        } else {
            victim->finish();
            EXPECT_EQ(128 + SIGKILL, victim->exitStatus());
        }
        auto next = convert("sample.xls", name + " next");
        expectConverted(*next, name + " next", "RRZ-XLS-1", "Office suite service: ok spreadsheet");
        EXPECT_TRUE(eventually([&] { return status("suite") > 0 && status("suite") != suite; }, 30000));
        EXPECT_NE(0, ::kill(static_cast<pid_t>(suite), 0)) << "the old suite still runs";
        EXPECT_EQ(1u, suitesUnder(mService).size());
        EXPECT_TRUE(eventually([this] { return gone(); }, 60000));
        EXPECT_FALSE(exists(mService + "socket"));
    }
}

// What a killed or foreign program leaves in the way: the document is
// converted all the same, by the service where it can be.
TEST_F(OfficeService, DocumentIsConvertedWhateverIsInTheWay) {
    const struct {
        const char* name;
        int listener;  // at the socket: 0 nothing, 1 a socket file nobody serves, 2 a program that is not the service
        mode_t mode;   // of the service's directory, made here unless 0
        const char* message;
    } kRows[] = {
        {"stale socket", 1, 0700, "0: Office suite service: ok"},
        {"foreign program at the socket", 2, 0700, "is not served by the office suite service"},
        {"directory open to others", 0, 0755, "is not a private directory"},
        // As a suite of ours killed with the document open leaves it: the
        // service's suite opens documents without lock files.
        {"stale lock file beside the source", 0, 0, "0: Office suite service: ok presentation"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        own(60, row.name);
        const std::string source = mDir / row.name + ".ppt", lock = mDir / ".~lock." + row.name + ".ppt#";
        char host[256] = "";
        ASSERT_EQ(0, ::gethostname(host, sizeof host - 1));
        const struct passwd* user = ::getpwuid(::getuid());
        const std::string owner = std::string(",") + (user != nullptr ? user->pw_name : "") + "," + host +
                                  ",06.12.2026 22:31,file://" + mDir.path() + "/.convert-a1b2c3/profile;";
        ASSERT_TRUE(test_support::writeFile(source, readFile(sample("sample.ppt"))));
        ASSERT_TRUE(row.mode != 0 || test_support::writeFile(lock, owner));
        ASSERT_TRUE(row.mode == 0 ||
                    (::mkdir(mService.c_str(), row.mode) == 0 && ::chmod(mService.c_str(), row.mode) == 0));
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (mService + "socket").c_str());
        ASSERT_TRUE(row.listener == 0 || (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                                          ::listen(fd, 4) == 0));
        std::thread foreign([&] {
            int client = row.listener == 2 ? ::accept(fd, nullptr, nullptr) : -1;
            EXPECT_TRUE(client < 0 || ::write(client, "hello\n", 6) == 6);
            if (client >= 0) ::close(client);
        });
        if (row.listener == 1) ::close(fd);
        auto converter = convert(source, row.name);
        expectConverted(*converter, row.name, "RRZ-PPT-1", "");
        EXPECT_NE(std::string::npos, converter->transcript().find(row.message)) << converter->transcript();
        EXPECT_TRUE(row.mode != 0 || readFile(lock) == owner) << readFile(lock);
        foreign.join();
        if (row.listener != 1) ::close(fd);
    }
}

// The sample documents converted side by side, each by a suite of its own,
// to pages for a small screen with their pictures beside them; those of the
// six formats also by the service, giving the same files with the same
// bytes. Each row counts what must (and must not) be on a page of a
// conversion, or among its messages.
TEST_F(OfficeService, EverySampleGivesTheSameFilesColdAndWarm) {
    own(60);
    const struct {
        const char* file;
        const char* limit;  // OFFICE_PLUGINS_OUTPUT_LIMIT, or "" for the default
        const char* page;   // or "messages"
        const char* part;
        int count;
    } kRows[] = {
        {"sample.doc", "", "index.html", "Sample Word 97 document RRZ-DOC-1", 1},
        {"sample.doc", "", "index.html", "<img src=", 1},
        {"sample.docx", "", "index.html", "Sample Word 2007 document RRZ-DOCX-1", 1},
        {"sample.docx", "", "index.html", "<img src=", 1},
        {"sample.xls", "", "index.html", "Sample Excel 97 workbook RRZ-XLS-1", 1},
        {"sample.xls", "", "sheet3.html", ">TRUE</td>", 1},
        {"sample.xls", "", "sheet3.html", ">FALSE</td>", 1},
        {"sample.xlsx", "", "index.html", "Sample Excel 2007 workbook RRZ-XLSX-1", 1},
        {"sample.xlsx", "", "index.html", "<nav class=\"rrz-sheets\"><a href=\"index.html\" class=\"rrz-current\"", 1},
        {"sample.xlsx", "", "sheet2.html", "<a href=\"sheet2.html\" class=\"rrz-current\"", 1},
        {"sample.xlsx", "", "sheet3.html", ">Flags</a></nav>", 1},
        {"sample.ppt", "", "index.html", "<p>Sample PowerPoint 97 presentation RRZ-PPT-1</p>", 1},
        {"sample.ppt", "", "index.html", "<img src=\"slide4.png\"", 1},
        {"sample.pptx", "", "index.html", "<p>Sample PowerPoint 2007 presentation RRZ-PPTX-1</p>", 1},
        {"sample.pptx", "", "index.html", "<section class=\"rrz-slide\" id=\"slide", 4},
        {"sample.pptx", "", "index.html", "4 slides", 1},
        {"sample.pptx", "", "index.html", "alt=\"Slide 3: Third slide", 1},
        {"sample.pptx", "", "index.html", "<p>Shape words on the closing slide</p>", 1},
        {"big.xlsx", "0.5", "sheet2.html", "<p class=\"rrz-cut\">", 1},
        {"big.xlsx", "0.5", "sheet2.html", "Left out: rows", 1},
        {"big.xlsx", "0.5", "index.html", "RRZ-BIG-1", 1},
        {"big.xlsx", "0.5", "sheet3.html", "Last sheet of RRZ-BIG-1", 1},
        {"big.xlsx", "", "sheet2.html", "<p class=\"rrz-cut\">", 0},
        {"layout.docx", "", "index.html", "position: absolute", 0},
        {"layout.docx", "", "index.html", "background: #c0c0c0", 0},
        {"layout.doc", "", "index.html", "Drawing words RRZ-DRAWING-1 in the first box / Second box", 1},
        {"layout.doc", "", "index.html", "position: absolute", 0},
        {"active.docx", "", "index.html", "RRZ-ACTIVE-1", 1},
        {"active.docx", "", "index.html", "RRZ-LINK-RAN", 0},
        {"active.docx", "", "index.html", "href=\"https://example.org/rrz\"", 1},
        {"active.docx", "", "messages", "1: Warning: removed 1 active content item", 1},
    };
    std::map<std::string, std::unique_ptr<CConverterProcess>> cold;  // by "<file> <limit>"
    for (const auto& row : kRows) {
        const std::string document = std::string(row.file) + " " + row.limit;
        if (cold[document] == nullptr) {
            cold[document].reset(new CConverterProcess);
            ASSERT_TRUE(cold[document]->start(sample(row.file), mDir / "cold " + document + "/index.html",
                                              {std::string("OFFICE_PLUGINS_OUTPUT_LIMIT=") + row.limit}));
        }
    }
    // The samples first: the service they start has the default cap, and
    // must still cut big.xlsx to the cap of the converter that asks.
    for (auto it = cold.rbegin(); it != cold.rend(); ++it) {
        const auto& run = *it;
        SCOPED_TRACE(run.first);
        const std::string file = run.first.substr(0, run.first.find(' ')), dir = mDir / "cold " + run.first + "/";
        const std::string limit = run.first.substr(run.first.find(' ') + 1);
        const bool warm = file.compare(0, 7, "sample.") == 0 || run.first == "big.xlsx 0.5";
        if (warm) {
            expectConverted(*convert(file, "warm " + run.first, {"OFFICE_PLUGINS_OUTPUT_LIMIT=" + limit}),
                            "warm " + run.first, "");
        }
        ASSERT_TRUE(run.second->finish());
        EXPECT_EQ(0, run.second->exitStatus()) << run.second->transcript();
        EXPECT_TRUE(run.second->hasMessage(0, "Starting the office suite")) << run.second->transcript();
        EXPECT_FALSE(run.second->hasMessage(2, "")) << run.second->transcript();
        const auto coldFiles = filesBelow(dir), warmFiles = filesBelow(mDir / "warm " + run.first + "/");
        EXPECT_TRUE(!warm || coldFiles == warmFiles) << coldFiles.size() << " cold, " << warmFiles.size() << " warm";
        const std::string page = readFile(dir + "index.html");
        EXPECT_NE(std::string::npos, page.find("<meta name=\"viewport\"")) << page;
        for (size_t at = page.find("<img src=\""); at != std::string::npos; at = page.find("<img src=\"", at + 1)) {
            EXPECT_TRUE(exists(dir + page.substr(at + 10, page.find('"', at + 10) - at - 10))) << page.substr(at, 60);
        }
    }
    for (const auto& row : kRows) {
        const std::string document = std::string(row.file) + " " + row.limit;
        const std::string text = std::string(row.page) == "messages"
                                     ? cold[document]->transcript()
                                     : readFile(mDir / "cold " + document + "/" + row.page);
        int count = 0;
        for (std::size_t at = text.find(row.part); at != std::string::npos; at = text.find(row.part, at + 1)) ++count;
        EXPECT_EQ(row.count, count) << document << " " << row.page << " \"" << row.part << "\"";
    }
}

}  // namespace
