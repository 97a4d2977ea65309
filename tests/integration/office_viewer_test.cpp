// The office viewer end to end: the shipped library, the host stand-in and
// the converter stand-in. A document streamed in awkward chunks is shown as
// progress, converted, cached and opened; refusals and failures end in the
// error state with the right browser message; instances destroyed at the
// wrong moment leave nothing behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>

#include "tests/integration/office_viewer_fixture.h"
#include "tests/support/md5_hex.h"
#include "tests/support/processes.h"
#include "storage/storage_manager.h"

namespace {

using test_support::listDirectory;
using test_support::md5Hex;

class OfficeViewer : public OfficeViewerFixture {
protected:
    void SetUp() override {
        OfficeViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        start();
    }

    host::StreamOptions chunks(size_t size) {
        host::StreamOptions options;
        options.chunkSize = size;
        options.mimeType = "application/msword";
        return options;
    }

    std::string expectedUrl(const std::string& document, const std::string& streamUrl) {
        return "file://" + dataDir() + "converted/" + md5Hex(document) + "/index.html?originalpath=" + streamUrl;
    }
};

const char kDefaultDescription[] =
    "application/doc:doc:Microsoft Office Word 97-2003 Document;application/msword:doc:Microsoft Office Word 97-2003 "
    "Document;application/vnd.ms-word:doc:Microsoft Office Word 97-2003 Document;application/docx:docx:Microsoft "
    "Office Word 2007 Document;application/vnd.openxmlformats-officedocument.wordprocessingml.document:docx:Microsoft "
    "Office Word 2007 Document;application/xls:xls:Microsoft Office Excel 97-2003 Worksheet;application/msexcel:xls:"
    "Microsoft Office Excel 97-2003 Worksheet;application/vnd.ms-excel:xls:Microsoft Office Excel 97-2003 Worksheet;"
    "application/xlsx:xlsx:Microsoft Office Excel 2007 Worksheet;application/vnd.openxmlformats-officedocument."
    "spreadsheetml.sheet:xlsx:Microsoft Office Excel 2007 Worksheet;application/ppt:ppt:Microsoft Office PowerPoint "
    "97-2003 Presentation;application/mspowerpoint:ppt:Microsoft Office PowerPoint 97-2003 Presentation;application/"
    "vnd.ms-powerpoint:ppt:Microsoft Office PowerPoint 97-2003 Presentation;application/pptx:pptx:Microsoft Office "
    "PowerPoint 2007 Presentation;application/vnd.openxmlformats-officedocument.presentationml.presentation:pptx:"
    "Microsoft Office PowerPoint 2007 Presentation;application/octet-stream:doc,docx,xls,xlsx,ppt,pptx:Microsoft "
    "Office Document;text/plain:doc,docx,xls,xlsx,ppt,pptx:Microsoft Office Document";

TEST_F(OfficeViewer, DefaultMimeDescriptionAndNames) {
    EXPECT_STREQ(kDefaultDescription, library.NP_GetMIMEDescription());
    const char* name = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_GetValue(nullptr, NPPVpluginNameString, &name));
    EXPECT_STREQ("RavudaRovudeZazizu", name);
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_GetValue(nullptr, NPPVpluginDescriptionString, &name));
    EXPECT_STREQ("RavudaRovudeZazizu", name);
}

TEST_F(OfficeViewer, DocumentIsShownAsProgressConvertedAndOpened) {
    host::HostInstance instance(browser);
    open(instance);
    const std::string url = "http://example.test/files/report.doc";
    const std::string record = root() + "/argv.record";
    const std::string document = "record " + record + "\n" + convertingScript("RRZ converted text") + std::string(4000, '#') + "\n";

    host::DrawTarget target(800, 480);
    host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(document.size()), "application/msword");
    uint16_t type = 0;
    ASSERT_EQ(NPERR_NO_ERROR, stream.begin(&type));
    EXPECT_EQ(NP_NORMAL, type);
    ASSERT_EQ(1, instance.draw(&target));
    EXPECT_EQ(kBackgroundPixel, target.pixel(210, 240)) << "nothing received yet";
    EXPECT_EQ(kBackgroundPixel, target.pixel(5, 5));

    const size_t half = document.size() / 2;
    ASSERT_EQ(static_cast<long>(half), stream.write(document.substr(0, half), 197));
    ASSERT_EQ(1, instance.draw(&target));
    EXPECT_EQ(kProgressPixel, target.pixel(210, 240)) << "the bar's filled part";
    EXPECT_EQ(kProgressPixel, target.pixel(390, 215)) << "filled to just before its middle";
    EXPECT_NE(kProgressPixel, target.pixel(590, 240)) << "the bar's empty part";

    ASSERT_EQ(static_cast<long>(document.size() - half), stream.write(document.substr(half), 197));
    int redraws = browser.forceRedrawCount();
    ASSERT_EQ(NPERR_NO_ERROR, stream.finish());
    EXPECT_EQ(redraws + 1, browser.forceRedrawCount()) << "converting state requests a redraw";
    // Each frame in the converting state asks for the next one.
    ASSERT_EQ(1, instance.draw(&target));
    ASSERT_EQ(1, instance.draw(&target));
    EXPECT_EQ(redraws + 3, browser.forceRedrawCount());

    ASSERT_TRUE(waitForNavigation());
    auto navigation = browser.navigations().at(0);
    EXPECT_EQ(expectedUrl(document, url), navigation.url);
    EXPECT_EQ("_self", navigation.target);
    EXPECT_TRUE(navigation.privateService);
    EXPECT_EQ(instance.npp(), navigation.instance);
    EXPECT_TRUE(browser.logContains("document converted"));
    std::string page = navigation.url.substr(7, navigation.url.find('?') - 7);
    EXPECT_NE(std::string::npos, readFile(page).find("RRZ converted text"));
    EXPECT_TRUE(browser.messages().empty());
    // The converter got the received file, its entry page next to it and
    // its pipe.
    std::regex argv("argv=" RRZ_CONVERTER_STUB_DIR "/DerazoZoraveMain\n"
                    "argv=(" + dataDir() + "/files/[0-9]+_[0-9]+\\.doc)\n"
                    "argv=(" + dataDir() + "/files/[0-9]+_[0-9]+\\.doc)_files/index\\.html\n"
                    "argv=([0-9]+)\n");
    std::smatch match;
    const std::string text = readFile(record);
    ASSERT_TRUE(std::regex_search(text, match, argv)) << text;
    EXPECT_EQ(match[1].str(), match[2].str());
}

TEST_F(OfficeViewer, SameBytesUnderAnotherUrlComeFromTheCache) {
    const std::string document = convertingScript("cached once");
    {
        host::HostInstance first(browser);
        open(first);
        ASSERT_EQ(NPERR_NO_ERROR, first.stream("http://a.test/one.doc", document, chunks(7)).destroyStream);
        ASSERT_TRUE(waitForNavigation());
    }
    browser.clearRecords();
    host::HostInstance second(browser);
    open(second);
    ASSERT_EQ(NPERR_NO_ERROR, second.stream("http://b.test/other/copy.doc", document, chunks(64)).destroyStream);
    ASSERT_TRUE(waitForNavigation());
    EXPECT_TRUE(browser.logContains("document from cache"));
    EXPECT_FALSE(browser.logContains("starting DerazoZoraveMain"));
    EXPECT_EQ(expectedUrl(document, "http://b.test/other/copy.doc"), browser.navigations().at(0).url);
}

TEST_F(OfficeViewer, StreamsAreRefusedByTheirUrlExtension) {
    const char* urls[] = {"http://x.test/report.DOC", "http://x.test/a.doc?x=1", "http://x.test/dir.old/file",
                          "http://localhost/nodot", "http://x.test/notes.txt"};
    for (const char* url : urls) {
        host::HostInstance instance(browser);
        open(instance);
        browser.clearRecords();
        host::StreamResult result = instance.stream(url, "msg 0 never\n", chunks(5));
        EXPECT_EQ(NPERR_GENERIC_ERROR, result.newStream) << url;
        EXPECT_TRUE(browser.messages().empty()) << url;
        EXPECT_TRUE(browser.logContains("File extension") && browser.logLines(1).size() >= 1) << url;
    }
    EXPECT_TRUE(browser.navigations().empty());
}

TEST_F(OfficeViewer, DocumentTooLargeForTheCacheIsAnInternalError) {
    host::HostInstance instance(browser);
    open(instance);
    // Three times 50 MiB exceeds the budget.
    host::HostInstance::Stream stream(instance, "http://x.test/huge.xls", 50u << 20, "application/xls");
    EXPECT_EQ(NPERR_GENERIC_ERROR, stream.begin());
    ASSERT_EQ(1u, browser.messages().size());
    EXPECT_EQ("Internal error", browser.messages()[0].text);
    EXPECT_EQ(2u, browser.messages()[0].kind);
    EXPECT_TRUE(browser.logContains("Can't allocate disk space for document", 1));
}

TEST_F(OfficeViewer, StreamWithoutLengthCannotStoreMoreThanAnAnnouncedOneMay) {
    host::HostInstance instance(browser);
    open(instance);
    host::StreamOptions options = chunks(512 * 1024);
    options.announceLength = false;
    const std::string document(36u * 1024 * 1024, 'z');  // more than a third of the 100 MiB budget
    host::StreamResult result = instance.stream("http://x.test/endless.ppt", document, options);
    EXPECT_TRUE(result.writeFailed);
    EXPECT_TRUE(browser.logContains("Error: stream exceeds", 2));
    EXPECT_LE(result.delivered, 104857600u / 3);
    EXPECT_EQ(std::vector<std::string>(), listDirectory(dataDir() + "files"));
}

TEST_F(OfficeViewer, UserBreakEndsInTheErrorStateWithoutMessageOrFile) {
    host::HostInstance instance(browser);
    open(instance);
    host::StreamOptions options = chunks(100);
    options.reason = NPRES_USER_BREAK;
    instance.stream("http://x.test/stop.docx", convertingScript("never"), options);
    EXPECT_TRUE(browser.logContains("Stream error 2", 2));
    EXPECT_TRUE(browser.messages().empty());
    host::DrawTarget target(800, 480);
    ASSERT_EQ(1, instance.draw(&target));
    EXPECT_EQ(kErrorPixel, target.pixel(210, 240));
    EXPECT_EQ(std::vector<std::string>(), listDirectory(dataDir() + "files"));
    browser.runUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(browser.navigations().empty());
}

TEST_F(OfficeViewer, RefusedNavigationIsAnInternalError) {
    browser.setGetURLResult(NPERR_GENERIC_ERROR);
    host::HostInstance instance(browser);
    open(instance);
    instance.stream("http://x.test/ok.pptx", convertingScript("fine"), chunks(11));
    ASSERT_TRUE(waitForNavigation());
    EXPECT_TRUE(browser.logContains("GetURL: 1", 2));
    ASSERT_EQ(1u, browser.messages().size());
    EXPECT_EQ("Internal error", browser.messages()[0].text);
    EXPECT_EQ(2u, browser.messages()[0].kind);
}

// The instance goes while its converter works: NPP_Destroy does not wait
// for the worker, which kills the converter and leaves the working area
// empty; nothing is posted.
TEST_F(OfficeViewer, DestroyDuringConversionKillsTheConverterAndLeavesNothing) {
    host::HostInstance instance(browser);
    open(instance);
    const std::string record = root() + "/converter.record";
    instance.stream("http://x.test/slow.doc", "record " + record + "\nindex part\nhang\n", chunks(16));
    ASSERT_TRUE(browser.runUntil([&] { return exists(record); }, std::chrono::milliseconds(10000)));
    const pid_t converter = static_cast<pid_t>(std::stol(test_support::recorded(record, "pid").at(0)));
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy());
    EXPECT_TRUE(test_support::eventually([&] { return browser.logContains("interrupted", 1); }));
    EXPECT_TRUE(test_support::eventually([&] { return test_support::groupIsGone(converter); }));
    EXPECT_TRUE(test_support::eventually([&] { return listDirectory(dataDir() + "files").empty(); }));
    browser.runPendingCalls();
    EXPECT_TRUE(browser.navigations().empty());
    EXPECT_TRUE(browser.messages().empty());
}

TEST_F(OfficeViewer, CacheHitPostedForADestroyedInstanceDoesNothing) {
    const std::string document = convertingScript("posted late");
    {
        host::HostInstance first(browser);
        open(first);
        first.stream("http://a.test/first.doc", document, chunks(9));
        ASSERT_TRUE(waitForNavigation());
    }
    browser.clearRecords();
    host::HostInstance second(browser);
    open(second);
    second.stream("http://a.test/second.doc", document, chunks(9));
    // Wait until the worker posted the open request, without running it.
    ASSERT_TRUE(test_support::eventually([&] { return browser.pendingCalls() > 0; }, 10000));
    ASSERT_EQ(1u, browser.pendingCalls());
    second.destroy();
    EXPECT_EQ(1u, browser.runPendingCalls());
    EXPECT_TRUE(browser.navigations().empty());
    EXPECT_TRUE(browser.logContains("document from cache"));
}

// A stream that begins while the instance's current one is received or
// converted is refused, and writes or an end for any stream but the current
// one change nothing.
TEST_F(OfficeViewer, StreamsAreToldApartByTheirNPStream) {
    host::HostInstance instance(browser);
    open(instance);
    const std::string first = "sleep 1500\n" + convertingScript("first stream");
    const std::string second = convertingScript("second stream");
    host::HostInstance::Stream a(instance, "http://x.test/a.doc", static_cast<uint32_t>(first.size()),
                                 "application/msword");
    host::HostInstance::Stream b(instance, "http://x.test/b.doc", static_cast<uint32_t>(second.size()),
                                 "application/msword");
    ASSERT_EQ(NPERR_NO_ERROR, a.begin());
    ASSERT_EQ(static_cast<long>(first.size() / 2), a.write(first.substr(0, first.size() / 2), 5));
    EXPECT_EQ(NPERR_GENERIC_ERROR, b.begin());
    const NPPluginFuncs& funcs = browser.pluginFuncs();
    EXPECT_GT(0, funcs.write(instance.npp(), &b.npStream(), 0, static_cast<int32_t>(second.size()),
                             const_cast<char*>(second.data())));
    funcs.destroystream(instance.npp(), &b.npStream(), NPRES_DONE);
    ASSERT_EQ(static_cast<long>(first.size() - first.size() / 2), a.write(first.substr(first.size() / 2), 5));
    ASSERT_EQ(NPERR_NO_ERROR, a.finish());
    EXPECT_EQ(NPERR_GENERIC_ERROR, instance.stream("http://x.test/c.doc", second, chunks(50)).newStream);
    ASSERT_TRUE(waitForNavigation());
    EXPECT_EQ(expectedUrl(first, "http://x.test/a.doc"), browser.navigations().at(0).url);
    EXPECT_TRUE(browser.messages().empty());
    EXPECT_EQ(2u, browser.logCount("stream refused", 2));
}

// Another browser process holds the storage lock and is stopped: no call on
// the plug-in thread waits for it beyond a short bound, the stream waits on
// the worker and converts once the holder goes on, and a destroy while the
// worker waits returns at once.
TEST_F(OfficeViewer, StoppedLockHolderNeverBlocksThePluginThread) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        CStorageManager storage;
        bool locked = storage.init() && storage.lockCache();
        char byte = locked ? 'L' : 'F';
        if (write(ready[1], &byte, 1) == 1 && locked) raise(SIGSTOP);
        storage.unlockCache();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(1, read(ready[0], &byte, 1));
    close(ready[0]);
    ASSERT_EQ('L', byte);
    ASSERT_TRUE(test_support::eventually([&] {
        return readFile("/proc/" + std::to_string(holder) + "/stat").find(") T ") != std::string::npos;
    }));

    double longest = 0;
    auto timed = [&](const char* what, auto call) {
        auto start = std::chrono::steady_clock::now();
        call();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        longest = std::max(longest, ms);
        EXPECT_LT(ms, 2000) << what << " waited for the stopped holder";
        return ms;
    };
    const std::string document = convertingScript("after the holder");
    host::HostInstance waiting(browser);
    timed("NPP_New and NPP_SetWindow", [&] { open(waiting); });
    timed("the stream", [&] { waiting.stream("http://x.test/wait.doc", document, chunks(4096)); });
    host::HostInstance destroyed(browser);
    open(destroyed);
    timed("the stream", [&] { destroyed.stream("http://x.test/gone.doc", convertingScript("never"), chunks(4096)); });
    const double destroyMs = timed("NPP_Destroy", [&] { destroyed.destroy(); });
    browser.runUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_TRUE(browser.navigations().empty());
    std::printf("stopped lock holder: longest call on the plug-in thread %.1f ms, NPP_Destroy %.1f ms\n", longest,
                destroyMs);

    kill(holder, SIGCONT);  // it lets go of the lock
    waitpid(holder, nullptr, 0);
    ASSERT_TRUE(waitForNavigation());
    EXPECT_EQ(expectedUrl(document, "http://x.test/wait.doc"), browser.navigations().at(0).url);
    EXPECT_TRUE(browser.messages().empty());
}

}  // namespace
