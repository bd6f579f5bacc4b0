// The release levels, as rows of source text and token dumps (see ornith/testing/JavaTokenDump.h).

#include <gtest/gtest.h>

#include <string>

#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/testing/JavaTokenDump.h"

namespace ornith {
namespace {

using namespace std::string_literals;
using testing::dumpJavaTokens;

struct Row {
    int level;
    std::string source;
    std::string tokens;
    uint32_t errors = 0;
};

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        testing::JavaTokenDump d = dumpJavaTokens(row.source, row.level);
        EXPECT_EQ(d.tokens, row.tokens) << "level " << row.level << ": " << row.source;
        EXPECT_EQ(d.errors, row.errors) << "level " << row.level << ": " << row.source << "\n"
                                        << d.diagnostics;
    }
}

TEST(VQJavaLexerRelease, NewSeparatorsAndOperators) {
    expectRows({
        {25, "@A(x->x, a::b, int... v)",
         "op:@ id:A op:( id:x op:-> id:x op:, id:a op::: id:b op:, kw:int op:... id:v op:)"},
        {25, "a>>>=b>>c->->", "id:a op:>>>= id:b op:>> id:c op:-> op:->"},
        {25, "x-->y", "id:x op:-- op:> id:y"},
        {25, "a..b", "id:a err:.. id:b", 1},
        {25, ":::", "op::: op::"},
        // The classic level has none of them.
        {0, "@a->b", "err:@ id:a op:- op:> id:b", 1},
    });
}

TEST(VQJavaLexerRelease, Numbers) {
    expectRows({
        {25, "0b1010 0B1_0L 1_000 1__2 0_7 0x_F",
         "int:0b1010 int:0B1_0L int:1_000 int:1__2 int:0_7 err:0x_F", 1},
        {25, "0x1.8p3 0x1p-2f 0X.8P1d 0x1.P0",
         "float:0x1.8p3 float:0x1p-2f float:0X.8P1d float:0x1.P0"},
        {25, ".5e3 1e10 1. 09.5 1f 2D 3e+1_0",
         "float:.5e3 float:1e10 float:1. float:09.5 float:1f float:2D float:3e+1_0"},
        // javac leaves letters after a number to the next token.
        {25, "1abc 0x1G", "int:1 id:abc int:0x1 id:G"},
        {25, "1_ 1_.5 1._5 1e_5 0_ 0x 0b 0x1.0",
         "err:1_ err:1_.5 err:1._5 err:1e_5 err:0_ err:0x err:0b err:0x1.0", 8},
        {25, "1e 0x1p", "err:1e err:0x1p", 2},
        // Digits an octal or binary integer cannot have are reported; the kind stays.
        {25, "08 0b12 09e1", "int:08 int:0b12 float:09e1", 2},
    });
}

TEST(VQJavaLexerRelease, KeywordsByRelease) {
    expectRows({
        {25, "private protected assert enum strictfp const goto _ __ _x",
         "kw:private kw:protected kw:assert kw:enum kw:strictfp kw:const kw:goto kw:_ id:__ id:_x"},
        {8, "_ assert", "id:_ kw:assert"},
        {9, "_", "kw:_"},
        // Contextual words stay identifiers; non-sealed is three tokens.
        {25, "var yield record sealed permits when module non-sealed",
         "id:var id:yield id:record id:sealed id:permits id:when id:module id:non op:- id:sealed"},
        {25, "true null", "bool:true null:null"},
        // The classic level keeps private and protected on one kind.
        {0, "private protected assert", "kw:private kw:private id:assert"},
    });
}

TEST(VQJavaLexerRelease, StringsAndEscapes) {
    expectRows({
        {15, R"("a\sb" '\s' "\477")", R"(str:"a\\sb" char:'\\s' str:"\\477")"},
        {14, R"("a\sb")", R"(err:"a\\sb")", 1},
        {25, R"("\q" "ok")", R"(err:"\\q" str:"ok")", 1},
        {25, "\"open\nx", "err:\"open id:x", 1},
        {25, "'' 'ab' 'c", "err:'' err:'ab' err:'c", 3},
        // A backslash after an odd run of backslashes begins no Unicode escape.
        {25, R"("\\u0041" "\u0041" \u0041)", R"(str:"\\\\u0041" str:"A" id:A)"},
    });
    testing::JavaTokenDump d = dumpJavaTokens(R"("a\tb\101\477\\" "\\u0041")", 25);
    EXPECT_EQ(d.values, R"(a\u0009bA'7\\ | \\u0041)");
}

TEST(VQJavaLexerRelease, TextBlocks) {
    struct Block {
        std::string source;
        std::string value;
    };
    const Block blocks[] = {
        {"\"\"\"\n    Hello\n      World\n    \"\"\"", "Hello\\u000a\\s\\sWorld\\u000a"},
        {"\"\"\"\n    Hello\n    World\"\"\"", "Hello\\u000aWorld"},
        {"\"\"\"  \t\r\n  a  \r  b\\\n  c\\s\n\"\"\"", "\\s\\sa\\u000a\\s\\sb\\s\\sc\\s\\u000a"},
        {"\"\"\"\n\"\"\"", ""},
        {"\"\"\"\n  x\\\"\"\"\n  \"\"\"", "x\"\"\"\\u000a"},
        {"\"\"\"\n  a\"\"b\n  \"\"\"", "a\"\"b\\u000a"},
    };
    for (const Block& b : blocks) {
        testing::JavaTokenDump d = dumpJavaTokens(b.source, 25);
        EXPECT_EQ(d.tokens.substr(0, 6), "block:") << b.source;
        EXPECT_EQ(d.values, b.value) << b.source;
        EXPECT_EQ(d.errors, 0u) << d.diagnostics;
    }
    expectRows({
        // Something after the opening quotes on their line.
        {25, "\"\"\"x\"\"\"", "err:\"\"\" id:x err:\"\"\"", 2},
        {25, "\"\"\"\nnever closed\n", "err:\"\"\"\\u000anever\\sclosed\\u000a", 1},
        {25, "\"\"\"\"\"", "err:\"\"\" str:\"\"", 1},
        // Before release 15 the quotes are an empty string and the start of another.
        {14, "\"\"\"\nx\"\"\"", "str:\"\" err:\" id:x str:\"\" err:\"", 2},
    });
}

TEST(VQJavaLexerRelease, IdentifierCharacters) {
    expectRows({
        // UTF-8 letters; a supplementary letter (U+1D465) is one character of two units.
        {25, "caf\xC3\xA9 \xF0\x9D\x91\xA5y", "id:caf\\u00e9 id:\\ud835\\udc65y"},
        // U+0870 and U+10570 came with Unicode 14: JDK 25's classes have them, JDK 17's not.
        {18, "\xE0\xA1\xB0 \xF0\x90\x95\xB0", "id:\\u0870 id:\\ud801\\udd70"},
        {17, "\xE0\xA1\xB0", "err:\\u0870", 1},
        {17, "\xF0\x90\x95\xB0", "err:\\ud801\\udd70", 1},
        // Ignorable characters stay in the text and out of the keyword test.
        {25, "in\xC2\xADt a\x01z", "kw:int id:a\\u0001z"},
        // An emoji is no identifier part; a lone surrogate half is no character at all.
        {25, "a\xF0\x9F\x98\x80", "id:a err:\\ud83d\\ude00", 1},
        {25, "a\\uD800", "id:a err:\\ud800", 1},
        // At the classic level bytes are characters.
        {0, "caf\xE9 caf\xC3\xA9", "id:caf\\u00e9 id:caf\\u00c3 err:\\u00a9", 1},
    });
}

TEST(VQJavaLexerRelease, SurrogatePairsWrittenAsEscapes) {
    // U+1D519, a letter, written as two escapes and raw: one identifier either way, at every
    // release level, as javac reads it.
    const std::string escaped = "int \\ud835\\udd19 = 2;";
    const std::string raw = "int \xF0\x9D\x94\x99 = 2;";
    const std::string tokens = "kw:int id:\\ud835\\udd19 op:= int:2 op:;";
    for (int level = VQJavaLevelFirstRelease; level <= VQJavaLevelLatestRelease; ++level)
        expectRows({{level, escaped, tokens}, {level, raw, tokens}});
    expectRows({
        // Inside an identifier, with upper-case digits and more than one u.
        {25, "x\\uD835\\uuuDD19y", "id:x\\ud835\\udd19y"},
        // A pair that is no letter is one bad character, as raw.
        {25, "a\\uD83D\\uDE00", "id:a err:\\ud83d\\ude00", 1},
        // A high half before an escape that is no low half stays alone.
        {25, "\\ud835\\u0041", "err:\\ud835 id:A", 1},
        {25, "\\ud835\\\\udd19", "err:\\ud835 err:\\\\ err:\\\\ id:udd19", 3},
        // The classic level takes the halves one at a time, neither a letter.
        {0, "\\ud835\\udd19", "err:\\ud835 err:\\udd19", 2},
    });
}

TEST(VQJavaLexerRelease, InputAndLineEnds) {
    expectRows({
        // A lone CR ends a line, also a line comment's.
        {25, "a\rb // c\rd", "id:a id:b id:d"},
        {0, "a\rb", "id:a err:\\u000d id:b", 1},
        // A malformed sequence is U+FFFD, reported once for its line.
        {25, "a\xFF\xC3 \"\xE0\x80\"", "id:a err:\\ufffd err:\\ufffd str:\"\\ufffd\\ufffd\"", 3},
        {25, "/* open", "err:/*", 1},
        {25, "a \x1A b", "id:a"},
        {25, "\\u00", "err:\\\\ id:u00", 2},
    });
    // After a control-Z has ended the input, every request answers the end again.
    VQJavaLexer* lexer = VQOpenJavaSourceBytes("a \x1A b", 5, "F", 25);
    ASSERT_NE(lexer, nullptr);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), VQJavaTokenIdentifier);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), VQJavaTokenEndOfInput);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), VQJavaTokenEndOfInput);
    VQCloseJavaSourceFile(lexer);
    testing::JavaTokenDump d = dumpJavaTokens("int x = '\xFF';\n", 25);
    EXPECT_EQ(d.diagnostics,
              "F:1: Invalid UTF-8 byte sequence.\nint x = '\xEF\xBF\xBD';\n         ^\n");
}

// Where javac 25 puts these errors, and how it draws the caret line: an unclosed comment or
// text block on the line where it opened, the caret under its first character, and the
// caret line's spacing a tab wherever the source line has one.
TEST(VQJavaLexerRelease, ReportsStandWhereJavacPutsThem) {
    struct Report {
        std::string source;
        std::string diagnostics;
    };
    const Report reports[] = {
        // javac: "A.java:2: error: unclosed text block", the line, then TAB and 11 blanks.
        {"class A {\n\tString s = \"\"\"\n\t\tabc\n",
         "F:2: Text block not terminated at end of input.\n\tString s = \"\"\"\n\t           ^\n"},
        // javac: "B.java:2: error: unclosed comment".
        {"class B {\n\tint x; /* open\n\tmore\n",
         "F:2: Comment not terminated at end of input.\n\tint x; /* open\n\t       ^\n"},
        // javac: "C.java:2: error: illegal character: '#'".
        {"class C {\n\t\tint # = 1;\n}\n",
         "F:2: Invalid character in input.\n\t\tint # = 1;\n\t\t    ^\n"},
        // A comment that ends with the input on its own line, and one of many stars.
        {"x\n  /* open\n", "F:2: Comment not terminated at end of input.\n  /* open\n  ^\n"},
        {"/*\n**\n", "F:1: Comment not terminated at end of input.\n/*\n^\n"},
    };
    for (const Report& r : reports) {
        for (int level : {15, int{VQJavaLevelLatestRelease}}) {
            testing::JavaTokenDump d = dumpJavaTokens(r.source, level);
            EXPECT_EQ(d.diagnostics, r.diagnostics) << level << ": " << r.source;
            EXPECT_EQ(d.errors, 1u) << level << ": " << r.source;
        }
    }
    // The classic level keeps its form: blanks only, and a comment the input ends is no error.
    testing::JavaTokenDump classic = dumpJavaTokens("class C {\n\t\tint # = 1;\n}\n", 0);
    EXPECT_EQ(classic.diagnostics, "F:2: Invalid character in input.\n\t\tint # = 1;\n      ^\n");
    EXPECT_EQ(dumpJavaTokens("\tint x; /* open\n", 0).errors, 0u);
}

TEST(VQJavaLexerRelease, LevelsAndOpening) {
    for (int level : {-1, 1, 7, 26, 100}) {
        EXPECT_EQ(VQOpenJavaSourceBytes("x", 1, "F", level), nullptr) << level;
        EXPECT_EQ(VQOpenJavaSourceFileAtLevel("/dev/null", level), nullptr) << level;
    }
    VQJavaLexer* lexer = VQOpenJavaSourceBytes("x", 1, "F", 21);
    ASSERT_NE(lexer, nullptr);
    EXPECT_EQ(VQJavaLexerLevel(lexer), 21);
    uint32_t length = 7;
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), VQJavaTokenIdentifier);
    EXPECT_EQ(VQJavaLexerStringValue(lexer, &length), nullptr);
    EXPECT_EQ(length, 0u);
    VQCloseJavaSourceFile(lexer);
    VQJavaLexer* classic = VQOpenJavaSourceBytes("x", 1, "F", VQJavaLevelClassic);
    EXPECT_EQ(VQJavaLexerLevel(classic), VQJavaLevelClassic);
    VQCloseJavaSourceFile(classic);
}

TEST(VQJavaLexerRelease, KeywordKinds) {
    EXPECT_EQ(VQIsJavaKeywordKind(329), 1);
    EXPECT_EQ(VQIsJavaKeywordKind(347), 1);
    EXPECT_EQ(VQIsJavaKeywordKind(385), 1);
    EXPECT_EQ(VQIsJavaKeywordKind(325), 0);
    EXPECT_EQ(VQIsJavaKeywordKind(376), 0);
    EXPECT_EQ(VQIsJavaKeywordKind(374), 0);
    EXPECT_STREQ(VQJavaKeywordForKind(348), "private");
    EXPECT_STREQ(VQJavaKeywordForKind(347), "private");
    EXPECT_STREQ(VQJavaKeywordForKind(382), "strictfp");
    EXPECT_STREQ(VQJavaKeywordForKind(385), "_");
    EXPECT_EQ(VQJavaKeywordForKind(379), nullptr);
}

}  // namespace
}  // namespace ornith
