// End-to-end tests of the archive behaviour of the class-path commands: multi-release
// jars (the selected JDK's release by default, --multi-release N), manifest Class-Path
// chains with a cycle and --verbose, DIR/* entries, and zip64 archives.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "RunTool.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

namespace fs = std::filesystem;
using ornith::testing::ClassFileWriter;
using ornith::testing::ZipWriter;

const char* const kNoDefault = "CLASSPATH= ";

// A class whose one field's name tells which copy it is.
std::string classFile(const std::string& internalName, const std::string& field = "") {
    ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    if (!field.empty()) w.addField(0x0001, field, "I");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

using Scratch = ornith::testing::ScratchDirectory;

void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string multiReleaseJar(const Scratch& dir) {
    ZipWriter zip;
    zip.add("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n", 8);
    zip.add("p/C.class", classFile("p/C", "base"), 8);
    zip.add("META-INF/versions/9/p/C.class", classFile("p/C", "nine"), 8);
    zip.add("META-INF/versions/11/p/C.class", classFile("p/C", "eleven"), 8);
    zip.add("META-INF/versions/17/p/Only17.class", classFile("p/Only17"), 8);
    const std::string path = dir / "mr.jar";
    zip.writeTo(path);
    return path;
}

TEST(ArchivesTool, MultiReleaseJarsAtTheChosenRelease) {
    Scratch dir;
    const std::string jar = multiReleaseJar(dir);
    struct Row {
        const char* release;
        const char* field;
        bool only17;
    } rows[] = {{"8", "base", false}, {"11", "eleven", false}, {"17", "eleven", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.release);
        ToolResult r =
            runTool({"describe", "--multi-release", row.release, "--cp", jar, "p.C"}, kNoDefault);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("int ") + row.field + ";"), std::string::npos) << r.out;
        ToolResult l =
            runTool({"list", "--multi-release", row.release, "--cp", jar, "p"}, kNoDefault);
        EXPECT_EQ(l.out, row.only17 ? "C\nOnly17\n" : "C\n");
    }
    EXPECT_EQ(runTool({"list", "--multi-release", "x", "--cp", jar}, kNoDefault).status, 2);
}

TEST(ArchivesTool, TheDefaultReleaseIsTheSelectedJdks) {
    Scratch dir;
    const std::string jar = multiReleaseJar(dir);
    writeText(dir / "jdk11/release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"11.0.2\"\n");
    writeText(dir / "jdk8/release", "JAVA_VERSION=\"1.8.0_292\"\n");
    fs::create_directories(dir / "nojdk");
    struct Row {
        std::string env;
        const char* field;
        bool only17;
    } rows[] = {{"JAVA_HOME=" + dir / "jdk11", "eleven", false},
                {"JAVA_HOME=" + dir / "jdk8", "base", false},
                // No JDK anywhere: release 25.
                {"JAVA_HOME=" + dir / "nojdk" + " PATH=/nonexistent", "eleven", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.env);
        ToolResult r = runTool({"describe", "--cp", jar, "p.C"}, std::string(kNoDefault) + row.env);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("int ") + row.field + ";"), std::string::npos) << r.out;
        ToolResult w =
            runTool({"which", "--cp", jar, "p.Only17"}, std::string(kNoDefault) + row.env);
        EXPECT_EQ(w.status, row.only17 ? 0 : 1);
    }
    // --system chooses the JDK, and so its release, over JAVA_HOME.
    ToolResult r = runTool({"describe", "--system", dir / "jdk8", "--cp", jar, "p.C"},
                           "JAVA_HOME=" + dir / "jdk11");
    EXPECT_NE(r.out.find("int base;"), std::string::npos) << r.out << r.err;
    // With the platform off, the JDK that would run is the measure.
    r = runTool({"describe", "--system", "none", "--cp", jar, "p.C"}, "JAVA_HOME=" + dir / "jdk8");
    EXPECT_NE(r.out.find("int base;"), std::string::npos) << r.out << r.err;
}

TEST(ArchivesTool, ClassPathManifestsAreFollowed) {
    Scratch dir;
    auto jar = [&](const std::string& name, const std::string& cls, const std::string& manifest) {
        ZipWriter zip;
        if (!manifest.empty()) zip.add("META-INF/MANIFEST.MF", manifest);
        zip.add(cls + ".class", classFile(cls), 8);
        zip.writeTo(dir / name);
    };
    fs::create_directories(dir / "lib");
    jar("a.jar", "p/A", "Class-Path: lib/b.jar gone.jar\n");
    jar("lib/b.jar", "p/B", "Class-Path: ../c.jar ../a.jar\n");  // a cycle back to a.jar
    jar("c.jar", "p/C", "Class-Path: lib/b.jar\n");
    ToolResult w = runTool({"which", "--cp", dir / "a.jar", "p.B", "p.C"}, kNoDefault);
    EXPECT_EQ(w.status, 0) << w.err;
    EXPECT_EQ(w.out, "p.B\t" + dir / "lib/b.jar" + "\np.C\t" + dir / "c.jar" + "\n");
    EXPECT_EQ(w.err, "");
    ToolResult l = runTool({"list", "-r", "--verbose", "--cp", dir / "a.jar"}, kNoDefault);
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.out, "p.A\np.B\np.C\n");
    EXPECT_EQ(l.err, "ornith: " + dir / "gone.jar" +
                         ": not found, skipped (named in the Class-Path of " + dir / "a.jar" +
                         ")\n");
}

TEST(ArchivesTool, WildcardEntries) {
    Scratch dir;
    fs::create_directories(dir / "libs");
    ZipWriter a, b;
    a.add("w/A.class", classFile("w/A"), 8);
    b.add("w/B.class", classFile("w/B"));
    a.writeTo(dir / "libs/a.jar");
    b.writeTo(dir / "libs/B.JAR");
    writeText(dir / "libs/readme.txt", "no jar");
    ToolResult l = runTool({"list", "-r", "--cp", dir / "libs" + "/*"}, kNoDefault);
    EXPECT_EQ(l.status, 0) << l.err;
    EXPECT_EQ(l.out, "w.A\nw.B\n");
    ToolResult w = runTool({"which", "w.A", "w.B"}, "CLASSPATH=" + shellQuote(dir / "libs/*"));
    EXPECT_EQ(w.out, "w.A\t" + dir / "libs/a.jar" + "\nw.B\t" + dir / "libs/B.JAR" + "\n");
}

TEST(ArchivesTool, Zip64Archives) {
    Scratch dir;
    ZipWriter small;
    small.zip64 = true;
    small.add("z/Small.class", classFile("z/Small"), 8);
    small.writeTo(dir / "small.jar");
    ZipWriter big;
    big.zip64 = true;
    big.zip64TrueEndValues = true;
    for (int i = 0; i < 70000; ++i) big.add("big/C" + std::to_string(i) + ".class", "x");
    big.writeTo(dir / "big.jar");
    ToolResult s = runTool({"describe", "--cp", dir / "small.jar", "z.Small"}, kNoDefault);
    EXPECT_EQ(s.status, 0) << s.err;
    EXPECT_NE(s.out.find("class z.Small"), std::string::npos) << s.out;
    ToolResult l = runTool({"list", "--cp", dir / "big.jar", "big"}, kNoDefault);
    EXPECT_EQ(l.status, 0) << l.err;
    EXPECT_EQ(std::count(l.out.begin(), l.out.end(), '\n'), 70000);
}

}  // namespace
}  // namespace ornith::tool::testing
