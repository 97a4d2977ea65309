// plugin-host with the real converter on our sample documents: each of the
// six formats ends in a navigation to a converted page that carries the
// sample's text; a corrupt file is "Bad content"; the same file again is
// served from the cache. Skips where the office suite is not installed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct HostRun {
    int status = -1;
    std::string output;
    double seconds = 0;
};

bool exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PluginHostOffice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!exists("/usr/lib/libreoffice/program/soffice.bin") || !exists(std::string(RRZ_SAMPLES_DIR) + "/stamp")) {
            GTEST_SKIP() << "office suite or sample documents not available";
        }
        char pattern[] = "/tmp/rrz-host-office-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        mRoot = pattern;
        mEnvironment = "OFFICE_PLUGINS_DATA='" + mRoot + "/data' OFFICE_PLUGINS_BIN='" RRZ_CONVERTER_DIR
                       "' QV_SHM_PREFIX='rrz-office-" +
                       std::to_string(getpid()) + "-' OFFICE_PLUGINS_TIME_LIMIT=120 ";
    }
    void TearDown() override {
        if (mRoot.empty()) return;
        std::string shm = "/dev/shm/rrz-office-" + std::to_string(getpid()) + "-officeplugin_storage_mutex";
        unlink(shm.c_str());
        std::string command = "rm -rf '" + mRoot + "'";
        EXPECT_EQ(0, std::system(command.c_str()));
    }

    HostRun run(const std::string& arguments) {
        HostRun result;
        auto started = std::chrono::steady_clock::now();
        std::string command = mEnvironment + RRZ_PLUGIN_HOST " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return result;
        std::array<char, 4096> buffer;
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    }

    // The converted page's path from the "navigate:" line, or "".
    static std::string pageOf(const std::string& output) {
        size_t at = output.find("navigate: file://");
        if (at == std::string::npos) return "";
        at += 17;
        return output.substr(at, output.find('?', at) - at);
    }

    std::string mRoot;
    std::string mEnvironment;
};

TEST_F(PluginHostOffice, EverySampleIsConvertedAndShown) {
    struct Sample {
        const char* file;
        const char* text;
        const char* page;  // where the text is: presentations put it beside the entry page
    } samples[] = {
        {"sample.doc", "RRZ-DOC-1", "index.html"},   {"sample.docx", "RRZ-DOCX-1", "index.html"},
        {"sample.xls", "RRZ-XLS-1", "index.html"},   {"sample.xlsx", "RRZ-XLSX-1", "index.html"},
        {"sample.ppt", "RRZ-PPT-1", "text0.html"},   {"sample.pptx", "RRZ-PPTX-1", "text0.html"},
    };
    for (const Sample& sample : samples) {
        HostRun result = run(std::string("-q '") + RRZ_SAMPLES_DIR + "/" + sample.file + "'");
        ASSERT_EQ(0, result.status) << sample.file << "\n" << result.output;
        std::string page = pageOf(result.output);
        ASSERT_FALSE(page.empty()) << result.output;
        EXPECT_EQ("index.html", page.substr(page.rfind('/') + 1));
        std::string textPage = page.substr(0, page.rfind('/') + 1) + sample.page;
        EXPECT_NE(std::string::npos, readFile(textPage).find(sample.text)) << textPage;
        std::printf("%s: converted and opened in %.2f s\n", sample.file, result.seconds);
    }
}

TEST_F(PluginHostOffice, CorruptFileIsBadContent) {
    HostRun result = run(std::string("'") + RRZ_SAMPLES_DIR + "/bad.docx'");
    EXPECT_EQ(1, result.status) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("message: Bad content (kind 1)"));
}

TEST_F(PluginHostOffice, SecondRunComesFromTheCache) {
    std::string sample = std::string("'") + RRZ_SAMPLES_DIR + "/sample.docx'";
    HostRun first = run("-v " + sample);
    ASSERT_EQ(0, first.status) << first.output;
    EXPECT_NE(std::string::npos, first.output.find("starting DerazoZoraveMain"));
    HostRun second = run("-v " + sample);
    ASSERT_EQ(0, second.status) << second.output;
    EXPECT_NE(std::string::npos, second.output.find("document from cache"));
    EXPECT_EQ(std::string::npos, second.output.find("starting DerazoZoraveMain"));
    EXPECT_EQ(pageOf(first.output), pageOf(second.output));
    std::printf("sample.docx: %.2f s converting, %.2f s from the cache\n", first.seconds, second.seconds);
}

}  // namespace
