#include "converter_program/converter_args.h"

#include <gtest/gtest.h>

namespace {

bool parse(std::initializer_list<const char*> list, tConverterArgs& args, std::string& error) {
    std::vector<const char*> argv = {"DerazoZoraveMain"};
    argv.insert(argv.end(), list.begin(), list.end());
    return parseConverterArgs(static_cast<int>(argv.size()), argv.data(), args, error);
}

TEST(ConverterArgs, SplitsTheEntryPageFromItsDirectory) {
    tConverterArgs args;
    std::string error;
    ASSERT_TRUE(parse({"/data/work/a b.doc", "/data/work/a b.doc_files/index.html", "7"}, args, error)) << error;
    EXPECT_EQ("/data/work/a b.doc", args.sourcePath);
    EXPECT_EQ("/data/work/a b.doc_files/index.html", args.entryPagePath);
    EXPECT_EQ("/data/work/a b.doc_files/", args.destinationDir);
    EXPECT_EQ("index.html", args.entryPageName);
    EXPECT_EQ(7, args.pipeFd);
}

TEST(ConverterArgs, EntryPageWithoutDirectoryLiesInTheCurrentOne) {
    tConverterArgs args;
    std::string error;
    ASSERT_TRUE(parse({"in.xls", "index.html", "-1"}, args, error)) << error;
    EXPECT_EQ("./", args.destinationDir);
    EXPECT_EQ("index.html", args.entryPageName);
    EXPECT_EQ(-1, args.pipeFd);
}

TEST(ConverterArgs, RefusesWrongCountsEmptyPathsAndDirectoriesAsEntryPage) {
    tConverterArgs args;
    std::string error;
    EXPECT_FALSE(parse({"in.doc", "out/index.html"}, args, error));
    EXPECT_FALSE(parse({"in.doc", "out/index.html", "3", "extra"}, args, error));
    EXPECT_FALSE(parse({"", "out/index.html", "3"}, args, error));
    EXPECT_FALSE(parse({"in.doc", "", "3"}, args, error));
    EXPECT_FALSE(parse({"in.doc", "out/", "3"}, args, error));
    EXPECT_NE(std::string::npos, error.find("no file name"));
    EXPECT_FALSE(parse({"in.doc", "out/..", "3"}, args, error));
}

TEST(ConverterArgs, RefusesDescriptorsThatAreNotPlainNumbers) {
    tConverterArgs args;
    std::string error;
    for (const char* fd : {"", "x", "3x", " 3", "-2", "2147483648", "99999999999999999999"}) {
        EXPECT_FALSE(parse({"in.doc", "out/index.html", fd}, args, error)) << "'" << fd << "'";
    }
    EXPECT_TRUE(parse({"in.doc", "out/index.html", "2147483647"}, args, error));
    EXPECT_EQ(2147483647, args.pipeFd);
}

}  // namespace
