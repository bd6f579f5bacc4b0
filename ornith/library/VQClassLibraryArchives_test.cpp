// The library's archive options: manifest Class-Path chains (with a cycle and a missing
// entry), wildcard folders, multi-release jars, and archives kept open within a bound.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/testing/LibraryTestSupport.h"

namespace ornith {
namespace {

using testing::ScratchDirectory;
using testing::text;
using testing::ZipWriter;

void writeJar(const std::string& path, const std::vector<std::string>& classes,
              const std::string& manifest = "") {
    ZipWriter zip;
    if (!manifest.empty()) zip.add("META-INF/MANIFEST.MF", manifest, 8);
    for (const auto& c : classes) zip.add(c + ".class", "bytes of " + c + " in " + path, 8);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    zip.writeTo(path);
}

std::vector<std::string> storeNames(const VQClassLibrary& library) {
    std::vector<std::string> names;
    for (const auto& store : library.classStores()) names.push_back(store->name());
    return names;
}

TEST(VQClassLibraryArchives, FollowsClassPathDepthFirstEachArchiveOnce) {
    ScratchDirectory dir;
    // a names b, c, a missing one and an http URL; b names d and a (a cycle); d names b.
    writeJar(dir / "a.jar", {"p/A"}, "Class-Path: lib/b.jar missing.jar http://x/y.jar c.jar\n");
    writeJar(dir / "lib/b.jar", {"p/B", "p/Shared"}, "Class-Path: ../d.jar ../a.jar\n");
    writeJar(dir / "d.jar", {"p/D"}, "Class-Path: file:" + dir.path() + "/lib/b.jar\n");
    writeJar(dir / "c.jar", {"p/C", "p/Shared"});
    writeJar(dir / "after.jar", {"p/After"});

    auto library = VQClassLibrary::classLibrary();
    std::vector<std::string> missing;
    VQClassLibraryArchiveOptions options;
    options.followManifestClassPath = true;
    options.onMissingClassPathEntry = [&](const std::string& jar, const std::string& path) {
        missing.push_back(jar + " -> " + path);
    };
    library->setArchiveOptions(options);
    library->appendToClassPath(dir / "a.jar;" + dir / "after.jar");

    EXPECT_EQ(
        storeNames(*library),
        (std::vector<std::string>{dir / "a.jar", dir.path() + "/lib/b.jar", dir.path() + "/d.jar",
                                  dir.path() + "/c.jar", dir / "after.jar"}));
    EXPECT_EQ(missing,
              std::vector<std::string>{dir / "a.jar" + " -> " + dir.path() + "/missing.jar"});
    // The class path as given is unchanged; lookups reach the followed archives in order.
    EXPECT_EQ(library->classPath(), dir / "a.jar;" + dir / "after.jar");
    EXPECT_EQ(library->classStoreNameForClassWithName("p.D"), dir.path() + "/d.jar");
    EXPECT_EQ(library->classStoreNameForClassWithName("p.Shared"), dir.path() + "/lib/b.jar");
    EXPECT_EQ(library->classNamesInPackage("p"),
              (std::vector<std::string>{"A", "After", "B", "C", "D", "Shared"}));
}

TEST(VQClassLibraryArchives, DefaultsAreTheSpecifiedBehaviour) {
    ScratchDirectory dir;
    writeJar(dir / "a.jar", {"p/A"}, "Class-Path: b.jar\n");
    writeJar(dir / "b.jar", {"p/B"});
    std::vector<std::string> dropped;
    auto library = VQClassLibrary::classLibraryWithClassPath(
        dir / "a.jar;" + dir.path() + "/*",
        [&](const std::string& entry, const std::exception&) { dropped.push_back(entry); });
    EXPECT_EQ(storeNames(*library), std::vector<std::string>{dir / "a.jar"});
    EXPECT_EQ(dropped, std::vector<std::string>{dir.path() + "/*"});
}

TEST(VQClassLibraryArchives, WildcardsExpandToJarsInNameOrder) {
    ScratchDirectory dir;
    writeJar(dir / "libs/b.jar", {"p/B"});
    writeJar(dir / "libs/A.JAR", {"p/Upper"});
    writeJar(dir / "libs/a.jar", {"p/A"});
    writeJar(dir / "libs/sub/deep.jar", {"p/Deep"});
    testing::writeFile(dir / "libs/notes.txt", "not a jar");
    testing::writeFile(dir / "libs/x.zip", "not a jar either");
    std::filesystem::create_directories(dir / "libs/dir.jar");

    auto library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions options;
    options.expandWildcards = true;
    library->setArchiveOptions(options);
    library->appendToClassPath(dir.path() + "/libs/*");
    library->appendToClassPath(dir.path() + "/empty/*");
    EXPECT_EQ(
        storeNames(*library),
        (std::vector<std::string>{dir / "libs/A.JAR", dir / "libs/a.jar", dir / "libs/b.jar"}));
    EXPECT_FALSE(library->classStoreNameForClassWithName("p.Deep"));
    // A copy keeps the options for what is appended to it.
    auto copy = library->copyWithZone();
    copy->appendToClassPath(dir.path() + "/libs/sub/*");
    EXPECT_EQ(copy->classStoreNameForClassWithName("p.Deep"), dir / "libs/sub/deep.jar");
}

TEST(VQClassLibraryArchives, MultiReleaseThroughTheLibrary) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("META-INF/MANIFEST.MF", "Multi-Release: true\n");
    zip.add("p/C.class", "base");
    zip.add("META-INF/versions/11/p/C.class", "eleven");
    zip.writeTo(dir / "mr.jar");
    for (int release : {0, 8, 11, 17}) {
        auto library = VQClassLibrary::classLibrary();
        VQClassLibraryArchiveOptions options;
        options.multiReleaseVersion = release;
        library->setArchiveOptions(options);
        library->appendToClassPath(dir / "mr.jar");
        EXPECT_EQ(text(library->dataForClassName("p.C")), release >= 11 ? "eleven" : "base");
    }
}

TEST(VQClassLibraryArchives, OpenArchivesStayWithinTheBound) {
    ScratchDirectory dir;
    std::vector<std::string> jars;
    for (int j = 0; j < 5; ++j) {
        std::vector<std::string> classes;
        for (int c = 0; c < 20; ++c)
            classes.push_back("p" + std::to_string(j) + "/C" + std::to_string(c));
        jars.push_back(dir / ("j" + std::to_string(j) + ".jar"));
        writeJar(jars.back(), classes);
    }
    const int before = testing::openDescriptorCount();
    {
        auto library = VQClassLibrary::classLibrary();
        VQClassLibraryArchiveOptions options;
        options.maxOpenArchives = 2;
        library->setArchiveOptions(options);
        for (const auto& jar : jars) library->appendToClassPath(jar);
        for (int round = 0; round < 2; ++round)
            for (int j = 0; j < 5; ++j)
                for (int c = 0; c < 20; ++c) {
                    const std::string name = "p" + std::to_string(j) + ".C" + std::to_string(c);
                    ASSERT_TRUE(library->dataForClassName(name)) << name;
                    EXPECT_LE(testing::openDescriptorCount(), before + 2);
                }
    }
    EXPECT_EQ(testing::openDescriptorCount(), before);
}

TEST(VQClassLibraryArchives, AnOpenArchiveAnswersFromTheFileItIndexed) {
    ScratchDirectory dir;
    writeJar(dir / "x.jar", {"p/A", "p/B"});
    auto library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions options;
    options.maxOpenArchives = 1;
    library->setArchiveOptions(options);
    library->appendToClassPath(dir / "x.jar");
    const std::string a = text(library->dataForClassName("p.A"));
    // Replaced on disk (a new file under the same name): the open archive still answers.
    std::filesystem::rename(dir / "x.jar", dir / "old.jar");
    writeJar(dir / "x.jar", {"q/Other"});
    EXPECT_EQ(text(library->dataForClassName("p.A")), a);
    EXPECT_TRUE(library->dataForClassName("p.B"));
}

}  // namespace
}  // namespace ornith
