#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_message_header.h"
#include "platform/zeta/zeta_ostream.h"

namespace {

std::uint32_t at32(const std::uint8_t* bytes, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, bytes + offset, 4);
    return value;
}

std::vector<std::uint8_t> message(std::uint32_t typeCode, std::uint32_t updateId, std::vector<std::uint8_t> payload) {
    Zeta::MessageHeader header;
    header.typeCode = typeCode;
    header.updateId = updateId;
    header.payloadLength = static_cast<std::uint32_t>(payload.size());
    std::vector<std::uint8_t> bytes(Zeta::HEADER_SIZE);
    Zeta::writeHeader(bytes.data(), header);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

TEST(ZetaHeader, FieldsSitAtTheirDocumentedOffsets) {
    Zeta::MessageHeader header;
    header.typeCode = 514;
    header.updateId = 0xC0000000u;
    header.requestType = 256;
    header.command = 7;
    header.flags = 0;
    header.sender = SPartyID{11, 12};
    header.receiver = SPartyID{21, 22};
    header.payloadLength = 99;
    std::uint8_t bytes[Zeta::HEADER_SIZE];
    Zeta::writeHeader(bytes, header);
    EXPECT_EQ(0x5A455441u, at32(bytes, 0));
    EXPECT_EQ(514u, at32(bytes, 4));
    EXPECT_EQ(0xC0000000u, at32(bytes, 8));
    std::uint16_t requestType, command;
    std::memcpy(&requestType, bytes + 12, 2);
    std::memcpy(&command, bytes + 14, 2);
    EXPECT_EQ(256, requestType);
    EXPECT_EQ(7, command);
    EXPECT_EQ(0u, at32(bytes, 16));
    EXPECT_EQ(11u, at32(bytes, 20));
    EXPECT_EQ(12u, at32(bytes, 24));
    EXPECT_EQ(21u, at32(bytes, 28));
    EXPECT_EQ(22u, at32(bytes, 32));
    EXPECT_EQ(99u, at32(bytes, 36));
}

TEST(ZetaHeader, RejectsShortWrongMagicAndLengthMismatch) {
    Zeta::MessageHeader header;
    std::vector<std::uint8_t> good = message(512, 1, {1, 2, 3, 4});
    EXPECT_TRUE(Zeta::readHeader(good.data(), good.size(), header));
    EXPECT_FALSE(Zeta::readHeader(good.data(), Zeta::HEADER_SIZE - 1, header));
    EXPECT_FALSE(Zeta::readHeader(good.data(), good.size() - 1, header));  // payload cut short
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);  // more bytes than announced
    EXPECT_FALSE(Zeta::readHeader(longer.data(), longer.size(), header));
    std::vector<std::uint8_t> magic = good;
    magic[0] ^= 0xFF;
    EXPECT_FALSE(Zeta::readHeader(magic.data(), magic.size(), header));
}

TEST(ZetaIStream, ReadsStopAtTheReceivedBytesAndStayFailed) {
    std::vector<std::uint8_t> bytes = message(512, 0x80000001u, {7, 0, 0, 0, 9, 9});
    CZetaIStream in;
    ASSERT_TRUE(in.assign(bytes.data(), bytes.size()));
    EXPECT_EQ(512u, in.getTypeCode());
    EXPECT_EQ(0x80000001u, in.getUpdateId());
    EXPECT_EQ(Zeta::HEADER_SIZE, in.getPosition());
    std::uint32_t value = 0;
    EXPECT_TRUE(in.read(&value, 4));
    EXPECT_EQ(7u, value);
    EXPECT_FALSE(in.read(&value, 4));  // only two bytes left
    EXPECT_EQ(ERANGE, in.getError());
    EXPECT_EQ(Zeta::HEADER_SIZE + 4, in.getPosition());
    std::uint8_t one = 0;
    EXPECT_FALSE(in.read(&one, 1));  // the error is sticky
}

TEST(ZetaIStream, AlignPastTheEndIsARangeError) {
    std::vector<std::uint8_t> bytes = message(512, 1, {1, 2});
    CZetaIStream in;
    ASSERT_TRUE(in.assign(bytes.data(), bytes.size()));
    std::uint8_t one;
    ASSERT_TRUE(in.read(&one, 1));
    EXPECT_FALSE(in.align(4));
    EXPECT_EQ(ERANGE, in.getError());
}

TEST(ZetaIStream, MalformedBytesGiveAnInvalidStreamWithNothingToRead) {
    CZetaIStream in;
    const std::uint8_t garbage[5] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(in.assign(garbage, sizeof(garbage)));
    EXPECT_FALSE(in.isValid());
    std::uint8_t one;
    EXPECT_FALSE(in.read(&one, 1));
    EXPECT_FALSE(in.assign(nullptr, 0));
    std::vector<std::uint8_t> huge(Zeta::MAX_MESSAGE_SIZE + 1);
    EXPECT_FALSE(in.assign(huge.data(), huge.size()));
    EXPECT_EQ(EMSGSIZE, in.getError());
}

TEST(ZetaOStream, WritesAfterTheHeaderAndPadsWithZeroBytes) {
    CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 3, SPartyID{1, 2}, SPartyID{3, 0},
                     0);
    EXPECT_EQ(Zeta::HEADER_SIZE, out.getPosition());
    EXPECT_EQ(Zeta::HEADER_SIZE, out.getSize());
    const std::uint8_t byte = 0xAB;
    ASSERT_TRUE(out.write(&byte, 1));
    ASSERT_TRUE(out.setCapacity(Zeta::HEADER_SIZE + 8));
    ASSERT_TRUE(out.setPosition(Zeta::HEADER_SIZE + 4));
    EXPECT_EQ(Zeta::HEADER_SIZE + 4, out.getSize());
    EXPECT_EQ(0xAB, out.getBuffer()[Zeta::HEADER_SIZE]);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(0, out.getBuffer()[Zeta::HEADER_SIZE + i]);
}

TEST(ZetaOStream, OversizeMessageIsRefusedAndNotSent) {
    CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 3, SPartyID(), SPartyID(), 0);
    std::vector<std::uint8_t> big(Zeta::MAX_MESSAGE_SIZE - Zeta::HEADER_SIZE + 1);
    EXPECT_FALSE(out.write(big.data(), big.size()));
    EXPECT_EQ(EMSGSIZE, out.getError());
    EXPECT_FALSE(out.write(big.data(), 1));  // nothing after an error
    EXPECT_EQ(Zeta::HEADER_SIZE, out.getSize());
    EXPECT_FALSE(out.send(-1));
    EXPECT_EQ(EMSGSIZE, out.getStatus());
}

TEST(ZetaOStream, SendWithoutALinkReportsNotConnected) {
    CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 3, SPartyID(), SPartyID(), 0);
    EXPECT_FALSE(out.send(-1));
    EXPECT_EQ(ENOTCONN, out.getStatus());
}

}  // namespace
