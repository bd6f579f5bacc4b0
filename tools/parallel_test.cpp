// End-to-end tests of -j: the commands over a whole class path print, report and exit on
// several workers exactly as on one, whatever order the workers finish in.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

using ornith::testing::ZipWriter;

// A class with a few members, so that each prints several lines.
std::string classWithMembers(const std::string& internalName, int n) {
    ornith::testing::ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    w.addField(0x0001, "f" + std::to_string(n), "I");
    w.addField(0x0002, "secret", "Ljava/lang/String;");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

// A class path whose walk fails here and there, between good classes: a deflated jar of
// many packages with a damaged member and a member that is no class file, an archive
// that is none, and a directory with a class file that is text.
struct MixedClassPath {
    ornith::testing::ScratchDirectory scratch;
    std::string classPath;

    MixedClassPath() {
        ZipWriter jar;
        for (int i = 0; i < 240; ++i) {
            const std::string name = "p" + std::to_string(i % 7) + "/q" + std::to_string(i % 3) +
                                     "/C" + std::to_string(i);
            jar.add(name + ".class", classWithMembers(name, i), i % 2 ? 8 : 0);
        }
        jar.add("p3/Damaged.class", classFile("p3/Damaged"), 8).rawData =
            ornith::testing::ZipBytes(40, 0xFF);
        jar.add("p5/Text.class", "this is no class file");
        jar.writeTo(scratch / "many.jar");
        writeFile(scratch / "text.jar", "not a zip archive\n");
        for (int i = 0; i < 30; ++i)
            writeFile(scratch / ("dir/d/D" + std::to_string(i) + ".class"),
                      classWithMembers("d/D" + std::to_string(i), i));
        writeFile(scratch / "dir/d/Junk.class", "junk");
        classPath = scratch / "many.jar:" + scratch / "text.jar:" + scratch / "dir";
    }
};

void expectSameAsOneJob(std::vector<std::string> args, const std::string& what,
                        size_t leastOutput) {
    std::vector<std::string> one = args, several = args;
    one.insert(one.end(), {"-j", "1"});
    several.insert(several.end(), {"-j", "3"});
    const ToolResult serial = runTool(one);
    const ToolResult parallel = runTool(several);
    EXPECT_EQ(parallel.status, serial.status) << what;
    EXPECT_EQ(parallel.out, serial.out) << what;
    EXPECT_EQ(parallel.err, serial.err) << what;
    // The comparison means something only when the walk printed and failed.
    EXPECT_EQ(serial.status, 1) << what;
    EXPECT_GT(serial.out.size(), leastOutput) << what;
    EXPECT_NE(serial.err.find("text.jar: "), std::string::npos) << what << "\n" << serial.err;
}

TEST(Parallel, DescribeAllPrintsAndFailsAsOneJobDoesInEveryFormat) {
    const MixedClassPath path;
    const std::vector<std::vector<std::string>> formats = {
        {}, {"--raw"}, {"--format", "javap"}, {"--format", "javap", "-p"}, {"--format", "json"}};
    for (const auto& format : formats) {
        std::vector<std::string> args = {"describe", "--system",     "none",
                                         "-cp",      path.classPath, "--all"};
        args.insert(args.end(), format.begin(), format.end());
        std::string what = "describe --all";
        for (const std::string& word : format) what += " " + word;
        expectSameAsOneJob(args, what, 10000);
    }
    // The failures between the classes, each where its class would be.
    const ToolResult r =
        runTool({"describe", "--system", "none", "-cp", path.classPath, "--all", "-j", "4"});
    EXPECT_NE(r.err.find("many.jar: p3/Damaged.class: corrupt member"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("p5.Text: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("d.Junk: "), std::string::npos) << r.err;
}

TEST(Parallel, ListRecursiveListsAsOneJobDoes) {
    const MixedClassPath path;
    expectSameAsOneJob({"list", "--system", "none", "-cp", path.classPath, "-r"}, "list -r", 2000);
}

// Directories alone are walked on several threads: a package in both, a class in both,
// classes at every level of a chain of lone packages, the unnamed package, and more
// packages than the walk opens before it shares them out.
TEST(Parallel, ListRecursiveOverDirectoriesListsAsOneJobDoes) {
    ornith::testing::ScratchDirectory scratch;
    const auto put = [&](const std::string& dir, const std::string& name) {
        writeFile(scratch / (dir + "/" + name + ".class"), classFile(name));
    };
    put("one", "Top");
    put("one", "a/B");
    put("two", "a/B");
    put("two", "a/B$1");
    put("one", "a/b/c/C");
    put("one", "a/b/c/d/e/E");
    put("two", "a/b/c/d/D");
    for (int i = 0; i < 40; ++i) put(i % 2 ? "one" : "two", "w/p" + std::to_string(i) + "/q/C");
    const std::string classPath = scratch / "one:" + scratch / "two";
    for (const char* jobs : {"2", "3"}) {
        const ToolResult serial =
            runTool({"list", "--system", "none", "-cp", classPath, "-r", "-j", "1"});
        const ToolResult parallel =
            runTool({"list", "--system", "none", "-cp", classPath, "-r", "-j", jobs});
        EXPECT_EQ(serial.status, 0);
        EXPECT_EQ(parallel.status, 0);
        EXPECT_EQ(parallel.out, serial.out) << jobs;
        EXPECT_EQ(parallel.err, "");
        // 46 classes, a.B once.
        EXPECT_EQ(std::count(serial.out.begin(), serial.out.end(), '\n'), 46) << serial.out;
    }
}

TEST(Parallel, DepsCheckAndInventoryAnswerAsOneJobDoes) {
    const MixedClassPath path;
    const std::string many = path.scratch / "many.jar", text = path.scratch / "text.jar",
                      dir = path.scratch / "dir";
    const std::vector<std::vector<std::string>> commands = {
        {"deps", "--system", "none", "-v", many, text, dir},
        {"check", "--system", "none", path.classPath},
        {"inventory", many, text, many}};
    for (const auto& command : commands) {
        std::vector<std::string> one = command, two = command;
        one.insert(one.end(), {"-j", "1"});
        two.insert(two.end(), {"-j", "2"});
        const ToolResult serial = runTool(one);
        const ToolResult parallel = runTool(two);
        EXPECT_EQ(parallel.status, serial.status) << command[0];
        EXPECT_EQ(parallel.out, serial.out) << command[0];
        EXPECT_EQ(parallel.err, serial.err) << command[0];
        // Only a run that printed and failed compares anything.
        EXPECT_EQ(serial.status, 1) << command[0];
        EXPECT_GT(serial.out.size(), 200u) << command[0];
        EXPECT_NE(serial.err, "") << command[0];
    }
}

TEST(Parallel, JobsMustBeAPositiveNumber) {
    for (const char* jobs : {"0", "x", "-1"}) {
        const ToolResult r = runTool({"list", "--system", "none", "-cp", ".", "-j", jobs});
        EXPECT_EQ(r.status, 2) << jobs;
        EXPECT_EQ(r.out, "") << jobs;
        EXPECT_NE(r.err, "") << jobs;
    }
}

}  // namespace
}  // namespace ornith::tool::testing
