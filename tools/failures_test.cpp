// End-to-end tests of what the tool says when something fails: damaged and unreadable
// class-path entries, jars that hold no classes, and usage errors. One table: each row
// is a command line run in a scratch directory that holds every kind of bad entry, and
// the exact stderr and exit status it must give.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::tool::testing {
namespace {

namespace fs = std::filesystem;
using ornith::testing::ZipWriter;

// Every kind of entry the rows need, relative to the scratch directory.
void writeEntries(const fs::path& dir) {
    const std::string point = classFile("p/Point");
    writeFile(dir / "classes/p/Point.class", point);
    // bad.jar: the same class, its deflated data damaged.
    ZipWriter bad;
    bad.add("p/Point.class", point, 8).rawData = ornith::testing::ZipBytes(40, 0xFF);
    bad.add("p/Point$1.class", classFile("p/Point$1"), 8);
    bad.writeTo(dir / "bad.jar");
    // A "pathing jar": a manifest naming the classes, and nothing else.
    ZipWriter pathing;
    pathing.add("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nClass-Path: classes/\r\n\r\n");
    pathing.writeTo(dir / "pathing.jar");
    ZipWriter resources;
    resources.add("images/logo.png", "not really a picture");
    resources.writeTo(dir / "resources.jar");
    writeFile(dir / "text.jar", "this is text, not a zip archive\n");
    const auto whole = resources.bytes();
    writeFile(dir / "truncated.jar", std::string(whole.begin(), whole.begin() + 40));
    std::ofstream(dir / "sparse.jar").close();
    fs::resize_file(dir / "sparse.jar", uint64_t{2} << 30);  // a hole: costs no disk
    writeFile(dir / "libs/a.jar", std::string(whole.begin(), whole.end()));
    writeFile(dir / "libs/b.jar", "no archive either");
    // Unreadable to anybody but root; the rows that need them run unprivileged.
    writeFile(dir / "locked.jar", std::string(whole.begin(), whole.end()));
    writeFile(dir / "Locked.class", point);
    writeFile(dir / "locked/p/Point.class", point);
    ::chmod((dir / "locked.jar").c_str(), 0);
    ::chmod((dir / "Locked.class").c_str(), 0);
    ::chmod((dir / "locked").c_str(), 0);
    // Readable to the unprivileged user the rows run as.
    ::chmod(dir.c_str(), 0755);
}

struct Row {
    std::vector<std::string> args;
    std::string err;
    int status;
    bool unprivileged = false;  // runs as nobody when the tests run as root
};

const char* const kNoZip = "not a zip archive (no end of central directory record)";

TEST(ToolFailures, EachFailureIsOneLineThatSaysWhatIsWrong) {
    ornith::testing::ScratchDirectory scratch;
    writeEntries(scratch.path());
    const std::string none = "--system=none";
    const std::vector<Row> rows = {
        // A damaged copy of a class: reported once, and the next entry supplies it.
        {{"describe", "--system", "none", "-cp", "bad.jar:classes", "p.Point"},
         "ornith: bad.jar: p/Point.class: corrupt member (invalid compressed data)\n",
         0},
        {{"describe", none, "-cp", "bad.jar", "p.Point"},
         "ornith: bad.jar: p/Point.class: corrupt member (invalid compressed data)\n",
         1},
        // Jars with no classes of their own are no failure.
        {{"list", none, "-cp", "pathing.jar", "p"}, "", 0},
        {{"list", none, "-r", "-cp", "resources.jar"}, "", 0},
        // Files that are no archive, each under its own name.
        {{"list", none, "-cp", "text.jar"}, std::string("ornith: text.jar: ") + kNoZip + "\n", 1},
        {{"list", none, "-cp", "truncated.jar"},
         std::string("ornith: truncated.jar: ") + kNoZip + "\n",
         1},
        {{"list", none, "-cp", "sparse.jar"},
         std::string("ornith: sparse.jar: ") + kNoZip + "\n",
         1},
        {{"list", none, "-cp", "libs/*"}, std::string("ornith: libs/b.jar: ") + kNoZip + "\n", 1},
        // What the system says about files it will not open.
        {{"list", none, "-cp", "locked.jar"}, "ornith: locked.jar: permission denied\n", 1, true},
        {{"list", none, "-cp", "Locked.class"},
         "ornith: Locked.class: permission denied\n",
         1,
         true},
        {{"describe", "Locked.class"}, "ornith: Locked.class: permission denied\n", 1, true},
        {{"list", none, "-cp", "locked"}, "ornith: locked: permission denied\n", 1, true},
        {{"list", none, "-cp", "locked/*"}, "ornith: locked: permission denied\n", 1, true},
        {{"list", none, "-cp", "missing/*"}, "ornith: missing: no such file or directory\n", 1},
        {{"which", none, "-cp", "locked:classes", "p.Point"},
         "ornith: locked: permission denied\n",
         0,
         true},
        // Usage errors.
        {{"frobnicate"},
         "ornith: frobnicate: unknown command (the commands are describe, javap, list, which, "
         "deps, check, tokens or inventory)\n",
         2},
        {{},
         "ornith: no command given (describe, javap, list, which, deps, check, tokens or "
         "inventory; ornith --help tells more)\n",
         2},
        {{"describe", "-frobnicate", "p.Point"},
         "ornith: describe: unknown option -frobnicate (ornith describe --help lists them)\n",
         2},
        {{"describe", "--multi-release", "abc", "p.Point"},
         "ornith: --multi-release: 'abc' is not a Java release (a number from 0 to 100000)\n",
         2},
        {{"describe", "--format", "xml", "p.Point"},
         "ornith: --format: 'xml' is not a format (text, javap or json)\n",
         2},
        {{"tokens", "--release", "7", "A.java"},
         "ornith: --release: '7' is not a release from 8 to 25, nor 'classic'\n",
         2},
        {{"list", "a", "b"}, "ornith: list: unexpected argument b\n", 2},
        {{"list", "-cp"}, "ornith: list: -cp needs a value\n", 2},
        {{"which"}, "ornith: which: no class name given\n", 2},
        {{"describe"}, "ornith: describe: no NAME given (nor --all)\n", 2},
        {{"describe", "--all", "p.Point"}, "ornith: describe: --all takes no NAME\n", 2},
        {{"tokens"}, "ornith: tokens: no FILE given\n", 2},
        // Options before the command name, and the last of an option given twice.
        {{"--system", "none", "describe", "-cp", "text.jar", "-cp", "classes", "p.Point"}, "", 0},
        // javap's own spellings of the options it shares with describe.
        {{"describe", none, "--format", "javap", "-private", "-constants", "-cp", "classes",
          "p.Point"},
         "",
         0},
    };
    const bool root = ::geteuid() == 0;
    for (const Row& row : rows) {
        std::string env = "cd " + shellQuote(scratch.path()) + " && CLASSPATH=";
        if (row.unprivileged && root) env += " setpriv --reuid=65534 --regid=65534 --clear-groups";
        std::string line;
        for (const auto& a : row.args) line += " " + a;
        ToolResult r = runTool(row.args, env);
        EXPECT_EQ(r.err, row.err) << line;
        EXPECT_EQ(r.status, row.status) << line;
    }
    ::chmod((scratch / "locked").c_str(), 0755);  // so that the scratch directory can go
}

}  // namespace
}  // namespace ornith::tool::testing
