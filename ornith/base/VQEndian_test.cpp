#include "ornith/base/VQEndian.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ornith/base/VQByteCursor.h"

namespace ornith {
namespace {

TEST(VQEndian, LoadsEachOrderAndWidth) {
    const uint8_t b[8] = {0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07, 0xF8};
    EXPECT_EQ(VQLoadBE16(b), 0x0182u);
    EXPECT_EQ(VQLoadBE32(b), 0x01820384u);
    EXPECT_EQ(VQLoadBE64(b), 0x01820384058607F8ull);
    EXPECT_EQ(VQLoadLE16(b), 0x8201u);
    EXPECT_EQ(VQLoadLE32(b), 0x84038201u);
    EXPECT_EQ(VQLoadLE64(b), 0xF807860584038201ull);
}

TEST(VQEndian, StoresRoundTripAtTheLimits) {
    const uint64_t values[] = {
        0,       1,          0x7F,       0x80,       0xFF,           0x100,     0xFFFF,
        0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x100000000ull, UINT64_MAX};
    for (uint64_t v : values) {
        uint8_t buf[8];
        VQStoreBE16(buf, static_cast<uint16_t>(v));
        EXPECT_EQ(VQLoadBE16(buf), static_cast<uint16_t>(v));
        VQStoreLE16(buf, static_cast<uint16_t>(v));
        EXPECT_EQ(VQLoadLE16(buf), static_cast<uint16_t>(v));
        VQStoreBE32(buf, static_cast<uint32_t>(v));
        EXPECT_EQ(VQLoadBE32(buf), static_cast<uint32_t>(v));
        VQStoreLE32(buf, static_cast<uint32_t>(v));
        EXPECT_EQ(VQLoadLE32(buf), static_cast<uint32_t>(v));
        VQStoreBE64(buf, v);
        EXPECT_EQ(VQLoadBE64(buf), v);
        EXPECT_EQ(buf[0], static_cast<uint8_t>(v >> 56));
        VQStoreLE64(buf, v);
        EXPECT_EQ(VQLoadLE64(buf), v);
        EXPECT_EQ(buf[0], static_cast<uint8_t>(v));
    }
}

TEST(VQByteCursor, ReadsInSequenceAndStopsAtTheEnd) {
    const std::vector<uint8_t> bytes = {0xCA, 0xFE, 0xBA, 0xBE, 0x01, 0x00, 0x07};
    VQByteCursor c(bytes);
    uint32_t magic = 0;
    uint16_t le = 0;
    uint8_t last = 0;
    EXPECT_TRUE(c.be32(magic));
    EXPECT_EQ(magic, 0xCAFEBABEu);
    EXPECT_TRUE(c.le16(le));
    EXPECT_EQ(le, 1u);
    EXPECT_TRUE(c.u8(last));
    EXPECT_EQ(last, 7u);
    EXPECT_TRUE(c.atEnd());
    EXPECT_TRUE(c.ok());
    EXPECT_FALSE(c.u8(last));
    EXPECT_FALSE(c.ok());
}

// Every truncation of a run of reads fails at the first read that does not fit, leaves
// the position where that read began, and never touches bytes past the span.
TEST(VQByteCursor, EveryTruncationFailsWithoutMoving) {
    std::array<uint8_t, 15> full{};
    for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(i + 1);
    for (size_t length = 0; length <= full.size(); ++length) {
        std::vector<uint8_t> bytes(full.begin(), full.begin() + static_cast<long>(length));
        VQByteCursor c(bytes);
        uint8_t a;
        uint16_t b;
        uint32_t d;
        uint64_t e;
        const bool all = c.u8(a) && c.be16(b) && c.le32(d) && c.be64(e);
        EXPECT_EQ(all, length == full.size()) << length;
        EXPECT_EQ(c.ok(), all) << length;
        const size_t expected = length < 1 ? 0 : length < 3 ? 1 : length < 7 ? 3 : all ? 15 : 7;
        EXPECT_EQ(c.position(), expected) << length;
    }
}

TEST(VQByteCursor, SkipSeekAndSpansAreChecked) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4};
    VQByteCursor c(bytes);
    EXPECT_TRUE(c.skip(4));
    EXPECT_FALSE(c.skip(1));
    EXPECT_TRUE(c.seek(1));
    EXPECT_EQ(c.bytes(2).size(), 2u);
    EXPECT_EQ(*c.current(), 4);
    EXPECT_TRUE(c.bytes(5).empty());
    EXPECT_EQ(c.position(), 3u);
    EXPECT_FALSE(c.seek(5));
    EXPECT_FALSE(c.skip(SIZE_MAX));
}

}  // namespace
}  // namespace ornith
