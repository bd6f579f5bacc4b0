#include "ornith/stores/VQZipFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "ornith/stores/VQJarFileStore.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::LogCapture;
using testing::openDescriptorCount;
using testing::ScratchDirectory;
using testing::text;
using testing::ZipWriter;
using Names = std::optional<std::vector<std::string>>;

Names list(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

// An archive holding exactly these members (stored, content = name unless given).
VQZipFileStore storeOf(const ScratchDirectory& dir, std::initializer_list<const char*> members) {
    ZipWriter zip;
    for (const char* m : members) zip.add(m, m);
    zip.writeTo(dir / "t.zip");
    return VQZipFileStore(dir / "t.zip");
}

TEST(VQZipFileStore, IndexesPackagesAndLeavesMetaInfOut) {
    ScratchDirectory dir;
    auto store =
        storeOf(dir, {"META-INF/MANIFEST.MF", "java/lang/Object.class", "java/lang/String.class"});
    EXPECT_EQ(store.name(), dir / "t.zip");
    EXPECT_EQ(store.kindName(), "VQZipFileStore");
    EXPECT_EQ(store.packageNamesInPackage(""), list({"java"}));
    EXPECT_EQ(store.packageNamesInPackage("java"), list({"lang"}));
    EXPECT_EQ(store.classNamesInPackage("java.lang"), list({"Object", "String"}));
    EXPECT_EQ(store.packageNamesInPackage("java.lang"), std::nullopt);
    EXPECT_EQ(store.classNamesInPackage("java"), std::nullopt);
    EXPECT_TRUE(store.containsPackageName(""));
    EXPECT_TRUE(store.containsPackageName("java.lang"));
    EXPECT_FALSE(store.containsPackageName("META-INF"));
    EXPECT_FALSE(store.containsPackageName("java.lan"));
    EXPECT_TRUE(store.containsClassName("java.lang.String"));
    EXPECT_FALSE(store.containsClassName("java.lang.Strin"));
    EXPECT_FALSE(store.containsClassName("String"));
    EXPECT_EQ(text(store.dataForClassName("java.lang.Object")), "java/lang/Object.class");
    EXPECT_EQ(store.dataForClassName("java.lang.Thread"), nullptr);
    EXPECT_EQ(store.dataForClassName("nothing.At.All"), nullptr);
    // Zip stores know no absent package: only "" is the root.
    EXPECT_EQ(store.packageNamesInPackage(std::nullopt), std::nullopt);

    EXPECT_EQ(store.description(),
              "Zip File: {\n"
              "    \"\" = (java);\n"
              "    \"java\" = (lang);\n"
              "    \"java.lang\" = (Object, String);\n"
              "}");
    EXPECT_EQ(VQJarFileStore(dir / "t.zip").description().substr(0, 12), "Jar File: {\n");
}

TEST(VQZipFileStore, ListsFollowTheIndexOrder) {
    ScratchDirectory dir;
    // Subpackages newest first, classes in archive order (not sorted).
    auto store = storeOf(dir, {"java/lang/A.class", "java/io/B.class", "java/util/C.class",
                               "java/util/Z.class", "java/util/M.class", "java/io/"});
    EXPECT_EQ(store.packageNamesInPackage("java"), list({"util", "io", "lang"}));
    EXPECT_EQ(store.classNamesInPackage("java.util"), list({"C", "Z", "M"}));
}

TEST(VQZipFileStore, NonClassMembersArePackages) {
    ScratchDirectory dir;
    auto store =
        storeOf(dir, {"Foo.CLASS", "images/logo.gif", "Top.class", "tools/META-INF-old/A.class",
                      "a.b/C.class", "dir.class/", "x\\y\\Z.class"});
    // The upper-case extension is no class.
    EXPECT_TRUE(store.containsPackageName("Foo"));
    EXPECT_TRUE(store.containsPackageName("Foo.CLASS"));
    EXPECT_FALSE(store.containsClassName("Foo"));
    EXPECT_TRUE(store.containsPackageName("images.logo.gif"));
    EXPECT_EQ(store.packageNamesInPackage("images"), list({"logo"}));
    EXPECT_EQ(store.packageNamesInPackage("images.logo"), list({"gif"}));
    // A class at the top of the archive lies in the root package.
    EXPECT_EQ(store.classNamesInPackage(""), list({"Top"}));
    // A member whose name merely contains META-INF is left out too.
    EXPECT_FALSE(store.containsPackageName("tools"));
    // Dots in directory names and backslashes separate components like slashes.
    EXPECT_TRUE(store.containsClassName("a.b.C"));
    EXPECT_TRUE(store.containsPackageName("dir.class"));
    EXPECT_TRUE(store.containsClassName("x.y.Z"));
    EXPECT_EQ(store.packageNamesInPackage(""), list({"x", "dir", "a", "images", "Foo"}));
}

TEST(VQZipFileStore, EmptyAndOneSidedPackages) {
    ScratchDirectory dir;
    auto onlyMeta = storeOf(dir, {"META-INF/", "META-INF/MANIFEST.MF"});
    EXPECT_FALSE(onlyMeta.containsPackageName(""));
    EXPECT_EQ(onlyMeta.classNamesInPackage(""), std::nullopt);
    EXPECT_EQ(onlyMeta.packageNamesInPackage(""), std::nullopt);
    EXPECT_EQ(onlyMeta.description(), "Zip File: {}");

    ScratchDirectory dir2;
    auto store = storeOf(dir2, {"a/b/C.class"});
    EXPECT_EQ(store.classNamesInPackage("a"), std::nullopt);      // subpackages only
    EXPECT_EQ(store.packageNamesInPackage("a.b"), std::nullopt);  // classes only
    EXPECT_EQ(store.classNamesInPackage("a.b"), list({"C"}));
}

TEST(VQZipFileStore, AClassStoredTwiceIsListedTwiceAndReadFromItsFirstCopy) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("p/Dup.class", "first");
    // Enough classes in one package for lookups to go through the sorted table.
    for (int i = 0; i < 40; ++i)
        zip.add("p/C" + std::to_string(i) + ".class", "class " + std::to_string(i));
    zip.add("p/Dup.class", "second");
    zip.add("q/Dup.class", "other");
    zip.add("q/Dup.class", "other second");
    zip.writeTo(dir / "d.zip");
    VQZipFileStore store(dir / "d.zip");
    auto names = store.classNamesInPackage("p");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 42u);
    EXPECT_EQ(names->front(), "Dup");
    EXPECT_EQ(names->back(), "Dup");
    EXPECT_EQ(text(store.dataForClassName("p.Dup")), "first");
    EXPECT_EQ(text(store.dataForClassName("q.Dup")), "other");
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(text(store.dataForClassName("p.C" + std::to_string(i))),
                  "class " + std::to_string(i));
    EXPECT_FALSE(store.containsClassName("p.C40"));
    EXPECT_FALSE(store.containsClassName("p.A"));
    EXPECT_FALSE(store.containsClassName("p.Z"));
}

TEST(VQZipFileStore, ReadsDeflatedMembersAndKeepsTheirSizes) {
    ScratchDirectory dir;
    const std::string body(3000, 'z');
    ZipWriter zip;
    zip.add("d/Deflated.class", body, 8);
    zip.writeTo(dir / "d.zip");
    VQZipFileStore store(dir / "d.zip");
    const VQZipFileEntry* entry = store.entryForClassName("d.Deflated");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name(), "Deflated");
    EXPECT_EQ(entry->description(), "Deflated");
    EXPECT_EQ(entry->length(), 3000u);
    EXPECT_EQ(entry->compressionMethod(), 8);
    EXPECT_LT(entry->compressedLength(), 100u);
    EXPECT_EQ(entry->locationInZipFile(), 30u + 16u);
    EXPECT_EQ(text(store.dataForClassName("d.Deflated")), body);
    EXPECT_EQ(store.entryForClassName("d.Missing"), nullptr);
    EXPECT_EQ(store.entryForClassName("e.Deflated"), nullptr);
}

TEST(VQZipFileStore, UnreadableMembersAreLoggedAndAbsent) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("p/Imploded.class", "xxxx", 6);
    auto& corrupt = zip.add("p/Corrupt.class", "yyyy", 8);
    corrupt.rawData = testing::ZipBytes{0xFF, 0xFF, 0xFF, 0xFF};
    zip.add("p/Fine.class", "fine");
    zip.writeTo(dir / "u.zip");
    const std::string path = dir / "u.zip";
    VQZipFileStore store(path);

    LogCapture log;
    EXPECT_TRUE(store.containsClassName("p.Imploded"));
    EXPECT_EQ(store.dataForClassName("p.Imploded"), nullptr);
    EXPECT_EQ(store.dataForClassName("p.Corrupt"), nullptr);
    EXPECT_EQ(text(store.dataForClassName("p.Fine")), "fine");
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "Exception raised reading class p.Imploded: Unsupported compression "
                             "type 6 in zip file " +
                                 path,
                             "Exception raised reading class p.Corrupt: Corrupt zip file " + path +
                                 " (invalid compressed data).",
                         }));

    // The archive gone after construction: the index stays, reads fail with a log line.
    log.lines.clear();
    std::filesystem::remove(path);
    EXPECT_TRUE(store.containsClassName("p.Fine"));
    EXPECT_EQ(store.dataForClassName("p.Fine"), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "Exception raised reading class p.Fine: Can't open zip file " + path +
                  " any more (No such file or directory) - I swear it used to be there!");
}

TEST(VQZipFileStore, ABadLocalHeaderFailsOnlyItsOwnMember) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("a/One.class", "1");
    zip.add("b/Two.class", "2");
    zip.add("c/Three.class", "3").localSignature = false;
    zip.add("d/Four.class", "4");
    zip.writeTo(dir / "x.zip");
    VQZipFileStore store(dir / "x.zip");
    // The index comes from the directory alone: every member is there, and the one whose
    // local header is bad fails when it is read, as java's and Go's readers do.
    EXPECT_EQ(store.packageNamesInPackage(""), list({"d", "c", "b", "a"}));
    EXPECT_EQ(text(store.dataForClassName("d.Four")), "4");
    LogCapture log;
    EXPECT_EQ(store.dataForClassName("c.Three"), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Exception raised reading class c.Three: Corrupt zip file " +
                                (dir / "x.zip") + " (invalid local header).");
    EXPECT_EQ(store.entryForClassName("c.Three")->locationInZipFile(), 0u);

    // Not an archive at all, or not there: an empty store, no failure.
    testing::writeFile(dir / "junk.zip", std::string(100, 'j'));
    EXPECT_FALSE(VQZipFileStore(dir / "junk.zip").containsPackageName(""));
    EXPECT_FALSE(VQZipFileStore(dir / "missing.zip").containsPackageName(""));
}

TEST(VQZipFileStore, OddNames) {
    ScratchDirectory dir;
    auto store = storeOf(dir, {"/a/Lead.class", "a/Plain.class", "//x", "p/.class", "q//R.class"});
    // A leading "/" makes ".a", a package of its own beside "a", both children of the root.
    EXPECT_EQ(store.classNamesInPackage(".a"), list({"Lead"}));
    EXPECT_EQ(store.classNamesInPackage("a"), list({"Plain"}));
    EXPECT_EQ(store.packageNamesInPackage(""), list({"q", "", "a", "a"}));
    EXPECT_TRUE(store.containsPackageName("."));
    // "p/.class" is a class named p in the root, "q//R.class" the class R of package "q.".
    EXPECT_EQ(store.classNamesInPackage(""), list({"p"}));
    EXPECT_TRUE(store.containsClassName("q..R"));
    EXPECT_EQ(store.packageNamesInPackage("q"), list({""}));

    // A NUL ends the name at the C library: such names hold nothing.
    const std::string withNul("a\0b", 3);
    EXPECT_FALSE(store.containsClassName(std::string("a.Plain\0x", 9)));
    EXPECT_FALSE(store.containsPackageName(withNul));
    EXPECT_EQ(store.classNamesInPackage(std::string("a\0", 2)), std::nullopt);
    EXPECT_EQ(store.packageNamesInPackage(withNul), std::nullopt);
    EXPECT_EQ(store.dataForClassName(std::string("a.Plain\0", 8)), nullptr);
    // Slashes in a query name are not separators.
    EXPECT_FALSE(store.containsClassName("a/Plain"));
    EXPECT_FALSE(store.containsPackageName("a/b"));
}

TEST(VQZipFileStore, DeepHostileNamesIndexInLinearSpace) {
    ScratchDirectory dir;
    std::string path;
    for (int i = 0; i < 20000; ++i) path += "a/";
    path += "Deep.class";
    ZipWriter zip;
    zip.add(path, "deep");
    zip.add(std::string(65000, '/'), "");
    zip.writeTo(dir / "deep.zip");
    VQZipFileStore store(dir / "deep.zip");
    std::string dotted;
    for (int i = 0; i < 20000; ++i) dotted += "a.";
    EXPECT_EQ(text(store.dataForClassName(dotted + "Deep")), "deep");
    EXPECT_TRUE(store.containsPackageName(std::string(64998, '.')));
    EXPECT_FALSE(store.containsPackageName(std::string(65000, '.')));

    // A walk down the tree asks for each package right after its parent: every answer must
    // be the same as a lookup from the root, and the walk must reach the class.
    std::string package = "a";
    for (int depth = 1; depth < 20000; ++depth) {
        auto subpackages = store.packageNamesInPackage(package);
        ASSERT_TRUE(subpackages) << depth;
        ASSERT_EQ(*subpackages, std::vector<std::string>{"a"}) << depth;
        ASSERT_FALSE(store.classNamesInPackage(package)) << depth;
        package += ".a";
    }
    EXPECT_EQ(store.classNamesInPackage(package), std::vector<std::string>{"Deep"});
    EXPECT_FALSE(store.packageNamesInPackage(package));
    EXPECT_FALSE(store.containsPackageName(package + ".b"));
    EXPECT_TRUE(store.containsPackageName("a.a"));  // back near the root after the deep walk
    EXPECT_FALSE(store.containsPackageName("a.b"));
}

// A subclass that indexes only one directory of its archives, like a .jmod store.
class ClassesOnlyStore : public VQZipFileStore {
public:
    explicit ClassesOnlyStore(std::string name) : VQZipFileStore(std::move(name), "classes/") {}
};

TEST(VQZipFileStore, MemberPrefixIndexesOnlyMembersBelowIt) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.prefix = {'J', 'M', 1, 0};
    zip.add("classes/module-info.class", "module");
    zip.add("classes/p/A.class", "A");
    zip.add("classes/META-INF/services/x", "");
    zip.add("bin/tool", "");
    zip.add("lib/q/B.class", "B");
    zip.add("classesX/r/C.class", "C");
    zip.writeTo(dir / "m.jmod");
    ClassesOnlyStore store(dir / "m.jmod");
    EXPECT_EQ(store.packageNamesInPackage(""), list({"p"}));
    EXPECT_EQ(store.classNamesInPackage(""), list({"module-info"}));
    EXPECT_EQ(text(store.dataForClassName("p.A")), "A");
    EXPECT_FALSE(store.containsPackageName("q"));
    EXPECT_FALSE(store.containsPackageName("META-INF"));
    EXPECT_FALSE(store.containsPackageName("classes"));
}

TEST(VQZipFileStore, KindsAcceptTheirOwnSuffixesOnExistingFiles) {
    ScratchDirectory dir;
    for (const char* name : {"lib.zip", "lib.ZIP", "lib.Zip", "lib.jar", "lib.JAR", "lib.Jar"})
        testing::writeFile(dir / name, "");
    std::filesystem::create_directories(dir / "dir.jar");
    std::filesystem::create_directories(dir / "dir.zip");
    EXPECT_TRUE(VQZipFileStore::canGrokName(dir / "lib.zip"));
    EXPECT_TRUE(VQZipFileStore::canGrokName(dir / "lib.ZIP"));
    EXPECT_FALSE(VQZipFileStore::canGrokName(dir / "lib.Zip"));
    EXPECT_FALSE(VQJarFileStore::canGrokName(dir / "lib.Zip"));
    EXPECT_FALSE(VQZipFileStore::canGrokName(dir / "lib.jar"));
    EXPECT_TRUE(VQJarFileStore::canGrokName(dir / "lib.jar"));
    EXPECT_TRUE(VQJarFileStore::canGrokName(dir / "lib.JAR"));
    EXPECT_FALSE(VQJarFileStore::canGrokName(dir / "lib.Jar"));
    EXPECT_FALSE(VQJarFileStore::canGrokName(dir / "dir.jar"));
    EXPECT_FALSE(VQZipFileStore::canGrokName(dir / "dir.zip"));
    EXPECT_FALSE(VQJarFileStore::canGrokName(dir / "missing.jar"));
}

// The jars of examples/jars, made by `jar` and `zip` (see examples/build-jars.sh), hold
// exactly the classes of examples/classes.
class ExampleJars : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleJars, HoldExactlyTheExampleClasses) {
    const std::string path = testing::examplesPath(std::string("jars/") + GetParam());
    const int before = openDescriptorCount();
    VQJarFileStore store(path);
    EXPECT_EQ(store.kindName(), "VQJarFileStore");
    EXPECT_FALSE(store.containsPackageName("META-INF"));
    auto packages = store.packageNamesInPackage("");
    ASSERT_TRUE(packages);
    EXPECT_EQ(std::set<std::string>(packages->begin(), packages->end()),
              (std::set<std::string>{"p", "q"}));
    EXPECT_EQ(store.classNamesInPackage(""), list({"Hello"}));

    size_t classes = 0;
    const std::string root = testing::examplesPath("classes");
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
        if (!file.is_regular_file()) continue;
        std::string relative = std::filesystem::relative(file.path(), root).string();
        std::string className = relative.substr(0, relative.size() - 6);
        std::replace(className.begin(), className.end(), '/', '.');
        SCOPED_TRACE(className);
        EXPECT_EQ(text(store.dataForClassName(className)), testing::readFile(file.path().string()));
        ++classes;
    }
    EXPECT_EQ(classes, 11u);
    size_t listed = 0;
    for (const char* package : {"", "p", "q"})
        listed += store.classNamesInPackage(package).value_or(Names::value_type()).size();
    EXPECT_EQ(listed, classes);
    EXPECT_EQ(openDescriptorCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Jars, ExampleJars,
                         ::testing::Values("stored.jar", "deflated.jar", "commented.jar",
                                           "prefixed.jar"),
                         [](const ::testing::TestParamInfo<const char*>& shape) {
                             std::string name(shape.param);
                             return name.substr(0, name.find('.'));
                         });

TEST(ExampleJarsShape, AreWhatTheirNamesSay) {
    VQJarFileStore stored(testing::examplesPath("jars/stored.jar"));
    VQJarFileStore deflated(testing::examplesPath("jars/deflated.jar"));
    ASSERT_NE(stored.entryForClassName("p.Point"), nullptr);
    ASSERT_NE(deflated.entryForClassName("p.Point"), nullptr);
    EXPECT_EQ(stored.entryForClassName("p.Point")->compressionMethod(), 0);
    EXPECT_EQ(deflated.entryForClassName("p.Point")->compressionMethod(), 8);
    // The prefixed jar starts with a script; its members lie that much further in.
    const std::string prefixed = testing::readFile(testing::examplesPath("jars/prefixed.jar"));
    EXPECT_EQ(prefixed.substr(0, 2), "#!");
    VQJarFileStore shifted(testing::examplesPath("jars/prefixed.jar"));
    ASSERT_NE(shifted.entryForClassName("p.Point"), nullptr);
    EXPECT_GT(shifted.entryForClassName("p.Point")->locationInZipFile(),
              deflated.entryForClassName("p.Point")->locationInZipFile());
    // The commented jar ends with its comment, not with an end record.
    const std::string commented = testing::readFile(testing::examplesPath("jars/commented.jar"));
    EXPECT_EQ(commented.substr(commented.size() - 26), "The comment ends the file.");
}

}  // namespace
}  // namespace ornith

namespace ornith {
namespace {

// Names end at their first NUL byte, as they did when the walk handed them out as C
// strings: what the store lists it also finds.
TEST(VQZipFileStore, NamesEndAtTheirFirstNul) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add(std::string("p/Q.class\0junk", 14), "q");
    zip.add(std::string("images/logo.\0\0\0", 15), "");
    zip.writeTo(dir / "nul.zip");
    VQZipFileStore store(dir / "nul.zip");
    EXPECT_EQ(text(store.dataForClassName("p.Q")), "q");
    EXPECT_TRUE(store.containsPackageName("images.logo."));
    const auto listed = store.packageNamesInPackage("images");
    ASSERT_TRUE(listed);
    for (const auto& name : *listed)
        EXPECT_TRUE(store.containsPackageName("images." + name)) << name;
}

}  // namespace
}  // namespace ornith

namespace ornith {
namespace {

// Why an archive could not be indexed, for every way it can fail: the store stays empty
// (or keeps what came before the damage) and says why, with the failure's kind.
TEST(VQZipFileStore, IndexFailureSaysWhy) {
    ScratchDirectory dir;
    ZipWriter sound;
    sound.add("p/A.class", "class A");
    sound.add("p/B.class", "class B");
    const testing::ZipBytes soundBytes = sound.bytes();
    auto write = [](const std::string& path, std::span<const uint8_t> bytes) {
        testing::writeFile(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    };
    constexpr const char* kNotZip = "not a zip archive (no end of central directory record)";

    struct Case {
        const char* label;
        std::function<void(const std::string& path)> make;  // writes the archive at path
        const char* reason;                                 // null: indexed whole
        VQErrorKind kind;
        bool hasRoot;  // whether anything was indexed
    };
    const std::vector<Case> cases{
        {"sound", [&](const std::string& p) { write(p, soundBytes); }, nullptr, VQErrorKind::other,
         true},
        {"text file", [](const std::string& p) { testing::writeFile(p, "just some text\n"); },
         kNotZip, VQErrorKind::corruptArchive, false},
        {"truncated jar",
         [&](const std::string& p) {
             write(p, std::span<const uint8_t>(soundBytes.data(), soundBytes.size() / 2));
         },
         kNotZip, VQErrorKind::corruptArchive, false},
        {"shorter than an end record", [](const std::string& p) { testing::writeFile(p, "PK"); },
         kNotZip, VQErrorKind::corruptArchive, false},
        {"missing", [](const std::string&) {}, "No such file or directory",
         VQErrorKind::unreadableFile, false},
        {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
         "not a regular file", VQErrorKind::unreadableFile, false},
        {"symbolic link loop", [](const std::string& p) { std::filesystem::create_symlink(p, p); },
         "Too many levels of symbolic links", VQErrorKind::unreadableFile, false},
        {"more members announced than the directory holds",
         [&](const std::string& p) {
             ZipWriter zip = sound;
             zip.declaredCount = 3;
             write(p, zip.bytes());
         },
         "central directory record runs past the directory", VQErrorKind::corruptArchive, true},
        {"directory size past the start of the file",
         [&](const std::string& p) {
             ZipWriter zip = sound;
             zip.declaredDirectorySize = 1 << 20;
             write(p, zip.bytes());
         },
         "central directory runs past the start of the file", VQErrorKind::corruptArchive, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = dir / (std::string(c.label) + ".jar");
        c.make(path);
        const VQJarFileStore store(path);
        const VQException* failure = store.indexFailure();
        EXPECT_EQ(store.containsPackageName(""), c.hasRoot);
        if (!c.reason) {
            EXPECT_EQ(failure, nullptr);
            continue;
        }
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->reason(), c.reason);
        EXPECT_EQ(failure->kind(), c.kind);
    }

    // A file the user may not read (root reads anything, so only when not root).
    if (::geteuid() != 0) {
        const std::string path = dir / "locked.jar";
        write(path, soundBytes);
        ::chmod(path.c_str(), 0);
        const VQJarFileStore store(path);
        const VQException* failure = store.indexFailure();
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->reason(), "Permission denied");
        EXPECT_EQ(failure->kind(), VQErrorKind::unreadableFile);
    }

    // Two sparse files of 2 GiB: one all zeros, which holds no archive at all, and one
    // whose end record announces a central directory beyond the size the reader accepts.
    const std::string zeros = dir / "zeros.jar", huge = dir / "huge.jar";
    constexpr uint64_t kTwoGiB = uint64_t{2} << 30;
    testing::writeFile(zeros, "");
    if (::truncate(zeros.c_str(), static_cast<off_t>(kTwoGiB)) != 0)
        GTEST_SKIP() << "no sparse file of 2 GiB here";
    const VQJarFileStore zeroStore(zeros);
    const VQException* failure = zeroStore.indexFailure();
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->reason(), kNotZip);

    testing::ZipBytes end;
    testing::putLE32(end, 0x06054B50);
    testing::putLE16(end, 0);
    testing::putLE16(end, 0);
    testing::putLE16(end, 1);
    testing::putLE16(end, 1);
    testing::putLE32(end, uint32_t{3} << 29);  // 1.5 GiB of directory
    testing::putLE32(end, 0);
    testing::putLE16(end, 0);
    testing::writeFile(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kTwoGiB - end.size())), 0);
    {
        std::ofstream out(huge, std::ios::binary | std::ios::app);
        out.write(reinterpret_cast<const char*>(end.data()),
                  static_cast<std::streamsize>(end.size()));
    }
    const VQJarFileStore hugeStore(huge);
    failure = hugeStore.indexFailure();
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->reason(), "archive too large (central directory above 1 GiB)");
    EXPECT_EQ(failure->kind(), VQErrorKind::unsupportedArchive);
    EXPECT_EQ(failure->offset(), kTwoGiB - end.size());
}

}  // namespace
}  // namespace ornith
