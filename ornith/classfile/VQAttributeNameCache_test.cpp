#include "ornith/classfile/VQAttributeNameCache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQParseContext.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith::parsing {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

// A pool holding the given names, opened from a writer's bytes within a context, as a
// parse opens it.
struct NamePool {
    explicit NamePool(const std::vector<std::string>& names) {
        for (const auto& name : names) indexes.push_back(w.utf8(name));
        source = w.utf8("A.java");
        bytes = w.bytes();
        VQByteStream s{bytes.data(), 8, static_cast<uint32_t>(bytes.size())};
        pool.reset(openConstantPool(s, &context).orRaise());
    }
    std::shared_ptr<const VQJavaAttribute> at(int32_t index, const Bytes& info,
                                              AttributeNameMemo* memo) const {
        VQByteStream s{info.data(), 0, static_cast<uint32_t>(info.size())};
        return attributeAtNameIndex(*pool, index, s, memo);
    }

    ClassFileWriter w;
    std::vector<uint16_t> indexes;
    uint16_t source = 0;
    Bytes bytes;
    VQParseContext context;
    VQConstantPoolHandle pool;
};

TEST(VQAttributeNameCache, UnknownNamesShareOneObjectAndKnownOnesAreDecoded) {
    NamePool p({"Code", "SourceFile", "caf\xC3\xA9"});
    Bytes sourceInfo;
    testing::putU2(sourceInfo, p.source);
    for (AttributeNameMemo* memo :
         {static_cast<AttributeNameMemo*>(nullptr), new AttributeNameMemo}) {
        std::unique_ptr<AttributeNameMemo> owned(memo);
        auto code = p.at(p.indexes[0], {1, 2, 3}, memo);
        EXPECT_EQ(code->typeName(), "Code");
        EXPECT_EQ(p.at(p.indexes[0], {}, memo), code);  // the same object, not a copy
        auto source = p.at(p.indexes[1], sourceInfo, memo);
        ASSERT_NE(dynamic_cast<const VQJavaSourceAttribute*>(source.get()), nullptr);
        EXPECT_EQ(dynamic_cast<const VQJavaSourceAttribute&>(*source).sourceName(), "A.java");
        EXPECT_NE(p.at(p.indexes[1], sourceInfo, memo), source);  // decoded afresh each time
        // A name that needs decoding is looked up by its decoded text.
        EXPECT_EQ(p.at(p.indexes[2], {}, memo)->typeName(), "caf\xC3\xA9");
        EXPECT_THROW(p.at(0, {}, memo), VQInvalidArgumentException);
        EXPECT_THROW(p.at(9999, {}, memo), VQInvalidArgumentException);
    }
}

TEST(VQAttributeNameCache, AMemoSlotSharedByTwoIndexesGivesEachItsOwnName) {
    // Indexes that fall into the same memo slot, met in turn.
    std::vector<std::string> names;
    for (uint32_t i = 0; i < 3 * AttributeNameMemo::kSlots; ++i)
        names.push_back("Name" + std::to_string(i));
    NamePool p(names);
    AttributeNameMemo memo;
    for (int round = 0; round < 2; ++round)
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(p.at(p.indexes[i], {}, &memo)->typeName(), names[i]);
}

TEST(VQAttributeNameCache, NamesBeyondTheBoundAreStillDecoded) {
    // More names, and longer ones, than the cache keeps.
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i) names.push_back("Attribute" + std::to_string(i));
    names.push_back(std::string(300, 'L'));
    NamePool p(names);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(p.at(p.indexes[i], {}, nullptr)->typeName(), names[i]);
}

}  // namespace
}  // namespace ornith::parsing
