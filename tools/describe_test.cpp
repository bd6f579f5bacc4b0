// End-to-end tests of `ornith describe`.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "RunTool.h"

namespace ornith::tool::testing {
namespace {

const char* const kPoint = "examples/classes/p/Point.class";
// What the worked example must print, kept once beside the examples.
const std::string kPointText =
    slurp(std::string(ORNITH_SOURCE_DIR) + "/examples/expected/p.Point.txt");
const char* const kShapeText =
    "public abstract interface q.Shape extends java.lang.Object\n"
    "{\n"
    "    public abstract double area();\n"
    "}\n";

TEST(Describe, PrintsTheWorkedExample) {
    ToolResult r = runTool({"describe", kPoint});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kPointText);
    EXPECT_EQ(r.err, "");
}

TEST(Describe, PrintsEachNameInOrder) {
    ToolResult r = runTool({"describe", "examples/classes/q/Shape.class", kPoint});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kShapeText) + kPointText);
}

TEST(Describe, FailuresAreReportedAndTheRestStillPrinted) {
    const std::string junk = std::string(::testing::TempDir()) + "ornith_describe_junk.class";
    std::ofstream(junk, std::ios::binary) << "not a class file at all";

    ToolResult r = runTool({"describe", "examples/classes/p/Missing.class", kPoint, junk});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kPointText);
    // A name that names no file is a class name in internal form, and there is no such class.
    EXPECT_EQ(r.err,
              "ornith: examples/classes/p/Missing.class: not found\n"
              "ornith: " +
                  junk + ": Not a java .class file\n");
    std::remove(junk.c_str());

    // A directory is no class file, so it is taken for a class name.
    ToolResult dir = runTool({"describe", "examples/classes"});
    EXPECT_EQ(dir.status, 1);
    EXPECT_EQ(dir.out, "");
    EXPECT_EQ(dir.err, "ornith: examples/classes: not found\n");
}

TEST(Describe, UsageErrorsAndHelp) {
    ToolResult none = runTool({"describe"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err, "");

    ToolResult help = runTool({"describe", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("NAME"), std::string::npos);

    ToolResult top = runTool({"--help"});
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("describe"), std::string::npos);
}

}  // namespace
}  // namespace ornith::tool::testing
