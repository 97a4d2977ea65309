#include "storage/cache_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CacheEntry, RecordLayoutIsLittleEndianWithoutPadding) {
    CCacheEntry entry;
    for (int i = 0; i < 16; ++i) {
        entry.md5[i] = static_cast<UInt8>(0xA0 + i);
    }
    entry.time = 0x0102030405060708ull;
    entry.size = 0x11223344u;
    ASSERT_TRUE(entry.setEntryPoint("index.html"));

    UInt8 record[64];
    std::memset(record, 0xEE, sizeof(record));
    entry.serialize(record);

    UInt8 expected[64] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB,
                          0xAC, 0xAD, 0xAE, 0xAF,
                          // time, low byte first
                          0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                          // size, low byte first
                          0x44, 0x33, 0x22, 0x11,
                          // entry point, then zeros to the end of the field
                          'i', 'n', 'd', 'e', 'x', '.', 'h', 't', 'm', 'l'};
    EXPECT_EQ(0, std::memcmp(expected, record, sizeof(record)));
}

TEST(CacheEntry, ParseReadsWhatSerializeWrote) {
    CCacheEntry entry;
    entry.md5[0] = 1;
    entry.md5[15] = 0xFF;
    entry.time = 0xFFFFFFFFFFFFFFFFull;
    entry.size = 0xFFFFFFFFu;
    ASSERT_TRUE(entry.setEntryPoint("a"));
    UInt8 record[64];
    entry.serialize(record);

    CCacheEntry back = CCacheEntry::parse(record);
    EXPECT_EQ(0, std::memcmp(entry.md5, back.md5, 16));
    EXPECT_EQ(entry.time, back.time);
    EXPECT_EQ(entry.size, back.size);
    EXPECT_STREQ("a", back.entryPoint);
}

TEST(CacheEntry, BytesAfterTheNulAreIgnoredWhenRead) {
    UInt8 record[64] = {0};
    const char name[] = "page.html\0garbage-after-nul";
    std::memcpy(record + 28, name, sizeof(name));
    EXPECT_STREQ("page.html", CCacheEntry::parse(record).entryPoint);
}

TEST(CacheEntry, EntryPointWithoutNulIsNotAcceptable) {
    UInt8 record[64];
    std::memset(record, 'x', sizeof(record));
    CCacheEntry entry = CCacheEntry::parse(record);
    EXPECT_FALSE(CCacheEntry::isValidEntryPoint(entry.entryPoint));
}

TEST(CacheEntry, EntryPointLongerThanTheFieldIsRefused) {
    CCacheEntry entry;
    EXPECT_TRUE(entry.setEntryPoint(std::string(35, 'n').c_str()));
    EXPECT_EQ(35u, std::strlen(entry.entryPoint));
    EXPECT_FALSE(entry.setEntryPoint(std::string(36, 'n').c_str()));
    EXPECT_STREQ("", entry.entryPoint);
    EXPECT_FALSE(entry.setEntryPoint(nullptr));
}
