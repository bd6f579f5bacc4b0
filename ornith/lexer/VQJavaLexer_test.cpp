#include "ornith/lexer/VQJavaLexer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ornith/lexer/VQUnicodeStreamInternal.h"
#include "ornith/testing/JavaTokenDump.h"
#include "ornith/testing/OutputCapture.h"
#include "ornith/testing/StoreTestSupport.h"

namespace ornith {
namespace {

using namespace std::string_literals;
using testing::StderrCapture;
using testing::writeSource;

struct Token {
    int kind;
    std::u16string text;
    bool operator==(const Token&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Token& t) {
    out << "{" << t.kind << ", \"";
    for (char16_t u : t.text) {
        if (u >= 32 && u < 127)
            out << static_cast<char>(u);
        else
            out << "\\x" << std::hex << static_cast<unsigned>(u) << std::dec;
    }
    return out << "\"}";
}

struct Positioned {
    int kind;
    int line;
    uint32_t column;
    bool operator==(const Positioned&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Positioned& p) {
    return out << "{" << p.kind << " at " << p.line << ":" << p.column << "}";
}

struct Lexed {
    std::vector<Token> tokens;          // without the final end of input
    std::vector<Positioned> positions;  // likewise
    std::vector<int> characterValues;   // one per character literal
    std::string err;                    // with the file's path replaced by F
    bool ended = false;                 // end of input came, and came again on the next request
    uint32_t errors = 0;                // as the lexer counted them
};

Lexed lex(const std::string& bytes) {
    std::string path = writeSource(bytes);
    Lexed result;
    StderrCapture capture;
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    EXPECT_NE(lexer, nullptr);
    if (lexer == nullptr) return result;
    for (size_t n = 0; n < 100000; ++n) {
        int kind = VQNextTokenFromJavaLexer(lexer);
        if (kind == VQJavaTokenEndOfInput) {
            result.ended = VQNextTokenFromJavaLexer(lexer) == VQJavaTokenEndOfInput;
            break;
        }
        result.tokens.push_back({kind, std::u16string(lexer->text, lexer->textLength)});
        result.positions.push_back({kind, lexer->stream->lineNumber, lexer->column});
        if (kind == VQJavaTokenCharacterLiteral)
            result.characterValues.push_back(lexer->characterValue);
    }
    result.errors = VQJavaLexerErrorCount(lexer);
    VQCloseJavaSourceFile(lexer);
    std::string err = capture.text();
    for (size_t at; (at = err.find(path)) != std::string::npos;) err.replace(at, path.size(), "F");
    result.err = err;
    return result;
}

// Rows give the tokens as a dump (ornith/testing/JavaTokenDump.h): "id:a op:+= id:b".
struct LexRow {
    const char* name;
    std::string source;
    std::string tokens;
    std::string err;
};

std::string dumpOf(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        if (!out.empty()) out += ' ';
        out += testing::dumpJavaToken(t.kind, t.text.data(), static_cast<uint32_t>(t.text.size()),
                                      VQJavaLevelClassic);
    }
    return out;
}

void PrintTo(const LexRow& row, std::ostream* out) {
    *out << row.name;
}

class LexRows : public ::testing::TestWithParam<LexRow> {};

TEST_P(LexRows, YieldsTokensAndMessages) {
    const LexRow& row = GetParam();
    Lexed lexed = lex(row.source);
    EXPECT_EQ(dumpOf(lexed.tokens), row.tokens) << row.name;
    EXPECT_EQ(lexed.err, row.err) << row.name;
    EXPECT_TRUE(lexed.ended) << row.name;
    uint32_t messages = 0;
    for (size_t at = 0; (at = row.err.find("F:", at)) != std::string::npos; at += 2)
        messages += at == 0 || row.err[at - 1] == '\n';
    EXPECT_EQ(lexed.errors, messages) << row.name;
}

auto rowName = [](const auto& info) { return "row" + std::to_string(info.index); };

INSTANTIATE_TEST_SUITE_P(
    Operators, LexRows,
    ::testing::Values(
        LexRow{"plus-assign", "a+=b", R"(id:a op:+= id:b)", ""},
        LexRow{"longest match of +", "a+++b", R"(id:a op:++ op:+ id:b)", ""},
        LexRow{"shift-assign", "x>>=2", R"(id:x op:>>= int:2)", ""},
        LexRow{"unsigned shift", "a>>>b", R"(id:a op:>>> id:b)", ""},
        LexRow{"runs of >", "a>>>=b>>b>b", R"(id:a op:>>>= id:b op:>> id:b op:> id:b)", ""},
        LexRow{"the < family", "<<= << <= < >= >", R"(op:<<= op:<< op:<= op:< op:>= op:>)", ""},
        LexRow{"two-character operators", "== != *= /= %= ^= &= |= && || -- -=",
               R"(op:== op:!= op:*= op:/= op:%= op:^= op:&= op:|= op:&& op:|| op:-- op:-=)", ""},
        LexRow{"no doubled forms for these", "===!!**%%^^&|",
               R"(op:== op:= op:! op:! op:* op:* op:% op:% op:^ op:^ op:& op:|)", ""},
        LexRow{"separators", "()[]{},:;?~.",
               R"(op:( op:) op:[ op:] op:{ op:} op:, op:: op:; op:? op:~ op:.)", ""},
        LexRow{"slash is division when no comment follows", "a/b/ *", R"(id:a op:/ id:b op:/ op:*)",
               ""},
        LexRow{"modern tokens fall apart", "a->b::c...",
               R"(id:a op:- op:> id:b op:: op:: id:c op:. op:. op:.)", ""}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    Numbers, LexRows,
    ::testing::Values(
        LexRow{"integers", "0 0L 0x 0x1Fl 017 00 0xFFe 1l 42",
               R"(int:0 int:0L int:0x int:0x1Fl int:017 int:00 int:0xFFe int:1l int:42)", ""},
        LexRow{
            "floating", "1. .5 1e5 1.5e-3f 2D 09.5 08e1 09f 1f 5d 0.5 1E+5d 0f 0e1",
            R"(float:1. float:.5 float:1e5 float:1.5e-3f float:2D float:09.5 float:08e1 float:09f float:1f float:5d float:0.5 float:1E+5d float:0f float:0e1)",
            ""},
        LexRow{"point then semicolon", "1.;", R"(float:1. op:;)", ""},
        LexRow{"point before a letter", ". x.y", R"(op:. id:x op:. id:y)", ""},
        LexRow{"8 or 9 in an octal integer", "09;\n", R"(int:09 op:;)",
               "F:1: Invalid character in octal number.\n09;\n^\n"},
        LexRow{"exponent without digits", "1e;\n", R"(err:1e op:;)",
               "F:1: Invalid floating point format.\n1e;\n^\n"},
        LexRow{"exponent sign without digits", "x=1e+\n", R"(id:x op:= err:1e+)",
               "F:1: Invalid floating point format.\nx=1e+\n  ^\n"},
        LexRow{"doubled suffix", "x=1.5ff;\n", R"(id:x op:= err:1.5ff op:;)",
               "F:1: Invalid character in number.\nx=1.5ff;\n  ^\n"},
        LexRow{"letters, points and hex points after numbers", "123abc 1.2.3 0x1F.\n",
               R"(err:123abc err:1.2.3 err:0x1F.)",
               "F:1: Invalid character in number.\n123abc 1.2.3 0x1F.\n^\n"
               "F:1: Invalid character in number.\n123abc 1.2.3 0x1F.\n       ^\n"
               "F:1: Invalid character in number.\n123abc 1.2.3 0x1F.\n             ^\n"},
        LexRow{"reported once per token", "int 9x;\n", R"(kw:int err:9x op:;)",
               "F:1: Invalid character in number.\nint 9x;\n    ^\n"},
        LexRow{"octal and trailing errors together", "09x\n", R"(err:09x)",
               "F:1: Invalid character in octal number.\n09x\n^\n"
               "F:1: Invalid character in number.\n09x\n^\n"},
        LexRow{"exponent then letters is one error", "1e5e2\n", R"(err:1e5e2)",
               "F:1: Invalid character in number.\n1e5e2\n^\n"},
        LexRow{"underscores and binary literals are not numbers", "1_000 0b1\n",
               R"(err:1_000 err:0b1)",
               "F:1: Invalid character in number.\n1_000 0b1\n^\n"
               "F:1: Invalid character in number.\n1_000 0b1\n      ^\n"},
        LexRow{"a number at end of input", "12", R"(int:12)", ""}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    CharacterLiterals, LexRows,
    ::testing::Values(LexRow{"valid", "'a' '\\n' '\\377' '\\0' '\\u0041'",
                             R"(char:'a' char:'\\n' char:'\\377' char:'\\0' char:'A')", ""},
                      LexRow{"empty", "''\n", R"(err:'')",
                             "F:1: Invalid character constant.\n''\n^\n"},
                      LexRow{"too long", "'ab' x\n", R"(err:'ab' id:x)",
                             "F:1: Invalid character constant.\n'ab' x\n^\n"},
                      LexRow{"octal escape above 255", "'\\400'\n", R"(err:'\\400')",
                             "F:1: Invalid character constant.\n'\\400'\n^\n"},
                      LexRow{"unknown escape", " '\\q'\n", R"(err:'\\q')",
                             "F:1: Invalid character constant.\n '\\q'\n ^\n"},
                      LexRow{"cut by the line end", "'a\nb", R"(err:'a\u000a id:b)",
                             "F:1: Invalid character constant.\n'a\n^\n"},
                      LexRow{"cut by the end of input", "x '", R"(id:x err:'\uffff)",
                             "F:2: Invalid character constant.\n\n  ^\n"},
                      LexRow{"escape cut by the end of input", "'\\", R"(err:'\\\uffff)",
                             "F:2: Invalid character constant.\n\n^\n"}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    StringLiterals, LexRows,
    ::testing::Values(
        LexRow{"valid", "\"abc\" \"\" \"a\\tb\\\"c\\\\\"",
               R"(str:"abc" str:"" str:"a\\tb\\"c\\\\")", ""},
        LexRow{"unknown escape", "\"a\\qb\"\n", R"(str:"a\\qb")",
               "F:1: Invalid escape character.\n\"a\\qb\"\n   ^\n"},
        LexRow{"octal escape above 255", "  s = \"x\\400y\";\n", R"(id:s op:= str:"x\\400y" op:;)",
               "F:1: Invalid escape character.\n  s = \"x\\400y\";\n         ^\n"},
        LexRow{"cut by the line end", "\"abc\nx", R"(err:"abc\u000a id:x)",
               "F:1: String not terminated at end of line.\n\"abc\n^\n"},
        LexRow{"cut by the end of input", "  \"ab", R"(err:"ab\uffff)",
               "F:2: String not terminated at end of line.\n\n  ^\n"},
        LexRow{"escape cut by the line end", "\"a\\\n", R"(err:"a\\\u000a)",
               "F:1: Invalid escape character.\n\"a\\\n   ^\n"
               "F:1: String not terminated at end of line.\n\"a\\\n^\n"},
        LexRow{"a lone CR does not end a string", "\"a\rb\"", R"(str:"a\u000db")", ""},
        LexRow{"unicode escapes are resolved first", "\"\\u0041\\u005c\\u005c\"", R"(str:"A\\\\")",
               ""}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    Words, LexRows,
    ::testing::Values(
        LexRow{
            "keywords and literals", "protected private const true false null goto int Int in intx",
            R"(kw:private kw:private id:const bool:true bool:false null:null id:goto kw:int id:Int id:in id:intx)",
            ""},
        LexRow{"identifier characters", "\xE9t\xE9 $x _y a1 a$b \\u4e2d",
               R"(id:\u00e9t\u00e9 id:$x id:_y id:a1 id:a$b id:\u4e2d)", ""},
        LexRow{"last word without terminator", "abc", R"(id:abc)", ""},
        LexRow{"a non-letter above 127",
               "a\xD7"
               "b\n",
               R"(id:a err:\u00d7 id:b)",
               "F:1: Invalid character in input.\na\xD7"
               "b\n ^\n"}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    InvalidCharacters, LexRows,
    ::testing::Values(
        LexRow{"hash", "#\n", R"(err:#)", "F:1: Invalid character in input.\n#\n^\n"},
        LexRow{"backslash", "a \\ b\n", R"(id:a err:\\ id:b)",
               "F:1: Invalid character in input.\na \\ b\n  ^\n"},
        LexRow{"annotation", "@A\n", R"(err:@ id:A)", "F:1: Invalid character in input.\n@A\n^\n"},
        LexRow{"vertical tab", "\v\n", R"(err:\u000b)",
               "F:1: Invalid character in input.\n\v\n^\n"},
        LexRow{"NUL", "x\0y\n"s, R"(id:x err:\u0000 id:y)",
               "F:1: Invalid character in input.\nx\0y\n ^\n"s},
        // The look-ahead for an LF has already read the next line when the CR is reported.
        LexRow{"lone CR", "a\rb", R"(id:a err:\u000d id:b)",
               "F:2: Invalid character in input.\n\n ^\n"},
        LexRow{"control-Z last", "a\x1A", R"(id:a)", ""},
        LexRow{"control-Z alone", "\x1A", R"()", ""},
        LexRow{"control-Z in the middle", "a\x1A b\n", R"(id:a err:\u001a id:b)",
               "F:1: Invalid character in input.\na\x1A b\n ^\n"},
        LexRow{"two control-Z", "\x1A\x1A", R"(err:\u001a)",
               "F:1: Invalid character in input.\n\x1A\n^\n"}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    WhiteSpaceAndComments, LexRows,
    ::testing::Values(LexRow{"white space", " \t\f\n\r\nx", R"(id:x)", ""},
                      LexRow{"block comment", "/* c */a", R"(id:a)", ""},
                      LexRow{"star runs", "/** doc **/b /***/c /**/d", R"(id:b id:c id:d)", ""},
                      LexRow{"comments do not nest", "/* /* */ x */", R"(id:x op:* op:/)", ""},
                      LexRow{"block comment open at end of input", "a /* open\n more", R"(id:a)",
                             ""},
                      LexRow{"star at end of input", "/* *", R"()", ""},
                      LexRow{"line comment", "// line\nx", R"(id:x)", ""},
                      LexRow{"line comment at end of input", "x //", R"(id:x)", ""},
                      LexRow{"mixed", "a/b/*c*/d//e\nf", R"(id:a op:/ id:b id:d id:f)", ""},
                      LexRow{"escaped star and slash end a comment", "/* \\u002a\\u002f x */",
                             R"(id:x op:* op:/)", ""},
                      LexRow{"escaped LF ends a line comment", "//a\\u000ab", R"(id:b)", ""}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    Reporter, LexRows,
    ::testing::Values(LexRow{"caret buffer is not shrunk", "          #\n   #\n", R"(err:# err:#)",
                             "F:1: Invalid character in input.\n          #\n          ^\n"
                             "F:2: Invalid character in input.\n   #\n   ^\n"},
                      LexRow{"CR LF line keeps its CR", "#\r\n", R"(err:#)",
                             "F:1: Invalid character in input.\n#\r\n^\n"},
                      LexRow{"last line loses its last unit", "a #", R"(id:a err:#)",
                             "F:1: Invalid character in input.\na \n  ^\n"},
                      LexRow{"line written raw", "\\u0023\n", R"(err:#)",
                             "F:1: Invalid character in input.\n\\u0023\n^\n"},
                      LexRow{"tabs stay tabs", "\t#\n", R"(err:#)",
                             "F:1: Invalid character in input.\n\t#\n ^\n"},
                      LexRow{"wide units as their low byte", "\xFE\xFF\x4E\x2D\x00\x20\x00\x23"s,
                             R"(id:\u4e2d err:#)",
                             "F:1: Invalid character in input.\n\x2D\x20\n  ^\n"}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    BadInput, LexRows,
    ::testing::Values(LexRow{"empty file", "", R"()", ""}, LexRow{"one byte", "x", R"(id:x)", ""},
                      LexRow{"one byte that a mark begins with", "\xFF", R"(id:\u00ff)", ""},
                      LexRow{"lone byte after a mark", "\xFE\xFF\x41", R"()", ""},
                      LexRow{"only NUL bytes", "\0\0"s, R"(err:\u0000 err:\u0000)",
                             "F:1: Invalid character in input.\n\0\n^\n"
                             "F:1: Invalid character in input.\n\0\n ^\n"s}),
    rowName);

struct PositionRow {
    const char* name;
    std::string source;
    std::vector<Positioned> positions;
};

void PrintTo(const PositionRow& row, std::ostream* out) {
    *out << row.name;
}

class PositionRows : public ::testing::TestWithParam<PositionRow> {};

TEST_P(PositionRows, ReportsLineAndColumn) {
    const PositionRow& row = GetParam();
    EXPECT_EQ(lex(row.source).positions, row.positions) << row.name;
}

// Sources end with a line end: a look-ahead at end of input would move the stream's line
// number past the last line.
INSTANTIATE_TEST_SUITE_P(
    Columns, PositionRows,
    ::testing::Values(
        PositionRow{"after a put-back", "a;", {{328, 1, 0}, {59, 1, 1}}},
        PositionRow{"line starts", "  x\ny\n", {{328, 1, 2}, {328, 2, 0}}},
        PositionRow{"tabs count one", "\tint x;\n", {{332, 1, 1}, {328, 1, 5}, {59, 1, 6}}},
        PositionRow{"escapes count their units", "\\u0061;", {{328, 1, 0}, {59, 1, 6}}},
        PositionRow{"identifier from escapes", "\\u0061\\u0062 x\n", {{328, 1, 0}, {328, 1, 13}}},
        PositionRow{"CR LF", "a\r\nb\n", {{328, 1, 0}, {328, 2, 0}}},
        PositionRow{"literals", "x = 'a';", {{328, 1, 0}, {61, 1, 2}, {324, 1, 4}, {59, 1, 7}}},
        PositionRow{"numbers and operators", "1.5e3f+x\n", {{323, 1, 0}, {43, 1, 6}, {328, 1, 7}}},
        PositionRow{"after a comment", "/* a */ b // c\n  d\n", {{328, 1, 8}, {328, 2, 2}}},
        PositionRow{"wide units",
                    "\xFF\xFE"
                    "a\0 \0b\0\n\0"s,
                    {{328, 1, 0}, {328, 1, 2}}}),
    rowName);

TEST(VQJavaLexer, CharacterValues) {
    Lexed lexed =
        lex("'a' '\\n' '\\377' '\\0' '\\12' '\\'' '\\\\' '\\\"' '\\b' '\\t' '\\f' '\\r' '\\u4e2d' "
            "'\\u005c\\u005c' '\\1234'");
    EXPECT_EQ(lexed.characterValues,
              (std::vector<int>{97, 10, 255, 0, 10, 39, 92, 34, 8, 9, 12, 13, 0x4E2D, 92}));
    EXPECT_EQ(lexed.tokens.back(), (Token{375, u"'\\1234'"}));  // three octal digits at most
}

TEST(VQJavaLexer, EveryKeywordHasItsKind) {
    const std::vector<std::pair<const char16_t*, int>> words = {{u"boolean", 329},
                                                                {u"byte", 330},
                                                                {u"short", 331},
                                                                {u"int", 332},
                                                                {u"long", 333},
                                                                {u"char", 334},
                                                                {u"float", 335},
                                                                {u"double", 336},
                                                                {u"void", 337},
                                                                {u"package", 338},
                                                                {u"import", 339},
                                                                {u"class", 340},
                                                                {u"extends", 341},
                                                                {u"implements", 342},
                                                                {u"interface", 343},
                                                                {u"super", 344},
                                                                {u"this", 345},
                                                                {u"public", 346},
                                                                {u"protected", 348},
                                                                {u"private", 348},
                                                                {u"static", 349},
                                                                {u"abstract", 350},
                                                                {u"final", 351},
                                                                {u"native", 352},
                                                                {u"synchronized", 353},
                                                                {u"transient", 354},
                                                                {u"volatile", 355},
                                                                {u"throws", 356},
                                                                {u"if", 357},
                                                                {u"else", 358},
                                                                {u"switch", 359},
                                                                {u"case", 360},
                                                                {u"default", 361},
                                                                {u"while", 362},
                                                                {u"do", 363},
                                                                {u"for", 364},
                                                                {u"break", 365},
                                                                {u"continue", 366},
                                                                {u"return", 367},
                                                                {u"throw", 368},
                                                                {u"catch", 369},
                                                                {u"try", 370},
                                                                {u"finally", 371},
                                                                {u"new", 372},
                                                                {u"instanceof", 373},
                                                                {u"true", 325},
                                                                {u"false", 325},
                                                                {u"null", 326},
                                                                {u"enum", 328},
                                                                {u"assert", 328},
                                                                {u"strictfp", 328},
                                                                {u"var", 328},
                                                                {u"record", 328},
                                                                {u"Class", 328},
                                                                {u"instanceOf", 328},
                                                                {u"synchronizedx", 328},
                                                                {u"d", 328},
                                                                {u"i", 328}};
    std::string source;
    std::vector<Token> expected;
    for (const auto& [word, kind] : words) {
        for (const char16_t* p = word; *p != 0; ++p) source += static_cast<char>(*p);
        source += ' ';
        expected.push_back({kind, word});
    }
    EXPECT_EQ(lex(source).tokens, expected);
}

TEST(VQJavaLexer, StartsInTheDocumentedState) {
    std::string path = writeSource("x");
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    ASSERT_NE(lexer, nullptr);
    EXPECT_STREQ(lexer->fileName, path.c_str());
    EXPECT_NE(lexer->fileName, path.c_str());
    EXPECT_EQ(lexer->text, nullptr);
    EXPECT_EQ(lexer->textLength, 0u);
    EXPECT_EQ(lexer->textCapacity, 0u);
    EXPECT_EQ(lexer->savedColumn, -1);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), 328);
    EXPECT_EQ(lexer->textCapacity, 8u);
    VQCloseJavaSourceFile(lexer);

    // While a string's escape is read, the string's column waits in savedColumn.
    path = writeSource("  \"\\t\"");
    lexer = VQOpenJavaSourceFile(path.c_str());
    ASSERT_NE(lexer, nullptr);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), 327);
    EXPECT_EQ(lexer->column, 2u);
    EXPECT_EQ(lexer->savedColumn, 2);
    VQCloseJavaSourceFile(lexer);
    EXPECT_EQ(VQOpenJavaSourceFile((::testing::TempDir() + "no-such.java").c_str()), nullptr);
    EXPECT_EQ(VQOpenJavaSourceFile(::testing::TempDir().c_str()), nullptr);
    VQCloseJavaSourceFile(nullptr);
}

TEST(VQJavaLexer, TextBufferGrowsByDoublingPlusEightAndIsReused) {
    std::string source = std::string(100, 'a') + " b";
    std::string path = writeSource(source);
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    ASSERT_NE(lexer, nullptr);
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), 328);
    EXPECT_EQ(lexer->textLength, 100u);
    EXPECT_EQ(lexer->textCapacity, 120u);  // 8, 24, 56, 120
    char16_t* buffer = lexer->text;
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), 328);
    EXPECT_EQ(lexer->text, buffer);
    EXPECT_EQ(std::u16string(lexer->text, lexer->textLength), u"b");
    VQCloseJavaSourceFile(lexer);
}

// Inputs of a megabyte: one token each, read in one pass.
TEST(VQJavaLexer, MegabyteTokens) {
    const size_t n = size_t{1} << 20;
    Lexed identifier = lex(std::string(n, 'a') + "\n");
    ASSERT_EQ(identifier.tokens.size(), 1u);
    EXPECT_EQ(identifier.tokens[0].text.size(), n);

    Lexed number = lex(std::string(n, '7'));
    ASSERT_EQ(number.tokens.size(), 1u);
    EXPECT_EQ(number.tokens[0].kind, 322);

    Lexed string = lex("\"" + std::string(n, 's'));
    ASSERT_EQ(string.tokens.size(), 1u);
    EXPECT_EQ(string.tokens[0].kind, 375);
    EXPECT_EQ(string.tokens[0].text.size(), n + 2);  // the quote, the characters, end of input
    EXPECT_EQ(string.err, "F:2: String not terminated at end of line.\n\n^\n");

    Lexed comment = lex("/*" + std::string(n, '*'));
    EXPECT_TRUE(comment.tokens.empty());
    EXPECT_TRUE(comment.ended);
}

// A line full of bad characters echoes its text and caret for its first reports only, so
// that the diagnostics stay linear in the line's length; the next line echoes again.
TEST(VQJavaLexer, OnlyBackslashes) {
    const size_t n = 300;
    Lexed lexed = lex(std::string(n, '\\') + "\n#\n");
    ASSERT_EQ(lexed.tokens.size(), n + 1);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(lexed.tokens[i], (Token{375, u"\\"}));
    std::string expected;
    for (size_t column = 0; column < n; ++column) {
        expected += "F:1: Invalid character in input.\n";
        if (column < kVQMaxEchoesPerLine)
            expected += std::string(n, '\\') + "\n" + std::string(column, ' ') + "^\n";
    }
    expected += "F:2: Invalid character in input.\n#\n^\n";
    EXPECT_EQ(lexed.err, expected);
}

// Every lexer keeps its own caret line: lexers on separate threads report at the same time,
// each caret under its own column. Each report stands one column further right than the
// one before, so that every lexer's caret line grows with every report while the others'
// grow too (a line shared between them would be moved under its readers); every byte of
// every report is compared.
TEST(VQJavaLexer, LexersOnSeparateThreadsReportTheirOwnCarets) {
    struct Run {
        std::string name;
        int level = 0;
        uint32_t firstColumn = 0;
        std::string source{};
        std::string expected{};
        std::string written{};
        uint32_t errors = 0;
    };
    constexpr uint32_t kLines = 1500;
    std::vector<Run> runs(3);
    runs[0].name = "A.java", runs[0].level = VQJavaLevelClassic, runs[0].firstColumn = 0;
    runs[1].name = "B.java", runs[1].level = VQJavaLevelClassic, runs[1].firstColumn = 7;
    runs[2].name = "C.java", runs[2].level = VQJavaLevelLatestRelease, runs[2].firstColumn = 3;
    for (Run& run : runs) {
        for (uint32_t line = 1; line <= kLines; ++line) {
            const std::string blanks(run.firstColumn + line - 1, ' ');
            run.source += blanks + "#\n";
            run.expected += run.name + ":" + std::to_string(line) +
                            ": Invalid character in input.\n" + blanks + "#\n" + blanks + "^\n";
        }
    }
    auto lexAll = [](Run* run) {
        VQJavaLexer* lexer = VQOpenJavaSourceBytes(run->source.data(), run->source.size(),
                                                   run->name.c_str(), run->level);
        if (lexer == nullptr) return;
        VQSetJavaLexerDiagnosticWriter(
            lexer,
            [](void* context, const char* bytes, size_t length) {
                static_cast<std::string*>(context)->append(bytes, length);
            },
            &run->written);
        while (VQNextTokenFromJavaLexer(lexer) != VQJavaTokenEndOfInput) {
        }
        run->errors = VQJavaLexerErrorCount(lexer);
        VQCloseJavaSourceFile(lexer);
    };
    std::vector<std::thread> threads;
    for (Run& run : runs) threads.emplace_back(lexAll, &run);
    for (std::thread& thread : threads) thread.join();
    for (const Run& run : runs) {
        EXPECT_EQ(run.errors, kLines) << run.name;
        EXPECT_TRUE(run.written == run.expected) << run.name;  // megabytes: no dump
    }
}

// The fast paths that take runs of units straight from the line must leave every result
// exactly as reading one character at a time does: compare both on random sources made
// of the characters that matter to the scans.
TEST(VQJavaLexer, FastPathsChangeNothing) {
    static const char* const pieces[] = {
        "a",
        "b",
        "Z",
        "_",
        "$",
        "\xE9",
        "0",
        "1",
        "9",
        "x",
        "e",
        "E",
        "f",
        "L",
        ".",
        "'",
        "\"",
        "\\",
        "u",
        "\\u0041",
        "\\u005c",
        "\\uu002a",
        "\\u000a",
        "\\u00",
        "/",
        "*",
        "/*",
        "*/",
        "//",
        "\n",
        "\r",
        "\r\n",
        " ",
        "    ",
        "\t",
        "\f",
        "#",
        "+",
        "=",
        ">",
        "<",
        "!",
        "\x1A",
        "\x0B",
        "int",
        "true",
        // Runs long enough for the eight-unit scans, and units whose low byte is a letter,
        // digit, '$' or blank of ASCII (U+0161, U+0930, U+0124, U+2020, U+FF41).
        "abcdefghijklmnop",
        "0123456789abcdef",
        "                ",
        "\xC5\xA1",
        "\xE0\xA4\xB0",
        "\xC4\xA4",
        "\xE2\x80\xA0",
        "\xEF\xBD\x81",
    };
    std::mt19937 random(20240607);
    for (int round = 0; round < 1500; ++round) {
        std::string source;
        size_t length = random() % 60;
        for (size_t i = 0; i < length; ++i) source += pieces[random() % std::size(pieces)];
        if (round % 7 == 0) {  // sometimes 16-bit
            std::string wide = "\xFF\xFE";
            for (char c : source) wide += {c, '\0'};
            source = wide;
        }
        lexer_detail::gTakeRuns = false;
        Lexed plain = lex(source);
        lexer_detail::gTakeRuns = true;
        Lexed fast = lex(source);
        ASSERT_EQ(fast.tokens, plain.tokens) << source;
        ASSERT_EQ(fast.positions, plain.positions) << source;
        ASSERT_EQ(fast.characterValues, plain.characterValues) << source;
        ASSERT_EQ(fast.err, plain.err) << source;
        ASSERT_TRUE(fast.ended) << source;
    }
}

// A block comment's lines are passed over in the bytes where nothing on them can end it;
// the lines that may (a backslash, */, a CR, a byte above 127) are read. Long comments
// cross the stream's 64 KiB blocks, and every stop comes at each place in a 16-byte step.
// A file's blocks are read into the stream and memory is read in place: the same source
// from a file must lex the same.
TEST(VQJavaLexer, LongCommentsLexAsReadOneCharacterAtATime) {
    const testing::ScratchDirectory scratch;  // gone however the test ends
    const std::string path = scratch / "LongComments.java";
    const char* stops[] = {"*/",   "**/",      "\\u002a/", "*\\u002f", "\\\\", "\r",
                           "\r\n", "\xC3\xA9", "\xFF",     "*",        "/",    "* /"};
    std::mt19937 random(20261210);
    for (int round = 0; round < 40; ++round) {
        std::string source = "a /*";
        const size_t lines = round < 4 ? 3000 : random() % 200;
        for (size_t i = 0; i < lines; ++i) {
            source += std::string(random() % 20, ' ') + " * line";
            if (random() % 8 == 0) source += stops[random() % std::size(stops)];
            source += "\n";
        }
        source += round % 5 == 0 ? "" : " */ b\n";
        for (int level : {VQJavaLevelClassic, VQJavaLevelLatestRelease}) {
            auto lexAll = [&](bool fromFile = false) {
                std::vector<Positioned> positions;
                std::string written;
                VQJavaLexer* lexer =
                    fromFile ? VQOpenJavaSourceFileAtLevel(path.c_str(), level)
                             : VQOpenJavaSourceBytes(source.data(), source.size(), "F", level);
                EXPECT_NE(lexer, nullptr);
                if (lexer == nullptr) return std::make_pair(positions, written);
                VQSetJavaLexerDiagnosticWriter(
                    lexer,
                    [](void* context, const char* bytes, size_t length) {
                        static_cast<std::string*>(context)->append(bytes, length);
                    },
                    &written);
                for (int kind; (kind = VQNextTokenFromJavaLexer(lexer)) != VQJavaTokenEndOfInput;)
                    positions.push_back({kind, lexer->stream->lineNumber, lexer->column});
                positions.push_back({0, lexer->stream->lineNumber, lexer->column});
                VQCloseJavaSourceFile(lexer);
                return std::make_pair(positions, written);
            };
            lexer_detail::gTakeRuns = false;
            const auto plain = lexAll();
            lexer_detail::gTakeRuns = true;
            const auto fast = lexAll();
            ASSERT_EQ(fast.first, plain.first) << round << " at level " << level;
            ASSERT_EQ(fast.second, plain.second) << round << " at level " << level;
            if (round % 4 == 0) {
                std::ofstream(path, std::ios::binary) << source;
                auto file = lexAll(true);
                ASSERT_EQ(file.first, fast.first) << round << " from a file at " << level;
                // The file's reports name it where the memory's name "F".
                for (size_t at; (at = file.second.find(path + ":")) != std::string::npos;)
                    file.second.replace(at, path.size(), "F");
                ASSERT_EQ(file.second, fast.second) << round << " from a file at " << level;
            }
        }
    }
}

}  // namespace
}  // namespace ornith
