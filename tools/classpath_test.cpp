// End-to-end tests of the class-path commands: describe by class name and --all, list,
// which, and where the class path comes from.
//
// Every run names its class path or sets CLASSPATH and --no-default, so that nothing
// depends on a JDK being installed, except the one test that looks for it.

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
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

namespace fs = std::filesystem;
using ornith::testing::ClassFileWriter;
using ornith::testing::ZipWriter;

const char* const kNoDefault = "CLASSPATH= ";

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

std::string classFile(const std::string& internalName) {
    ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A scratch directory for one test, removed afterwards.
class Scratch {
public:
    Scratch() {
        static int serial = 0;
        _path = fs::path(::testing::TempDir()) /
                ("ornith_classpath_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        fs::remove_all(_path);
        fs::create_directories(_path);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(_path, ignored);
    }
    std::string operator/(const std::string& relative) const { return (_path / relative).string(); }

private:
    fs::path _path;
};

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
        kNoDefault);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, lines({"p.Point", "examples/jars/stored.jar", cp.scratch / "extra.jar",
                            cp.scratch / "dir", "examples/jars/stored.jar"}));
    EXPECT_EQ(r.err, "");

    // Without the jars, the directory supplies the class; --class-path is the long form.
    ToolResult d =
        runTool({"which", "--class-path", "examples/classes;examples/jars/deflated.jar", "p.Outer"},
                kNoDefault);
    EXPECT_EQ(d.out, "examples/classes\n");
}

TEST(ClassPath, NamesNotFoundAreReportedAndTheRestAnswered) {
    ToolResult r = runTool(
        {"which", "-cp", "examples/classes", "p.Nope", "Hello", "p.", "", "p.Point."}, kNoDefault);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "examples/classes\n");
    EXPECT_EQ(r.err,
              "ornith: p.Nope: not found\nornith: p.: not found\nornith: : not found\n"
              "ornith: p.Point.: not found\n");

    ToolResult d =
        runTool({"describe", "-cp", "examples/jars/deflated.jar", "p.Nope", "q.Shape"}, kNoDefault);
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.out.rfind("public abstract interface q.Shape", 0), 0u) << d.out;
    EXPECT_EQ(d.err, "ornith: p.Nope: not found\n");

    ToolResult l = runTool({"list", "-cp", "examples/classes", "nope"}, kNoDefault);
    EXPECT_EQ(l.status, 1);
    EXPECT_EQ(l.out, "");
    EXPECT_EQ(l.err, "ornith: nope: not found\n");
}

TEST(ClassPath, DescribeTakesClassNamesAndPathsAlike) {
    ToolResult byPath = runTool({"describe", "examples/classes/p/Point.class"});
    ASSERT_EQ(byPath.status, 0);
    for (const char* entry : {"examples/classes", "examples/jars/stored.jar",
                              "examples/jars/deflated.jar", "examples/classes/p/Point.class"}) {
        ToolResult byName = runTool({"describe", "-cp", entry, "p.Point"}, kNoDefault);
        EXPECT_EQ(byName.status, 0) << entry << ": " << byName.err;
        EXPECT_EQ(byName.out, byPath.out) << entry;
    }
    // A name with a '/' or ending in ".class" is always a file, whatever the class path holds.
    ToolResult file = runTool({"describe", "-cp", "examples/classes", "p/Point.class"}, kNoDefault);
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(file.err, "ornith: p/Point.class: Can't map java class file p/Point.class\n");
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
        ToolResult all = runTool({"describe", "--all", "-cp", path}, kNoDefault);
        EXPECT_EQ(all.status, 0) << all.err;
        EXPECT_EQ(all.out, expected) << path;
        EXPECT_EQ(all.err, "");  // no progress line: stderr is not a terminal
    }
    ToolResult mixed = runTool({"describe", "--all", "-cp", cp.path}, kNoDefault);
    EXPECT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_NE(mixed.out.find("class dironly.D extends"), std::string::npos);
    EXPECT_LT(mixed.out.find("class dironly.D extends"),
              mixed.out.find("class extra.Only extends"));
}

TEST(ClassPath, DescribeAllReportsClassesThatFailAndGoesOn) {
    Scratch scratch;
    writeFile(scratch / "a/Good.class", classFile("a/Good"));
    writeFile(scratch / "a/Bad.class", "\xCA\xFE\xBA\xBE and then nothing sensible");
    ToolResult r = runTool({"describe", "--all", "-cp", scratch / ""}, kNoDefault);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("class a.Good extends java.lang.Object"), std::string::npos);
    EXPECT_EQ(r.err.rfind("ornith: a.Bad: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(ClassPath, ListShowsSubpackagesThenClassesOrEveryClassBelow) {
    MixedClassPath cp;
    ToolResult root = runTool({"list", "-cp", cp.path}, kNoDefault);
    EXPECT_EQ(root.status, 0) << root.err;
    EXPECT_EQ(root.out, "dironly/\nextra/\np/\nq/\nHello\n");

    ToolResult p = runTool({"list", "-cp", cp.path, "p"}, kNoDefault);
    EXPECT_EQ(p.out, lines({"Constants", "Lambdas", "Outer", "Outer$1", "Outer$1Local",
                            "Outer$Base", "Outer$Inner", "Outer$Nested", "Point"}));

    std::vector<std::string> every = kExampleClasses;
    every.insert(every.end(), {"dironly.D", "extra.Only"});
    std::sort(every.begin(), every.end());
    ToolResult all = runTool({"list", "-r", "-cp", cp.path}, kNoDefault);
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out, lines(every));
    EXPECT_EQ(all.err, "");

    ToolResult underP =
        runTool({"list", "--recursive", "-cp", "examples/jars/stored.jar", "p"}, kNoDefault);
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
    ToolResult r = runTool({"which", "-cp", path, "p.Point", "p.InDir"}, kNoDefault);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "examples/classes\n" + scratch / "dir.jar" + "\n");
    EXPECT_EQ(r.err, "ornith: " + scratch / "missing.jar" + ": Unknown source of class files '" +
                         scratch / "missing.jar" +
                         "'\n"
                         "ornith: " +
                         scratch / "notzip.jar" +
                         ": no classes found in it\n"
                         "ornith: " +
                         scratch / "Junk.class" +
                         ": Not a java .class file\n"
                         "ornith: " +
                         scratch / "lib.tar" + ": Unknown source of class files '" +
                         scratch / "lib.tar" + "'\n");
}

TEST(ClassPath, SplitsAtColonsOutsideVariableReferencesWhenThereIsNoSemicolon) {
    ToolResult colons =
        runTool({"which", "-cp", "examples/classes/p/Point.class:examples/jars/stored.jar",
                 "p.Point", "Hello"},
                kNoDefault);
    EXPECT_EQ(colons.out, "p.Point\nexamples/jars/stored.jar\n");

    // ${NAME:...} keeps its colon; the entry is expanded before it is used.
    ToolResult braces = runTool(
        {"which", "-cp", "${ORNITH_EX:ignored}/jars/stored.jar:$ORNITH_EX/classes", "Hello"},
        "CLASSPATH= ORNITH_EX=examples");
    EXPECT_EQ(braces.status, 0) << braces.err;
    EXPECT_EQ(braces.out, "examples/jars/stored.jar\n");

    // With a semicolon, colons are part of the entries.
    ToolResult semicolon = runTool(
        {"which", "-cp", "examples/classes:x;examples/jars/deflated.jar", "Hello"}, kNoDefault);
    EXPECT_EQ(semicolon.out, "examples/jars/deflated.jar\n");
    EXPECT_EQ(semicolon.err,
              "ornith: examples/classes:x: Unknown source of class files 'examples/classes:x'\n");
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

TEST(ClassPath, DefaultsToTheModulesOfTheJdkFoundThroughJavaHomeOrPath) {
    Scratch scratch;
    writeJdk(scratch / "home", "fake.base", "fake/Home");
    writeJdk(scratch / "nojmods", "", "");
    writeJdk(scratch / "onpath", "fake.path", "fake/OnPath");
    fs::create_directories(scratch / "bin");
    fs::create_symlink(scratch / "onpath/bin/java", scratch / "bin/java");
    const std::string path =
        "PATH=" + scratch / "nojmods/bin" + ":" + scratch / "bin" + ":/usr/bin:/bin";

    ToolResult home = runTool({"which", "fake.Home"}, "CLASSPATH= JAVA_HOME=" + scratch / "home");
    EXPECT_EQ(home.status, 0) << home.err;
    EXPECT_EQ(home.out, scratch / "home" + "/jmods/fake.base.jmod\n");

    // JAVA_HOME without jmods is passed over, and so is the first java on PATH; the link
    // to the second is followed to its JDK.
    ToolResult onPath = runTool({"which", "fake.OnPath"},
                                "CLASSPATH= JAVA_HOME=" + scratch / "nojmods" + " " + path);
    EXPECT_EQ(onPath.status, 0) << onPath.err;
    EXPECT_EQ(onPath.out, fs::canonical(scratch / "onpath").string() + "/jmods/fake.path.jmod\n");

    ToolResult off =
        runTool({"which", "--no-default", "fake.Home"}, "CLASSPATH= JAVA_HOME=" + scratch / "home");
    EXPECT_EQ(off.status, 1);
    ToolResult variable =
        runTool({"which", "fake.Home"}, "CLASSPATH=examples/classes JAVA_HOME=" + scratch / "home");
    EXPECT_EQ(variable.status, 1);
}

// The machine's own JDK, when it has one with jmods: java.lang.String with no set-up.
TEST(ClassPath, FindsTheInstalledJdkWithNoSetUp) {
    ToolResult which = runTool({"which", "java.lang.Object"}, "CLASSPATH=");
    if (which.status != 0 || which.out.find(".jmod") == std::string::npos)
        GTEST_SKIP() << "no JDK with jmods on this machine";
    EXPECT_NE(which.out.find("java.base.jmod"), std::string::npos) << which.out;
    ToolResult string = runTool({"describe", "java.lang.String"}, "CLASSPATH=");
    EXPECT_EQ(string.status, 0) << string.err;
    EXPECT_EQ(string.out.rfind(
                  "public final class java.lang.String extends java.lang.Object implements", 0),
              0u);
    ToolResult lang = runTool({"list", "java.lang"}, "CLASSPATH=");
    EXPECT_NE(lang.out.find("\nString\n"), std::string::npos);
    EXPECT_NE(lang.out.find("reflect/\n"), std::string::npos);
}

TEST(ClassPath, UsageErrors) {
    EXPECT_EQ(
        runTool({"describe", "--all", "p.Point", "-cp", "examples/classes"}, kNoDefault).status, 2);
    EXPECT_EQ(runTool({"which"}, kNoDefault).status, 2);
    EXPECT_EQ(runTool({"list", "a", "b"}, kNoDefault).status, 2);
    EXPECT_EQ(runTool({"list", "-cp"}, kNoDefault).status, 2);
    ToolResult help = runTool({"list", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--class-path"), std::string::npos);
}

}  // namespace
}  // namespace ornith::tool::testing
