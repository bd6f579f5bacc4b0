#pragma once
// Cuts Java source text into tokens.
//
// Open a lexer on a file, ask for tokens until VQJavaTokenEndOfInput, read each token's
// characters from `text`/`textLength` (and a character literal's value from
// `characterValue`), then close it. Lexical errors are written to stderr as
//     FILE:LINE: MESSAGE
//     the source line
//     a caret under the token (or under the bad escape)
// and come back as VQJavaTokenError; the next request carries on after the bad characters.
//
// The grammar is the classic one: no annotations, varargs, lambdas, method references,
// binary or underscored literals, or text blocks; their characters come out as the
// single-character tokens, identifiers and errors that the classic rules make of them.

#include <cstdint>

#include "ornith/lexer/VQUnicodeStream.h"

namespace ornith {

struct VQJavaLexer {
    char* fileName;           // owned copy of the path, used in diagnostics
    VQUnicodeStream* stream;  // owned
    char16_t*
        text;  // owned; the current token's characters, not terminated; null before the first read
    uint32_t textLength;
    uint32_t textCapacity;
    uint32_t column;  // index in the stream's line of the token's first unit
    int32_t
        savedColumn;  // the string's column while one of its escapes is read; -1 until first used
    int32_t characterValue;  // value of the last character literal (kind 324)

    // Internal state beyond the fields above.
    uint32_t _errorCount;  // lexical errors reported so far
    int32_t _echoLine;     // line whose text the last reports echoed
    uint32_t _echoCount;   // reports that echoed that line's text and caret
};

// Reports on one line echo its text and caret this many times; later reports on the same
// line give their message line only, so that a hostile line full of bad characters makes
// output linear in its length rather than quadratic.
inline constexpr uint32_t kVQMaxEchoesPerLine = 16;

// Token kinds. A separator or operator of one character has that character's code as its
// kind ('(' is 40, '+' is 43, ...); keywords have the kinds 329 to 373 (both "protected"
// and "private" are 348; no token has 347).
enum : int {
    VQJavaTokenEndOfInput = -1,
    VQJavaTokenEqual = 300,                     // ==
    VQJavaTokenNotEqual = 301,                  // !=
    VQJavaTokenPlusAssign = 302,                // +=
    VQJavaTokenMinusAssign = 303,               // -=
    VQJavaTokenIncrement = 304,                 // ++
    VQJavaTokenDecrement = 305,                 // --
    VQJavaTokenMultiplyAssign = 306,            // *=
    VQJavaTokenDivideAssign = 307,              // /=
    VQJavaTokenRemainderAssign = 308,           // %=
    VQJavaTokenXorAssign = 309,                 // ^=
    VQJavaTokenAndAssign = 310,                 // &=
    VQJavaTokenOrAssign = 311,                  // |=
    VQJavaTokenLogicalAnd = 312,                // &&
    VQJavaTokenLogicalOr = 313,                 // ||
    VQJavaTokenShiftLeft = 314,                 // <<
    VQJavaTokenShiftRight = 315,                // >>
    VQJavaTokenUnsignedShiftRight = 316,        // >>>
    VQJavaTokenShiftLeftAssign = 317,           // <<=
    VQJavaTokenShiftRightAssign = 318,          // >>=
    VQJavaTokenUnsignedShiftRightAssign = 319,  // >>>=
    VQJavaTokenLessOrEqual = 320,               // <=
    VQJavaTokenGreaterOrEqual = 321,            // >=
    VQJavaTokenIntegerLiteral = 322,
    VQJavaTokenFloatingLiteral = 323,
    VQJavaTokenCharacterLiteral = 324,
    VQJavaTokenBooleanLiteral = 325,
    VQJavaTokenNullLiteral = 326,
    VQJavaTokenStringLiteral = 327,
    VQJavaTokenIdentifier = 328,
    VQJavaTokenFirstKeyword = 329,  // boolean
    VQJavaTokenLastKeyword = 373,   // instanceof
    VQJavaTokenError = 375,
};

// Opens a lexer on a regular file; null (and no message) when it cannot be opened.
VQJavaLexer* VQOpenJavaSourceFile(const char* path);

// The kind of the next token; VQJavaTokenEndOfInput at the end, and again on every later call.
int VQNextTokenFromJavaLexer(VQJavaLexer* lexer);

// Closes the stream and releases the lexer. Null is accepted and ignored.
void VQCloseJavaSourceFile(VQJavaLexer* lexer);

// How many lexical errors this lexer has reported. Not every report ends a token with
// VQJavaTokenError: a bad escape inside a string and 8 or 9 in an octal integer are
// reported while the token keeps its kind.
uint32_t VQJavaLexerErrorCount(const VQJavaLexer* lexer);

// The keyword spelled by a kind from 329 to 373 ("private" for 348), or null.
const char* VQJavaKeywordForKind(int kind);

}  // namespace ornith
