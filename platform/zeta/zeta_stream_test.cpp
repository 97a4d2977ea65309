// The message header byte for byte, and the datagrams a receiver refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_message_header.h"

namespace {

typedef std::vector<std::uint8_t> Bytes;

template <typename Word>
Word at(const Bytes& bytes, std::size_t offset) {
    Word value;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// A message of `payload` bytes (0xAA) behind a header with every field set.
Bytes message(std::size_t payload) {
    const Zeta::MessageHeader header{
        Zeta::MESSAGE_MAGIC, 514, 0xC0000000u, 256, 7, 0, {11, 12}, {21, 22}, static_cast<std::uint32_t>(payload)};
    Bytes bytes(Zeta::HEADER_SIZE + payload, 0xAA);
    Zeta::writeHeader(bytes.data(), header);
    return bytes;
}

TEST(ZetaHeader, FieldsSitAtTheirOffsets) {
    const Bytes bytes = message(3);
    const std::vector<std::pair<std::size_t, std::uint32_t>> words = {
        {0, 0x5A455441u}, {4, 514}, {8, 0xC0000000u}, {16, 0}, {20, 11}, {24, 12}, {28, 21}, {32, 22}, {36, 3}};
    for (const auto& word : words) EXPECT_EQ(word.second, at<std::uint32_t>(bytes, word.first)) << word.first;
    EXPECT_EQ(256, at<std::uint16_t>(bytes, 12));
    EXPECT_EQ(7, at<std::uint16_t>(bytes, 14));
    EXPECT_EQ(0xAA, bytes[Zeta::HEADER_SIZE]);
}

TEST(ZetaHeader, DatagramsAReceiverRefuses) {
    struct Row {
        const char* name;
        Bytes bytes;
    };
    std::vector<Row> rows = {{"shorter than a header", Bytes(Zeta::HEADER_SIZE - 1, 0)},
                             {"wrong magic", message(4)},
                             {"payload cut short", message(4)},
                             {"more bytes than announced", message(4)},
                             {"longer than a message", message(Zeta::MAX_MESSAGE_SIZE - Zeta::HEADER_SIZE + 1)},
                             {"nothing", Bytes()}};
    rows[1].bytes[0] ^= 0xFF;
    rows[2].bytes.pop_back();
    rows[3].bytes.push_back(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CZetaIStream in;
        EXPECT_FALSE(in.assign(row.bytes.data(), row.bytes.size()));
        EXPECT_FALSE(in.isValid());
        std::uint8_t byte;
        EXPECT_FALSE(in.read(&byte, 1));
    }
}

}  // namespace
