#include "ornith/library/VQJavaPackage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/LibraryTestSupport.h"

namespace ornith {
namespace {

using testing::ScratchDirectory;
using testing::writeClass;
using Names = std::vector<std::string>;

static_assert(std::input_iterator<VQJavaPackageEnumerator::iterator>);
static_assert(std::sentinel_for<std::default_sentinel_t, VQJavaPackageEnumerator::iterator>);
static_assert(std::ranges::input_range<VQJavaPackageEnumerator>);

Names drain(VQJavaPackageEnumerator& enumerator) {
    Names names;
    while (auto name = enumerator.nextObject()) names.push_back(*name);
    return names;
}

std::vector<std::string> namesOf(
    const std::optional<std::vector<std::shared_ptr<VQJavaClass>>>& classes) {
    std::vector<std::string> names;
    if (classes)
        for (const auto& c : *classes) names.emplace_back(c->className().value_or("?"));
    return names;
}

TEST(VQJavaPackage, TheRootOfALibraryWithoutStoresIsEmpty) {
    auto root = VQClassLibrary::classLibrary()->packageWithName(std::nullopt);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->packageName(), "");
    EXPECT_EQ(root->classNames(), Names{});
    EXPECT_EQ(root->packageNames(), Names{});
    EXPECT_EQ(root->classes(), std::nullopt);
    EXPECT_EQ(root->packages(), std::nullopt);
    EXPECT_EQ(root->superpackage(), nullptr);
    EXPECT_EQ(root->description(), "VQJavaPackage()");
    auto enumerator = root->classNameEnumerator();
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
}

TEST(VQJavaPackage, NamesAreQualifiedWithThePackage) {
    ScratchDirectory dir;
    writeClass(dir.path(), "java/lang/Object", std::nullopt);
    writeClass(dir.path(), "java/lang/String");
    writeClass(dir.path(), "java/lang/ref/Ref");
    writeClass(dir.path(), "Object", std::nullopt);
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto root = library->packageWithName("");
    auto java = library->packageWithName("java");
    auto lang = java->packageWithName("lang");
    ASSERT_NE(lang, nullptr);
    EXPECT_EQ(lang->packageName(), "java.lang");
    EXPECT_EQ(lang, library->packageWithName("java.lang"));
    EXPECT_EQ(lang->description(), "VQJavaPackage(java.lang)");

    EXPECT_EQ(lang->classWithName("Object")->className(), "java.lang.Object");
    EXPECT_EQ(root->classWithName("Object")->className(), "Object");
    EXPECT_EQ(java->classWithName("lang.String")->className(), "java.lang.String");
    EXPECT_EQ(lang->classWithName("Missing"), nullptr);
    EXPECT_EQ(root->packageWithName("java"), java);
    EXPECT_EQ(java->packageWithName("nope"), nullptr);

    EXPECT_EQ(lang->classNames(), (Names{"Object", "String"}));
    EXPECT_EQ(lang->packageNames(), Names{"ref"});
    EXPECT_EQ(namesOf(lang->classes()), (Names{"java.lang.Object", "java.lang.String"}));
    EXPECT_EQ(java->classes(), std::nullopt);  // nothing directly in java
    auto subpackages = java->packages();
    ASSERT_TRUE(subpackages);
    ASSERT_EQ(subpackages->size(), 1u);
    EXPECT_EQ(subpackages->front(), lang);
    EXPECT_EQ(library->packageWithName("java.lang.ref")->packages(), std::nullopt);

    EXPECT_EQ(lang->superpackage(), java);
    EXPECT_EQ(java->superpackage(), root);
    EXPECT_EQ(root->superpackage(), nullptr);
}

TEST(VQJavaPackage, EqualityAndHashGoByNameAlone) {
    ScratchDirectory dir;
    writeClass(dir.path(), "a/A");
    writeClass(dir.path(), "b/B");
    auto one = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto two = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto a1 = one->packageWithName("a");
    auto a2 = two->packageWithName("a");
    auto b1 = one->packageWithName("b");
    ASSERT_TRUE(a1 && a2 && b1);
    EXPECT_NE(a1, a2);
    EXPECT_TRUE(a1->isEqual(*a2));
    EXPECT_TRUE(*a1 == *a2);
    EXPECT_EQ(a1->hash(), a2->hash());
    EXPECT_FALSE(a1->isEqual(*b1));
    EXPECT_FALSE(*a1 == *b1);
    EXPECT_EQ(one->packageWithName("")->hash(), std::hash<std::string>()(""));
}

TEST(VQJavaPackage, ClassesSkipsWhatCannotBeReadButTheWalkStillNamesIt) {
    ScratchDirectory dir;
    testing::ZipWriter zip;
    zip.add("p/Good.class", testing::classBytes("p/Good"));
    zip.add("p/Unreadable.class", testing::classBytes("p/Unreadable"), 99);  // unknown compression
    zip.writeTo(dir / "lib.jar");
    testing::LogCapture log;
    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "lib.jar");
    auto p = library->packageWithName("p");
    EXPECT_EQ(p->classNames(), (Names{"Good", "Unreadable"}));
    EXPECT_EQ(namesOf(p->classes()), Names{"p.Good"});
    EXPECT_EQ(drain(*library->classNameEnumerator()), (Names{"p.Good", "p.Unreadable"}));
    EXPECT_FALSE(log.lines.empty());
}

TEST(VQJavaPackageEnumerator, WalksSubpackagesFirstThenTheClassesOfEachPackage) {
    ScratchDirectory dir;
    writeClass(dir.path(), "a/b/C");
    writeClass(dir.path(), "a/D");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto enumerator = library->classNameEnumerator();
    EXPECT_EQ(enumerator->nextObject(), "a.b.C");
    EXPECT_EQ(enumerator->nextObject(), "a.D");
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
}

TEST(VQJavaPackageEnumerator, OrderIsDepthFirstAndSortedOverEveryStore) {
    ScratchDirectory dir;
    for (const char* name : {"Top", "z/Z", "a/c/C2", "a/c/C1", "a/A", "a/b/deep/er/E", "m/M"})
        writeClass(dir / "classes", name);
    testing::ZipWriter zip;
    for (const char* name : {"m/M", "b/B", "a/b/AB", "Alpha"})
        zip.add(std::string(name) + ".class", "x");
    zip.writeTo(dir / "lib.jar");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "lib.jar;" + dir / "classes");

    const Names expected = {"a.b.deep.er.E", "a.b.AB", "a.c.C1", "a.c.C2", "a.A",
                            "b.B",           "m.M",    "z.Z",    "Alpha",  "Top"};
    EXPECT_EQ(drain(*library->classNameEnumerator()), expected);

    // The same walk as a range, and from a package other than the root.
    Names ranged;
    auto enumerator = library->classNameEnumerator();
    for (const std::string& name : *enumerator) ranged.push_back(name);
    EXPECT_EQ(ranged, expected);
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
    Names underA;
    auto a = library->packageWithName("a")->classNameEnumerator();
    std::ranges::copy(*a, std::back_inserter(underA));
    EXPECT_EQ(underA, (Names{"a.b.deep.er.E", "a.b.AB", "a.c.C1", "a.c.C2", "a.A"}));
}

TEST(VQJavaPackageEnumerator, TakesEachPackagesListsWhenTheWalkReachesIt) {
    ScratchDirectory dir;
    writeClass(dir.path(), "a/A");
    writeClass(dir.path(), "b/B");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto enumerator = library->classNameEnumerator();  // the root's lists are taken now
    EXPECT_EQ(enumerator->nextObject(), "a.A");
    writeClass(dir.path(), "Late");  // the root's classes were already listed
    writeClass(dir.path(), "c/C");   // and so were its subpackages
    writeClass(dir.path(), "b/B2");  // b is not reached yet
    EXPECT_EQ(drain(*enumerator), (Names{"b.B", "b.B2"}));
}

TEST(VQJavaPackageEnumerator, SurvivesTheDeepestPackagePathAnArchiveCanSpell) {
    ScratchDirectory dir;
    std::string member;
    for (int i = 0; i < 2000; ++i) member += "a/";
    testing::ZipWriter zip;
    zip.add(member + "X.class", "x");
    zip.writeTo(dir / "deep.jar");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "deep.jar");
    auto enumerator = library->classNameEnumerator();
    auto name = enumerator->nextObject();
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), member.size() + 1);
    EXPECT_EQ(name->substr(name->size() - 5), "a.a.X");
    EXPECT_EQ(enumerator->nextObject(), std::nullopt);
}

}  // namespace
}  // namespace ornith
