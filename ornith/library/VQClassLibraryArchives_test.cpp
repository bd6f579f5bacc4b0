// The library's archive options: manifest Class-Path chains (with a cycle and a missing
// entry), wildcard folders, multi-release jars, archives kept open within a bound, and
// applications as shipped: archives inside archives and the layouts of executable jars,
// web and enterprise archives, with the ways hostile nesting is refused.

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

// A jar's bytes, to put inside another archive.
std::string jarBytes(const std::vector<std::pair<std::string, std::string>>& members,
                     uint16_t method = 8) {
    ZipWriter zip;
    for (const auto& [name, content] : members) zip.add(name, content, method);
    const auto bytes = zip.bytes();
    return std::string(bytes.begin(), bytes.end());
}

// An executable jar (behind a launch script), a web archive and an enterprise archive
// holding it, built from three small jars.
struct Applications {
    ScratchDirectory dir;
    std::string boot = dir / "app.jar", war = dir / "web.war", ear = dir / "app.ear";
    Applications() {
        const std::string lib1 = jarBytes({{"p/A.class", "A"}, {"p/Shared.class", "lib1"}});
        const std::string lib2 = jarBytes({{"META-INF/MANIFEST.MF", "Class-Path: lib3.jar\n"},
                                           {"p/B.class", "B"},
                                           {"p/Shared.class", "lib2"}});
        const std::string lib3 = jarBytes({{"p/C.class", "C"}});
        ZipWriter app;
        app.prefix = {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'};
        app.add("BOOT-INF/classes/app/Main.class", "Main", 8);
        app.add("BOOT-INF/lib/lib1.jar", lib1, 0);  // stored, as executable jars keep them
        app.add("BOOT-INF/lib/lib2.jar", lib2, 8);
        app.add("BOOT-INF/lib/lib3.jar", lib3, 0);
        app.add("BOOT-INF/classpath.idx",
                "- \"BOOT-INF/lib/lib2.jar\"\n- \"BOOT-INF/lib/lib1.jar\"\n");
        app.writeTo(boot);
        ZipWriter web;
        web.add("WEB-INF/classes/w/Servlet.class", "Servlet", 8);
        web.add("WEB-INF/lib/z.jar", lib3, 0);
        web.add("WEB-INF/lib/lib1.jar", lib1, 0);
        web.add("index.html", "<html>", 8);
        web.writeTo(war);
        const auto webBytes = web.bytes();
        ZipWriter enterprise;
        enterprise.add("web.war", std::string(webBytes.begin(), webBytes.end()), 0);
        enterprise.add("lib/lib3.jar", lib3, 0);
        enterprise.add("ejb.jar", jarBytes({{"e/Ejb.class", "Ejb"}}), 0);
        enterprise.writeTo(ear);
    }
};

TEST(VQClassLibraryArchives, ReadsApplicationsAsTheirLoadersDo) {
    const Applications apps;
    const std::string boot = apps.boot, war = apps.war, ear = apps.ear;
    struct Case {
        std::string entry;
        VQArchiveLayout layout;
        bool follow;
        std::vector<std::string> stores;
    } cases[] = {
        {boot,
         VQArchiveLayout::automatic,
         false,
         {boot + "!/BOOT-INF/classes", boot + "!/BOOT-INF/lib/lib2.jar",
          boot + "!/BOOT-INF/lib/lib1.jar", boot + "!/BOOT-INF/lib/lib3.jar"}},
        // Class-Path of a nested jar names its neighbour inside the same archive.
        {boot,
         VQArchiveLayout::boot,
         true,
         {boot + "!/BOOT-INF/classes", boot + "!/BOOT-INF/lib/lib2.jar",
          boot + "!/BOOT-INF/lib/lib3.jar", boot + "!/BOOT-INF/lib/lib1.jar"}},
        {boot, VQArchiveLayout::plain, false, {boot}},
        {war,
         VQArchiveLayout::automatic,
         false,
         {war + "!/WEB-INF/classes", war + "!/WEB-INF/lib/lib1.jar", war + "!/WEB-INF/lib/z.jar"}},
        {ear,
         VQArchiveLayout::ear,
         false,
         {ear + "!/lib/lib3.jar", ear + "!/ejb.jar", ear + "!/web.war!/WEB-INF/classes",
          ear + "!/web.war!/WEB-INF/lib/lib1.jar", ear + "!/web.war!/WEB-INF/lib/z.jar"}},
        // Named directly, at any depth, whatever the layout.
        {ear + "!/web.war!/WEB-INF/lib/z.jar",
         VQArchiveLayout::plain,
         false,
         {ear + "!/web.war!/WEB-INF/lib/z.jar"}},
        {boot + "!/BOOT-INF/classes/",
         VQArchiveLayout::plain,
         false,
         {boot + "!/BOOT-INF/classes/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry + " " + VQArchiveLayoutName(c.layout));
        auto library = VQClassLibrary::classLibrary();
        VQClassLibraryArchiveOptions options;
        options.nestedEntries = true;
        options.layout = c.layout;
        options.followManifestClassPath = c.follow;
        library->setArchiveOptions(options);
        library->appendToClassPath(c.entry);
        EXPECT_EQ(storeNames(*library), c.stores);
    }

    auto library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions options;
    options.layout = VQArchiveLayout::automatic;
    library->setArchiveOptions(options);
    library->appendToClassPath(boot + ";" + ear);
    // The index's order decides between the two copies of p.Shared.
    EXPECT_EQ(text(library->dataForClassName("p.Shared")), "lib2");
    EXPECT_EQ(text(library->dataForClassName("app.Main")), "Main");
    EXPECT_EQ(text(library->dataForClassName("w.Servlet")), "Servlet");
    EXPECT_EQ(library->classStoreNameForClassWithName("p.A"), boot + "!/BOOT-INF/lib/lib1.jar");
    EXPECT_EQ(library->classStoreNameForClassWithName("e.Ejb"), ear + "!/ejb.jar");
    EXPECT_EQ(library->classNamesInPackage("p"),
              (std::vector<std::string>{"A", "B", "C", "Shared"}));
    EXPECT_FALSE(library->packageWithName("BOOT-INF"));

    // By default an entry with "!/" is no source at all, as before.
    auto plain = VQClassLibrary::classLibraryWithClassPath(boot + "!/BOOT-INF/lib/lib1.jar");
    EXPECT_TRUE(plain->classStores().empty());
}

TEST(VQClassLibraryArchives, RefusesHostileNestingAndKeepsTheRest) {
    const Applications apps;
    ScratchDirectory dir;
    // A member that claims the whole archive, its own directory included: it holds itself.
    ZipWriter self;
    self.add("self.jar", "PK\x03\x04 not really", 0).declaredLength = 4096;
    self.add("junk.jar", "not an archive at all", 0);
    self.writeTo(dir / "self.jar");
    writeJar(dir / "good.jar", {"g/Good"});

    struct Case {
        std::string entry;
        size_t maxDepth;
        uint64_t budget;
        std::string reason;  // empty: a store is made, for an archive that indexes nothing
    } cases[] = {
        {dir / "self.jar" + "!/self.jar", 8, 1 << 20, "overlaps the central directory"},
        {dir / "self.jar" + "!/junk.jar", 8, 1 << 20, ""},
        {apps.ear + "!/web.war!/WEB-INF/lib/z.jar", 1, 1 << 20, "archives nested more than 1 deep"},
        {apps.boot + "!/BOOT-INF/lib/lib2.jar", 8, 16, "inflate budget"},
        {apps.boot + "!/BOOT-INF/lib/none.jar", 8, 1 << 20, "no member BOOT-INF/lib/none.jar"},
        {dir / "missing.jar" + "!/a.jar", 8, 1 << 20, "Can't open zip file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        auto library = VQClassLibrary::classLibrary();
        VQClassLibraryArchiveOptions options;
        options.nestedEntries = true;
        options.nesting.maxDepth = c.maxDepth;
        options.nesting.inflateBudget = c.budget;
        library->setArchiveOptions(options);
        std::vector<std::string> dropped;
        library->appendToClassPath(c.entry + ";" + dir / "good.jar",
                                   [&](const std::string& entry, const std::exception& failure) {
                                       dropped.push_back(entry + ": " + failure.what());
                                   });
        EXPECT_TRUE(library->dataForClassName("g.Good"));
        if (c.reason.empty()) {
            EXPECT_TRUE(dropped.empty());
            ASSERT_EQ(library->classStores().size(), 2u);
            EXPECT_FALSE(library->classStores()[0]->containsPackageName(""));
        } else {
            ASSERT_EQ(dropped.size(), 1u);
            EXPECT_NE(dropped[0].find(c.reason), std::string::npos) << dropped[0];
            EXPECT_EQ(library->classStores().size(), 1u);
        }
    }
}

}  // namespace
}  // namespace ornith
