// End-to-end tests of `ornith tokens`.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "RunTool.h"

namespace ornith::tool::testing {
namespace {

const char* const kGreeter = "examples/java/Greeter.java";
const char* const kGreeterTokens =
    "package demo ; import java . util . List ; public class Greeter extends Object { "
    "private static final int COUNT = 0x1F ; private double ratio = 1.5e-3 ; int count ; "
    "public String greet ( String name , char mark ) { "
    "if ( name == null || name . length ( ) >= 10 ) { return \"Hello, \" + name + mark ; } "
    "count += 2 ; count ++ ; return name . isEmpty ( ) ? \"\\t\" : 'x' + \"!\" ; } } \n";

const char* const kErrors = "examples/java/Errors.java";
const char* const kErrorsTokens =
    "class Errors { int a = 9x ; String s = \"bad \\q escape\" ; char c = '' ; int o = 09 ; "
    "String open = \"never closed;\\n # } \n";
const char* const kErrorsMessages =
    "examples/java/Errors.java:2: Invalid character in number.\n"
    "    int a = 9x;\n"
    "            ^\n"
    "examples/java/Errors.java:3: Invalid escape character.\n"
    "    String s = \"bad \\q escape\";\n"
    "                     ^\n"
    "examples/java/Errors.java:4: Invalid character constant.\n"
    "    char c = '';\n"
    "             ^\n"
    "examples/java/Errors.java:5: Invalid character in octal number.\n"
    "    int o = 09;\n"
    "            ^\n"
    "examples/java/Errors.java:6: String not terminated at end of line.\n"
    "    String open = \"never closed;\n"
    "                  ^\n"
    "examples/java/Errors.java:7: Invalid character in input.\n"
    "    #\n"
    "    ^\n";

std::string tempSource(const std::string& bytes) {
    static int serial = 0;
    std::string path = std::string(::testing::TempDir()) + "ornith_tokens_" +
                       std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".java";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A --lines dump as javac's scanner writes it: the kind, the text and a string's value,
// without the kind's name and the position that ornith puts after the kind.
std::string javacFields(const std::string& dump) {
    std::istringstream in(dump);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        const size_t name = line.find('\t');
        const size_t position = line.find('\t', name + 1);
        const size_t text = line.find('\t', position + 1);
        EXPECT_NE(text, std::string::npos) << line;
        if (text == std::string::npos) return dump;
        out += line.substr(0, name) + line.substr(text) + "\n";
    }
    return out;
}

TEST(Tokens, PrintsAFileOnOneLine) {
    ToolResult r = runTool({"tokens", "--release", "classic", kGreeter});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kGreeterTokens);
    EXPECT_EQ(r.err, "");
}

TEST(Tokens, ReportsLexicalErrorsAndGoesOn) {
    ToolResult r = runTool({"tokens", "--release", "classic", kErrors});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kErrorsTokens);
    EXPECT_EQ(r.err, kErrorsMessages);
}

TEST(Tokens, ResolvesEscapesAndPrintsWhatWouldNotPrint) {
    // A Latin-1 letter, CR LF line ends, Unicode escapes in a string, a character literal
    // and an identifier, a real tab in a string.
    ToolResult r = runTool({"tokens", "--release", "classic", "examples/java/Escapes.java"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "class Caf\\351 { String s = \"\\u4e2d\\tA\\t\" ; char c = '\\\\' ; int ab = 1 ; } \n");
    EXPECT_EQ(r.err, "");
}

TEST(Tokens, EscapesControlsInAnEchoedLineUnlessRaw) {
    // An ESC sequence and a right-to-left override in the line of an error: the echo is
    // the file's text, so it reaches the terminal escaped; the tab before it stays a tab.
    char path[] = "/tmp/ornith_tokens_XXXXXX.java";
    const int fd = ::mkstemps(path, 5);
    ASSERT_GE(fd, 0);
    const std::string source = "\tint a = 0x; // \x1b[2J \xe2\x80\xae\n";
    ASSERT_EQ(::write(fd, source.data(), source.size()), static_cast<ssize_t>(source.size()));
    ::close(fd);
    const std::string head = std::string(path) + ":1: Invalid hexadecimal number.\n";
    ToolResult escaped = runTool({"tokens", path});
    EXPECT_EQ(escaped.status, 1);
    EXPECT_EQ(escaped.err, head + "\tint a = 0x; // \\u001b[2J \\u202e\n\t        ^\n");
    ToolResult raw = runTool({"tokens", "--raw", path});
    EXPECT_EQ(raw.status, 1);
    EXPECT_EQ(raw.err, head + "\tint a = 0x; // \x1b[2J \xe2\x80\xae\n\t        ^\n");
    ::unlink(path);
}

TEST(Tokens, ReadsSixteenBitFiles) {
    ToolResult r = runTool({"tokens", "--release", "classic", "examples/java/Wide.java"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "int \\u4e2d = 1 ; \n");
}

TEST(Tokens, GoesOnAfterAFileThatCannotBeOpened) {
    ToolResult r = runTool({"tokens", "--release", "classic", "examples/java/Missing.java",
                            kGreeter, "examples/java", kErrors});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kGreeterTokens) + kErrorsTokens);
    EXPECT_EQ(r.err, std::string("ornith: examples/java/Missing.java: cannot open\n"
                                 "ornith: examples/java: cannot open\n") +
                         kErrorsMessages);
}

TEST(Tokens, EmptyFileGivesAnEmptyLine) {
    ToolResult r = runTool(
        {"tokens", "--release", "classic", tempSource(""), tempSource("/* only a comment */")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\n\n");
    EXPECT_EQ(r.err, "");
}

TEST(Tokens, AnyReportedErrorFailsTheRun) {
    // The string keeps its kind after a bad escape, yet the error was reported.
    std::string path = tempSource("\"\\q\"\n");
    ToolResult r = runTool({"tokens", "--release", "classic", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\"\\q\" \n");
    EXPECT_EQ(r.err, path + ":1: Invalid escape character.\n\"\\q\"\n  ^\n");
}

TEST(Tokens, ErrorAtEndOfInputNamesTheLineAfterTheLast) {
    std::string path = tempSource("x\n  \"open");
    ToolResult r = runTool({"tokens", "--release", "classic", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "x \"open\\uffff \n");
    EXPECT_EQ(r.err, path + ":3: String not terminated at end of line.\n\n  ^\n");
}

TEST(Tokens, LexesTheLatestReleaseByDefault) {
    std::string path = tempSource("@A protected var f = (x) -> x::y; int _1 = 0b1_0;\n");
    const char* const expected = "@ A protected var f = ( x ) -> x :: y ; int _1 = 0b1_0 ; \n";
    ToolResult byDefault = runTool({"tokens", path});
    EXPECT_EQ(byDefault.status, 0);
    EXPECT_EQ(byDefault.out, expected);
    EXPECT_EQ(byDefault.err, "");
    ToolResult named = runTool({"tokens", "--release", "25", path});
    EXPECT_EQ(named.out, expected);
    // The classic grammar knows none of it.
    ToolResult classic = runTool({"tokens", "--release", "classic", path});
    EXPECT_EQ(classic.status, 1);
    EXPECT_NE(classic.err.find("Invalid character in input."), std::string::npos);
}

TEST(Tokens, TextBlocksComeWithRelease15) {
    std::string path = tempSource("s = \"\"\"\n  a\n  \"\"\";\n");
    ToolResult r15 = runTool({"tokens", "--release", "15", "--lines", path});
    EXPECT_EQ(r15.status, 0);
    EXPECT_EQ(r15.out, "== " + path +
                           "\n328\tidentifier\t1:1\ts\n61\toperator =\t1:3\t=\n"
                           "379\ttext block\t1:5\t\"\"\"\\u000a  a\\u000a  \"\"\"\ta\\u000a\n"
                           "59\tseparator ;\t3:6\t;\n");
    // Before 15, "" is an empty string and the third quote opens a string the line ends.
    ToolResult r14 = runTool({"tokens", "--release", "14", path});
    EXPECT_EQ(r14.status, 1);
    EXPECT_EQ(r14.out.substr(0, 7), "s = \"\" ");
}

// The samples' expected dumps come from javac's own scanner (JDK 17's at 17, JDK 25's at 25;
// scripts/javac-conformance/make-expected.sh), so this holds ornith to javac without a JDK.
TEST(Tokens, SamplesLexAsJavacLexesThem) {
    for (const char* name : {"Modern", "TextBlocks", "Unicode"}) {
        for (const char* release : {"17", "25"}) {
            std::string source = std::string("examples/java/levels/") + name + ".java";
            ToolResult r = runTool({"tokens", "--release", release, "--lines", source});
            EXPECT_EQ(r.status, 0) << source << " " << release;
            EXPECT_EQ(r.err, "") << source << " " << release;
            std::string header = "== " + source + "\n";
            ASSERT_EQ(r.out.substr(0, header.size()), header);
            std::string expected =
                slurp(std::string("examples/java/levels/") + name + "." + release + ".tokens");
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(javacFields(r.out.substr(header.size())), expected)
                << source << " " << release;
        }
    }
}

TEST(Tokens, RefusesAnUnknownRelease) {
    for (const char* release : {"7", "26", "x", "017", ""}) {
        ToolResult r = runTool({"tokens", "--release", release, kGreeter});
        EXPECT_EQ(r.status, 2) << release;
        EXPECT_EQ(r.out, "") << release;
    }
}

TEST(Tokens, NeedsAtLeastOneFile) {
    ToolResult r = runTool({"tokens"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace ornith::tool::testing
