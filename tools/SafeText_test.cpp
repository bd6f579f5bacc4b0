// Escaping of class-file text for the terminal, and its use by `ornith describe`.

#include "SafeText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "RunTool.h"
#include "ToolTestFiles.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith::tool {
namespace {

TEST(SafeText, EscapesControlsSeparatorsAndBidiInJavaForm) {
    EXPECT_EQ(safeText("plain text, spaces kept"), "plain text, spaces kept");
    EXPECT_EQ(safeText("a\bb\tc\nd\fe\rf"), "a\\bb\\tc\\nd\\fe\\rf");
    EXPECT_EQ(safeText("\x1b[31mred"), "\\u001b[31mred");
    EXPECT_EQ(safeText(std::string_view("\0\x01\x1f\x7f", 4)), "\\u0000\\u0001\\u001f\\u007f");
    // C1 controls are two-byte sequences.
    EXPECT_EQ(safeText("\xC2\x80\xC2\x9B\xC2\x9F"), "\\u0080\\u009b\\u009f");
    // Line and paragraph separators and the bidirectional controls.
    EXPECT_EQ(safeText("\xE2\x80\xA8\xE2\x80\xA9"), "\\u2028\\u2029");
    EXPECT_EQ(safeText("\xE2\x80\xAA\xE2\x80\xAE\xE2\x81\xA6\xE2\x81\xA9"),
              "\\u202a\\u202e\\u2066\\u2069");
}

TEST(SafeText, KeepsOtherCharactersAndTheirNeighbours) {
    // Just outside each escaped range, and characters of every length.
    EXPECT_EQ(safeText("~\xC2\xA0\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"),
              "~\xC2\xA0\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA");
    EXPECT_EQ(safeText("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
}

TEST(SafeText, IllFormedBytesBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(safeText("a\xFF"
                       "b"),
              "a" + replacement + "b");
    EXPECT_EQ(safeText("\xC2"), replacement);                           // cut short
    EXPECT_EQ(safeText("\xC0\x80"), replacement + replacement);         // overlong
    EXPECT_EQ(safeText("\xED\xA0\x80").substr(0, 3), replacement);      // a surrogate
    EXPECT_EQ(safeText("\xF4\x90\x80\x80").substr(0, 3), replacement);  // above U+10FFFF
    // A C1 control hidden in an ill-formed sequence never reaches the output raw.
    EXPECT_EQ(safeText("\xE2\xC2\x9B"), replacement + "\\u009b");
}

TEST(DescribeSafeText, TextAndJavapFormatsEscapeConstantsButRawDoesNot) {
    const std::string generics = "examples/modern/classes/m/impl/Generics.class";
    testing::ToolResult text = testing::runTool({"describe", generics});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("\\u001b[31m"), std::string::npos);
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("tab\\there"), std::string::npos);

    testing::ToolResult raw = testing::runTool({"describe", "--raw", generics});
    EXPECT_EQ(raw.status, 0);
    EXPECT_NE(raw.out.find("\x1b[31m"), std::string::npos);
    EXPECT_NE(raw.out.find("tab\there"), std::string::npos);
}

TEST(DescribeSafeText, ALineBreakInAConstantStaysInItsLine) {
    using ornith::testing::ClassFileWriter;
    ClassFileWriter w;
    w.setThisClass("p/Lines");
    w.setSuperClass("java/lang/Object");
    w.addField(0x0019, "S", "Ljava/lang/String;",
               {w.constantValue(w.string("one\ntwo\xE2\x80\xAEthree"))});
    const ornith::testing::Bytes bytes = w.bytes();
    const std::string file = std::string(::testing::TempDir()) + "ornith_safe_lines.class";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    testing::ToolResult text = testing::runTool({"describe", file});
    EXPECT_EQ(text.out,
              "public class p.Lines extends java.lang.Object\n{\n"
              "    public final static java.lang.String S = one\\ntwo\\u202ethree;\n}\n");
    testing::ToolResult raw = testing::runTool({"describe", "--raw", file});
    EXPECT_EQ(raw.out,
              "public class p.Lines extends java.lang.Object\n{\n"
              "    public final static java.lang.String S = one\ntwo\xE2\x80\xAEthree;\n}\n");
    testing::ToolResult javap =
        testing::runTool({"describe", "--format", "javap", "--constants", file});
    EXPECT_EQ(javap.out,
              "public class p.Lines {\n"
              "  public static final java.lang.String S = \"one\\ntwo\\u202ethree\";\n}\n");
    std::remove(file.c_str());
}

TEST(DescribeSafeText, JavapFormatMatchesJavapForTheExamples) {
    const std::string root = std::string(ORNITH_SOURCE_DIR) + "/examples/modern/";
    for (const char* name : {"m/impl/Generics", "module-info", "m/api/Planet"}) {
        const std::string file = root + "classes/" + name + ".class";
        testing::ToolResult p = testing::runTool({"describe", "--format", "javap", "-p", file});
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(p.out, testing::slurp(root + "javap/" + name + ".p.txt")) << name;
        testing::ToolResult c =
            testing::runTool({"describe", "--format", "javap", "--constants", file});
        EXPECT_EQ(c.out, testing::slurp(root + "javap/" + name + ".constants.txt")) << name;
    }
    // The checksum line of -v, which the stored views leave out: the file's own digest.
    const std::string planet = root + "classes/m/api/Planet.class";
    testing::ToolResult v = testing::runTool({"describe", "--format", "javap", "-v", planet});
    EXPECT_EQ(v.status, 0);
    EXPECT_NE(v.out.find("\n  SHA-256 checksum " + testing::sha256(testing::slurp(planet)) + "\n"),
              std::string::npos)
        << v.out.substr(0, 400);
    testing::ToolResult bad = testing::runTool({"describe", "--format", "xml", "x.class"});
    EXPECT_EQ(bad.status, 2);
}

}  // namespace
}  // namespace ornith::tool
