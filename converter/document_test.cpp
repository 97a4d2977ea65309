#include "converter/document.h"

#include <gtest/gtest.h>

#include <cstring>

#include "converter/document_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class Document : public DocumentTest {
protected:
    std::string path(const std::string& leaf) { return filesDir() + leaf; }
    std::string hexOfDocument(const CDocument& document) { return hexOf(document.getMD5()); }
};

TEST_F(Document, BytesWrittenInPiecesArriveWholeAndAreDigested) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i * 7 + i / 256);
    CDocument document(path("a.docx").c_str());
    ASSERT_TRUE(receive(document, bytes));
    EXPECT_EQ(CDocument::Written, document.getState());
    EXPECT_EQ(bytes, readFile(path("a.docx")));
    EXPECT_EQ(md5Hex(bytes), hexOfDocument(document));
}

TEST_F(Document, WritesOutsideWritingOrWithoutDataAreRefusedAndNotDigested) {
    CDocument document(path("b.docx").c_str());
    EXPECT_EQ(-1, document.write("early", 5));
    ASSERT_TRUE(document.startWrite());
    EXPECT_FALSE(document.startWrite());
    EXPECT_EQ(-1, document.write(nullptr, 5));
    EXPECT_EQ(-1, document.write("negative", -1));
    EXPECT_EQ(3, document.write("abc", 3));
    ASSERT_TRUE(document.finishWrite());
    EXPECT_EQ(-1, document.write("late", 4));
    EXPECT_FALSE(document.finishWrite());
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", hexOfDocument(document));
    EXPECT_EQ("abc", readFile(path("b.docx")));
}

TEST_F(Document, FinishWithoutStartOnlySetsTheStateAndKeepsAZeroDigest) {
    CDocument document(path("c.docx").c_str());
    EXPECT_TRUE(document.finishWrite());
    EXPECT_EQ(CDocument::Written, document.getState());
    EXPECT_EQ("00000000000000000000000000000000", hexOfDocument(document));
}

TEST_F(Document, FileLivesAsLongAsTheDocumentOnceStarted) {
    ASSERT_TRUE(writeFile(path("untouched.docx"), "someone else's"));
    { CDocument notStarted(path("untouched.docx").c_str()); }
    EXPECT_TRUE(exists(path("untouched.docx")));

    {
        CDocument writing(path("writing.docx").c_str());
        ASSERT_TRUE(writing.startWrite());
        ASSERT_EQ(4, writing.write("part", 4));
        EXPECT_TRUE(exists(path("writing.docx")));
    }
    EXPECT_FALSE(exists(path("writing.docx")));

    {
        CDocument written(path("written.docx").c_str());
        ASSERT_TRUE(receive(written, "whole"));
    }
    EXPECT_FALSE(exists(path("written.docx")));
}

TEST_F(Document, StartWriteFailsWhereTheFileCannotBeCreated) {
    LogCapture capture;
    CDocument document(path("missing-dir/d.docx").c_str());
    EXPECT_FALSE(document.startWrite());
    EXPECT_EQ(CDocument::New, document.getState());
    EXPECT_TRUE(capture.contains("CDocument::startWrite: Can't open file: " + std::string(strerror(ENOENT)), 2));
}

TEST_F(Document, ConvertBeforeTheWriteFinishedStartsNoConverter) {
    LogCapture capture;
    CDocument document(path("e.docx").c_str());
    ASSERT_TRUE(document.startWrite());
    CQVString entryPoint;
    EXPECT_FALSE(document.convert((filesDir() + "e_files/").c_str(), entryPoint));
    EXPECT_FALSE(capture.contains("starting DerazoZoraveMain"));
}

TEST_F(Document, ConversionSucceedsOnlyWithItsEntryPage) {
    LogCapture capture;
    DocumentPtr withPage = newDocument();
    ASSERT_TRUE(receive(*withPage, "msg 0 converting\nindex converted\n"));
    CQVString entryPoint;
    EXPECT_TRUE(withPage->convert(mManager.getDestinationDirectory(withPage->getFilePath()), entryPoint));
    EXPECT_STREQ("index.html", entryPoint.c_str());
    EXPECT_TRUE(capture.contains("CDocument::convert: converted document exists", 0));

    DocumentPtr withoutPage = newDocument();
    ASSERT_TRUE(receive(*withoutPage, "msg 0 converting\n"));
    EXPECT_FALSE(withoutPage->convert(mManager.getDestinationDirectory(withoutPage->getFilePath()), entryPoint));
    EXPECT_TRUE(capture.contains("CDocument::convert: converted document was not found", 1));
}

TEST_F(Document, ConversionCutOffByTheLimitFailsDespiteItsPage) {
    ::setenv("OFFICE_PLUGINS_TIME_LIMIT", "1", 1);
    LogCapture capture;
    DocumentPtr document = newDocument();
    ASSERT_TRUE(receive(*document, "index partial\nhang\n"));
    CQVString destination = mManager.getDestinationDirectory(document->getFilePath());
    CQVString entryPoint;
    EXPECT_FALSE(document->convert(destination, entryPoint));
    EXPECT_TRUE(exists(std::string(destination.c_str()) + "index.html"));
    EXPECT_TRUE(capture.contains("CDocument::convert: conversion did not complete", 1));
    EXPECT_FALSE(capture.contains("converted document exists"));
}

}  // namespace
