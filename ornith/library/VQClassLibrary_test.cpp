#include "ornith/library/VQClassLibrary.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/ImageWriter.h"
#include "ornith/testing/LibraryTestSupport.h"

namespace ornith {
namespace {

using testing::markerOf;
using testing::ScratchDirectory;
using testing::writeClass;
using Names = std::vector<std::string>;

// The default library is made once per process, from CLASSPATH as it is on the first
// call. Setting the variable before any test runs makes what that library sees known,
// whichever test asks first.
std::string defaultEntry() {
    return std::string(::testing::TempDir()) + "ornith_default_library_" +
           std::to_string(::getpid());
}

class DefaultClassPath : public ::testing::Environment {
public:
    void SetUp() override {
        std::filesystem::remove_all(defaultEntry());
        writeClass(defaultEntry(), "d/FromDefault");
        ::setenv("CLASSPATH", (defaultEntry() + ";;" + defaultEntry() + "/missing.jar").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(defaultEntry()); }
};
[[maybe_unused]] auto* const defaultClassPath =
    ::testing::AddGlobalTestEnvironment(new DefaultClassPath);

TEST(VQClassLibraryDefault, IsReadFromClassPathOnceAndSharedAcrossThreads) {
    std::vector<std::shared_ptr<VQClassLibrary>> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = VQClassLibrary::defaultClassLibrary(); });
    for (auto& thread : threads) thread.join();
    for (const auto& library : seen) EXPECT_EQ(library, seen.front());

    auto library = seen.front();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->classPath(), defaultEntry() + ";;" + defaultEntry() + "/missing.jar");
    EXPECT_EQ(library->classStores().size(), 1u);  // the empty piece and the missing jar give none
    EXPECT_NE(library->classWithName("d.FromDefault"), nullptr);

    // Later changes to the environment are not seen.
    ::setenv("CLASSPATH", "/elsewhere", 1);
    EXPECT_EQ(VQClassLibrary::defaultClassLibrary(), library);
    EXPECT_EQ(VQClassLibrary::defaultClassLibrary()->classPath(), library->classPath());
}

TEST(VQClassLibrary, WithoutAPathHasNoStoresAndOnlyTheRootPackage) {
    for (auto library : {VQClassLibrary::classLibrary(),
                         VQClassLibrary::classLibraryWithClassPath(std::nullopt)}) {
        EXPECT_EQ(library->classPath(), std::nullopt);
        EXPECT_TRUE(library->classStores().empty());
        EXPECT_EQ(library->dataForClassName("java.lang.Object"), nullptr);
        EXPECT_EQ(library->classWithName("java.lang.Object"), nullptr);
        EXPECT_EQ(library->classStoreNameForClassWithName("java.lang.Object"), std::nullopt);
        EXPECT_EQ(library->packageWithName("java"), nullptr);
        auto root = library->packageWithName(std::nullopt);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root, library->packageWithName(""));
        EXPECT_EQ(library->classNamesInPackage(""), Names{});
        EXPECT_EQ(library->packageNamesInPackage(""), Names{});
        EXPECT_EQ(library->classNameEnumerator()->nextObject(), std::nullopt);
        EXPECT_EQ(library->description(), "VQClassLibrary()");
    }
}

TEST(VQClassLibrary, SplitsAtEverySemicolonAndKeepsThePathAsGiven) {
    ScratchDirectory dir;
    writeClass(dir / "a", "A");
    writeClass(dir / "b", "B");
    const std::string path = dir / "a" + ";;" + dir / "b";
    std::vector<std::pair<std::string, std::string>> dropped;
    auto library = VQClassLibrary::classLibraryWithClassPath(
        path, [&](const std::string& entry, const std::exception& e) {
            dropped.emplace_back(entry, e.what());
        });
    EXPECT_EQ(library->classPath(), path);
    ASSERT_EQ(library->classStores().size(), 2u);
    EXPECT_EQ(library->classStores()[0]->name(), dir / "a");
    EXPECT_EQ(library->classStores()[1]->name(), dir / "b");
    EXPECT_EQ(dropped, (std::vector<std::pair<std::string, std::string>>{
                           {"", "Unknown source of class files ''"}}));
    EXPECT_NE(library->classWithName("A"), nullptr);
    EXPECT_NE(library->classWithName("B"), nullptr);
}

TEST(VQClassLibrary, DropsEveryEntryItCannotUseAndKeepsTheRest) {
    ScratchDirectory dir;
    writeClass(dir / "good", "p/Good");
    testing::writeFile(dir / "notzip.jar", "this is not a zip archive");
    testing::writeFile(dir / "lib.tar", "");
    testing::writeFile(dir / "Junk.class", "not a class file");
    std::filesystem::create_directories(dir / "dir.jar/p");
    writeClass(dir / "dir.jar", "p/InDirectory");

    struct Entry {
        std::string entry;
        std::string reason;  // "" when the entry gives a store
    };
    const std::vector<Entry> entries = {
        {dir / "missing.jar", "Unknown source of class files '" + dir / "missing.jar" + "'"},
        {dir / "Missing.class", "Unknown source of class files '" + dir / "Missing.class" + "'"},
        {dir / "Junk.class", "Not a java .class file"},
        {dir / "lib.tar", "Unknown source of class files '" + dir / "lib.tar" + "'"},
        {dir / "notzip.jar", ""},  // an archive store whatever the file holds; it holds nothing
        {dir / "dir.jar", ""},     // a directory, whatever its name
        {dir / "good", ""},
    };
    std::string path;
    for (const auto& e : entries) path += (path.empty() ? "" : ";") + e.entry;

    std::vector<std::pair<std::string, std::string>> dropped, expected;
    for (const auto& e : entries)
        if (!e.reason.empty()) expected.emplace_back(e.entry, e.reason);
    auto library = VQClassLibrary::classLibraryWithClassPath(
        path, [&](const std::string& entry, const std::exception& e) {
            dropped.emplace_back(entry, e.what());
        });
    EXPECT_EQ(dropped, expected);
    EXPECT_EQ(library->classStores().size(), 3u);
    EXPECT_EQ(library->classPath(), path);
    EXPECT_NE(library->classWithName("p.Good"), nullptr);
    EXPECT_EQ(library->classStoreNameForClassWithName("p.InDirectory"), dir / "dir.jar");
    // Without a handler the same entries are dropped silently.
    EXPECT_EQ(VQClassLibrary::classLibraryWithClassPath(path)->classStores().size(), 3u);
}

TEST(VQClassLibrary, AddingOneEntryDirectlyRaisesForAnUnknownSource) {
    ScratchDirectory dir;
    ::setenv("ORNITH_LIBRARY_TEST_DIR", dir.path().c_str(), 1);
    auto library = VQClassLibrary::classLibrary();
    std::string name;
    EXPECT_EQ(
        testing::reasonRaisedBy(
            [&] { library->_addClassStoreForName("${ORNITH_LIBRARY_TEST_DIR}/x.jar"); }, &name),
        "Unknown source of class files '" + dir / "x.jar" + "'");
    EXPECT_EQ(name, "InvalidArgumentException");
    EXPECT_TRUE(library->classStores().empty());

    // Entries are expanded before the registry sees them; the path keeps the text.
    writeClass(dir / "classes", "E");
    library->appendToClassPath("$ORNITH_LIBRARY_TEST_DIR/classes");
    ::unsetenv("ORNITH_LIBRARY_TEST_DIR");
    EXPECT_EQ(library->classPath(), "$ORNITH_LIBRARY_TEST_DIR/classes");
    EXPECT_EQ(library->classStoreNameForClassWithName("E"), dir / "classes");
}

TEST(VQClassLibrary, AppendingJoinsWithASemicolonAndKeepsEarlierEntriesFirst) {
    ScratchDirectory dir;
    writeClass(dir / "a", "p/Both", "java/lang/Object", "fromA");
    writeClass(dir / "c", "p/Both", "java/lang/Object", "fromC");
    writeClass(dir / "c", "p/OnlyC");

    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "a");
    library->appendToClassPath(dir / "c");
    EXPECT_EQ(library->classPath(), dir / "a" + ";" + dir / "c");
    EXPECT_EQ(markerOf(library->classWithName("p.Both")), "fromA");
    EXPECT_NE(library->classWithName("p.OnlyC"), nullptr);

    auto empty = VQClassLibrary::classLibrary();
    empty->appendToClassPath(dir / "c");
    EXPECT_EQ(empty->classPath(), dir / "c");
    EXPECT_EQ(markerOf(empty->classWithName("p.Both")), "fromC");
}

TEST(VQClassLibrary, TheEarlierEntryWinsForEveryKindOfStore) {
    ScratchDirectory dir;
    writeClass(dir / "classes", "p/Both", "java/lang/Object", "fromDirectory");
    testing::ZipWriter zip;
    zip.add("p/Both.class", testing::classBytes("p/Both", "java/lang/Object", "fromJar"), 8);
    zip.add("p/InJar.class", testing::classBytes("p/InJar"));
    zip.writeTo(dir / "lib.jar");
    testing::writeFile(dir / "Single.class",
                       testing::classBytes("p/Both", "java/lang/Object", "fromFile"));

    struct Case {
        std::string path;
        std::string marker;
        std::string storeName;
    };
    for (const Case& c : std::vector<Case>{
             {dir / "classes" + ";" + dir / "lib.jar" + ";" + dir / "Single.class", "fromDirectory",
              dir / "classes"},
             {dir / "lib.jar" + ";" + dir / "classes", "fromJar", dir / "lib.jar"},
             {dir / "Single.class" + ";" + dir / "lib.jar", "fromFile", "p.Both"},
         }) {
        auto library = VQClassLibrary::classLibraryWithClassPath(c.path);
        EXPECT_EQ(markerOf(library->classWithName("p.Both")), c.marker) << c.path;
        EXPECT_EQ(library->classStoreNameForClassWithName("p.Both"), c.storeName) << c.path;
        auto data = library->dataForClassName("p.Both");
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(markerOf(VQJavaClass::classWithData(*data)), c.marker);
    }
}

TEST(VQClassLibrary, EveryClassLookupParsesANewClassThatKnowsTheLibrary) {
    ScratchDirectory dir;
    writeClass(dir.path(), "p/A");
    testing::writeFile(dir / "p/Broken.class", "\xCA\xFE\xBA\xBE truncated");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
    auto first = library->classWithName("p.A");
    auto second = library->classWithName("p.A");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->description(), second->description());
    EXPECT_EQ(first->classLibrary(), library);
    // A library's class keeps the bytes it was read from; one made from lent bytes, none.
    const auto data = library->dataForClassName("p.A");
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(std::ranges::equal(first->classFileBytes(), data->span()));
    EXPECT_TRUE(VQJavaClass::classWithData(*data)->classFileBytes().empty());
    EXPECT_EQ(library->classWithName("p.Missing"), nullptr);
    // Parse failures pass to the caller.
    EXPECT_THROW(library->classWithName("p.Broken"), VQInvalidArgumentException);
}

// The library hands its class options to every class it makes, and a copy keeps them.
TEST(VQClassLibrary, ClassOptionsReachEveryClassItMakes) {
    ScratchDirectory dir;
    ornith::testing::ClassFileWriter w;
    w.setThisClass("p/Odd");
    w.setSuperClass("java/lang/Object");
    w.addField(0x0019, "f", "I", {w.constantValue(w.classRef("p/Odd"))});
    const auto bytes = w.bytes();
    testing::writeFile(dir / "p/Odd.class",
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
    EXPECT_FALSE(library->classOptions().lazyAttributes);
    EXPECT_THROW(library->classWithName("p.Odd"), VQInternalInconsistencyException);
    VQClassOptions lazy;
    lazy.lazyAttributes = true;
    library->setClassOptions(lazy);
    for (const auto& reading : {library, library->copyWithZone()}) {
        EXPECT_TRUE(reading->classOptions().lazyAttributes);
        const auto odd = reading->classWithName("p.Odd");
        ASSERT_NE(odd, nullptr);
        EXPECT_EQ(odd->className(), "p.Odd");
        ASSERT_TRUE(odd->fields());
        EXPECT_THROW((void)odd->fields()->front()->initialValue(),
                     VQInternalInconsistencyException);
    }
}

TEST(VQClassLibrary, AClassKeepsItsLibraryAlive) {
    ScratchDirectory dir;
    writeClass(dir.path(), "A");
    std::weak_ptr<VQClassLibrary> weak;
    std::shared_ptr<VQJavaClass> javaClass;
    {
        auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());
        weak = library;
        javaClass = library->classWithName("A");
    }
    EXPECT_FALSE(weak.expired());
    javaClass.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(VQClassLibrary, SuperclassAndPackageGoThroughTheLibrary) {
    ScratchDirectory dir;
    writeClass(dir.path(), "a/b/Sub", "a/Base");
    writeClass(dir.path(), "a/Base", "java/lang/Object", "base");
    writeClass(dir.path(), "Root", std::nullopt);
    writeClass(dir.path(), "a/Orphan", "gone/Missing");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());

    auto sub = library->classWithName("a.b.Sub");
    ASSERT_NE(sub, nullptr);
    auto base = sub->superclass();
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->className(), "a.Base");
    EXPECT_EQ(markerOf(base), "base");
    EXPECT_EQ(base->classLibrary(), library);
    EXPECT_NE(sub->superclass(), base);  // parsed anew every time
    auto package = sub->package();
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(package->packageName(), "a.b");
    EXPECT_EQ(package, library->packageWithName("a.b"));

    // No superclass name; a superclass that is not on the class path.
    auto root = library->classWithName("Root");
    EXPECT_EQ(root->superclass(), nullptr);
    EXPECT_EQ(library->classWithName("a.Orphan")->superclass(), nullptr);
    // A class in the unnamed package belongs to the root package.
    auto rootPackage = root->package();
    ASSERT_NE(rootPackage, nullptr);
    EXPECT_EQ(rootPackage, library->packageWithName(""));

    // Read straight from a file: no library, so neither.
    auto loose = VQJavaClass::classWithContentsOfFile(dir / "a/b/Sub.class");
    EXPECT_EQ(loose->classLibrary(), nullptr);
    EXPECT_EQ(loose->superclass(), nullptr);
    EXPECT_EQ(loose->package(), nullptr);
}

TEST(VQClassLibrary, APackageIsSharedWhileHeldAndMadeAnewAfterwards) {
    ScratchDirectory dir;
    writeClass(dir.path(), "a/b/C");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir.path());

    auto first = library->packageWithName("a.b");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(library->packageWithName("a.b"), first);
    EXPECT_EQ(first->classLibrary(), library);
    std::weak_ptr<VQJavaPackage> weak = first;
    first.reset();
    EXPECT_TRUE(weak.expired());  // the cache does not hold it
    auto second = library->packageWithName("a.b");
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(library->packageWithName("a.b"), second);

    EXPECT_EQ(library->packageWithName("a.c"), nullptr);
    EXPECT_EQ(library->packageWithName("a.b.C"), nullptr);  // a class is no package
}

TEST(VQClassLibrary, APackageKeepsItsLibraryAliveAndLeavesItsCache) {
    std::weak_ptr<VQClassLibrary> weakLibrary;
    std::shared_ptr<VQJavaPackage> root;
    {
        auto library = VQClassLibrary::classLibrary();
        weakLibrary = library;
        root = library->packageWithName("");
    }
    EXPECT_FALSE(weakLibrary.expired());
    root.reset();  // removes itself from the cache of a library that it then releases
    EXPECT_TRUE(weakLibrary.expired());
}

TEST(VQClassLibrary, ListingsMergeEveryStoreIntoOneSortedSet) {
    ScratchDirectory dir;
    writeClass(dir / "one", "p/B");
    writeClass(dir / "one", "p/A");
    writeClass(dir / "one", "p/x/X");
    testing::ZipWriter zip;
    zip.add("p/A.class", testing::classBytes("p/A"));
    zip.add("p/C.class", testing::classBytes("p/C"));
    zip.add("p/y/Y.class", testing::classBytes("p/y/Y"));
    zip.add("p/x/Z.class", testing::classBytes("p/x/Z"));
    zip.writeTo(dir / "two.zip");
    testing::writeFile(dir / "D.class", testing::classBytes("p/D"));

    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "two.zip" + ";" + dir / "one" +
                                                             ";" + dir / "D.class");
    EXPECT_EQ(library->classNamesInPackage("p"), (Names{"A", "B", "C", "D"}));
    EXPECT_EQ(library->packageNamesInPackage("p"), (Names{"x", "y"}));
    EXPECT_EQ(library->packageNamesInPackage(""), (Names{"p"}));
    EXPECT_EQ(library->classNamesInPackage(""), Names{});
    EXPECT_EQ(library->classNamesInPackage("nowhere"), Names{});
    EXPECT_EQ(library->namesInPackage("p.x", &VQClassStore::classNamesInPackage),
              (Names{"X", "Z"}));
}

TEST(VQClassLibrary, OddNamesFindNothingAndBreakNothing) {
    ScratchDirectory dir;
    writeClass(dir / "classes", "p/A");
    testing::ZipWriter zip;
    zip.add("p/B.class", testing::classBytes("p/B"));
    zip.writeTo(dir / "lib.jar");
    testing::writeFile(dir / "C.class", testing::classBytes("p/C"));
    auto library = VQClassLibrary::classLibraryWithClassPath(
        dir / "classes" + ";" + dir / "lib.jar" + ";" + dir / "C.class");

    using namespace std::string_literals;
    // Names that no store can hold.
    for (const std::string& name : {""s, "p\0A"s, "p.A\0.class"s, "p.B\0"s, std::string(5000, '.'),
                                    "p." + std::string(300, 'x')}) {
        SCOPED_TRACE(::testing::PrintToString(name));
        EXPECT_EQ(library->dataForClassName(name), nullptr);
        EXPECT_EQ(library->classWithName(name), nullptr);
        EXPECT_EQ(library->classStoreNameForClassWithName(name), std::nullopt);
        if (!name.empty()) {
            EXPECT_EQ(library->packageWithName(name), nullptr);
        }
        EXPECT_EQ(library->classNamesInPackage(name), Names{});
    }
    // Names whose answer is the stores' business (a directory store reads p..A as the
    // path p//A); they must only answer, whatever they answer.
    for (const std::string& name :
         {"."s, "p."s, ".p"s, "p..A"s, "p/A"s, "../classes/p.A"s, "\0"s}) {
        SCOPED_TRACE(::testing::PrintToString(name));
        (void)library->dataForClassName(name);
        (void)library->classStoreNameForClassWithName(name);
        (void)library->packageWithName(name);
        (void)library->classNamesInPackage(name);
        (void)library->packageNamesInPackage(name);
        if (auto javaClass = library->classWithName(name)) {
            EXPECT_EQ(javaClass->className(), "p.A");
        }
    }
    EXPECT_NE(library->classWithName("p.A"), nullptr);
    EXPECT_NE(library->classWithName("p.B"), nullptr);
    EXPECT_NE(library->classWithName("p.C"), nullptr);
}

TEST(VQClassLibrary, DescriptionShowsTheClassPath) {
    EXPECT_EQ(VQClassLibrary::classLibraryWithClassPath("C:\\classes;C:\\lib")->description(),
              "VQClassLibrary(C:\\classes;C:\\lib)");
}

TEST(VQClassLibrary, ACopySharesThePathButNotTheCacheOrLaterAppends) {
    ScratchDirectory dir;
    writeClass(dir / "a", "p/A");
    writeClass(dir / "b", "q/B");
    auto library = VQClassLibrary::classLibraryWithClassPath(dir / "a");
    auto package = library->packageWithName("p");
    auto copy = library->copyWithZone();
    EXPECT_NE(copy, library);
    EXPECT_EQ(copy->classPath(), library->classPath());
    auto copied = copy->packageWithName("p");
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, package);
    EXPECT_EQ(copied->classLibrary(), copy);
    EXPECT_EQ(copy->classWithName("p.A")->classLibrary(), copy);

    copy->appendToClassPath(dir / "b");
    EXPECT_NE(copy->classWithName("q.B"), nullptr);
    EXPECT_EQ(library->classWithName("q.B"), nullptr);
    EXPECT_EQ(library->classPath(), dir / "a");
}

// A JDK home made up for the test: HOME/lib/modules holding java.lang.String (marked
// "platform") and java.lang.Object, in the module java.base.
void writeJavaHome(const std::string& home) {
    testing::ImageWriter image;
    image.add("java.base", "java/lang/String.class",
              testing::classBytes("java/lang/String", "java/lang/Object", "platform"), "zip");
    image.add("java.base", "java/lang/Object.class", testing::classBytes("java/lang/Object", {}));
    image.add("java.base", "module-info.class", "not a class of any package");
    testing::writeBytes(home + "/lib/modules", image.bytes());
}

TEST(VQClassLibrary, APlatformLibraryAsksTheJdkFirstAndThenTheClassPath) {
    ScratchDirectory dir;
    writeJavaHome(dir / "jdk");
    // A class path that tries to replace String, and adds a class of its own.
    writeClass(dir / "cp", "java/lang/String", "java/lang/Object", "impostor");
    writeClass(dir / "cp", "p/Mine");
    std::vector<std::string> dropped;
    auto library = VQClassLibrary::classLibraryWithJavaHome(
        dir / "jdk", dir / "cp" + ";" + dir / "missing.jar",
        [&](const std::string& entry, const std::exception&) { dropped.push_back(entry); });
    EXPECT_EQ(library->classPath(), dir / "jdk/lib/modules;" + dir / "cp;" + dir / "missing.jar");
    ASSERT_EQ(library->classStores().size(), 2u);
    EXPECT_EQ(library->classStores()[0]->kindName(), "VQRuntimeImageStore");
    EXPECT_EQ(dropped, Names{dir / "missing.jar"});

    EXPECT_EQ(markerOf(library->classWithName("java.lang.String")), "platform");
    EXPECT_EQ(library->classStoreNameForClassWithName("java.lang.String"), dir / "jdk/lib/modules");
    EXPECT_EQ(library->classStoreNameForClassWithName("p.Mine"), dir / "cp");
    // Superclasses resolve through the platform too.
    auto mine = library->classWithName("p.Mine");
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(mine->superclass(), nullptr);
    EXPECT_EQ(mine->superclass()->className(), "java.lang.Object");
    EXPECT_EQ(library->classNamesInPackage("java.lang"), (Names{"Object", "String"}));
    EXPECT_EQ(library->packageNamesInPackage(""), (Names{"java", "p"}));
    EXPECT_EQ(library->classWithName("module-info"), nullptr);

    // Without a class path: the platform alone.
    auto platformOnly = VQClassLibrary::classLibraryWithJavaHome(dir / "jdk", std::nullopt);
    EXPECT_EQ(platformOnly->classPath(), dir / "jdk/lib/modules");
    EXPECT_EQ(platformOnly->classWithName("p.Mine"), nullptr);
}

TEST(VQClassLibrary, ThePlatformIsTheImageElseTheModuleFilesElseNothing) {
    ScratchDirectory dir;
    testing::writeFile(dir / "jmods-only/jmods/b.jmod", "");
    testing::writeFile(dir / "jmods-only/jmods/a.jmod", "");
    testing::writeFile(dir / "jmods-only/jmods/notes.txt", "");
    EXPECT_EQ(VQClassLibrary::platformEntriesForJavaHome(dir / "jmods-only"),
              (Names{dir / "jmods-only/jmods/a.jmod", dir / "jmods-only/jmods/b.jmod"}));
    // The image wins over module files; a trailing slash changes nothing.
    writeJavaHome(dir / "jmods-only");
    EXPECT_EQ(VQClassLibrary::platformEntriesForJavaHome(dir / "jmods-only/"),
              Names{dir / "jmods-only/lib/modules"});
    std::filesystem::create_directories(dir / "empty/lib");
    EXPECT_EQ(VQClassLibrary::platformEntriesForJavaHome(dir / "empty"), Names{});
    EXPECT_EQ(VQClassLibrary::platformEntriesForJavaHome(dir / "nowhere"), Names{});
    // A home of neither kind gives a library of the class path alone.
    writeClass(dir / "cp", "p/Mine");
    auto library = VQClassLibrary::classLibraryWithJavaHome(dir / "empty", dir / "cp");
    EXPECT_EQ(library->classPath(), dir / "cp");
    EXPECT_EQ(library->classStores().size(), 1u);
}

}  // namespace
}  // namespace ornith
