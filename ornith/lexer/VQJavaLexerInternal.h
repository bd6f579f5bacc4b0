#pragma once
// The pieces of the Java lexer that its source files share: the character source every
// scanner reads through, the keyword table, the operators both levels scan alike, and the
// entry points of the scanners, the error reporter and the literal values. Internal to the
// lexer (not installed): the reading functions are inline because the scanning loops of
// every file run through them.

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

struct Keyword {
    const char* spelling;
    int kind;
};

inline constexpr Keyword kKeywords[] = {
    {"boolean", 329},      {"byte", 330},       {"short", 331},     {"int", 332},
    {"long", 333},         {"char", 334},       {"float", 335},     {"double", 336},
    {"void", 337},         {"package", 338},    {"import", 339},    {"class", 340},
    {"extends", 341},      {"implements", 342}, {"interface", 343}, {"super", 344},
    {"this", 345},         {"public", 346},     {"protected", 348}, {"private", 348},
    {"static", 349},       {"abstract", 350},   {"final", 351},     {"native", 352},
    {"synchronized", 353}, {"transient", 354},  {"volatile", 355},  {"throws", 356},
    {"if", 357},           {"else", 358},       {"switch", 359},    {"case", 360},
    {"default", 361},      {"while", 362},      {"do", 363},        {"for", 364},
    {"break", 365},        {"continue", 366},   {"return", 367},    {"throw", 368},
    {"catch", 369},        {"try", 370},        {"finally", 371},   {"new", 372},
    {"instanceof", 373},   {"true", 325},       {"false", 325},     {"null", 326},
};

// The release levels' words: the classic ones with private on its own kind, and the words
// the classic grammar lacks. _ (from release 9) is one character and is matched apart.
inline constexpr Keyword kReleaseKeywords[] = {
    {"boolean", 329},      {"byte", 330},       {"short", 331},     {"int", 332},
    {"long", 333},         {"char", 334},       {"float", 335},     {"double", 336},
    {"void", 337},         {"package", 338},    {"import", 339},    {"class", 340},
    {"extends", 341},      {"implements", 342}, {"interface", 343}, {"super", 344},
    {"this", 345},         {"public", 346},     {"protected", 348}, {"private", 347},
    {"static", 349},       {"abstract", 350},   {"final", 351},     {"native", 352},
    {"synchronized", 353}, {"transient", 354},  {"volatile", 355},  {"throws", 356},
    {"if", 357},           {"else", 358},       {"switch", 359},    {"case", 360},
    {"default", 361},      {"while", 362},      {"do", 363},        {"for", 364},
    {"break", 365},        {"continue", 366},   {"return", 367},    {"throw", 368},
    {"catch", 369},        {"try", 370},        {"finally", 371},   {"new", 372},
    {"instanceof", 373},   {"true", 325},       {"false", 325},     {"null", 326},
    {"assert", 380},       {"enum", 381},       {"strictfp", 382},  {"const", 383},
    {"goto", 384},
};

constexpr size_t kLongestKeyword = 12;  // synchronized

constexpr size_t spellingLength(const char* s) {
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// The words grouped by length and first letter, so that an identifier is compared only with
// the few words that could equal it.
template <size_t N>
struct KeywordIndex {
    static constexpr size_t kGroups = (kLongestKeyword + 1) * 26;
    size_t start[kGroups + 1]{};
    const Keyword* words[N]{};

    static constexpr size_t group(size_t length, char16_t first) {
        return length * 26 + static_cast<size_t>(first - 'a');
    }
};

template <size_t N>
constexpr KeywordIndex<N> makeKeywordIndex(const Keyword (&keywords)[N]) {
    KeywordIndex<N> index;
    size_t next = 0;
    for (size_t length = 0; length <= kLongestKeyword; ++length) {
        for (char16_t first = 'a'; first <= 'z'; ++first) {
            index.start[KeywordIndex<N>::group(length, first)] = next;
            for (const Keyword& k : keywords)
                if (spellingLength(k.spelling) == length && k.spelling[0] == first)
                    index.words[next++] = &k;
        }
    }
    index.start[KeywordIndex<N>::kGroups] = next;
    return index;
}

inline constexpr auto kKeywordIndex = makeKeywordIndex(kKeywords);
inline constexpr auto kReleaseKeywordIndex = makeKeywordIndex(kReleaseKeywords);

template <size_t N>
inline int kindOfWord(const KeywordIndex<N>& index, const char16_t* text, uint32_t length) {
    if (length < 2 || length > kLongestKeyword || text[0] < 'a' || text[0] > 'z')
        return VQJavaTokenIdentifier;
    size_t group = KeywordIndex<N>::group(length, text[0]);
    for (size_t i = index.start[group]; i < index.start[group + 1]; ++i) {
        const char* spelling = index.words[i]->spelling;
        uint32_t j = 1;
        while (j < length && text[j] == static_cast<unsigned char>(spelling[j])) ++j;
        if (j == length) return index.words[i]->kind;
    }
    return VQJavaTokenIdentifier;
}

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

// Appends units that a fast path took from the stream in one go.
inline void appendRun(VQJavaLexer* lexer, const char16_t* units, uint32_t count) {
    if (count == 0) return;
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

// The release scanner: the next token.
int nextReleaseToken(VQJavaLexer* lexer);

// Writes a lexical error with the current line and a caret under `column`, and counts it.
void reportError(const char* message, VQJavaLexer* lexer);

// The stream's report of a problem in its line at `column`; `context` is the lexer.
void reportStreamProblem(void* context, const char* message, uint32_t column);

// The value of the current string literal or text block into the lexer's value buffer; null
// (and *length 0) for any other token.
const char16_t* makeStringValue(VQJavaLexer* lexer, uint32_t* length);

}  // namespace ornith::java_lexer
