#include "ipc/orca_browser_plugin_codec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "ipc/ipc_test_support.h"
#include "ipc/register_message_fit.h"

namespace {

using namespace OrcaBrowserPlugin;
typedef std::vector<std::uint8_t> Bytes;

CZetaOStream newStream() {
    return CZetaOStream(nullptr, -1, 0, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 0, SPartyID(), SPartyID(), 0);
}

// An input stream over `payload` as the controller would have sent it.
bool load(CZetaIStream& in, const Bytes& payload) {
    Bytes message = controllerMessage(512, UPD_ID_responseRegister,
                                      [&](CZetaOStream& out) { out.write(payload.data(), payload.size()); });
    return in.assign(message.data(), message.size());
}

TEST(OrcaCodec, TextIsCountLengthPlusOneThenCharactersAndZero) {
    CZetaOStream out = newStream();
    ZetaWriteString(out, "abc");
    EXPECT_EQ((Bytes{4, 0, 0, 0, 'a', 'b', 'c', 0}), payloadOf(out));
    EXPECT_EQ(Zeta::HEADER_SIZE + 8, out.getSize());
}

TEST(OrcaCodec, IntegerAfterOddTextGetsOnePaddingByte) {
    CZetaOStream out = newStream();
    ZetaWriteString(out, "ab");
    ZetaWriteInt32(out, -2);
    EXPECT_EQ((Bytes{3, 0, 0, 0, 'a', 'b', 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}), payloadOf(out));
}

TEST(OrcaCodec, EmptyTextIsTheCountZeroAlone) {
    CZetaOStream out = newStream();
    ZetaWriteString(out, "");
    EXPECT_EQ((Bytes{0, 0, 0, 0}), payloadOf(out));
}

TEST(OrcaCodec, ParameterListIsCountThenNameValueTexts) {
    CZetaOStream empty = newStream();
    ZetaWriteTParameterList(empty, TQVVector<tNameValuePair>());
    EXPECT_EQ((Bytes{0, 0, 0, 0}), payloadOf(empty));

    TQVVector<tNameValuePair> list;
    list.push_back(tNameValuePair("a", "xy"));
    list.push_back(tNameValuePair("", "z"));
    CZetaOStream out = newStream();
    ZetaWriteTParameterList(out, list);
    EXPECT_EQ((Bytes{2, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 0, 0, 3, 0, 0, 0, 'x', 'y', 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'z', 0}),
              payloadOf(out));
}

TEST(OrcaCodec, FieldsReadBackAsWritten) {
    CZetaOStream out = newStream();
    TQVVector<tNameValuePair> list;
    list.push_back(tNameValuePair("name", "value"));
    ZetaWriteString(out, "text");
    ZetaWriteTParameterList(out, list);
    ZetaWriteUInt32(out, 0xDEADBEEFu);
    CZetaIStream in;
    ASSERT_TRUE(load(in, payloadOf(out)));
    CQVString text;
    TQVVector<tNameValuePair> back;
    UInt32 value = 0;
    EXPECT_TRUE(ZetaReadString(in, text));
    EXPECT_TRUE(ZetaReadTParameterList(in, back));
    EXPECT_TRUE(ZetaReadUInt32(in, value));
    EXPECT_EQ(CQVString("text"), text);
    ASSERT_EQ(1, back.size());
    EXPECT_EQ(CQVString("name"), back.get(0).name);
    EXPECT_EQ(CQVString("value"), back.get(0).value);
    EXPECT_EQ(0xDEADBEEFu, value);
    EXPECT_EQ(0u, in.remaining());
}

TEST(OrcaCodec, CountOfOneWithZeroByteReadsAsEmptyText) {
    CZetaIStream in;
    ASSERT_TRUE(load(in, Bytes{1, 0, 0, 0, 0}));
    CQVString text("previous");
    EXPECT_TRUE(ZetaReadString(in, text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(0, in.getError());
}

TEST(OrcaCodec, TextRunningPastTheEndIsEmptyAndStopsLaterReads) {
    CZetaIStream in;
    ASSERT_TRUE(load(in, Bytes{10, 0, 0, 0, 'a', 'b', 'c'}));
    CQVString text("previous");
    EXPECT_FALSE(ZetaReadString(in, text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(ERANGE, in.getError());
    UInt32 value = 7;
    EXPECT_FALSE(ZetaReadUInt32(in, value));
    EXPECT_EQ(7u, value);
}

TEST(OrcaCodec, ListCountLargerThanTheBytesIsRefusedBeforeAllocating) {
    CZetaIStream huge;
    ASSERT_TRUE(load(huge, Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}));
    TQVVector<tNameValuePair> list;
    EXPECT_FALSE(ZetaReadTParameterList(huge, list));
    EXPECT_EQ(ERANGE, huge.getError());
    EXPECT_EQ(0, list.size());

    CZetaIStream negative;
    ASSERT_TRUE(load(negative, Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(ZetaReadTParameterList(negative, list));

    CZetaIStream cut;  // two pairs announced, one and a half present
    ASSERT_TRUE(load(cut, Bytes{2, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0}));
    EXPECT_FALSE(ZetaReadTParameterList(cut, list));
    EXPECT_EQ(0, list.size());
}

TEST(OrcaCodec, ShortIntegerIsARangeError) {
    CZetaIStream in;
    ASSERT_TRUE(load(in, Bytes{1, 2, 3}));
    eResult result = RESULT_OK;
    EXPECT_FALSE(ZetaReadEResult(in, result));
    EXPECT_EQ(ERANGE, in.getError());
}

TEST(OrcaCodec, FieldThatDoesNotFitIsNotWrittenAndLaterWritesAreSkipped) {
    CZetaOStream out = newStream();
    ZetaWriteUInt32(out, 1);
    std::string big(Zeta::MAX_MESSAGE_SIZE, 'x');
    ZetaWriteString(out, big.c_str());
    EXPECT_EQ(EMSGSIZE, out.getError());
    ZetaWriteUInt32(out, 2);
    EXPECT_EQ((Bytes{1, 0, 0, 0}), payloadOf(out));
}

TEST(OrcaNames, UpdateIdNames) {
    EXPECT_STREQ("UPD_ID_responseMouseEvent", toString(static_cast<UpdateIdEnum>(0x80000003u)));
    EXPECT_STREQ("UPD_ID_requestRegister", toString(static_cast<UpdateIdEnum>(0)));
    EXPECT_STREQ("UPD_ID_requestDeregister", toString(static_cast<UpdateIdEnum>(6)));
    EXPECT_STREQ("UPD_ID_responseDataAvailableEvent", toString(static_cast<UpdateIdEnum>(0x80000006u)));
    EXPECT_STREQ("UPD_ID_ConfigPath", toString(static_cast<UpdateIdEnum>(0xC0000000u)));
    EXPECT_STREQ("UPD_ID_NOP", toString(static_cast<UpdateIdEnum>(7)));
    EXPECT_STREQ("UPD_ID_NOP", toString(static_cast<UpdateIdEnum>(0x80000007u)));
    EXPECT_STREQ("UPD_ID_implVersion", toString(static_cast<UpdateIdEnum>(0xFFFFFFFEu)));
}

TEST(OrcaNames, AnswerIdsFollowTheirRequests) {
    EXPECT_EQ(UPD_ID_responseButtonEvent, responseIdFor(UPD_ID_requestButtonEvent));
    EXPECT_EQ(UPD_ID_responseDataAvailableEvent, responseIdFor(UPD_ID_requestDataAvailableEvent));
    EXPECT_EQ(UPD_ID_responseDeregister, responseIdFor(UPD_ID_requestDeregister));
    EXPECT_EQ(UPD_ID_NOP, responseIdFor(7));
}

}  // namespace

namespace {

// The size a registration is fitted by must be the size it is sent with.
TEST(OrcaCodec, RegisterMessageSizeIsTheEncodedSize) {
    struct Row {
        const char* description;
        std::vector<std::pair<const char*, const char*>> pairs;
    };
    const std::vector<Row> rows = {
        {"", {}}, {"ab", {{"a", ""}, {"", "xyz"}}}, {"Viewer", {{"src", "a.doc"}, {"w", "1"}}}};
    for (const Row& row : rows) {
        TQVVector<tNameValuePair> list;
        for (const auto& pair : row.pairs) list.push_back(tNameValuePair(pair.first, pair.second));
        CZetaOStream out = newStream();
        ZetaWriteString(out, row.description);
        ZetaWriteString(out, "mime");
        ZetaWriteTParameterList(out, list);
        ZetaWriteInt32(out, 7);
        EXPECT_EQ(out.getSize(), registerMessageSize(row.description, "mime", list)) << row.description;
    }
}

}  // namespace
