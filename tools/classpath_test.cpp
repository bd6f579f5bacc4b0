// End-to-end tests of the class-path commands: describe by class name and --all, list,
// which, and where the class path comes from.
//
// Every run names its JDK (a made-up one whose runtime image the test writer makes) or
// turns the platform off, so that nothing depends on a JDK being installed, except the
// tests that look for one and skip where there is none.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/ImageWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

namespace fs = std::filesystem;
using ornith::testing::ClassFileWriter;
using ornith::testing::ImageWriter;
using ornith::testing::ZipWriter;

// The classes of examples/classes, sorted by name (byte order: '$' before letters).
const std::vector<std::string> kExampleClasses = {
    "Hello",        "p.Constants",   "p.Lambdas",      "p.Outer", "p.Outer$1", "p.Outer$1Local",
    "p.Outer$Base", "p.Outer$Inner", "p.Outer$Nested", "p.Point", "q.Shape",
};

std::string lines(const std::vector<std::string>& items, const std::string& suffix = "") {
    std::string text;
    for (const auto& item : items) text += item + suffix + "\n";
    return text;
}

// What `which` prints for several names: each name, a tab and its entry.
std::string namedLines(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string text;
    for (const auto& [name, entry] : rows) text += name + "\t" + entry + "\n";
    return text;
}

// A class with one public int field, so that two classes of one name can be told apart.
std::string markedClassFile(const std::string& internalName, const std::string& marker) {
    ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    w.addField(0x0001, marker, "I");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

// HOME/lib/modules: java.lang.Object, java.lang.String (with the field "platform"),
// java.util.Map and java.util.Map$Entry, in the module java.base.
void writeImageJdk(const std::string& home) {
    ImageWriter image;
    image.add("java.base", "module-info.class", "module-info");
    image.add("java.base", "java/lang/Object.class", classFile("java/lang/Object"));
    image.add("java.base", "java/lang/String.class",
              markedClassFile("java/lang/String", "platform"), "zip");
    image.add("java.base", "java/util/Map.class", classFile("java/util/Map"));
    image.add("java.base", "java/util/Map$Entry.class", classFile("java/util/Map$Entry"));
    const auto bytes = image.bytes();
    writeFile(home + "/lib/modules", std::string(bytes.begin(), bytes.end()));
}

// The made-up JDK of this test process, written on first use.
const std::string& fakeJdk() {
    static const std::string home = [] {
        std::string path =
            std::string(::testing::TempDir()) + "ornith_fake_jdk_" + std::to_string(::getpid());
        fs::remove_all(path);
        writeImageJdk(path);
        return path;
    }();
    return home;
}

// Where `which` finds a class of the made-up JDK: its image, and the module.
std::string imageEntry() {
    return fakeJdk() + "/lib/modules\tjava.base";
}

// No CLASSPATH, and the made-up JDK as the platform.
std::string kNoDefault() {
    return "CLASSPATH= JAVA_HOME=" + fakeJdk();
}

class RemoveFakeJdk : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(
            std::string(::testing::TempDir()) + "ornith_fake_jdk_" + std::to_string(::getpid()),
            ignored);
    }
};
const auto* const kRemoveFakeJdk = ::testing::AddGlobalTestEnvironment(new RemoveFakeJdk);

using Scratch = ornith::testing::ScratchDirectory;

// A class path of every kind of entry: a single class file first, then a stored jar, a
// deflated jar, a directory, and a scratch deflated jar and directory with classes that
// no other entry has.
struct MixedClassPath {
    Scratch scratch;
    std::string path;
    MixedClassPath() {
        ZipWriter zip;
        zip.add("extra/Only.class", classFile("extra/Only"), 8);
        zip.writeTo(scratch / "extra.jar");
        writeFile(scratch / "dir/dironly/D.class", classFile("dironly/D"));
        path =
            "examples/classes/p/Point.class;examples/jars/stored.jar;examples/jars/deflated.jar;"
            "examples/classes;" +
            scratch / "extra.jar" + ";" + scratch / "dir";
    }
};

TEST(ClassPath, WhichNamesTheFirstEntryThatHoldsEachClass) {
    MixedClassPath cp;
    ToolResult r = runTool(
        {"which", "-cp", cp.path, "p.Point", "p.Outer", "extra.Only", "dironly.D", "q.Shape"},
        kNoDefault());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, namedLines({{"p.Point", "p.Point"},
                                 {"p.Outer", "examples/jars/stored.jar"},
                                 {"extra.Only", cp.scratch / "extra.jar"},
                                 {"dironly.D", cp.scratch / "dir"},
                                 {"q.Shape", "examples/jars/stored.jar"}}));
    EXPECT_EQ(r.err, "");

    // Without the jars, the directory supplies the class; --class-path is the long form.
    ToolResult d =
        runTool({"which", "--class-path", "examples/classes;examples/jars/deflated.jar", "p.Outer"},
                kNoDefault());
    EXPECT_EQ(d.out, "examples/classes\n");
}

TEST(ClassPath, NamesNotFoundAreReportedAndTheRestAnswered) {
    ToolResult r =
        runTool({"which", "-cp", "examples/classes", "p.Nope", "Hello", "p.", "", "p.Point."},
                kNoDefault());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Hello\texamples/classes\n");
    EXPECT_EQ(r.err,
              "ornith: p.Nope: not found\nornith: p.: not found\nornith: : not found\n"
              "ornith: p.Point.: not found\n");

    ToolResult d = runTool({"describe", "-cp", "examples/jars/deflated.jar", "p.Nope", "q.Shape"},
                           kNoDefault());
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.out.rfind("public abstract interface q.Shape", 0), 0u) << d.out;
    EXPECT_EQ(d.err, "ornith: p.Nope: not found\n");

    ToolResult l = runTool({"list", "-cp", "examples/classes", "nope"}, kNoDefault());
    EXPECT_EQ(l.status, 1);
    EXPECT_EQ(l.out, "");
    EXPECT_EQ(l.err, "ornith: nope: not found\n");
}

TEST(ClassPath, DescribeTakesClassNamesAndPathsAlike) {
    ToolResult byPath = runTool({"describe", "examples/classes/p/Point.class"});
    ASSERT_EQ(byPath.status, 0);
    for (const char* entry : {"examples/classes", "examples/jars/stored.jar",
                              "examples/jars/deflated.jar", "examples/classes/p/Point.class"}) {
        ToolResult byName = runTool({"describe", "-cp", entry, "p.Point"}, kNoDefault());
        EXPECT_EQ(byName.status, 0) << entry << ": " << byName.err;
        EXPECT_EQ(byName.out, byPath.out) << entry;
    }
    // A name that names no file is a class name, in internal form or dotted, ".class"
    // optional.
    for (const char* name : {"p/Point.class", "p/Point", "p.Point.class"}) {
        ToolResult byInternal =
            runTool({"describe", "-cp", "examples/classes", name}, kNoDefault());
        EXPECT_EQ(byInternal.status, 0) << name << ": " << byInternal.err;
        EXPECT_EQ(byInternal.out, byPath.out) << name;
    }
}

TEST(ClassPath, DescribeAllPrintsEveryClassSortedByName) {
    std::string expected;
    for (const auto& name : kExampleClasses) {
        std::string path = "examples/classes/" + name + ".class";
        std::replace(path.begin(), path.begin() + static_cast<long>(path.size() - 6), '.', '/');
        ToolResult one = runTool({"describe", path});
        ASSERT_EQ(one.status, 0) << path << ": " << one.err;
        expected += one.out;
    }
    MixedClassPath cp;
    for (const std::string& path :
         {std::string("examples/jars/deflated.jar"), std::string("examples/classes"),
          std::string("examples/jars/stored.jar;examples/classes")}) {
        ToolResult all = runTool({"describe", "--all", "-cp", path}, kNoDefault());
        EXPECT_EQ(all.status, 0) << all.err;
        EXPECT_EQ(all.out, expected) << path;
        EXPECT_EQ(all.err, "");  // no progress line: stderr is not a terminal
    }
    ToolResult mixed = runTool({"describe", "--all", "-cp", cp.path}, kNoDefault());
    EXPECT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_NE(mixed.out.find("class dironly.D extends"), std::string::npos);
    EXPECT_LT(mixed.out.find("class dironly.D extends"),
              mixed.out.find("class extra.Only extends"));
}

TEST(ClassPath, DescribeAllReportsClassesThatFailAndGoesOn) {
    Scratch scratch;
    writeFile(scratch / "a/Good.class", classFile("a/Good"));
    writeFile(scratch / "a/Bad.class", "\xCA\xFE\xBA\xBE and then nothing sensible");
    ToolResult r = runTool({"describe", "--all", "-cp", scratch / ""}, kNoDefault());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("class a.Good extends java.lang.Object"), std::string::npos);
    EXPECT_EQ(r.err.rfind("ornith: a.Bad: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(ClassPath, ListShowsSubpackagesThenClassesOrEveryClassBelow) {
    MixedClassPath cp;
    ToolResult root = runTool({"list", "-cp", cp.path}, kNoDefault());
    EXPECT_EQ(root.status, 0) << root.err;
    EXPECT_EQ(root.out, "dironly/\nextra/\np/\nq/\nHello\n");

    ToolResult p = runTool({"list", "-cp", cp.path, "p"}, kNoDefault());
    EXPECT_EQ(p.out, lines({"Constants", "Lambdas", "Outer", "Outer$1", "Outer$1Local",
                            "Outer$Base", "Outer$Inner", "Outer$Nested", "Point"}));

    std::vector<std::string> every = kExampleClasses;
    every.insert(every.end(), {"dironly.D", "extra.Only"});
    std::sort(every.begin(), every.end());
    ToolResult all = runTool({"list", "-r", "-cp", cp.path}, kNoDefault());
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out, lines(every));
    EXPECT_EQ(all.err, "");

    ToolResult underP =
        runTool({"list", "--recursive", "-cp", "examples/jars/stored.jar", "p"}, kNoDefault());
    EXPECT_EQ(underP.out, lines(std::vector<std::string>(kExampleClasses.begin() + 1,
                                                         kExampleClasses.end() - 1)));
}

TEST(ClassPath, BadEntriesAreReportedAndSkipped) {
    Scratch scratch;
    writeFile(scratch / "notzip.jar", "this is not a zip archive");
    writeFile(scratch / "Junk.class", "not a class file");
    writeFile(scratch / "lib.tar", "");
    fs::create_directories(scratch / "dir.jar/p");
    writeFile(scratch / "dir.jar/p/InDir.class", classFile("p/InDir"));
    const std::string path = ";;" + scratch / "missing.jar" + ";" + scratch / "notzip.jar" + ";" +
                             scratch / "Junk.class" + ";" + scratch / "lib.tar" + ";" +
                             scratch / "dir.jar" + ";examples/classes;";
    ToolResult r = runTool({"which", "-cp", path, "p.Point", "p.InDir"}, kNoDefault());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              namedLines({{"p.Point", "examples/classes"}, {"p.InDir", scratch / "dir.jar"}}));
    EXPECT_EQ(r.err, "ornith: " + scratch / "missing.jar" + ": no such file or directory\n" +
                         "ornith: " + scratch / "notzip.jar" +
                         ": not a zip archive (no end of central directory record)\n" +
                         "ornith: " + scratch / "Junk.class" + ": Not a java .class file\n" +
                         "ornith: " + scratch / "lib.tar" +
                         ": not a directory, archive, runtime image or class file\n");
}

// First match wins, so a lookup reads the class path only up to the entry that holds the
// class under the name as typed; a name that must be tried in other spellings, and one
// not found, read all of it.
TEST(ClassPath, LookupsReadTheClassPathOnlyAsFarAsTheyNeed) {
    Scratch scratch;
    writeFile(scratch / "first/p/Here.class", classFile("p/Here"));
    writeFile(scratch / "first/p/A$B.class", classFile("p/A$B"));
    writeFile(scratch / "notzip.jar", "this is not a zip archive");
    writeFile(scratch / "last/p/A/B.class", classFile("p/A/B"));
    const std::string path =
        scratch / "first" + ":" + scratch / "notzip.jar" + ":" + scratch / "last";
    const std::string badJar = "ornith: " + scratch / "notzip.jar" +
                               ": not a zip archive (no end of central directory record)\n";

    ToolResult r = runTool({"which", "-cp", path, "p.Here", "java.lang.String"}, kNoDefault());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              namedLines({{"p.Here", scratch / "first"}, {"java.lang.String", imageEntry()}}));
    EXPECT_EQ(r.err, "");
    // p.A.B is a class of the package p.A in the last entry before it is p.A$B.
    r = runTool({"which", "-cp", path, "p.A.B"}, kNoDefault());
    EXPECT_EQ(r.out, scratch / "last" + "\n");
    EXPECT_EQ(r.err, badJar);
    r = runTool({"describe", "-cp", path, "p.Nowhere"}, kNoDefault());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(badJar), std::string::npos) << r.err;
    // A missing entry is reported whether or not the lookup reaches it.
    r = runTool({"which", "-cp", path + ":" + scratch / "gone.jar", "p.Here"}, kNoDefault());
    EXPECT_EQ(r.out, scratch / "first" + "\n");
    EXPECT_EQ(r.err, "ornith: " + scratch / "gone.jar" + ": no such file or directory\n");
}

TEST(ClassPath, SplitsAtColonsOutsideVariableReferencesWhenThereIsNoSemicolon) {
    ToolResult colons =
        runTool({"which", "-cp", "examples/classes/p/Point.class:examples/jars/stored.jar",
                 "p.Point", "Hello"},
                kNoDefault());
    EXPECT_EQ(colons.out,
              namedLines({{"p.Point", "p.Point"}, {"Hello", "examples/jars/stored.jar"}}));

    // ${NAME:...} keeps its colon; the entry is expanded before it is used.
    ToolResult braces = runTool(
        {"which", "-cp", "${ORNITH_EX:ignored}/jars/stored.jar:$ORNITH_EX/classes", "Hello"},
        "CLASSPATH= ORNITH_EX=examples");
    EXPECT_EQ(braces.status, 0) << braces.err;
    EXPECT_EQ(braces.out, "examples/jars/stored.jar\n");

    // With a semicolon, colons are part of the entries.
    ToolResult semicolon = runTool(
        {"which", "-cp", "examples/classes:x;examples/jars/deflated.jar", "Hello"}, kNoDefault());
    EXPECT_EQ(semicolon.out, "examples/jars/deflated.jar\n");
    EXPECT_EQ(semicolon.err, "ornith: examples/classes:x: no such file or directory\n");
}

TEST(ClassPath, ClassPathVariableIsTheFallbackAndTheOptionWins) {
    ToolResult fromVariable =
        runTool({"which", "Hello"}, "CLASSPATH=examples/jars/stored.jar:examples/classes");
    EXPECT_EQ(fromVariable.out, "examples/jars/stored.jar\n");
    ToolResult option = runTool({"which", "-cp", "examples/classes", "Hello"},
                                "CLASSPATH=examples/jars/stored.jar");
    EXPECT_EQ(option.out, "examples/classes\n");
    // An empty CLASSPATH counts as unset; with --no-default there is then nothing.
    ToolResult nothing = runTool({"which", "--no-default", "Hello"}, "CLASSPATH= JAVA_HOME=");
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "ornith: Hello: not found\n");
    ToolResult emptyRoot = runTool({"list", "--no-default"}, "CLASSPATH= JAVA_HOME=");
    EXPECT_EQ(emptyRoot.status, 0);
    EXPECT_EQ(emptyRoot.out, "");
}

// As for java and javap: with no class path given, lookups read the current directory.
TEST(ClassPath, TheCurrentDirectoryIsTheClassPathWhenNoneIsGiven) {
    const std::string inClasses = "cd examples/classes && CLASSPATH=";
    ToolResult which = runTool({"which", "--system", "none", "p.Point", "Hello"}, inClasses);
    EXPECT_EQ(which.status, 0) << which.err;
    EXPECT_EQ(which.out, namedLines({{"p.Point", "."}, {"Hello", "."}}));
    ToolResult empty = runTool({"describe", "--system", "none", "-cp", "", "Hello"},
                               inClasses + "../jars/stored.jar");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out.rfind("public class Hello", 0), 0u) << empty.out;
    ToolResult given =
        runTool({"which", "--system", "none", "Hello"}, inClasses + "../jars/stored.jar");
    EXPECT_EQ(given.out, "../jars/stored.jar\n");
}

// A made-up JDK: HOME/bin/java (an executable that is never run) and HOME/jmods/NAME.jmod
// holding the one class given.
void writeJdk(const std::string& home, const std::string& module, const std::string& internalName) {
    writeFile(home + "/bin/java", "#!/bin/sh\nexit 1\n");
    ::chmod((home + "/bin/java").c_str(), 0755);
    if (module.empty()) return;
    ZipWriter zip;
    zip.prefix = {'J', 'M', 1, 0};
    zip.add("classes/" + internalName + ".class", classFile(internalName), 8);
    zip.add("bin/tool", "");
    fs::create_directories(home + "/jmods");
    zip.writeTo(home + "/jmods/" + module + ".jmod");
}

TEST(ClassPath, ThePlatformIsTheChosenJdksImageElseItsModuleFiles) {
    Scratch scratch;
    writeJdk(scratch / "home", "fake.base", "fake/Home");
    writeJdk(scratch / "neither", "", "");
    writeJdk(scratch / "onpath", "", "");
    writeImageJdk(scratch / "onpath");
    fs::create_directories(scratch / "bin");
    fs::create_symlink(scratch / "onpath/bin/java", scratch / "bin/java");
    const std::string path = "PATH=" + scratch / "bin" + ":/usr/bin:/bin";

    // JAVA_HOME with module files only: they are the platform.
    ToolResult home = runTool({"which", "fake.Home"}, "CLASSPATH= JAVA_HOME=" + scratch / "home");
    EXPECT_EQ(home.status, 0) << home.err;
    EXPECT_EQ(home.out, scratch / "home" + "/jmods/fake.base.jmod\n");

    // The first java on PATH, its link followed to its JDK, whose image is the platform.
    ToolResult onPath = runTool({"which", "java.lang.Object"}, "CLASSPATH= JAVA_HOME= " + path);
    EXPECT_EQ(onPath.status, 0) << onPath.err;
    EXPECT_EQ(onPath.out, fs::canonical(scratch / "onpath").string() + "/lib/modules\tjava.base\n");

    // A chosen JDK that has neither is reported once, and no other JDK takes its place,
    // however good the one on PATH.
    ToolResult neither = runTool({"which", "java.lang.Object", "java.lang.String"},
                                 "CLASSPATH= JAVA_HOME=" + scratch / "neither" + " " + path);
    EXPECT_EQ(neither.status, 1);
    EXPECT_EQ(neither.out, "");
    EXPECT_EQ(neither.err, "ornith: " + scratch / "neither" +
                               ": no runtime image (lib/modules) and no jmods\n"
                               "ornith: java.lang.Object: not found\n"
                               "ornith: java.lang.String: not found\n");

    // --system wins over JAVA_HOME; --system none and --no-default turn the platform off.
    ToolResult option = runTool({"which", "--system", scratch / "onpath", "java.lang.Object"},
                                "CLASSPATH= JAVA_HOME=" + scratch / "home");
    EXPECT_EQ(option.out, scratch / "onpath" + "/lib/modules\tjava.base\n");
    for (const std::vector<std::string>& off :
         {std::vector<std::string>{"which", "--system", "none", "fake.Home"},
          std::vector<std::string>{"which", "--no-default", "fake.Home"}}) {
        ToolResult r = runTool(off, "CLASSPATH= JAVA_HOME=" + scratch / "home");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ornith: fake.Home: not found\n");
    }
    ToolResult missing =
        runTool({"which", "--system", scratch / "nowhere", "java.lang.Object"}, "CLASSPATH=");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("ornith: " + scratch / "nowhere" + ": no such JDK directory\n", 0),
              0u)
        << missing.err;
}

TEST(ClassPath, LookupsAskThePlatformFirstAndThenTheClassPath) {
    Scratch scratch;
    // A class path that brings its own java.lang.String, and a class the platform lacks.
    writeFile(scratch / "cp/java/lang/String.class",
              markedClassFile("java/lang/String", "impostor"));
    writeFile(scratch / "cp/p/Mine.class", classFile("p/Mine"));
    ToolResult which =
        runTool({"which", "-cp", scratch / "cp", "java.lang.String", "p.Mine"}, kNoDefault());
    EXPECT_EQ(which.status, 0) << which.err;
    EXPECT_EQ(which.out,
              namedLines({{"java.lang.String", imageEntry()}, {"p.Mine", scratch / "cp"}}));
    ToolResult string =
        runTool({"describe", "-cp", scratch / "cp", "java.lang.String"}, kNoDefault());
    EXPECT_EQ(string.status, 0) << string.err;
    EXPECT_NE(string.out.find("int platform;"), std::string::npos) << string.out;
    // CLASSPATH is a class path like -cp.
    ToolResult variable = runTool({"which", "java.lang.String"},
                                  "CLASSPATH=" + scratch / "cp" + " JAVA_HOME=" + fakeJdk());
    EXPECT_EQ(variable.out, imageEntry() + "\n");
    // Without a platform the class path's own is what there is.
    ToolResult none =
        runTool({"describe", "--system", "none", "-cp", scratch / "cp", "java.lang.String"});
    EXPECT_NE(none.out.find("int impostor;"), std::string::npos) << none.out;
}

TEST(ClassPath, ListingsCoverTheClassPathWhenGivenElseThePlatform) {
    ToolResult classPath = runTool({"list", "-cp", "examples/classes"}, kNoDefault());
    EXPECT_EQ(classPath.status, 0) << classPath.err;
    EXPECT_EQ(classPath.out, "p/\nq/\nHello\n");
    ToolResult platform = runTool({"list", "-r"}, kNoDefault());
    EXPECT_EQ(platform.status, 0) << platform.err;
    EXPECT_EQ(platform.out, lines({"java.lang.Object", "java.lang.String", "java.util.Map",
                                   "java.util.Map$Entry"}));
    ToolResult lang = runTool({"list", "java/lang"}, kNoDefault());
    EXPECT_EQ(lang.out, "Object\nString\n");
    ToolResult all = runTool({"describe", "--all"}, kNoDefault());
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '{'), 4) << all.out;
    // No class path and no JDK anywhere: said, and the listing is incomplete.
    ToolResult nothing = runTool({"list"}, "CLASSPATH= JAVA_HOME= PATH=/nonexistent");
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err.rfind("ornith: JDK: none found", 0), 0u) << nothing.err;
}

TEST(ClassPath, NamesAsJavaDevelopersTypeThem) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"which", "java/util/Map.Entry"},
          std::vector<std::string>{"which", "java.util.Map.Entry"},
          std::vector<std::string>{"which", "java.util.Map$Entry"},
          std::vector<std::string>{"which", "java/util/Map$Entry.class"}}) {
        ToolResult r = runTool(args, kNoDefault());
        EXPECT_EQ(r.status, 0) << args[1] << ": " << r.err;
        EXPECT_EQ(r.out, imageEntry() + "\n") << args[1];
    }
    ToolResult nested = runTool({"describe", "java.util.Map.Entry"}, kNoDefault());
    EXPECT_EQ(nested.status, 0) << nested.err;
    EXPECT_NE(nested.out.find("java.util.Map$Entry"), std::string::npos) << nested.out;
    // Every spelling of the class-path option.
    for (const char* option : {"-cp", "--cp", "-classpath", "--class-path"}) {
        ToolResult r = runTool({"which", option, "examples/classes", "p.Point"}, kNoDefault());
        EXPECT_EQ(r.status, 0) << option << ": " << r.err;
        EXPECT_EQ(r.out, "examples/classes\n") << option;
    }
}

TEST(ClassPath, ANameNotFoundSuggestsTheNearestNames) {
    ToolResult typo = runTool({"describe", "java.lang.Strin", "java.lang.string"}, kNoDefault());
    EXPECT_EQ(typo.status, 1);
    EXPECT_EQ(typo.err,
              "ornith: java.lang.Strin: not found (did you mean java.lang.String?)\n"
              "ornith: java.lang.string: not found (did you mean java.lang.String?)\n");
    ToolResult package = runTool({"which", "java.lnag.Object"}, kNoDefault());
    EXPECT_EQ(package.err,
              "ornith: java.lnag.Object: not found (did you mean java.lang.Object?)\n");
    // Nothing close: no suggestion.
    ToolResult far = runTool({"which", "java.lang.Thread"}, kNoDefault());
    EXPECT_EQ(far.err, "ornith: java.lang.Thread: not found\n");
    // No JDK anywhere: the lookup says that may be why.
    ToolResult noJdk =
        runTool({"which", "java.lang.Object"}, "CLASSPATH= JAVA_HOME= PATH=/nonexistent");
    EXPECT_EQ(noJdk.status, 1);
    EXPECT_EQ(noJdk.err,
              "ornith: java.lang.Object: not found (no JDK found: give --system JDK or set "
              "JAVA_HOME)\n");
    // ... and nothing at all when every lookup succeeds.
    ToolResult fine = runTool({"which", "-cp", "examples/classes", "p.Point"},
                              "CLASSPATH= JAVA_HOME= PATH=/nonexistent");
    EXPECT_EQ(fine.status, 0);
    EXPECT_EQ(fine.err, "");
}

TEST(ClassPath, ListingsOverAnUnusableEntryExitOne) {
    Scratch scratch;
    ToolResult missing = runTool({"list", "-r", "-cp", "/nonexistent.jar"}, kNoDefault());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ornith: /nonexistent.jar: no such file or directory\n");
    // Reported once however often it is named; the usable entries are still listed.
    ToolResult twice =
        runTool({"describe", "--all", "-cp", "/nonexistent.jar:examples/classes:/nonexistent.jar"},
                kNoDefault());
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "ornith: /nonexistent.jar: no such file or directory\n");
    EXPECT_NE(twice.out.find("class p.Point"), std::string::npos);
    // An archive with no classes is no failure, as java takes it.
    ZipWriter().writeTo(scratch / "empty.jar");
    ToolResult empty = runTool({"describe", "--all", "-cp", scratch / "empty.jar"}, kNoDefault());
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.err, "");
    // A lookup that finds every name succeeds, whatever else is on the class path.
    ToolResult lookup =
        runTool({"which", "-cp", "/nonexistent.jar:examples/classes", "p.Point"}, kNoDefault());
    EXPECT_EQ(lookup.status, 0);
    EXPECT_EQ(lookup.err, "ornith: /nonexistent.jar: no such file or directory\n");
}

// The JDKs of this machine, where it has any: each one's image read as the platform.
std::vector<std::string> installedJdks() {
    std::vector<std::string> homes;
    std::error_code error;
    for (fs::directory_iterator it("/usr/lib/jvm", error), end; !error && it != end;
         it.increment(error))
        if (!it->is_symlink() && fs::is_regular_file(it->path() / "lib/modules"))
            homes.push_back(it->path().string());
    return homes;
}

TEST(ClassPath, ReadsTheInstalledJdksImages) {
    const auto homes = installedJdks();
    if (homes.empty()) GTEST_SKIP() << "no JDK with a runtime image on this machine";
    for (const std::string& home : homes) {
        const std::string env = "CLASSPATH= JAVA_HOME=" + home;
        ToolResult which = runTool({"which", "java.lang.Object"}, env);
        EXPECT_EQ(which.out, home + "/lib/modules\tjava.base\n") << which.err;
        ToolResult string =
            runTool({"describe", "-cp", "examples/jars/stored.jar", "java.lang.String"}, env);
        EXPECT_EQ(string.status, 0) << string.err;
        EXPECT_EQ(string.out.rfind(
                      "public final class java.lang.String extends java.lang.Object implements", 0),
                  0u);
        ToolResult lang = runTool({"list", "java.lang"}, env);
        EXPECT_NE(lang.out.find("\nString\n"), std::string::npos);
        EXPECT_NE(lang.out.find("reflect/\n"), std::string::npos);
        // java.lang.IO came with JDK 25: where the JDK's release file says 25 or later, it
        // is described.
        const std::string release = ornith::tool::testing::slurp(home + "/release");
        const size_t version = release.find("JAVA_VERSION=\"");
        if (version != std::string::npos && std::atoi(release.c_str() + version + 14) >= 25) {
            ToolResult io = runTool({"describe", "java.lang.IO"}, env);
            EXPECT_EQ(io.status, 0) << io.err;
            EXPECT_NE(io.out.find("class java.lang.IO"), std::string::npos);
        }
    }
}

TEST(ClassPath, UsageErrors) {
    EXPECT_EQ(
        runTool({"describe", "--all", "p.Point", "-cp", "examples/classes"}, kNoDefault()).status,
        2);
    EXPECT_EQ(runTool({"which"}, kNoDefault()).status, 2);
    EXPECT_EQ(runTool({"list", "a", "b"}, kNoDefault()).status, 2);
    EXPECT_EQ(runTool({"list", "-cp"}, kNoDefault()).status, 2);
    ToolResult help = runTool({"list", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--class-path"), std::string::npos);
    // What the manual page is made from: every command with its options.
    ToolResult all = runTool({"--help-all"});
    EXPECT_EQ(all.status, 0);
    for (const char* word : {"describe", "list", "which", "tokens", "--system", "--no-default"})
        EXPECT_NE(all.out.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace ornith::tool::testing
