#include "ornith/classfile/VQConstantPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;

// The bytes of a pool alone: count, then the entries the writer holds, then `tail`.
struct PoolBytes {
    Bytes bytes;
    VQByteStream stream() { return {bytes.data(), 0, static_cast<uint32_t>(bytes.size())}; }
};

PoolBytes poolOf(const ClassFileWriter& w, const Bytes& tail = {}) {
    Bytes all = w.bytes();
    // Without magic and version, and without the class header that follows the pool
    // (access, this, super and four empty counts).
    Bytes pool(all.begin() + 8, all.end() - 14);
    pool.insert(pool.end(), tail.begin(), tail.end());
    return {pool};
}

std::string openFailure(Bytes bytes) {
    VQByteStream s{bytes.data(), 0, static_cast<uint32_t>(bytes.size())};
    try {
        VQCloseConstantPool(VQOpenConstantPool(s));
    } catch (const VQInvalidArgumentException& e) {
        return e.reason();
    }
    return "opened";
}

std::string stringFailure(const VQConstantPool& pool, int32_t index) {
    try {
        VQStringValueAtIndex(pool, index);
    } catch (const VQInvalidArgumentException& e) {
        return e.reason();
    }
    return "decoded";
}

TEST(VQConstantPool, LongAndDoubleTakeTwoIndexes) {
    ClassFileWriter w;
    EXPECT_EQ(w.utf8("a"), 1);
    EXPECT_EQ(w.longInteger(1), 2);
    EXPECT_EQ(w.utf8("b"), 4);
    EXPECT_EQ(w.doubleFloating(2.0), 5);
    EXPECT_EQ(w.integer(3), 7);
    PoolBytes p = poolOf(w, {0xAB});
    VQByteStream s = p.stream();
    VQConstantPoolHandle pool(VQOpenConstantPool(s));
    ASSERT_EQ(pool->count, 8);
    EXPECT_EQ(s.position, p.bytes.size() - 1);  // right after the last entry
    EXPECT_EQ(pool->entries[0], nullptr);
    EXPECT_EQ(pool->entries[3], nullptr);
    EXPECT_EQ(pool->entries[6], nullptr);
    const int expectedTags[] = {0, 1, 5, 0, 1, 6, 0, 3};
    for (int i = 1; i < 8; ++i) {
        if (expectedTags[i] == 0) {
            EXPECT_EQ(stringFailure(*pool, i), "bad constant pool index " + std::to_string(i));
        } else {
            EXPECT_EQ(VQTagAtIndex(*pool, i), expectedTags[i]) << i;
        }
    }
    EXPECT_EQ(VQStringValueAtIndex(*pool, 1), "a");
    EXPECT_EQ(VQStringValueAtIndex(*pool, 4), "b");
    EXPECT_EQ(VQEntryAtIndex(*pool, 2, kVQConstantLong, 8)[7], 1);
}

TEST(VQConstantPool, ALongInTheLastSlotStaysInsideThePool) {
    ClassFileWriter w;
    w.utf8("x");
    w.longInteger(-1);
    w.setPoolCount(3);  // the Long's second index would be 3, one past the pool
    PoolBytes p = poolOf(w);
    VQByteStream s = p.stream();
    VQConstantPoolHandle pool(VQOpenConstantPool(s));
    EXPECT_EQ(pool->count, 3);
    EXPECT_EQ(VQTagAtIndex(*pool, 2), kVQConstantLong);
    EXPECT_EQ(s.position, s.length);
}

TEST(VQConstantPool, CountsOfZeroAndOneReadNoTags) {
    for (int32_t count : {0, 1}) {
        Bytes bytes;
        putU2(bytes, static_cast<uint32_t>(count));
        bytes.push_back(99);  // would be an unknown tag if read
        VQByteStream s{bytes.data(), 0, static_cast<uint32_t>(bytes.size())};
        VQConstantPoolHandle pool(VQOpenConstantPool(s));
        EXPECT_EQ(pool->count, count);
        EXPECT_EQ(s.position, 2u);
        for (int32_t i : {-1, 0, 1})
            EXPECT_EQ(stringFailure(*pool, i), "bad constant pool index " + std::to_string(i));
    }
}

TEST(VQConstantPool, StepsOverTheModernKinds) {
    // Each kind with its body size; a Utf8 right after shows that the size was right.
    const std::pair<uint8_t, size_t> kinds[] = {{15, 3}, {16, 2}, {17, 4},
                                                {18, 4}, {19, 2}, {20, 2}};
    ClassFileWriter w;
    std::vector<uint16_t> after;
    for (auto [tag, size] : kinds) {
        w.raw(tag, Bytes(size, 0x01));
        after.push_back(w.utf8("after" + std::to_string(tag)));
    }
    PoolBytes p = poolOf(w);
    VQByteStream s = p.stream();
    VQConstantPoolHandle pool(VQOpenConstantPool(s));
    for (size_t k = 0; k < after.size(); ++k) {
        EXPECT_EQ(VQTagAtIndex(*pool, after[k] - 1), kinds[k].first);
        EXPECT_EQ(VQStringValueAtIndex(*pool, after[k]), "after" + std::to_string(kinds[k].first));
    }
}

TEST(VQConstantPool, RefusesUnknownTagsAndMissingData) {
    for (int tag : {0, 13, 14, 21, 127, 255}) {
        ClassFileWriter w;
        w.utf8("ok");
        w.raw(static_cast<uint8_t>(tag), {0, 0, 0, 0});
        EXPECT_EQ(openFailure(poolOf(w).bytes), "unknown constant type " + std::to_string(tag));
    }
    // The data ends where a tag is due, or inside the count itself.
    ClassFileWriter w;
    w.utf8("ok");
    w.setPoolCount(3);
    EXPECT_EQ(openFailure(poolOf(w).bytes), "unknown constant type -1");
    EXPECT_EQ(openFailure({}), "unknown constant type -1");
    EXPECT_EQ(openFailure({0x00}), "unknown constant type -1");
    EXPECT_EQ(openFailure({0xFF, 0xFF}), "unknown constant type -1");
}

TEST(VQConstantPool, AStringLengthPastTheEndStopsAtTheEnd) {
    // The last entry claims 0x4000 bytes but has 3; one more has only half its length.
    for (Bytes tail :
         {Bytes{1, 0x40, 0x00, 'a', 'b', 'c'}, Bytes{1, 0x40}, Bytes{2, 0xFF, 0xFF, 0}, Bytes{1}}) {
        Bytes bytes = {0, 3, 1, 0, 1, 'z'};
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        VQByteStream s{bytes.data(), 0, static_cast<uint32_t>(bytes.size())};
        VQConstantPoolHandle pool(VQOpenConstantPool(s));
        EXPECT_EQ(s.position, s.length);
        EXPECT_EQ(VQStringValueAtIndex(*pool, 1), "z");
        EXPECT_EQ(stringFailure(*pool, 2), "bad constant pool index 2");
    }
    // Too short for the next tag after it: the open fails rather than moving backwards.
    EXPECT_EQ(openFailure({0, 4, 1, 0, 9, 'a'}), "unknown constant type -1");
}

TEST(VQConstantPool, ChecksIndexesAndKinds) {
    ClassFileWriter w;
    const uint16_t text = w.utf8("java/lang/Object");
    const uint16_t cls = w.classRef("java/lang/Object");
    const uint16_t num = w.integer(5);
    const uint16_t wrongClass =
        w.raw(7, {0, static_cast<uint8_t>(num)});  // a Class naming an Integer
    PoolBytes p = poolOf(w);
    VQByteStream s = p.stream();
    VQConstantPoolHandle pool(VQOpenConstantPool(s));

    EXPECT_EQ(VQClassNameAtIndex(*pool, cls), "java.lang.Object");
    EXPECT_EQ(VQStringValueAtIndex(*pool, text), "java/lang/Object");
    for (int32_t bad : {-1, 0, int32_t{cls}, int32_t{num}, pool->count, 65535, INT32_MIN})
        EXPECT_EQ(stringFailure(*pool, bad), "bad constant pool index " + std::to_string(bad));
    EXPECT_THROW(VQClassNameAtIndex(*pool, text), VQInvalidArgumentException);
    try {
        VQClassNameAtIndex(*pool, wrongClass);
        ADD_FAILURE();
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "bad constant pool index " + std::to_string(num));
    }
    EXPECT_THROW(VQEntryAtIndex(*pool, num, kVQConstantFloat, 4), VQInvalidArgumentException);
    EXPECT_NE(VQEntryAtIndex(*pool, num, kVQConstantInteger, 4), nullptr);
}

TEST(VQConstantPool, AFixedBodyCutByTheEndIsRefused) {
    Bytes bytes = {0, 2, 3, 0xFF, 0xFF};  // an Integer with two of its four bytes
    VQByteStream s{bytes.data(), 0, static_cast<uint32_t>(bytes.size())};
    VQConstantPoolHandle pool(VQOpenConstantPool(s));
    EXPECT_THROW(VQEntryAtIndex(*pool, 1, kVQConstantInteger, 4), VQInvalidArgumentException);
    EXPECT_EQ(VQTagAtIndex(*pool, 1), kVQConstantInteger);
}

TEST(VQConstantPool, DecodesSixteenBitEntriesBigEndian) {
    const std::pair<Bytes, std::string> cases[] = {
        {{}, ""},
        {{0, 'A', 0x00, 0xE9}, "A\xC3\xA9"},
        {{0xD8, 0x3D, 0xDE, 0x00}, "\xF0\x9F\x98\x80"},  // a surrogate pair
        {{0xD8, 0x3D, 0, 'x'}, "\xEF\xBF\xBDx"},         // a lone high surrogate
        {{0xDE, 0x00}, "\xEF\xBF\xBD"},                  // a lone low surrogate
        {{0, 'a', 0x7F}, "a\xEF\xBF\xBD"},               // an odd byte at the end
        {{0, 0}, std::string(1, '\0')},
    };
    for (const auto& [units, expected] : cases) {
        Bytes bytes = {0, 2, 2};
        putU2(bytes, static_cast<uint32_t>(units.size()));
        bytes.insert(bytes.end(), units.begin(), units.end());
        VQByteStream s{bytes.data(), 0, static_cast<uint32_t>(bytes.size())};
        VQConstantPoolHandle pool(VQOpenConstantPool(s));
        EXPECT_EQ(VQStringValueAtIndex(*pool, 1), expected);
    }
}

// The reader answers with failures as values, each naming its kind and the index (or,
// when the pool will not open, the tag and where it stopped); the raising functions say
// the same things.
TEST(VQPoolReader, FailuresAreValuesThatNameKindAndIndex) {
    ClassFileWriter w;
    const uint16_t text = w.utf8("java/lang/Object");
    const uint16_t klass = w.classRef("java/lang/Object");
    const uint16_t number = w.integer(7);
    PoolBytes p = poolOf(w);
    VQByteStream s = p.stream();
    VQConstantPoolHandle pool(VQOpenConstantPool(s));
    const VQPoolReader reader(*pool);

    std::string out;
    EXPECT_EQ(*reader.dottedClassName(klass, out), "java.lang.Object");
    EXPECT_EQ(*reader.classNameBytes(klass), "java/lang/Object");
    EXPECT_TRUE(reader.textEquals(text, "java/lang/Object"));
    for (const VQPoolFailure& failure :
         {reader.text(number).failure(), reader.entry(text, kVQConstantClass, 2).failure(),
          reader.dottedClassName(number, out).failure(), reader.tag(0).failure()}) {
        EXPECT_EQ(failure.kind, VQErrorKind::badPoolIndex);
        EXPECT_EQ(failure.offset, VQPoolFailure::kNoOffset);
    }
    EXPECT_EQ(reader.text(number).failure().value, number);
    EXPECT_EQ(reader.tag(999).failure().value, 999);
    try {
        (void)reader.string(number).orRaiseAt(42);
        ADD_FAILURE() << "no failure raised";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "bad constant pool index " + std::to_string(number));
        EXPECT_EQ(e.kind(), VQErrorKind::badPoolIndex);
        EXPECT_EQ(e.offset(), 42u);
    }

    // Opening: an unknown tag where it stands, and data that ends before an entry is due.
    ClassFileWriter bad;
    bad.utf8("ok");
    bad.raw(13, {0, 0});
    PoolBytes b = poolOf(bad);
    VQByteStream bs = b.stream();
    const VQPoolResult<VQConstantPool*> unknown = parsing::openConstantPool(bs, nullptr);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.failure().kind, VQErrorKind::unknownConstant);
    EXPECT_EQ(unknown.failure().value, 13);
    EXPECT_EQ(unknown.failure().offset, 2u + 5u);  // the count, then the Utf8 entry
    Bytes cut = {0, 3, 1, 0, 1, 'a'};
    VQByteStream cs{cut.data(), 0, static_cast<uint32_t>(cut.size())};
    const VQPoolResult<VQConstantPool*> truncated = parsing::openConstantPool(cs, nullptr);
    ASSERT_FALSE(truncated);
    EXPECT_EQ(truncated.failure().kind, VQErrorKind::truncatedClassFile);
    EXPECT_EQ(truncated.failure().offset, cut.size());
    try {
        VQByteStream again{cut.data(), 0, static_cast<uint32_t>(cut.size())};
        VQCloseConstantPool(VQOpenConstantPool(again));
        ADD_FAILURE() << "no failure raised";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "unknown constant type -1");
        EXPECT_EQ(e.kind(), VQErrorKind::truncatedClassFile);
    }
}

}  // namespace
}  // namespace ornith
