#include "ornith/model/VQJavapCode.h"

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

Bytes smallClass() {
    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    w.addMethod(1, "m", "()V",
                {w.attribute("Code", Bytes{0, 1, 0, 1, 0, 0, 0, 1, 0xB1, 0, 0, 0, 0})});
    return w.bytes();
}

TEST(VQJavaClassKeptFile, PoolAndLayoutComeFromTheKeptBytesOnly) {
    const Bytes bytes = smallClass();
    auto lent = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    EXPECT_EQ(lent->constantPool(), nullptr);
    EXPECT_EQ(lent->classFileLayout(), nullptr);

    auto kept = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(bytes));
    const VQConstantPoolEntries* pool = kept->constantPool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool, kept->constantPool());
    const VQClassFileLayout* layout = kept->classFileLayout();
    ASSERT_NE(layout, nullptr);
    ASSERT_EQ(layout->methods().size(), 1u);
    EXPECT_EQ(pool->modifiedUTF8(layout->methods()[0].nameIndex), "m");
    std::string name;
    ASSERT_TRUE(pool->text(layout->thisClass(), name));
    EXPECT_EQ(name, "p/C");
}

}  // namespace
}  // namespace ornith
