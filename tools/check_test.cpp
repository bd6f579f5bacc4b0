// ornith check end to end, on class paths laid out by the test (no platform needed).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RunTool.h"
#include "ToolTestFiles.h"

namespace ornith::tool::testing {
namespace {

std::string classBytes(const std::string& name, const std::string& super,
                       const std::string& interface = "") {
    ornith::testing::ClassFileWriter writer;
    writer.setThisClass(name);
    writer.setSuperClass(super);
    if (!interface.empty()) writer.addInterface(interface);
    const auto bytes = writer.bytes();
    return std::string(bytes.begin(), bytes.end());
}

class Check : public ::testing::Test {
protected:
    void SetUp() override {
        _dir = std::filesystem::path(::testing::TempDir()) /
               ("ornith_check_" + std::to_string(getpid()));
        std::filesystem::remove_all(_dir);
        // a: the base, a class that needs one that is nowhere, and the first Dup.
        writeFile(_dir / "a" / "p" / "Base.class", classBytes("p/Base", "p/Base"));
        writeFile(_dir / "a" / "p" / "A.class", classBytes("p/A", "p/Base", "q/Missing"));
        writeFile(_dir / "a" / "p" / "Dup.class", classBytes("p/Dup", "p/Base"));
        // b: the same Dup; c: a Dup that differs.
        writeFile(_dir / "b" / "p" / "Dup.class", classBytes("p/Dup", "p/Base"));
        writeFile(_dir / "c" / "p" / "Dup.class", classBytes("p/Dup", "p/Base", "p/A"));
        // d: a package of its own, clean.
        writeFile(_dir / "d" / "r" / "R.class", classBytes("r/R", "p/Base"));
    }
    void TearDown() override { std::filesystem::remove_all(_dir); }
    std::string entry(const char* name) const { return (_dir / name).string(); }

    std::filesystem::path _dir;
};

TEST_F(Check, FindsDuplicatesSplitPackagesAndMissingClasses) {
    const std::string a = entry("a"), b = entry("b"), c = entry("c");
    const ToolResult result = runTool({"check", "--system", "none", a + ":" + b, c});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out,
              "duplicate class p.Dup (copies differ):\n"
              "   " +
                  a +
                  " (wins)\n"
                  "   " +
                  b +
                  " (identical)\n"
                  "   " +
                  c +
                  " (differs)\n"
                  "split package p:\n"
                  "   " +
                  a + "\n   " + b + "\n   " + c +
                  "\n"
                  "missing class q.Missing, referenced by:\n"
                  "   p.A\n");
}

TEST_F(Check, OnlyIgnoreAndJson) {
    const std::string a = entry("a"), b = entry("b");
    ToolResult result =
        runTool({"check", "--system", "none", "--only", "duplicates", "--format", "json", a, b});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, R"({"kind":"duplicate","class":"p.Dup","identical":true,"wins":")" + a +
                              R"(","entries":[{"entry":")" + a + R"(","wins":true},{"entry":")" +
                              b +
                              R"(","wins":false,"identical":true}]})"
                              "\n");

    result = runTool({"check", "--system", "none", "--only", "missing", "--ignore", "q\\..*", a});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.out, "");
}

TEST_F(Check, CleanPathIsZeroAndBadEntryIsOne) {
    const std::string a = entry("a"), d = entry("d");
    EXPECT_EQ(runTool({"check", "--system", "none", "--only", "split", a, d}).status, 0);
    const ToolResult result =
        runTool({"check", "--system", "none", "--only", "split", d, entry("gone.jar")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("gone.jar"), std::string::npos);
    EXPECT_EQ(runTool({"check"}).status, 2);
    EXPECT_EQ(runTool({"check", "--only", "members", d}).status, 2);
}

}  // namespace
}  // namespace ornith::tool::testing
