// End-to-end tests of applications as they are shipped: an executable jar, a web archive
// and an enterprise archive holding it, read by --layout through which, list and
// describe, entries that name archives inside archives (with spaces, '#', '!' and
// non-ASCII names), and hostile nesting reported without losing the rest of the path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

using ornith::testing::ZipWriter;
using Scratch = ornith::testing::ScratchDirectory;

const char* const kNoDefault = "CLASSPATH= ";

std::string archiveBytes(const ZipWriter& zip) {
    const auto bytes = zip.bytes();
    return std::string(bytes.begin(), bytes.end());
}

std::string jarOf(const std::vector<std::string>& classes) {
    ZipWriter zip;
    zip.add("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n", 8);
    for (const std::string& c : classes) zip.add(c + ".class", classFile(c), 8);
    return archiveBytes(zip);
}

struct Shipped {
    Scratch dir;
    std::string boot = dir / "my app #1.jar", war = dir / "web.war", ear = dir / "app.ear";
    Shipped() {
        ZipWriter app;
        app.add("BOOT-INF/classes/app/Main.class", classFile("app/Main"), 8);
        app.add("BOOT-INF/lib/guava.jar", jarOf({"com/google/common/base/Strings"}), 0);
        app.add("BOOT-INF/lib/bäng!.jar", jarOf({"x/Bang"}), 0);
        app.add("org/springframework/boot/loader/Launcher.class", classFile("x/Launcher"), 8);
        app.writeTo(boot);
        ZipWriter web;
        web.add("WEB-INF/classes/w/Servlet.class", classFile("w/Servlet"), 8);
        web.add("WEB-INF/lib/util.jar", jarOf({"u/Util"}), 0);
        web.writeTo(war);
        ZipWriter enterprise;
        enterprise.add("lib/shared.jar", jarOf({"s/Shared"}), 8);
        enterprise.add("web.war", archiveBytes(web), 0);
        enterprise.writeTo(ear);
    }
};

TEST(NestedArchives, WhichListAndDescribeReadLayouts) {
    const Shipped s;
    const std::string path = s.boot + ":" + s.ear;
    struct Row {
        std::vector<std::string> args;
        std::string cp, out;
    } rows[] = {
        {{"which", "com.google.common.base.Strings", "app.Main", "u.Util", "s.Shared"},
         path,
         "com.google.common.base.Strings\t" + s.boot + "!/BOOT-INF/lib/guava.jar\n" + "app.Main\t" +
             s.boot + "!/BOOT-INF/classes\n" + "u.Util\t" + s.ear +
             "!/web.war!/WEB-INF/lib/util.jar\n" + "s.Shared\t" + s.ear + "!/lib/shared.jar\n"},
        {{"list", "-r", "--layout", "auto"},
         path,
         "app.Main\ncom.google.common.base.Strings\ns.Shared\nu.Util\nw.Servlet\nx.Bang\n"},
        // Read as they are, the archives show their directories as packages.
        {{"list", "--layout", "plain"}, s.boot, "BOOT-INF/\norg/\n"},
        {{"which", "x.Bang"}, s.boot, s.boot + "!/BOOT-INF/lib/bäng!.jar\n"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--system", "none", "--cp", row.cp});
        SCOPED_TRACE(args[0] + " " + args[1]);
        const ToolResult r = runTool(args, kNoDefault);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, "");
    }
    // An entry inside an archive, named directly, and describe through it.
    const ToolResult r = runTool({"describe", "--system", "none", "--layout", "plain", "--cp",
                                  s.ear + "!/web.war!/WEB-INF/classes", "w.Servlet"},
                                 kNoDefault);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("class w.Servlet"), std::string::npos) << r.out;
}

TEST(NestedArchives, HostileNestingIsReportedAndTheRestServes) {
    const Shipped s;
    ZipWriter self;
    self.add("self.jar", "PK\x03\x04 but no archive", 0).declaredLength = 1 << 16;
    self.add("bad.jar", "not an archive", 0);
    self.add("deep.jar", jarOf({"d/Deep"}), 8);
    const std::string selfJar = s.dir / "self.jar";
    self.writeTo(selfJar);
    const std::string path = selfJar + "!/self.jar:" + selfJar + "!/bad.jar:" + selfJar +
                             "!/none.jar:" + selfJar + "!/deep.jar:" + s.boot;
    const ToolResult r = runTool({"which", "--system", "none", "--inflate-budget", "0", "--cp",
                                  path, "com.google.common.base.Strings"},
                                 kNoDefault);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, s.boot + "!/BOOT-INF/lib/guava.jar\n");
    // which stops adding entries once the class is found: list reads them all.
    const ToolResult all = runTool(
        {"list", "--system", "none", "--inflate-budget", "0", "--cp", path, "app"}, kNoDefault);
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out, "Main\n");
    for (const std::string& expected :
         {"ornith: " + selfJar + "!/self.jar: self.jar overlaps the central directory of " +
              selfJar + "\n",
          "ornith: " + selfJar + "!/bad.jar: not a zip archive",
          "ornith: " + selfJar + "!/none.jar: no member none.jar in " + selfJar + "\n",
          "ornith: " + selfJar + "!/deep.jar: inflating deep.jar takes"})
        EXPECT_NE(all.err.find(expected), std::string::npos) << expected << "\n" << all.err;
    EXPECT_EQ(runTool({"list", "--layout", "jar", "--cp", s.boot}, kNoDefault).status, 2);
}

}  // namespace
}  // namespace ornith::tool::testing
