#pragma once
// Lexer tests as pairs of strings: source text in, a dump of its tokens out, such as
//     "id:a op:+= int:1 op:;"
// Keywords are written kw:SPELLING, operators and separators op:TEXT, everything else
// TAG:TEXT with the tag from the one table below, which pins every token kind's number once.
// Characters outside printable ASCII appear as \uXXXX, a backslash as \\ and a blank as \s.
// Tests only; not installed.

#include <cstdio>
#include <string>
#include <string_view>

#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/testing/OutputCapture.h"

namespace ornith::testing {

struct JavaKindTag {
    int kind;
    const char* tag;
};

// The kinds by number. Operators (300 to 321, 376 to 378, one-character kinds) and keywords
// (329 to 373, 347, 380 to 385) are told apart by VQIsJavaKeywordKind and need no tag.
inline constexpr JavaKindTag kJavaKindTags[] = {
    {322, "int"}, {323, "float"}, {324, "char"}, {325, "bool"},  {326, "null"},
    {327, "str"}, {328, "id"},    {375, "err"},  {379, "block"},
};
static_assert(VQJavaTokenIntegerLiteral == 322 && VQJavaTokenFloatingLiteral == 323 &&
              VQJavaTokenCharacterLiteral == 324 && VQJavaTokenBooleanLiteral == 325 &&
              VQJavaTokenNullLiteral == 326 && VQJavaTokenStringLiteral == 327 &&
              VQJavaTokenIdentifier == 328 && VQJavaTokenError == 375 &&
              VQJavaTokenTextBlock == 379);
static_assert(VQJavaTokenEqual == 300 && VQJavaTokenGreaterOrEqual == 321 &&
              VQJavaTokenPrivate == 347 && VQJavaTokenArrow == 376 &&
              VQJavaTokenColonColon == 377 && VQJavaTokenEllipsis == 378 &&
              VQJavaTokenAssert == 380 && VQJavaTokenUnderscore == 385);

inline void appendDumpUnits(std::string& out, const char16_t* units, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        char16_t u = units[i];
        if (u == '\\') {
            out += "\\\\";
        } else if (u == ' ') {
            out += "\\s";
        } else if (u > 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(u));
            out += hex;
        }
    }
}

// The dump of a token of `kind` with `text`, lexed at `level`.
inline std::string dumpJavaToken(int kind, const char16_t* text, uint32_t length, int level) {
    if (VQIsJavaKeywordKind(kind)) {
        // Keywords by their kind's spelling, so that the dump shows the kind: 348 is
        // protected at release levels, and private as well as protected at the classic one.
        if (kind == 348 && level != VQJavaLevelClassic) return "kw:protected";
        return std::string("kw:") + VQJavaKeywordForKind(kind);
    }
    const char* tag = "op";
    for (const JavaKindTag& t : kJavaKindTags)
        if (t.kind == kind) tag = t.tag;
    std::string out = std::string(tag) + ":";
    appendDumpUnits(out, text, length);
    return out;
}

// The dump of the current token.
inline std::string dumpJavaToken(const VQJavaLexer* lexer, int kind) {
    return dumpJavaToken(kind, lexer->text, lexer->textLength, VQJavaLexerLevel(lexer));
}

struct JavaTokenDump {
    std::string tokens;       // the dumps, one blank between
    std::string values;       // string and text-block values, " | " between
    std::string diagnostics;  // what the lexer wrote to stderr, the file named F
    uint32_t errors = 0;
};

// Lexes `source` (bytes as in a file) at `level`.
inline JavaTokenDump dumpJavaTokens(std::string_view source, int level) {
    JavaTokenDump dump;
    StderrCapture capture;
    VQJavaLexer* lexer = VQOpenJavaSourceBytes(source.data(), source.size(), "F", level);
    if (lexer == nullptr) return dump;
    // Every token consumes input; the bound only stops a lexer that would not.
    for (size_t n = 0; n <= source.size() + 1; ++n) {
        int kind = VQNextTokenFromJavaLexer(lexer);
        if (kind == VQJavaTokenEndOfInput) break;
        if (!dump.tokens.empty()) dump.tokens += ' ';
        dump.tokens += dumpJavaToken(lexer, kind);
        uint32_t length = 0;
        if (const char16_t* value = VQJavaLexerStringValue(lexer, &length)) {
            if (!dump.values.empty()) dump.values += " | ";
            appendDumpUnits(dump.values, value, length);
        }
    }
    dump.errors = VQJavaLexerErrorCount(lexer);
    VQCloseJavaSourceFile(lexer);
    dump.diagnostics = capture.text();
    return dump;
}

}  // namespace ornith::testing
