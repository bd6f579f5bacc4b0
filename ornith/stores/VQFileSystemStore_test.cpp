#include "ornith/stores/VQFileSystemStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ornith/testing/StoreTestSupport.h"

namespace ornith {
namespace {

using testing::text;

using testing::ScratchDirectory;
using testing::writeFile;
using Names = std::optional<std::vector<std::string>>;

Names list(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

TEST(VQFileSystemStore, ListsClassesByTheClassTextAnywhereInAnyCase) {
    ScratchDirectory dir;
    for (const char* name : {"A.class", "b.class", "Z.CLASS", "notes.txt", "Foo.classic",
                             "Dup.class", "Dup.class.bak", "x.Class.class"})
        writeFile(dir / ("pkg/" + std::string(name)), "bytes");
    std::filesystem::create_directories(dir / "pkg/sub");
    std::filesystem::create_directories(dir / "pkg/Bar.class");
    VQFileSystemStore store(dir.path());

    // Sorted by bytes: upper case first. Foo.classic gives Foo, Dup twice, the subdirectory
    // Bar.class gives Bar, and the search takes the last occurrence.
    EXPECT_EQ(store.classNamesInPackage("pkg"),
              list({"A", "Bar", "Dup", "Dup", "Foo", "Z", "b", "x.Class"}));
    EXPECT_EQ(store.packageNamesInPackage("pkg"), list({"Bar.class", "sub"}));
    EXPECT_FALSE(store.containsClassName("pkg.Foo"));
    EXPECT_TRUE(store.containsClassName("pkg.A"));
    // Z.CLASS is found only where the file system ignores case.
    EXPECT_EQ(store.containsClassName("pkg.Z"), std::filesystem::exists(dir / "pkg/Z.class"));
}

// The walk's one read of a directory must answer what its three questions answer, and
// so must the base class's way of asking them, for every oddity a tree can hold.
TEST(VQFileSystemStore, TheWalksListingIsTheThreeAnswers) {
    ScratchDirectory dir;
    for (const char* name : {"Top.class", "p/A.class", "p/Z.CLASS", "p/a.b.class", "p/notes.txt",
                             "p/Bar.class/In.class", "p/q/r/Deep.class", "file", "shut/S.class"})
        writeFile(dir / name, "bytes");
    std::filesystem::create_directories(dir / "p/empty");
    std::filesystem::create_directory_symlink(dir / "p/q", dir / "p/linked");
    std::filesystem::create_symlink(dir / "nowhere", dir / "p/dangling");
    // Unreadable unless the tests run as root; either way the answers must agree.
    ::chmod((dir / "shut").c_str(), 0);
    VQFileSystemStore store(dir.path());
    for (const char* package : {"", "p", "p.Bar.class", "p.q", "p.q.r", "p.linked", "p.empty",
                                "p.dangling", "file", "shut", "no.such", "p..q", "p.A.class"}) {
        std::optional<VQClassStore::PackageContents> expected;
        if (store.containsPackageName(package))
            expected = {*store.classNamesInPackage(package), *store.packageNamesInPackage(package)};
        for (const auto& contents :
             {store.contentsOfPackage(package), store.VQClassStore::contentsOfPackage(package)}) {
            ASSERT_EQ(contents.has_value(), expected.has_value()) << package;
            if (!contents) continue;
            EXPECT_EQ(contents->classNames, expected->classNames) << package;
            EXPECT_EQ(contents->packageNames, expected->packageNames) << package;
        }
    }
    EXPECT_EQ(store.contentsOfPackage(std::string_view("p\0q", 3)), std::nullopt);
    ::chmod((dir / "shut").c_str(), 0700);
}

TEST(VQFileSystemStore, TheRootPackageIsTheRootDirectory) {
    ScratchDirectory dir;
    writeFile(dir / "Top.class", "top");
    std::filesystem::create_directories(dir / "META-INF");
    std::filesystem::create_directories(dir / "resources");
    VQFileSystemStore store(dir.path());
    EXPECT_EQ(store.name(), dir.path());
    EXPECT_EQ(store.kindName(), "VQFileSystemStore");
    EXPECT_EQ(store.pathForPackageName(""), dir.path());
    EXPECT_EQ(store.pathForPackageName(std::nullopt), dir.path());
    EXPECT_EQ(store.pathForPackageName("a.b.c"), dir / "a/b/c");
    for (std::optional<std::string_view> root :
         {std::optional<std::string_view>(""), std::optional<std::string_view>()}) {
        EXPECT_EQ(store.classNamesInPackage(root), list({"Top"}));
        // Every subdirectory counts, whatever its name.
        EXPECT_EQ(store.packageNamesInPackage(root), list({"META-INF", "resources"}));
    }
    EXPECT_TRUE(store.containsPackageName(""));
    EXPECT_TRUE(store.containsPackageName("resources"));
    EXPECT_FALSE(store.containsPackageName("Top.class"));
}

TEST(VQFileSystemStore, MissingPackagesListEmptyNotAbsent) {
    ScratchDirectory dir;
    writeFile(dir / "file", "x");
    VQFileSystemStore store(dir.path());
    EXPECT_EQ(store.classNamesInPackage("no.such"), list({}));
    EXPECT_EQ(store.packageNamesInPackage("no.such"), list({}));
    // A file where the package directory would be.
    EXPECT_EQ(store.classNamesInPackage("file"), list({}));
    EXPECT_FALSE(store.containsPackageName("no"));
}

TEST(VQFileSystemStore, ReadsClassFilesAtEachCall) {
    ScratchDirectory dir;
    writeFile(dir / "a/b/C.class", "C v1");
    writeFile(dir / "a/b/C$D.class", "nested");
    VQFileSystemStore store(dir.path());
    EXPECT_EQ(text(store.dataForClassName("a.b.C")), "C v1");
    EXPECT_EQ(text(store.dataForClassName("a.b.C$D")), "nested");
    writeFile(dir / "a/b/C.class", "C v2");
    EXPECT_EQ(text(store.dataForClassName("a.b.C")), "C v2");
    EXPECT_EQ(store.dataForClassName("a.b.E"), nullptr);
    // Something exists at X.class, but it is no file to read.
    std::filesystem::create_directories(dir / "a/X.class");
    EXPECT_TRUE(store.containsClassName("a.X"));
    EXPECT_EQ(store.dataForClassName("a.X"), nullptr);
    // A FIFO is never waited on.
    ASSERT_EQ(::mkfifo((dir / "a/F.class").c_str(), 0600), 0);
    EXPECT_TRUE(store.containsClassName("a.F"));
    EXPECT_EQ(store.dataForClassName("a.F"), nullptr);
    // readClassData tells nothing there from something there that is no class file.
    VQFileStatus status = VQFileStatus::ok;
    EXPECT_EQ(text(store.readClassData("a.b.C", &status)), "C v2");
    EXPECT_EQ(status, VQFileStatus::ok);
    for (const char* missing : {"a.b.E", "a.b.C.D", "a..b", ""}) {
        EXPECT_EQ(store.readClassData(missing, &status), nullptr) << missing;
        EXPECT_EQ(status, VQFileStatus::notFound) << missing;
    }
    for (const char* unreadable : {"a.X", "a.F"}) {
        EXPECT_EQ(store.readClassData(unreadable, &status), nullptr) << unreadable;
        EXPECT_EQ(status, VQFileStatus::notRegular) << unreadable;
    }

    // A root that goes away: empty listings, absent data, no failure.
    std::filesystem::remove_all(dir.path());
    EXPECT_EQ(store.classNamesInPackage(""), list({}));
    EXPECT_EQ(store.packageNamesInPackage("a"), list({}));
    EXPECT_FALSE(store.containsPackageName(""));
    EXPECT_FALSE(store.containsClassName("a.b.C"));
    EXPECT_EQ(store.dataForClassName("a.b.C"), nullptr);
}

TEST(VQFileSystemStore, SymbolicLinksCountByWhatTheyPointAt) {
    ScratchDirectory dir;
    std::filesystem::create_directories(dir / "real/pkg");
    writeFile(dir / "plain", "x");
    std::filesystem::create_directory_symlink(dir / "real/pkg", dir / "real/linked");
    std::filesystem::create_symlink(dir / "plain", dir / "real/filelink");
    std::filesystem::create_symlink(dir / "nowhere", dir / "real/dangling");
    VQFileSystemStore store(dir / "real");
    EXPECT_EQ(store.packageNamesInPackage(""), list({"linked", "pkg"}));
}

TEST(VQFileSystemStore, NamesWithNulNameNothing) {
    ScratchDirectory dir;
    writeFile(dir / "a/B.class", "b");
    VQFileSystemStore store(dir.path());
    EXPECT_FALSE(store.containsClassName(std::string("a.B\0.x", 6)));
    EXPECT_EQ(store.dataForClassName(std::string("a.B\0", 4)), nullptr);
    EXPECT_FALSE(store.containsPackageName(std::string("a\0", 2)));
    EXPECT_EQ(store.classNamesInPackage(std::string("a\0", 2)), list({}));
    EXPECT_EQ(store.packageNamesInPackage(std::string("\0", 1)), list({}));
}

TEST(VQFileSystemStore, AcceptsExistingDirectoriesOnly) {
    ScratchDirectory dir;
    writeFile(dir / "file.jar", "x");
    std::filesystem::create_directories(dir / "lib.zip");
    EXPECT_TRUE(VQFileSystemStore::canGrokName(dir.path()));
    EXPECT_TRUE(VQFileSystemStore::canGrokName(dir / "lib.zip"));
    EXPECT_FALSE(VQFileSystemStore::canGrokName(dir / "file.jar"));
    EXPECT_FALSE(VQFileSystemStore::canGrokName(dir / "missing"));
    EXPECT_FALSE(VQFileSystemStore::canGrokName(dir.path() + std::string("\0", 1)));
}

}  // namespace
}  // namespace ornith
