#include "ornith/stores/VQClassFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"

namespace ornith {
namespace {

using testing::text;

using testing::ScratchDirectory;
using Names = std::optional<std::vector<std::string>>;

Names list(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

std::string classFile(std::string_view internalName) {
    testing::ClassFileWriter writer;
    writer.setThisClass(internalName);
    writer.setSuperClass("java/lang/Object");
    writer.addMethod(1, "<init>", "()V");
    auto bytes = writer.bytes();
    return std::string(bytes.begin(), bytes.end());
}

TEST(VQClassFileStore, AnswersFromTheClassNameInsideTheFile) {
    ScratchDirectory dir;
    const std::string path = dir / "Anything.class";
    testing::writeFile(path, classFile("java/lang/Object"));
    auto store = VQClassFileStore::classFileStoreWithName(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->name(), "java.lang.Object");
    EXPECT_EQ(store->kindName(), "VQClassFileStore");

    EXPECT_EQ(store->classNamesInPackage("java.lang"), list({"Object"}));
    for (const char* other : {"java", "", "java.la", "java.lang.Object", "java.lang."})
        EXPECT_EQ(store->classNamesInPackage(other), std::nullopt) << other;
    EXPECT_EQ(store->classNamesInPackage(std::nullopt), std::nullopt);

    EXPECT_EQ(store->packageNamesInPackage(""), list({"java"}));
    EXPECT_EQ(store->packageNamesInPackage(std::nullopt), list({"java"}));
    EXPECT_EQ(store->packageNamesInPackage("java"), list({"lang"}));
    for (const char* other :
         {"java.lang", "java.lang.Object", "java.lang.", "ja", "javax", "java.l"})
        EXPECT_EQ(store->packageNamesInPackage(other), std::nullopt) << other;

    EXPECT_TRUE(store->containsClassName("java.lang.Object"));
    EXPECT_FALSE(store->containsClassName("Object"));
    EXPECT_FALSE(store->containsClassName("java.lang.Objects"));
    // A plain prefix test.
    for (const char* yes : {"java", "java.lang", "java.la", "java.lang.Object", ""})
        EXPECT_TRUE(store->containsPackageName(yes)) << yes;
    EXPECT_FALSE(store->containsPackageName("javax"));

    // The file is read anew at each call, under the name learnt at construction.
    EXPECT_EQ(text(store->dataForClassName("java.lang.Object")), classFile("java/lang/Object"));
    EXPECT_EQ(store->dataForClassName("java.lang.String"), nullptr);
    testing::writeFile(path, "changed");
    EXPECT_EQ(text(store->dataForClassName("java.lang.Object")), "changed");
    std::filesystem::remove(path);
    EXPECT_EQ(store->dataForClassName("java.lang.Object"), nullptr);
}

TEST(VQClassFileStore, DeeperAndRootClasses) {
    ScratchDirectory dir;
    testing::writeFile(dir / "d.class", classFile("a/b/c/D"));
    auto deep = VQClassFileStore::classFileStoreWithName(dir / "d.class");
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->packageNamesInPackage("a"), list({"b"}));
    EXPECT_EQ(deep->packageNamesInPackage("a.b"), list({"c"}));
    EXPECT_EQ(deep->packageNamesInPackage("a.b.c"), std::nullopt);
    EXPECT_EQ(deep->classNamesInPackage("a.b.c"), list({"D"}));

    testing::writeFile(dir / "Foo.CLASS", classFile("Foo"));
    auto root = VQClassFileStore::classFileStoreWithName(dir / "Foo.CLASS");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->classNamesInPackage(""), list({"Foo"}));
    EXPECT_EQ(root->classNamesInPackage(std::nullopt), list({"Foo"}));
    EXPECT_EQ(root->classNamesInPackage("Foo"), std::nullopt);
    EXPECT_EQ(root->packageNamesInPackage(""), std::nullopt);
    EXPECT_EQ(root->packageNamesInPackage(std::nullopt), std::nullopt);
}

TEST(VQClassFileStore, ReadsACompiledExample) {
    auto store = VQClassFileStore::classFileStoreWithName(
        testing::examplesPath("classes/p/Outer$Inner.class"));
    ASSERT_TRUE(store);
    EXPECT_EQ(store->name(), "p.Outer$Inner");
    EXPECT_EQ(store->classNamesInPackage("p"), list({"Outer$Inner"}));
}

TEST(VQClassFileStore, UnreadableFilesGiveNoStoreAndOtherFilesRaise) {
    ScratchDirectory dir;
    EXPECT_EQ(VQClassFileStore::classFileStoreWithName(dir / "Missing.class"), nullptr);
    std::filesystem::create_directories(dir / "Dir.class");
    EXPECT_EQ(VQClassFileStore::classFileStoreWithName(dir / "Dir.class"), nullptr);
    ASSERT_EQ(::mkfifo((dir / "Fifo.class").c_str(), 0600), 0);
    EXPECT_EQ(VQClassFileStore::classFileStoreWithName(dir / "Fifo.class"), nullptr);

    testing::writeFile(dir / "Text.class", "not a class file at all");
    EXPECT_EQ(testing::reasonRaisedBy(
                  [&] { VQClassFileStore::classFileStoreWithName(dir / "Text.class"); }),
              "Not a java .class file");
    std::string truncated = classFile("a/B");
    testing::writeFile(dir / "Cut.class", truncated.substr(0, 20));
    EXPECT_NE(testing::reasonRaisedBy(
                  [&] { VQClassFileStore::classFileStoreWithName(dir / "Cut.class"); }),
              "(nothing raised)");
}

TEST(VQClassFileStore, AcceptsTwoSpellingsOfTheSuffix) {
    EXPECT_TRUE(VQClassFileStore::canGrokName("Foo.class"));
    EXPECT_TRUE(VQClassFileStore::canGrokName("/no/such/Foo.CLASS"));
    EXPECT_FALSE(VQClassFileStore::canGrokName("Foo.Class"));
    EXPECT_FALSE(VQClassFileStore::canGrokName("Foo.class.bak"));
    EXPECT_FALSE(VQClassFileStore::canGrokName("class"));
}

TEST(VQClassFileStore, NamesWithNulNameNothing) {
    ScratchDirectory dir;
    testing::writeFile(dir / "x.class", classFile("a/B"));
    auto store = VQClassFileStore::classFileStoreWithName(dir / "x.class");
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->containsClassName(std::string("a.B\0", 4)));
    EXPECT_FALSE(store->containsPackageName(std::string("a\0", 2)));
    EXPECT_FALSE(store->containsPackageName(std::string("\0", 1)));
    EXPECT_EQ(store->classNamesInPackage(std::string("a\0", 2)), std::nullopt);
    EXPECT_EQ(store->packageNamesInPackage(std::string("\0", 1)), std::nullopt);
    EXPECT_EQ(store->dataForClassName(std::string("a.B\0", 4)), nullptr);
}

}  // namespace
}  // namespace ornith
