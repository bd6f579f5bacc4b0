#pragma once
// The pieces of the Java lexer that its source files share: the character source every
// scanner reads through, the keyword table, the operators both levels scan alike, and the
// entry points of the scanners, the error reporter and the literal values. Internal to the
// lexer (not installed): the reading functions are inline because the scanning loops of
// every file run through them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQUnicodeStreamInternal.h"

namespace ornith::java_lexer {

// The unit that stands for end of input in a token's text.
constexpr char16_t kEndOfInputUnit = 0xFFFF;

// Past this a token's text stops growing and further units are dropped: only a string that
// runs over CR-separated lines can get near it.
constexpr uint32_t kMaxTextUnits = uint32_t{1} << 31;

// ---------------------------------------------------------------------------------------
// Keywords

// A word that some level reads as a keyword or a literal, with its kind at each level.
struct KeywordRow {
    const char* spelling;
    int classicKind;   // at the classic level: VQJavaTokenIdentifier where it is no keyword
    int releaseKind;   // at the releases from firstRelease on; an identifier before them
    int firstRelease;  // a release level
};

constexpr int kEveryRelease = VQJavaLevelFirstRelease;

// The one table of keywords. At the classic level private shares protected's kind, and the
// words of later grammars are identifiers.
inline constexpr KeywordRow kKeywords[] = {
    {"boolean", VQJavaTokenBoolean, VQJavaTokenBoolean, kEveryRelease},
    {"byte", VQJavaTokenByte, VQJavaTokenByte, kEveryRelease},
    {"short", VQJavaTokenShort, VQJavaTokenShort, kEveryRelease},
    {"int", VQJavaTokenInt, VQJavaTokenInt, kEveryRelease},
    {"long", VQJavaTokenLong, VQJavaTokenLong, kEveryRelease},
    {"char", VQJavaTokenChar, VQJavaTokenChar, kEveryRelease},
    {"float", VQJavaTokenFloat, VQJavaTokenFloat, kEveryRelease},
    {"double", VQJavaTokenDouble, VQJavaTokenDouble, kEveryRelease},
    {"void", VQJavaTokenVoid, VQJavaTokenVoid, kEveryRelease},
    {"package", VQJavaTokenPackage, VQJavaTokenPackage, kEveryRelease},
    {"import", VQJavaTokenImport, VQJavaTokenImport, kEveryRelease},
    {"class", VQJavaTokenClass, VQJavaTokenClass, kEveryRelease},
    {"extends", VQJavaTokenExtends, VQJavaTokenExtends, kEveryRelease},
    {"implements", VQJavaTokenImplements, VQJavaTokenImplements, kEveryRelease},
    {"interface", VQJavaTokenInterface, VQJavaTokenInterface, kEveryRelease},
    {"super", VQJavaTokenSuper, VQJavaTokenSuper, kEveryRelease},
    {"this", VQJavaTokenThis, VQJavaTokenThis, kEveryRelease},
    {"public", VQJavaTokenPublic, VQJavaTokenPublic, kEveryRelease},
    {"protected", VQJavaTokenProtected, VQJavaTokenProtected, kEveryRelease},
    {"private", VQJavaTokenProtected, VQJavaTokenPrivate, kEveryRelease},
    {"static", VQJavaTokenStatic, VQJavaTokenStatic, kEveryRelease},
    {"abstract", VQJavaTokenAbstract, VQJavaTokenAbstract, kEveryRelease},
    {"final", VQJavaTokenFinal, VQJavaTokenFinal, kEveryRelease},
    {"native", VQJavaTokenNative, VQJavaTokenNative, kEveryRelease},
    {"synchronized", VQJavaTokenSynchronized, VQJavaTokenSynchronized, kEveryRelease},
    {"transient", VQJavaTokenTransient, VQJavaTokenTransient, kEveryRelease},
    {"volatile", VQJavaTokenVolatile, VQJavaTokenVolatile, kEveryRelease},
    {"throws", VQJavaTokenThrows, VQJavaTokenThrows, kEveryRelease},
    {"if", VQJavaTokenIf, VQJavaTokenIf, kEveryRelease},
    {"else", VQJavaTokenElse, VQJavaTokenElse, kEveryRelease},
    {"switch", VQJavaTokenSwitch, VQJavaTokenSwitch, kEveryRelease},
    {"case", VQJavaTokenCase, VQJavaTokenCase, kEveryRelease},
    {"default", VQJavaTokenDefault, VQJavaTokenDefault, kEveryRelease},
    {"while", VQJavaTokenWhile, VQJavaTokenWhile, kEveryRelease},
    {"do", VQJavaTokenDo, VQJavaTokenDo, kEveryRelease},
    {"for", VQJavaTokenFor, VQJavaTokenFor, kEveryRelease},
    {"break", VQJavaTokenBreak, VQJavaTokenBreak, kEveryRelease},
    {"continue", VQJavaTokenContinue, VQJavaTokenContinue, kEveryRelease},
    {"return", VQJavaTokenReturn, VQJavaTokenReturn, kEveryRelease},
    {"throw", VQJavaTokenThrow, VQJavaTokenThrow, kEveryRelease},
    {"catch", VQJavaTokenCatch, VQJavaTokenCatch, kEveryRelease},
    {"try", VQJavaTokenTry, VQJavaTokenTry, kEveryRelease},
    {"finally", VQJavaTokenFinally, VQJavaTokenFinally, kEveryRelease},
    {"new", VQJavaTokenNew, VQJavaTokenNew, kEveryRelease},
    {"instanceof", VQJavaTokenInstanceof, VQJavaTokenInstanceof, kEveryRelease},
    {"true", VQJavaTokenBooleanLiteral, VQJavaTokenBooleanLiteral, kEveryRelease},
    {"false", VQJavaTokenBooleanLiteral, VQJavaTokenBooleanLiteral, kEveryRelease},
    {"null", VQJavaTokenNullLiteral, VQJavaTokenNullLiteral, kEveryRelease},
    {"assert", VQJavaTokenIdentifier, VQJavaTokenAssert, kEveryRelease},
    {"enum", VQJavaTokenIdentifier, VQJavaTokenEnum, kEveryRelease},
    {"strictfp", VQJavaTokenIdentifier, VQJavaTokenStrictfp, kEveryRelease},
    {"const", VQJavaTokenIdentifier, VQJavaTokenConst, kEveryRelease},
    {"goto", VQJavaTokenIdentifier, VQJavaTokenGoto, kEveryRelease},
    {"_", VQJavaTokenIdentifier, VQJavaTokenUnderscore, 9},
};

// The kind of a row's word at `level`.
constexpr int kindAtLevel(const KeywordRow& row, int level) {
    if (level == VQJavaLevelClassic) return row.classicKind;
    return level >= row.firstRelease ? row.releaseKind : VQJavaTokenIdentifier;
}

constexpr size_t spellingLength(const char* s) {
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

constexpr size_t longestKeyword() {
    size_t longest = 0;
    for (const KeywordRow& row : kKeywords)
        longest = std::max(longest, spellingLength(row.spelling));
    return longest;
}

constexpr size_t kLongestKeyword = longestKeyword();  // synchronized

constexpr size_t kKeywordCount = sizeof kKeywords / sizeof kKeywords[0];

// One level's words of two or more letters, grouped by length and first letter, so that an
// identifier is compared only with the few words that could equal it. An entry's kind
// holds from `firstLevel` on.
struct KeywordIndex {
    struct Entry {
        const char* spelling;
        int kind;
        int firstLevel;
    };
    static constexpr size_t kGroups = (kLongestKeyword + 1) * 26;
    size_t start[kGroups + 1]{};
    Entry words[kKeywordCount]{};

    static constexpr size_t group(size_t length, char16_t first) {
        return length * 26 + static_cast<size_t>(first - 'a');
    }
};

// The index of the classic level, or of the release levels.
constexpr KeywordIndex makeKeywordIndex(bool releases) {
    KeywordIndex index;
    size_t next = 0;
    for (size_t length = 0; length <= kLongestKeyword; ++length) {
        for (char16_t first = 'a'; first <= 'z'; ++first) {
            index.start[KeywordIndex::group(length, first)] = next;
            for (const KeywordRow& row : kKeywords) {
                const int kind = releases ? row.releaseKind : row.classicKind;
                if (kind != VQJavaTokenIdentifier && spellingLength(row.spelling) == length &&
                    row.spelling[0] == first)
                    index.words[next++] = {row.spelling, kind,
                                           releases ? row.firstRelease : VQJavaLevelClassic};
            }
        }
    }
    index.start[KeywordIndex::kGroups] = next;
    return index;
}

inline constexpr KeywordIndex kClassicKeywordIndex = makeKeywordIndex(false);
inline constexpr KeywordIndex kReleaseKeywordIndex = makeKeywordIndex(true);

// The kind at `level` of the word `text`: a keyword's or literal's kind, or an identifier's.
// Words of one character are never looked up here.
inline int kindOfWord(const KeywordIndex& index, const char16_t* text, uint32_t length, int level) {
    if (length < 2 || length > kLongestKeyword || text[0] < 'a' || text[0] > 'z')
        return VQJavaTokenIdentifier;
    size_t group = KeywordIndex::group(length, text[0]);
    for (size_t i = index.start[group]; i < index.start[group + 1]; ++i) {
        const KeywordIndex::Entry& word = index.words[i];
        uint32_t j = 1;
        while (j < length && text[j] == static_cast<unsigned char>(word.spelling[j])) ++j;
        if (j == length) return level >= word.firstLevel ? word.kind : VQJavaTokenIdentifier;
    }
    return VQJavaTokenIdentifier;
}

// The index of a spelling's row in the table; kKeywordCount when it has none, which makes
// kKeywords[] of it no constant.
constexpr size_t keywordRowIndex(const char* spelling) {
    for (size_t r = 0; r < kKeywordCount; ++r) {
        const char* s = kKeywords[r].spelling;
        size_t i = 0;
        while (s[i] != '\0' && s[i] == spelling[i]) ++i;
        if (s[i] == spelling[i]) return r;
    }
    return kKeywordCount;
}

// The one word of one character: matched apart from the index, which holds longer words.
inline constexpr const KeywordRow& kUnderscoreRow = kKeywords[keywordRowIndex("_")];

// ---------------------------------------------------------------------------------------
// Reading and putting back: every character read is appended to the token's text, and a
// put-back removes it again, so the text always ends with the token's own last character.

// Makes room for `count` more units. Answers how many of them fit (fewer only at the size
// limit or when memory ran out).
uint32_t reserveText(VQJavaLexer* lexer, uint32_t count);

inline int read(VQJavaLexer* lexer) {
    int c = lexer_detail::getCharacter(lexer->stream);
    if (lexer->textLength < lexer->textCapacity || reserveText(lexer, 1) == 1)
        lexer->text[lexer->textLength++] = c < 0 ? kEndOfInputUnit : static_cast<char16_t>(c);
    return c;
}

// Appends units that a fast path took from the stream in one go. The runs come from the
// stream's line, which has spare room past its end (VQUnicodeStream.cpp's slack of 16
// units): a short run, most words and numbers, is copied as one or two blocks of eight
// units, what lands past its end inside the text's capacity and overwritten later, rather
// than through a call to memcpy.
inline void appendRun(VQJavaLexer* lexer, const char16_t* units, uint32_t count) {
    if (count == 0) return;
#if defined(__SSE2__)
    if (count <= 16 && lexer->textCapacity - lexer->textLength >= 16) {
        char16_t* out = lexer->text + lexer->textLength;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(units)));
        if (count > 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8)));
        lexer->textLength += count;
        return;
    }
#endif
    if (lexer->textCapacity - lexer->textLength < count) count = reserveText(lexer, count);
    std::memcpy(lexer->text + lexer->textLength, units, count * sizeof(char16_t));
    lexer->textLength += count;
}

// Reads a run of ASCII units of class `runClass` and then one more character in the
// ordinary way; answers that character. The same as reading one character at a time while
// they are of that class, only faster where the run needs no escape resolution.
inline int readAfterRun(VQJavaLexer* lexer, unsigned char runClass) {
    const char16_t* units;
    uint32_t count = lexer_detail::takeRun(lexer->stream, &units, runClass);
    appendRun(lexer, units, count);
    return read(lexer);
}

inline void putBack(VQJavaLexer* lexer) {
    if (lexer->textLength > 0) --lexer->textLength;
    lexer_detail::ungetCharacter(lexer->stream);
}

inline bool isDecimalDigit(int c) {
    return c >= '0' && c <= '9';
}
inline bool isOctalDigit(int c) {
    return c >= '0' && c <= '7';
}
inline bool isHexDigit(int c) {
    return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool isFloatSuffix(int c) {
    return c == 'f' || c == 'F' || c == 'd' || c == 'D';
}

// The value of the escapes that every level knows (\b \t \n \f \r \" \' \\) by the
// character after the backslash; -1 for any other.
inline int singleCharacterEscape(int c) {
    switch (c) {
        case 'b':
            return 8;
        case 't':
            return 9;
        case 'n':
            return 10;
        case 'f':
            return 12;
        case 'r':
            return 13;
        case '"':
            return 34;
        case '\'':
            return 39;
        case '\\':
            return 92;
        default:
            return -1;
    }
}

// An operator that may be followed by = (kind `withEquals`) or doubled (kind `doubled`);
// 0 where the pair is no token.
inline int scanOperator(VQJavaLexer* lexer, int c, int withEquals, int doubled) {
    int d = read(lexer);
    if (d == '=' && withEquals != 0) return withEquals;
    if (d == c && doubled != 0) return doubled;
    putBack(lexer);
    return c;
}

inline int scanLess(VQJavaLexer* lexer) {
    int d = read(lexer);
    if (d == '=') return VQJavaTokenLessOrEqual;
    if (d == '<') {
        if (read(lexer) == '=') return VQJavaTokenShiftLeftAssign;
        putBack(lexer);
        return VQJavaTokenShiftLeft;
    }
    putBack(lexer);
    return '<';
}

inline int scanGreater(VQJavaLexer* lexer) {
    int d = read(lexer);
    if (d == '=') return VQJavaTokenGreaterOrEqual;
    if (d != '>') {
        putBack(lexer);
        return '>';
    }
    int e = read(lexer);
    if (e == '=') return VQJavaTokenShiftRightAssign;
    if (e != '>') {
        putBack(lexer);
        return VQJavaTokenShiftRight;
    }
    if (read(lexer) == '=') return VQJavaTokenUnsignedShiftRightAssign;
    putBack(lexer);
    return VQJavaTokenUnsignedShiftRight;
}

// The operators that begin with & | + - ! = * / % ^ < or >, by their first character c;
// 0 for any other character. The release levels take - apart, for ->.
inline int scanOperatorToken(VQJavaLexer* lexer, int c) {
    switch (c) {
        case '&':
            return scanOperator(lexer, c, VQJavaTokenAndAssign, VQJavaTokenLogicalAnd);
        case '|':
            return scanOperator(lexer, c, VQJavaTokenOrAssign, VQJavaTokenLogicalOr);
        case '+':
            return scanOperator(lexer, c, VQJavaTokenPlusAssign, VQJavaTokenIncrement);
        case '-':
            return scanOperator(lexer, c, VQJavaTokenMinusAssign, VQJavaTokenDecrement);
        case '!':
            return scanOperator(lexer, c, VQJavaTokenNotEqual, 0);
        case '=':
            return scanOperator(lexer, c, VQJavaTokenEqual, 0);
        case '*':
            return scanOperator(lexer, c, VQJavaTokenMultiplyAssign, 0);
        case '/':
            return scanOperator(lexer, c, VQJavaTokenDivideAssign, 0);
        case '%':
            return scanOperator(lexer, c, VQJavaTokenRemainderAssign, 0);
        case '^':
            return scanOperator(lexer, c, VQJavaTokenXorAssign, 0);
        case '<':
            return scanLess(lexer);
        case '>':
            return scanGreater(lexer);
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------
// Entry points of the other files

// Comments, read straight from the stream: their characters never reach a token. The block
// comment answers false when the input ends first.
bool skipBlockComment(VQUnicodeStream* s);
void skipLineComment(VQUnicodeStream* s);

// The classic scanner: the next token.
int nextClassicToken(VQJavaLexer* lexer);

// Writes a lexical error with the current line and a caret under `column`, and counts it.
void reportError(const char* message, VQJavaLexer* lexer);

// For a token that may run past its first line (a block comment, a text block): keeps that
// line, the current one, so that an error the end of input finds can be reported on it, as
// javac reports it, rather than on the empty line after the last. reportErrorOnOpeningLine
// reports on the kept line, with the caret under `column`.
void keepOpeningLine(VQJavaLexer* lexer);
void reportErrorOnOpeningLine(const char* message, VQJavaLexer* lexer);

// The stream's report of a problem in its line at `column`; `context` is the lexer.
void reportStreamProblem(void* context, const char* message, uint32_t column);

// The value of the current string literal or text block into the lexer's value buffer; null
// (and *length 0) for any other token.
const char16_t* makeStringValue(VQJavaLexer* lexer, uint32_t* length);

}  // namespace ornith::java_lexer
