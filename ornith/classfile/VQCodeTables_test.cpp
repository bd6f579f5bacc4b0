#include "ornith/classfile/VQCodeTables.h"

#include <gtest/gtest.h>

#include <string>

#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU1;
using testing::putU2;

TEST(VQCodeTables, LineNumbersAndLocals) {
    Bytes lines;
    putU2(lines, 2);
    putU2(lines, 0), putU2(lines, 7);
    putU2(lines, 5), putU2(lines, 9);
    const VQLineNumberTable table = VQDecodeLineNumberTable(lines);
    ASSERT_FALSE(table.fault);
    ASSERT_EQ(table.entries.size(), 2u);
    EXPECT_EQ(table.entries[1].startPc, 5);
    EXPECT_EQ(table.entries[1].line, 9);

    Bytes cut(lines.begin(), lines.end() - 1);
    const VQLineNumberTable bad = VQDecodeLineNumberTable(cut);
    ASSERT_TRUE(bad.fault);
    EXPECT_EQ(bad.fault->offset, 6u);  // the entry that does not fit
    EXPECT_EQ(bad.entries.size(), 0u);
    lines.push_back(0);
    EXPECT_TRUE(VQDecodeLineNumberTable(lines).fault);

    Bytes locals;
    putU2(locals, 1);
    for (uint32_t v : {2u, 10u, 33u, 34u, 1u}) putU2(locals, v);
    const VQLocalVariableTable vars = VQDecodeLocalVariableTable(locals);
    ASSERT_FALSE(vars.fault);
    ASSERT_EQ(vars.entries.size(), 1u);
    EXPECT_EQ(vars.entries[0].start, 2);
    EXPECT_EQ(vars.entries[0].length, 10);
    EXPECT_EQ(vars.entries[0].nameIndex, 33);
    EXPECT_EQ(vars.entries[0].descriptorIndex, 34);
    EXPECT_EQ(vars.entries[0].slot, 1);
    // A count far beyond the bytes is refused before anything is reserved for it.
    Bytes huge;
    putU2(huge, 65535);
    EXPECT_TRUE(VQDecodeLocalVariableTable(huge).fault);
}

TEST(VQCodeTables, StackMapFramesAndTypes) {
    ClassFileWriter w;
    const uint16_t klass = w.classRef("p/C");
    const uint16_t text = w.utf8("x");
    const Bytes poolBytes = w.bytes();
    const auto pool = VQConstantPoolEntries::entriesOfClassFile(poolBytes);

    Bytes info;
    putU2(info, 7);
    putU1(info, 3);                       // same, offset 3
    putU1(info, 64 + 2), putU1(info, 1);  // same_locals_1_stack_item int, offset 6
    putU1(info, 247), putU2(info, 4), putU1(info, 8), putU2(info, 12);  // offset 11
    putU1(info, 249), putU2(info, 0);                                   // chop 2, offset 12
    putU1(info, 251), putU2(info, 1);                                   // offset 14
    putU1(info, 253), putU2(info, 2), putU1(info, 4), putU1(info, 7), putU2(info, klass);
    putU1(info, 255), putU2(info, 3);  // full, offset 21
    putU2(info, 1), putU1(info, 6);
    putU2(info, 2), putU1(info, 5), putU1(info, 0);
    const VQStackMapTable table(info, pool.get());
    ASSERT_FALSE(table.fault());
    ASSERT_EQ(table.frames().size(), 7u);
    const auto f = table.frames();
    EXPECT_EQ(f[0].kind, VQStackMapFrameKind::same);
    EXPECT_EQ(f[0].offset, 3u);
    EXPECT_EQ(f[1].kind, VQStackMapFrameKind::sameLocals1StackItem);
    EXPECT_EQ(f[1].offset, 6u);
    EXPECT_EQ(table.stack(f[1])[0].tag, VQVerificationTag::integer);
    EXPECT_EQ(f[2].kind, VQStackMapFrameKind::sameLocals1StackItemExtended);
    EXPECT_EQ(f[2].offset, 11u);
    EXPECT_EQ(table.stack(f[2])[0].tag, VQVerificationTag::uninitialized);
    EXPECT_EQ(table.stack(f[2])[0].value, 12);
    EXPECT_EQ(f[3].kind, VQStackMapFrameKind::chop);
    EXPECT_EQ(f[3].choppedLocals(), 2u);
    EXPECT_EQ(f[3].offset, 12u);
    EXPECT_EQ(f[4].kind, VQStackMapFrameKind::sameExtended);
    EXPECT_EQ(f[4].offset, 14u);
    EXPECT_EQ(f[5].kind, VQStackMapFrameKind::append);
    ASSERT_EQ(table.locals(f[5]).size(), 2u);
    EXPECT_EQ(table.locals(f[5])[0].tag, VQVerificationTag::longType);
    EXPECT_EQ(table.locals(f[5])[1].tag, VQVerificationTag::object);
    EXPECT_EQ(table.locals(f[5])[1].value, klass);
    EXPECT_EQ(f[6].kind, VQStackMapFrameKind::full);
    EXPECT_EQ(f[6].offset, 21u);
    ASSERT_EQ(table.locals(f[6]).size(), 1u);
    EXPECT_EQ(table.locals(f[6])[0].tag, VQVerificationTag::uninitializedThis);
    ASSERT_EQ(table.stack(f[6]).size(), 2u);
    EXPECT_EQ(table.stack(f[6])[0].tag, VQVerificationTag::null);
    EXPECT_EQ(table.stack(f[6])[1].tag, VQVerificationTag::top);

    // A full frame cut inside its stack keeps its locals, and says which frame it was.
    Bytes cut(info.begin(), info.end() - 1);
    const VQStackMapTable partial(cut, pool.get());
    ASSERT_TRUE(partial.fault());
    EXPECT_EQ(partial.frames().size(), 6u);
    EXPECT_EQ(partial.fault()->entry, 6u);
    EXPECT_EQ(partial.fault()->offset, cut.size());
    EXPECT_EQ(partial.fault()->progress, VQFrameProgress::locals);
    EXPECT_EQ(partial.locals(partial.fault()->partial).size(), 1u);

    // An object type must name a Class entry.
    Bytes notClass;
    putU2(notClass, 1);
    putU1(notClass, 64), putU1(notClass, 7), putU2(notClass, text);
    const VQStackMapTable wrong(notClass, pool.get());
    ASSERT_TRUE(wrong.fault());
    EXPECT_EQ(wrong.fault()->offset, 3u);
    EXPECT_EQ(wrong.fault()->progress, VQFrameProgress::header);
    EXPECT_FALSE(VQStackMapTable(notClass, nullptr).fault());

    Bytes reserved;
    putU2(reserved, 60000);
    putU1(reserved, 200);
    const VQStackMapTable unknown(reserved, nullptr);
    ASSERT_TRUE(unknown.fault());
    EXPECT_EQ(unknown.fault()->progress, VQFrameProgress::nothing);
    EXPECT_EQ(unknown.fault()->offset, 2u);
}

TEST(VQCodeTables, TypeAnnotationTargetsAndPaths) {
    Bytes annotation;
    putU2(annotation, 9);  // type
    putU2(annotation, 1);  // one pair: name, a nested array of one int
    putU2(annotation, 10), putU1(annotation, '['), putU2(annotation, 1);
    putU1(annotation, 'I'), putU2(annotation, 11);

    Bytes info;
    putU2(info, 3);
    putU1(info, 0x40), putU2(info, 1), putU2(info, 2), putU2(info, 5), putU2(info, 3);
    putU1(info, 2), putU1(info, 0), putU1(info, 0), putU1(info, 3), putU1(info, 1);
    info.insert(info.end(), annotation.begin(), annotation.end());
    putU1(info, 0x47), putU2(info, 17), putU1(info, 1), putU1(info, 0);
    info.insert(info.end(), annotation.begin(), annotation.end());
    putU1(info, 0x10), putU2(info, 65535), putU1(info, 0);
    info.insert(info.end(), annotation.begin(), annotation.end());
    const VQTypeAnnotationTable table(info);
    ASSERT_FALSE(table.fault());
    const auto a = table.annotations();
    ASSERT_EQ(a.size(), 3u);
    EXPECT_STREQ(VQTypeAnnotationTargetName(a[0].targetType), "LOCAL_VARIABLE");
    ASSERT_EQ(table.ranges(a[0]).size(), 1u);
    EXPECT_EQ(table.ranges(a[0])[0].startPc, 2);
    EXPECT_EQ(table.ranges(a[0])[0].length, 5);
    EXPECT_EQ(table.ranges(a[0])[0].index, 3);
    ASSERT_EQ(table.path(a[0]).size(), 2u);
    EXPECT_EQ(table.path(a[0])[0].kind, VQTypePathStep::array);
    EXPECT_EQ(table.path(a[0])[1].kind, VQTypePathStep::typeArgument);
    EXPECT_EQ(table.path(a[0])[1].typeArgumentIndex, 1);
    EXPECT_EQ(Bytes(a[0].annotation.begin(), a[0].annotation.end()), annotation);
    EXPECT_EQ(a[1].offset, 17);
    EXPECT_EQ(a[1].typeArgumentIndex, 1);
    EXPECT_EQ(a[2].supertypeIndex, 65535);
    EXPECT_EQ(a[2].pathLength, 0);

    Bytes cut(info.begin(), info.end() - 1);
    const VQTypeAnnotationTable bad(cut);
    ASSERT_TRUE(bad.fault());
    EXPECT_EQ(bad.annotations().size(), 2u);
    EXPECT_EQ(bad.fault()->offset, a[2].annotationOffset);

    Bytes unknownTarget;
    putU2(unknownTarget, 1);
    putU1(unknownTarget, 0x30);
    const VQTypeAnnotationTable unknown(unknownTarget);
    ASSERT_TRUE(unknown.fault());
    EXPECT_EQ(unknown.fault()->offset, 2u);
    EXPECT_EQ(VQTypeAnnotationTargetName(0x30), nullptr);
}

}  // namespace
}  // namespace ornith
