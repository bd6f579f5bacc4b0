#include "ornith/classfile/VQConstantPoolEntries.h"

#include <gtest/gtest.h>

#include <string>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;

Bytes refBody(uint16_t a, uint16_t b) {
    Bytes body;
    putU2(body, a);
    putU2(body, b);
    return body;
}

std::string operands(const VQConstantPoolEntries& pool, uint32_t index) {
    std::string out;
    EXPECT_TRUE(pool.appendJavapOperands(index, out)) << index;
    return out;
}

std::string value(const VQConstantPoolEntries& pool, uint32_t index) {
    std::string out;
    EXPECT_TRUE(pool.appendJavapValue(index, out)) << index;
    return out;
}

TEST(VQConstantPoolEntries, GivesEachKindItsIndexesValueAndJavapText) {
    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    const uint16_t object = w.classRef("java/lang/Object");
    const uint16_t init = w.raw(12, refBody(w.utf8("<init>"), w.utf8("()V")));
    const uint16_t methodref = w.raw(10, refBody(object, init));
    const uint16_t own =
        w.raw(9, refBody(w.classRef("p/C"), w.raw(12, refBody(w.utf8("f"), w.utf8("I")))));
    const uint16_t array = w.classRef("[Ljava/lang/String;");
    const uint16_t text = w.string("a\tb\"c");
    const uint16_t number = w.integer(-7);
    const uint16_t real = w.floating(1.5f);
    const uint16_t big = w.longInteger(5);
    const uint16_t dbl = w.doubleFloating(0.1);
    Bytes handle{6};
    putU2(handle, methodref);
    const uint16_t methodHandle = w.raw(15, handle);
    const uint16_t indy = w.raw(18, refBody(0, init));
    Bytes lone;
    putU2(lone, 3);
    lone.insert(lone.end(), {0xED, 0xA0, 0x80});
    const uint16_t surrogate = w.raw(8, Bytes{0, static_cast<uint8_t>(w.raw(1, lone))});
    const Bytes bytes = w.bytes();

    auto pool = VQConstantPoolEntries::entriesOfClassFile(bytes);
    ASSERT_TRUE(pool);
    EXPECT_EQ(pool->tag(methodref), 10);
    EXPECT_EQ(pool->firstIndex(methodref), object);
    EXPECT_EQ(pool->secondIndex(methodref), init);
    EXPECT_EQ(pool->tag(big + 1), 0);  // the slot after a Long
    EXPECT_EQ(pool->tag(0), 0);
    EXPECT_EQ(pool->tag(pool->size()), 0);
    EXPECT_EQ(pool->intValue(number), -7);
    EXPECT_EQ(pool->longValue(big), 5);
    EXPECT_EQ(pool->doubleValue(dbl), 0.1);
    EXPECT_EQ(pool->intValue(text), 0);

    EXPECT_STREQ(VQConstantPoolEntries::kindName(pool->tag(methodref)), "Methodref");
    EXPECT_EQ(operands(*pool, methodref),
              "#" + std::to_string(object) + ".#" + std::to_string(init));
    EXPECT_EQ(value(*pool, methodref), "java/lang/Object.\"<init>\":()V");
    EXPECT_EQ(value(*pool, array), "\"[Ljava/lang/String;\"");
    EXPECT_EQ(value(*pool, text), "a\\tb\\\"c");
    EXPECT_EQ(operands(*pool, number), "-7");
    EXPECT_EQ(value(*pool, real), "1.5f");
    EXPECT_EQ(value(*pool, big), "5l");
    EXPECT_EQ(value(*pool, dbl), "0.1d");
    EXPECT_EQ(operands(*pool, methodHandle), "6:#" + std::to_string(methodref));
    EXPECT_EQ(value(*pool, methodHandle), "REF_invokeStatic java/lang/Object.\"<init>\":()V");
    EXPECT_EQ(value(*pool, indy), "#0:\"<init>\":()V");

    std::string out;
    EXPECT_TRUE(pool->appendJavapReference(methodref, pool->firstIndex(own), out));
    EXPECT_EQ(out, "Method java/lang/Object.\"<init>\":()V");
    out.clear();
    EXPECT_TRUE(pool->appendJavapReference(own, pool->firstIndex(own), out));
    EXPECT_EQ(out, "Field f:I");

    // A lone surrogate: U+FFFD in UTF-8, the unit itself in UTF-16, '?' in javap's text.
    std::string utf8;
    ASSERT_TRUE(pool->text(surrogate, utf8));
    EXPECT_EQ(utf8, "\xEF\xBF\xBD");
    std::u16string units;
    ASSERT_TRUE(pool->utf16(surrogate, units));
    EXPECT_EQ(units, std::u16string(1, u'\xD800'));
    EXPECT_EQ(value(*pool, surrogate), "?");

    // References of the wrong kind or outside the pool name nothing.
    out.clear();
    EXPECT_FALSE(pool->appendJavapValue(pool->size() + 3, out));
    EXPECT_FALSE(pool->appendJavapValue(big + 1, out));
    EXPECT_TRUE(out.empty());
}

// Names are checked sixteen bytes at a time where they can be: a fault on either side of
// a block's edge, or in the bytes after the last whole block, must still quote the name.
TEST(VQAppendJavapCheckedName, QuotesANameWithAnyPartThatIsNoIdentifier) {
    const std::string base = "com/example/abcd";  // sixteen bytes
    for (const std::string& plain :
         {base, base + "/Efg$_h1", base + base + "/x", std::string("a/b/c/d/e/f/g/h/i/j/k/l"),
          base + "/\xC3\xA9t\xC3\xA9/Name", std::string("java/lang/invoke/LambdaMetafactory")}) {
        std::string out;
        VQAppendJavapCheckedName(plain, out);
        EXPECT_EQ(out, plain);
    }
    for (size_t at : {size_t{14}, size_t{15}, size_t{16}, size_t{17}, size_t{31}, size_t{33}}) {
        std::string name = base + base + "/tail";
        for (const char bad : {'-', '.', '<', ' '}) {
            name[at] = bad;
            std::string out;
            VQAppendJavapCheckedName(name, out);
            EXPECT_EQ(out, "\"" + name + "\"") << at << bad;
        }
        // A part that starts with a digit, or is empty.
        for (const std::string& part : {std::string("/9"), std::string("//")}) {
            std::string broken = base + base + "/tail";
            broken.replace(at, 2, part);
            std::string out;
            VQAppendJavapCheckedName(broken, out);
            EXPECT_EQ(out, "\"" + broken + "\"") << at << part;
        }
    }
}

TEST(VQConstantPoolEntries, AWrongReferenceFailsWithoutText) {
    ClassFileWriter w;
    const uint16_t number = w.integer(1);
    const uint16_t bad = w.raw(10, refBody(number, 999));
    const Bytes bytes = w.bytes();
    auto pool = VQConstantPoolEntries::entriesOfClassFile(bytes);
    std::string out = "x";
    EXPECT_FALSE(pool->appendJavapValue(bad, out));
    EXPECT_FALSE(pool->appendJavapReference(bad, 0, out));
    EXPECT_EQ(out, "x");
}

TEST(VQConstantPoolEntries, FailsAsTheParseDoes) {
    ClassFileWriter w;
    w.utf8("x");
    Bytes bytes = w.bytes();
    // Cut inside the count; cut inside the last entry, which the header after it then
    // lacks.
    Bytes cut(bytes.begin(), bytes.begin() + 9);
    EXPECT_THROW(VQConstantPoolEntries::entriesOfClassFile(cut), VQInvalidArgumentException);
    cut.assign(bytes.begin(), bytes.begin() + 12);
    auto pool = VQConstantPoolEntries::entriesOfClassFile(cut);
    EXPECT_THROW(VQClassFileLayout::layoutOfClassFile(cut, *pool), VQInvalidArgumentException);
    bytes[0] = 0;
    try {
        VQConstantPoolEntries::entriesOfClassFile(bytes);
        FAIL();
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "Not a java .class file");
    }
}

TEST(VQClassFileLayout, WalksTheTablesInFileOrder) {
    ClassFileWriter w;
    w.setVersion(65, 3);
    w.setAccess(0x21);
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    w.addInterface("p/I");
    w.addField(2, "f", "I", {w.attribute("Deprecated")});
    w.addMethod(1, "m", "()V", {w.attribute("Code", Bytes{1, 2, 3}), w.attribute("X")});
    w.addClassAttribute(w.sourceFile("C.java"));
    const Bytes bytes = w.bytes();
    auto pool = VQConstantPoolEntries::entriesOfClassFile(bytes);
    auto layout = VQClassFileLayout::layoutOfClassFile(bytes, *pool);
    EXPECT_EQ(layout->majorVersion(), 65);
    EXPECT_EQ(layout->minorVersion(), 3);
    EXPECT_EQ(layout->accessFlags(), 0x21);
    ASSERT_EQ(layout->interfaces().size(), 1u);
    ASSERT_EQ(layout->fields().size(), 1u);
    EXPECT_EQ(pool->modifiedUTF8(layout->fields()[0].nameIndex), "f");
    ASSERT_EQ(layout->methods().size(), 1u);
    const VQLayoutAttribute* code = layout->methods()[0].attribute("Code");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->info.size(), 3u);
    EXPECT_EQ(code->info[2], 3);
    EXPECT_EQ(layout->methods()[0].attributes.size(), 2u);
    ASSERT_NE(layout->attribute("SourceFile"), nullptr);

    // A file cut inside its method table.
    for (size_t cut = pool->endOffset(); cut < bytes.size(); ++cut) {
        Bytes shorter(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_THROW(VQClassFileLayout::layoutOfClassFile(shorter, *pool),
                     VQInvalidArgumentException)
            << cut;
    }
}

}  // namespace
}  // namespace ornith
