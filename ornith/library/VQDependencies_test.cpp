#include "ornith/library/VQDependencies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using Names = std::vector<std::string>;

Names namesOf(const VQClassReferences& found) {
    return Names(found.referencedClasses.begin(), found.referencedClasses.end());
}

Bytes signatureInfo(ClassFileWriter& writer, std::string_view text) {
    Bytes info;
    testing::putU2(info, writer.utf8(text));
    return info;
}

TEST(VQDependencyScanner, FindsPoolMembersSignaturesAndExceptions) {
    ClassFileWriter writer;
    writer.setThisClass("a/Self");
    writer.setSuperClass("a/Base");
    writer.addInterface("a/Face");
    writer.classRef("[[La/InArray;");
    writer.classRef("[I");
    // A NameAndType's descriptor names classes even when no member is declared with it.
    const uint16_t name = writer.utf8("call");
    const uint16_t type = writer.utf8("(La/Param;[J)La/Result;");
    Bytes nat;
    testing::putU2(nat, name);
    testing::putU2(nat, type);
    writer.raw(kVQConstantNameAndType, nat);
    Bytes methodType;
    testing::putU2(methodType, writer.utf8("(La/OnlyInMethodType;)V"));
    writer.raw(kVQConstantMethodType, methodType);
    writer.addField(
        0, "f", "Ljava/util/List;",
        {writer.attribute("Signature", signatureInfo(writer, "Ljava/util/List<+La/Element;>;"))});
    writer.addMethod(
        0, "m", "(I)V",
        {writer.exceptions({"a/Thrown"}),
         writer.attribute("Signature", signatureInfo(writer, "<T:La/Bound;:La/Iface;>(TT;)V"))});
    writer.addClassAttribute(
        writer.attribute("Signature", signatureInfo(writer, "La/Base;La/Outer<La/Arg;>.Inner;")));

    VQDependencyScanner scanner;
    const Bytes bytes = writer.bytes();
    const VQClassReferences& found = scanner.scanClassData(bytes);
    EXPECT_EQ(found.className, "a.Self");
    EXPECT_FALSE(found.failure);
    EXPECT_EQ(namesOf(found), (Names{"a.Arg", "a.Base", "a.Bound", "a.Element", "a.Face", "a.Iface",
                                     "a.InArray", "a.Outer", "a.Outer$Inner", "a.Param", "a.Result",
                                     "a.Thrown", "java.util.List"}));

    VQDependencyScanner withMethodTypes(VQDependencyScanner::Options{true});
    const Names all = namesOf(withMethodTypes.scanClassData(bytes));
    EXPECT_NE(std::find(all.begin(), all.end(), "a.OnlyInMethodType"), all.end());
}

TEST(VQDependencyScanner, KeepsWhatWasReadBeforeAFault) {
    ClassFileWriter writer;
    writer.setThisClass("a/Self");
    writer.setSuperClass("a/Base");
    writer.classRef("a/Early");
    Bytes bytes = writer.bytes();
    bytes.resize(bytes.size() - 3);  // cut inside the member tables
    VQDependencyScanner scanner;
    const VQClassReferences& found = scanner.scanClassData(bytes);
    ASSERT_TRUE(found.failure);
    EXPECT_EQ(*found.failure, "Truncated java .class file");
    EXPECT_EQ(namesOf(found), (Names{"a.Base", "a.Early"}));

    // A file that is no class file at all: a failure and nothing found, then a good scan.
    const Bytes junk{1, 2, 3};
    EXPECT_TRUE(scanner.scanClassData(junk).failure);
    EXPECT_TRUE(scanner.scanClassData(junk).referencedClasses.empty());
}

TEST(VQDependencyScanner, MalformedTextsStopWhereTheyBreak) {
    VQDependencyScanner scanner;
    EXPECT_FALSE(scanner.addDescriptor("(La/One;Lbroken"));
    EXPECT_FALSE(scanner.addSignature("<T:La/Two;"));
    EXPECT_FALSE(scanner.addSignature("La/Three<"));
    EXPECT_TRUE(scanner.addSignature("[[I"));
    EXPECT_FALSE(scanner.addDescriptor(""));
}

TEST(VQPackageOfClassName, UnnamedPackageIsEmpty) {
    EXPECT_EQ(VQPackageOfClassName("java.util.Map$Entry"), "java.util");
    EXPECT_EQ(VQPackageOfClassName("Hello"), "");
}

}  // namespace
}  // namespace ornith
