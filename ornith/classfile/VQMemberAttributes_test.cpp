#include "ornith/classfile/VQMemberAttributes.h"

#include <gtest/gtest.h>

#include "ornith/classfile/AttributeTestSupport.h"

namespace ornith {
namespace {

using testing::AttributePool;
using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU1;
using testing::putU2;

TEST(VQJavaMethodParametersAttribute, NamesAndFlags) {
    ClassFileWriter w;
    const uint16_t count = w.utf8("count"), label = w.utf8("label");
    AttributePool pool(w);
    Bytes info;
    putU1(info, 3);
    for (uint16_t v : {count, uint16_t{0x0010}, uint16_t{0}, uint16_t{0x8000}, label, uint16_t{0}})
        putU2(info, v);
    auto a = pool.decodeAs<VQJavaMethodParametersAttribute>("MethodParameters", info);
    ASSERT_TRUE(a);
    ASSERT_FALSE(a->isMalformed());
    EXPECT_EQ(a->parameters(), (std::vector<VQMethodParameter>{
                                   {"count", 0x0010}, {std::nullopt, 0x8000}, {"label", 0}}));

    for (Bytes bad : {Bytes{}, Bytes{4, 0, 0, 0, 0}, Bytes{1, 0, 99, 0, 0}, Bytes{0, 0}}) {
        a = pool.decodeAs<VQJavaMethodParametersAttribute>("MethodParameters", bad);
        EXPECT_TRUE(a->isMalformed());
        EXPECT_TRUE(a->parameters().empty());
    }
}

TEST(VQJavaMarkerAttribute, DeprecatedAndSyntheticAreSharedMarkers) {
    ClassFileWriter w;
    AttributePool pool(w);
    auto deprecated = pool.decode("Deprecated", {});
    auto synthetic = pool.decode("Synthetic", {});
    EXPECT_EQ(deprecated->typeName(), "Deprecated");
    EXPECT_EQ(synthetic->typeName(), "Synthetic");
    EXPECT_TRUE(dynamic_cast<const VQJavaMarkerAttribute*>(deprecated.get()));
    EXPECT_EQ(pool.decode("Deprecated", {}), deprecated);
    EXPECT_NE(deprecated, synthetic);
}

}  // namespace
}  // namespace ornith
