#pragma once
// Cuts Java source text into tokens.
//
// Open a lexer on a file, ask for tokens until VQJavaTokenEndOfInput, read each token's
// characters from `text`/`textLength` (and a character literal's value from
// `characterValue`), then close it. Lexical errors are written to stderr (or to the lexer's
// writer, see VQSetJavaLexerDiagnosticWriter) as
//     FILE:LINE: MESSAGE
//     the source line
//     a caret under the token (or under the bad escape)
// and come back as VQJavaTokenError; the next request carries on after the bad characters.
//
// Threads: a lexer is used from one thread at a time. Each lexer keeps its own caret line,
// so separate lexers may lex and report errors on separate threads at once; with the
// default writer their reports go to stderr in whole pieces of up to 4096 bytes.
//
// A lexer follows one lexical level, chosen when it is opened:
// - VQJavaLevelClassic, the default of VQOpenJavaSourceFile: the first grammar Java had. No
//   annotations, varargs, lambdas, method references, binary or underscored literals, or
//   text blocks; their characters come out as the single-character tokens, identifiers and
//   errors that the classic rules make of them. Bytes are characters (no UTF-8 decoding).
// - 8 to 25: the lexical grammar of that Java release, token for token as javac's scanner
//   has it: the tokens @ -> :: ..., binary literals, underscores between digits,
//   hexadecimal floating-point literals, text blocks (from 15), the escape \s (from 15),
//   the keywords assert, enum, strictfp, const, goto and _ (from 9), private with a kind
//   of its own, identifiers of the Unicode version of the release's JDK (JDK 17's
//   character classes for levels 8 to 17, JDK 25's for 18 to 25, as each JDK's javac has
//   them; supplementary characters included), and UTF-8 input. Contextual words (var,
//   yield, record, sealed, permits, when, the module words) stay identifiers, and
//   non-sealed is three tokens, as in javac's scanner.
//   Reports stand where javac's do: a comment or text block that the input ends is
//   reported on the line where it opened, and the caret line has a tab wherever the source
//   line has one before the caret (the classic level writes blanks only).

#include <cstddef>
#include <cstdint>

#include "ornith/lexer/VQUnicodeStream.h"

namespace ornith {

// Receives the bytes of a lexer's reports: each report in one call, or in several for a
// report longer than 4096 bytes, in order.
using VQJavaDiagnosticWriter = void (*)(void* context, const char* bytes, size_t length);

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
    int32_t _level;        // VQJavaLevelClassic or a release from 8 to 25
    int32_t _kind;         // kind of the current token
    char16_t* _value;      // owned; a string literal's value, made on request
    uint32_t _valueCapacity;
    uint32_t _valueLength;
    char* _caretBlanks;    // owned; blanks for the caret line, grown as carets move right
    uint32_t _caretCount;  // blanks in _caretBlanks
    VQJavaDiagnosticWriter _diagnosticWrite;  // null for stderr
    void* _diagnosticContext;
    char16_t* _openingLine;  // owned; the first line of a comment or text block that went on
    uint32_t _openingLineLength;
    uint32_t _openingLineCapacity;
    int32_t _openingLineNumber;
};

// Lexical levels.
enum : int {
    VQJavaLevelClassic = 0,
    VQJavaLevelFirstRelease = 8,
    VQJavaLevelLatestRelease = 25,
};

// Reports on one line echo its text and caret this many times; later reports on the same
// line give their message line only, so that a hostile line full of bad characters makes
// output linear in its length rather than quadratic.
inline constexpr uint32_t kVQMaxEchoesPerLine = 16;

// Token kinds. A separator or operator of one character has that character's code as its
// kind ('(' is 40, '+' is 43, '@' is 64, ...); keywords have the kinds 329 to 373 (at the
// classic level both "protected" and "private" are 348 and no token has 347; at release
// levels "private" is 347) and, at release levels only, 380 to 385.
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
    VQJavaTokenFirstKeyword = 329,
    VQJavaTokenBoolean = 329,
    VQJavaTokenByte = 330,
    VQJavaTokenShort = 331,
    VQJavaTokenInt = 332,
    VQJavaTokenLong = 333,
    VQJavaTokenChar = 334,
    VQJavaTokenFloat = 335,
    VQJavaTokenDouble = 336,
    VQJavaTokenVoid = 337,
    VQJavaTokenPackage = 338,
    VQJavaTokenImport = 339,
    VQJavaTokenClass = 340,
    VQJavaTokenExtends = 341,
    VQJavaTokenImplements = 342,
    VQJavaTokenInterface = 343,
    VQJavaTokenSuper = 344,
    VQJavaTokenThis = 345,
    VQJavaTokenPublic = 346,
    VQJavaTokenProtected = 348,  // also private at the classic level
    VQJavaTokenStatic = 349,
    VQJavaTokenAbstract = 350,
    VQJavaTokenFinal = 351,
    VQJavaTokenNative = 352,
    VQJavaTokenSynchronized = 353,
    VQJavaTokenTransient = 354,
    VQJavaTokenVolatile = 355,
    VQJavaTokenThrows = 356,
    VQJavaTokenIf = 357,
    VQJavaTokenElse = 358,
    VQJavaTokenSwitch = 359,
    VQJavaTokenCase = 360,
    VQJavaTokenDefault = 361,
    VQJavaTokenWhile = 362,
    VQJavaTokenDo = 363,
    VQJavaTokenFor = 364,
    VQJavaTokenBreak = 365,
    VQJavaTokenContinue = 366,
    VQJavaTokenReturn = 367,
    VQJavaTokenThrow = 368,
    VQJavaTokenCatch = 369,
    VQJavaTokenTry = 370,
    VQJavaTokenFinally = 371,
    VQJavaTokenNew = 372,
    VQJavaTokenInstanceof = 373,
    VQJavaTokenLastKeyword = 373,
    VQJavaTokenError = 375,
    // Release levels only.
    VQJavaTokenPrivate = 347,     // private (the classic level gives it 348, as protected)
    VQJavaTokenArrow = 376,       // ->
    VQJavaTokenColonColon = 377,  // ::
    VQJavaTokenEllipsis = 378,    // ...
    VQJavaTokenTextBlock = 379,   // """ ... """ (from release 15)
    VQJavaTokenAssert = 380,
    VQJavaTokenEnum = 381,
    VQJavaTokenStrictfp = 382,
    VQJavaTokenConst = 383,
    VQJavaTokenGoto = 384,
    VQJavaTokenUnderscore = 385,  // _ (from release 9)
};

// Opens a lexer on a regular file at the classic level; null (and no message) when it cannot
// be opened.
VQJavaLexer* VQOpenJavaSourceFile(const char* path);

// The same at a chosen level: VQJavaLevelClassic or a release from 8 to 25. Null also for
// any other level.
VQJavaLexer* VQOpenJavaSourceFileAtLevel(const char* path, int level);

// A lexer over `length` bytes in memory, read as a file holding them would be; `name`
// stands for the file in diagnostics. The bytes are not copied and must outlive the lexer.
// Null for a level out of range, or when memory runs out.
VQJavaLexer* VQOpenJavaSourceBytes(const void* bytes, size_t length, const char* name, int level);

// The level the lexer was opened at.
int VQJavaLexerLevel(const VQJavaLexer* lexer);

// The kind of the next token; VQJavaTokenEndOfInput at the end, and again on every later call.
int VQNextTokenFromJavaLexer(VQJavaLexer* lexer);

// Closes the stream and releases the lexer. Null is accepted and ignored.
void VQCloseJavaSourceFile(VQJavaLexer* lexer);

// Sends the lexer's later reports to `write` with `context` instead of stderr; a null
// `write` sends them to stderr again. The bytes are the same either way.
void VQSetJavaLexerDiagnosticWriter(VQJavaLexer* lexer, VQJavaDiagnosticWriter write,
                                    void* context);

// How many lexical errors this lexer has reported. Not every report ends a token with
// VQJavaTokenError: a bad escape inside a string and 8 or 9 in an octal integer are
// reported while the token keeps its kind.
uint32_t VQJavaLexerErrorCount(const VQJavaLexer* lexer);

// The value of the current token when it is a string literal or a text block: escapes
// processed and, in a text block, line ends made LF and incidental white space stripped as
// the release says. Points into the lexer until the next request; *length gets its units.
// Null (and *length 0) for any other token.
const char16_t* VQJavaLexerStringValue(VQJavaLexer* lexer, uint32_t* length);

// The keyword spelled by a keyword kind ("private" for 348 and 347), or null.
const char* VQJavaKeywordForKind(int kind);

// 1 when `kind` is a keyword's kind at some level (329 to 373, 347, 380 to 385), else 0.
// true, false and null are literals, not keywords.
int VQIsJavaKeywordKind(int kind);

}  // namespace ornith
