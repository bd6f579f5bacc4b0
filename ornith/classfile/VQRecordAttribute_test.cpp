#include "ornith/classfile/VQRecordAttribute.h"

#include <gtest/gtest.h>

#include "ornith/classfile/AttributeTestSupport.h"
#include "ornith/classfile/VQAnnotationAttributes.h"

namespace ornith {
namespace {

using testing::AttributePool;
using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;
using testing::putU4;

void attribute(Bytes& out, uint16_t name, const Bytes& info) {
    putU2(out, name);
    putU4(out, static_cast<uint32_t>(info.size()));
    out.insert(out.end(), info.begin(), info.end());
}

class Record : public ::testing::Test {
protected:
    ClassFileWriter w;
    uint16_t x = w.utf8("x"), items = w.utf8("items"), intType = w.utf8("I"),
             list = w.utf8("Ljava/util/List;"), signature = w.utf8("Signature"),
             generic = w.utf8("Ljava/util/List<Ljava/lang/String;>;"),
             visible = w.utf8("RuntimeVisibleAnnotations"), tag = w.utf8("Lp/Tag;"),
             recordName = w.utf8("Record");

    // Two components: int x, and List<String> items with a signature and an annotation.
    Bytes twoComponents() {
        Bytes info;
        putU2(info, 2);
        putU2(info, x);
        putU2(info, intType);
        putU2(info, 0);
        putU2(info, items);
        putU2(info, list);
        putU2(info, 2);
        attribute(info, signature, testing::u2s({generic}));
        attribute(info, visible, testing::u2s({1, tag, 0}));
        return info;
    }
};

TEST_F(Record, ComponentsWithTheirSignaturesAndAttributes) {
    AttributePool pool(w);
    auto r = pool.decodeAs<VQJavaRecordAttribute>("Record", twoComponents());
    ASSERT_TRUE(r);
    ASSERT_FALSE(r->isMalformed());
    ASSERT_EQ(r->components().size(), 2u);
    const VQRecordComponent& first = r->components()[0];
    EXPECT_EQ(first.name(), "x");
    EXPECT_EQ(first.descriptor(), "I");
    EXPECT_FALSE(first.genericSignature());
    EXPECT_FALSE(first.attributes());

    const VQRecordComponent& second = r->components()[1];
    EXPECT_EQ(second.genericSignature(), "Ljava/util/List<Ljava/lang/String;>;");
    ASSERT_TRUE(second.attributes());
    EXPECT_EQ(second.attributes()->size(), 2u);
    const auto* annotations = dynamic_cast<const VQJavaAnnotationsAttribute*>(
        second.attributeWithName("RuntimeVisibleAnnotations"));
    ASSERT_TRUE(annotations);
    EXPECT_EQ(annotations->annotations().at(0).typeName(), "p.Tag");
}

TEST_F(Record, CutsCountsAndNestingMakeItMalformed) {
    AttributePool pool(w);
    const Bytes info = twoComponents();
    for (size_t cut = 0; cut < info.size(); ++cut) {
        auto r = pool.decodeAs<VQJavaRecordAttribute>(
            "Record", Bytes(info.begin(), info.begin() + static_cast<long>(cut)));
        EXPECT_TRUE(r->isMalformed()) << cut;
        EXPECT_TRUE(r->components().empty()) << cut;
    }
    Bytes lying = info;
    lying[0] = lying[1] = 0xFF;
    EXPECT_TRUE(pool.decodeAs<VQJavaRecordAttribute>("Record", lying)->isMalformed());

    // Records inside a component's attributes, far deeper than javac could write.
    Bytes nested;
    putU2(nested, 0);
    for (int i = 0; i < 2000; ++i) {
        Bytes outer;
        putU2(outer, 1);
        putU2(outer, x);
        putU2(outer, intType);
        putU2(outer, 1);
        attribute(outer, recordName, nested);
        nested = std::move(outer);
    }
    // The decode stops a few levels down instead of going 2000 frames deep.
    auto level = pool.decodeAs<VQJavaRecordAttribute>("Record", nested);
    int depth = 0;
    while (level && !level->isMalformed()) {
        ASSERT_EQ(level->components().size(), 1u);
        level = std::dynamic_pointer_cast<const VQJavaRecordAttribute>(
            level->components()[0].attributes()->at(0));
        ++depth;
    }
    ASSERT_TRUE(level);
    EXPECT_GT(depth, 1);
    EXPECT_LT(depth, 10);
}

}  // namespace
}  // namespace ornith
