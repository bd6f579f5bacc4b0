// ornith deps end to end: jdeps's own output for the example classes, committed under
// examples/dependencies/expected, and what the tool says where no JDK is involved.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"

namespace ornith::tool::testing {
namespace {

// The expected files were written by JDK 25's jdeps, whose module names and exports they
// hold: the comparison needs that JDK's runtime image.
std::string jdk25() {
    const char* given = std::getenv("ORNITH_TEST_JDK25");
    const std::string home = given && *given ? given : "/usr/lib/jvm/temurin-25-jdk-amd64";
    const std::string release = slurp(home + "/release");
    if (release.find("JAVA_VERSION=\"25") == std::string::npos ||
        !std::filesystem::exists(home + "/lib/modules"))
        return {};
    return home;
}

// `expected` names the file of jdeps's output over the input; `status` is what jdeps's
// exit status would be.
void expectAsJdeps(const std::vector<std::string>& options, const std::string& expected,
                   const std::string& input = "examples/classes", int status = 0) {
    const std::string home = jdk25();
    if (home.empty()) GTEST_SKIP() << "no JDK 25 runtime image";
    std::vector<std::string> args{"deps", "--system", home};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(input);
    const ToolResult result = runTool(args);
    const std::string name = std::filesystem::path(input).filename().string();
    EXPECT_EQ(result.status, status) << expected << ": " << result.err;
    EXPECT_EQ(result.out,
              slurp(std::string(ORNITH_SOURCE_DIR) + "/examples/dependencies/expected/" + name +
                    "." + expected + ".txt"))
        << expected;
}

TEST(Deps, SummaryAsJdeps) {
    expectAsJdeps({"-s"}, "summary");
}
TEST(Deps, PackageLevelAsJdeps) {
    expectAsJdeps({}, "package");
}
TEST(Deps, ClassLevelAsJdeps) {
    expectAsJdeps({"-verbose:class"}, "class");
}
TEST(Deps, VerboseAsJdeps) {
    expectAsJdeps({"-v"}, "verbose");
}
TEST(Deps, FiltersAsJdeps) {
    expectAsJdeps({"-filter:none", "-verbose:class"}, "filter-none");
    expectAsJdeps({"-e", "java\\.util\\..*", "-verbose:class"}, "regex");
    expectAsJdeps({"-p", "java.io"}, "package-java.io");
    expectAsJdeps({"-filter", "java\\.lang"}, "filter-java.lang");
}

// Without a platform every JDK class is "not found"; a class of the same input is found
// in it, and a class of another input in that one.
TEST(Deps, ResolvesAgainstTheInputsWithoutAPlatform) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("ornith_deps_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    ornith::testing::ClassFileWriter user;
    user.setThisClass("u/User");
    user.setSuperClass("l/Lib");
    user.addInterface("u/Near");
    const auto bytes = user.bytes();
    writeFile(dir / "one" / "u" / "User.class", std::string(bytes.begin(), bytes.end()));
    writeFile(dir / "one" / "u" / "Near.class", classFile("u/Near"));
    writeFile(dir / "two" / "l" / "Lib.class", classFile("l/Lib"));

    const std::string one = (dir / "one").string(), two = (dir / "two").string();
    ToolResult result = runTool({"deps", "--system", "none", "-s", one, two});
    EXPECT_EQ(result.status, 0) << result.err;
    // Archives in name order: "not found" sorts before "two".
    EXPECT_EQ(result.out, "one -> not found\none -> " + two + "\ntwo -> not found\n");

    result = runTool({"deps", "--system", "none", "-v", one});
    const auto line = [](std::string origin, std::string target, const std::string& tag) {
        origin.resize(50, ' ');
        target.resize(50, ' ');
        return "   " + origin + " -> " + target + " " + tag + "\n";
    };
    EXPECT_EQ(result.out, "one -> not found\n" + line("u.Near", "java.lang.Object", "not found") +
                              line("u.User", "l.Lib", "not found") +
                              line("u.User", "u.Near", "one"));

    result = runTool({"deps", "--system", "none", "--format", "json", "-v", one, two});
    EXPECT_NE(result.out.find(R"({"origin":"u.User","originArchive":"one","target":"l.Lib",)"
                              R"("targetArchive":"two","found":true,"tag":"two"})"),
              std::string::npos)
        << result.out;

    // An input that is no class source is reported, and the others still analysed.
    result = runTool({"deps", "--system", "none", "-s", (dir / "none.jar").string(), two});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "two -> not found\n");
    EXPECT_NE(result.err.find("none.jar"), std::string::npos);

    // A class cut short is reported once, with what was read before the fault counted.
    writeFile(dir / "two" / "l" / "Cut.class", std::string(bytes.begin(), bytes.end() - 5));
    result = runTool({"deps", "--system", "none", "-s", two});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("l.Cut: Truncated java .class file"), std::string::npos)
        << result.err;
    std::filesystem::remove_all(dir);
}

TEST(Deps, ModuleListingsAsJdeps) {
    expectAsJdeps({"--print-module-deps"}, "print-module-deps");
    expectAsJdeps({"--list-deps"}, "list-deps");
    expectAsJdeps({"--list-reduced-deps"}, "list-reduced-deps");
    expectAsJdeps({"--list-deps", "--ignore-missing-deps"}, "list-deps");
}

// Uses of a package that JDK 8 had and later releases removed are found in the platform's
// own list of such packages, in every view.
TEST(Deps, RemovedJdkInternalsAsJdeps) {
    const std::string removed = "examples/dependencies/removed";
    expectAsJdeps({"-s"}, "summary", removed);
    expectAsJdeps({}, "package", removed);
    expectAsJdeps({"-verbose:class"}, "class", removed);
    expectAsJdeps({"-v"}, "verbose", removed);
    expectAsJdeps({"-jdkinternals"}, "jdkinternals", removed);
    expectAsJdeps({"--list-deps"}, "list-deps", removed, 1);
    expectAsJdeps({"--print-module-deps"}, "print-module-deps", removed, 1);
    expectAsJdeps({"--ignore-missing-deps", "--list-deps"}, "ignore-list-deps", removed);
    expectAsJdeps({"--ignore-missing-deps", "--list-reduced-deps"}, "ignore-list-reduced-deps",
                  removed);
    expectAsJdeps({"--ignore-missing-deps", "--print-module-deps"}, "ignore-print-module-deps",
                  removed);
}

// The module listings read a class-path archive that an input reaches whole, and stop at
// classes not found unless told to go on.
std::string subclass(const std::string& name, const std::string& super) {
    ornith::testing::ClassFileWriter writer;
    writer.setThisClass(name);
    writer.setSuperClass(super);
    const auto bytes = writer.bytes();
    return std::string(bytes.begin(), bytes.end());
}

TEST(Deps, ModuleListingsStopAtMissingClasses) {
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("ornith_deps_modules_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    writeFile(dir / "one" / "u" / "User.class", subclass("u/User", "l/Lib"));
    writeFile(dir / "two" / "l" / "Lib.class", subclass("l/Lib", "m/Gone"));
    writeFile(dir / "three" / "x" / "X.class", subclass("x/X", "m/Unused"));
    const std::string one = (dir / "one").string();
    const std::string path = (dir / "two").string() + ":" + (dir / "three").string();
    const auto line = [](std::string origin, std::string target) {
        origin.resize(50, ' ');
        target.resize(50, ' ');
        return "   " + origin + " -> " + target + " not found\n";
    };
    ToolResult result =
        runTool({"deps", "--system", "none", "--print-module-deps", "-cp", path, one});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "Error: Missing dependencies: classes not found from the module path and "
              "classpath.\nTo suppress this error, use --ignore-missing-deps to continue.\n\n"
              "two\n" +
                  line("l.Lib", "m.Gone"));
    // No platform, so no modules: an empty list.
    result = runTool({"deps", "--system", "none", "--print-module-deps", "--ignore-missing-deps",
                      "-cp", path, one});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "\n");
    result = runTool(
        {"deps", "--system", "none", "--list-deps", "--ignore-missing-deps", "-cp", path, one});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(runTool({"deps", "--list-deps", "--print-module-deps", one}).status, 2);
    EXPECT_EQ(runTool({"deps", "--list-deps", "-s", one}).status, 2);
    std::filesystem::remove_all(dir);
}

TEST(Deps, UsageErrors) {
    EXPECT_EQ(runTool({"deps"}).status, 2);
    EXPECT_EQ(runTool({"deps", "-s", "-v", "examples/classes"}).status, 2);
    EXPECT_EQ(runTool({"deps", "-jdkinternals", "-s", "examples/classes"}).status, 2);
}

}  // namespace
}  // namespace ornith::tool::testing
