#include "converter_program/converter_args.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char*> argv, tConverterArgs& args, std::string& error) {
    argv.insert(argv.begin(), "DerazoZoraveMain");
    return parseConverterArgs(static_cast<int>(argv.size()), argv.data(), args, error);
}

TEST(ConverterArgs, CommandLines) {
    const struct {
        std::vector<const char*> argv;
        const char* destination;
        const char* page;
        int fd;
    } kAccepted[] = {
        {{"/w/a b.doc", "/w/a b.doc_files/index.html", "7"}, "/w/a b.doc_files/", "index.html", 7},
        {{"in.xls", "index.html", "-1"}, "./", "index.html", -1},  // run by hand: no pipe
        {{"in.doc", "o/index.html", "2147483647"}, "o/", "index.html", 2147483647},
    };
    for (const auto& row : kAccepted) {
        tConverterArgs args;
        std::string error;
        ASSERT_TRUE(parse(row.argv, args, error)) << row.argv[2] << ": " << error;
        EXPECT_EQ(row.destination, args.destinationDir);
        EXPECT_EQ(row.page, args.entryPageName);
        EXPECT_EQ(row.fd, args.pipeFd);
    }
    const std::vector<const char*> kRefused[] = {
        {"in.doc", "o/index.html"}, {"in.doc", "o/index.html", "3", "x"}, {"", "o/index.html", "3"},
        {"in.doc", "", "3"}, {"in.doc", "o/", "3"}, {"in.doc", "o/..", "3"}, {"in.doc", "o/index.html", ""},
        {"in.doc", "o/index.html", "x"}, {"in.doc", "o/index.html", "3x"}, {"in.doc", "o/index.html", " 3"},
        {"in.doc", "o/index.html", "-2"}, {"in.doc", "o/index.html", "2147483648"},
        {"in.doc", "o/index.html", "99999999999999999999"}};
    for (const auto& argv : kRefused) {
        tConverterArgs args;
        std::string error;
        EXPECT_FALSE(parse(argv, args, error)) << argv.size() << " arguments, last '" << argv.back() << "'";
        EXPECT_NE("", error);
    }
}

}  // namespace
