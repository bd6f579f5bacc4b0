#include "ornith/lexer/VQJavaLexer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/lexer/VQJavaCharacterTableInternal.h"
#include "ornith/lexer/VQJavaIdentifierRangesInternal.h"
#include "ornith/lexer/VQUnicodeStreamInternal.h"

namespace ornith {

namespace {

using lexer_detail::getCharacter;
using lexer_detail::nextCharacterStart;
using lexer_detail::takeRun;
using lexer_detail::takeRunUntil;
using lexer_detail::ungetCharacter;

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

constexpr Keyword kKeywords[] = {
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
constexpr Keyword kReleaseKeywords[] = {
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

constexpr auto kKeywordIndex = makeKeywordIndex(kKeywords);
constexpr auto kReleaseKeywordIndex = makeKeywordIndex(kReleaseKeywords);

template <size_t N>
int kindOfWord(const KeywordIndex<N>& index, const char16_t* text, uint32_t length) {
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
// The error reporter and its caret buffer: a run of blanks shared by every lexer of the
// process, grown when a caret must stand further right and never released.

char* gCaretBlanks = nullptr;
uint32_t gCaretCount = 0;

// stderr is unbuffered: a report is assembled here and written in one piece (several for a
// very long line) instead of one write per part or per byte.
class ReportWriter {
public:
    ~ReportWriter() { flush(); }
    void put(char c) {
        if (_filled == sizeof _buffer) flush();
        _buffer[_filled++] = c;
    }
    void put(const char* text, size_t length) {
        for (size_t i = 0; i < length; ++i) put(text[i]);
    }
    void put(const char* text) { put(text, std::strlen(text)); }
    void flush() {
        if (_filled > 0) std::fwrite(_buffer, 1, _filled, stderr);
        _filled = 0;
    }

private:
    char _buffer[4096];
    size_t _filled = 0;
};

void putUtf8(ReportWriter& out, uint32_t c) {
    if (c < 0x80) {
        out.put(static_cast<char>(c));
    } else if (c < 0x800) {
        out.put(static_cast<char>(0xC0 | (c >> 6)));
        out.put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.put(static_cast<char>(0xE0 | (c >> 12)));
        out.put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.put(static_cast<char>(0xF0 | (c >> 18)));
        out.put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void reportError(const char* message, VQJavaLexer* lexer) {
    if (lexer->_errorCount < UINT32_MAX) ++lexer->_errorCount;
    const VQUnicodeStream* s = lexer->stream;
    ReportWriter out;

    // "%s:%d: %s\n"
    char number[16];
    int digits = std::snprintf(number, sizeof number, "%d", static_cast<int>(s->lineNumber));
    out.put(lexer->fileName);
    out.put(':');
    out.put(number, static_cast<size_t>(digits));
    out.put(": ", 2);
    out.put(message);
    out.put('\n');

    if (lexer->_echoLine != s->lineNumber) {
        lexer->_echoLine = s->lineNumber;
        lexer->_echoCount = 0;
    }
    if (lexer->_echoCount >= kVQMaxEchoesPerLine) return;
    ++lexer->_echoCount;

    // The raw line without its last unit, then a newline: one byte per unit at the classic
    // level, UTF-8 at release levels (whose input is UTF-8).
    if (lexer->_level == VQJavaLevelClassic) {
        for (uint32_t i = 0; i + 1 < s->lineLength; ++i)
            out.put(static_cast<char>(s->line[i] & 0xFF));
    } else {
        for (uint32_t i = 0; i + 1 < s->lineLength; ++i) {
            uint32_t c = s->line[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 2 < s->lineLength && s->line[i + 1] >= 0xDC00 &&
                s->line[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (s->line[i + 1] - 0xDC00u);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            putUtf8(out, c);
        }
    }
    out.put('\n');

    // "%.*s^\n" with the caret buffer, grown to `column` blanks first.
    uint32_t column = lexer->column;
    if (column > gCaretCount) {
        if (void* grown = std::realloc(gCaretBlanks, size_t{column} + 1)) {
            gCaretBlanks = static_cast<char*>(grown);
            std::memset(gCaretBlanks + gCaretCount, ' ', column - gCaretCount);
            gCaretBlanks[column] = '\0';
            gCaretCount = column;
        }
    }
    // Without memory for the blanks the caret stands further left: like the precision of
    // %.*s, the count never goes past the buffer.
    out.put(gCaretBlanks, column < gCaretCount ? column : gCaretCount);
    out.put("^\n", 2);
}

// ---------------------------------------------------------------------------------------
// Reading and putting back: every character read is appended to the token's text, and a
// put-back removes it again, so the text always ends with the token's own last character.

// Makes room for `count` more units. Answers how many of them fit (fewer only at the size
// limit or when memory ran out).
uint32_t reserveText(VQJavaLexer* lexer, uint32_t count) {
    const uint64_t needed = uint64_t{lexer->textLength} + count;
    if (needed > lexer->textCapacity)
        lexer_detail::growUnits(lexer->text, lexer->textCapacity, needed, kMaxTextUnits, 0);
    uint32_t room = lexer->textCapacity - lexer->textLength;
    return count < room ? count : room;
}

inline int read(VQJavaLexer* lexer) {
    int c = getCharacter(lexer->stream);
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
    uint32_t count = takeRun(lexer->stream, &units, runClass);
    appendRun(lexer, units, count);
    return read(lexer);
}

inline void putBack(VQJavaLexer* lexer) {
    if (lexer->textLength > 0) --lexer->textLength;
    ungetCharacter(lexer->stream);
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

// Reads past digits 0 to 9 and answers the first other character.
int readPastDigits(VQJavaLexer* lexer) {
    int c;
    do c = readAfterRun(lexer, lexer_detail::kRunDigit);
    while (isDecimalDigit(c));
    return c;
}

// ---------------------------------------------------------------------------------------
// Comments. Their characters never reach a token, so they are read straight from the stream.

// Answers false when the input ends first.
bool skipBlockComment(VQUnicodeStream* s) {
    const char16_t* units;
    for (;;) {
        takeRunUntil(s, &units, '*', '*');
        int c = getCharacter(s);
        if (c == '*') {
            // A run of stars may end in the slash: **/ closes the comment.
            do c = getCharacter(s);
            while (c == '*');
            if (c == '/') return true;
        }
        if (c < 0) return false;
    }
}

void skipLineComment(VQUnicodeStream* s) {
    const char16_t* units;
    int c;
    do {
        takeRunUntil(s, &units, '\n', '\n');
        c = getCharacter(s);
    } while (c != '\n' && c >= 0);
}

// ---------------------------------------------------------------------------------------
// Numbers: the form is checked and the kind chosen; no value is computed.

// Letters, digits and points right after a number belong to no other token: they are
// swallowed into this one, which then is an error.
int finishNumber(VQJavaLexer* lexer, int c, int kind) {
    bool swallowed = false;
    while (c == '.' || lexer_detail::isJavaLetterOrDigit(c)) {
        if (!swallowed) reportError("Invalid character in number.", lexer);
        swallowed = true;
        c = read(lexer);
    }
    putBack(lexer);
    return swallowed ? VQJavaTokenError : kind;
}

int scanFloatSuffix(VQJavaLexer* lexer) {
    int c = read(lexer);
    if (isFloatSuffix(c)) c = read(lexer);
    return finishNumber(lexer, c, VQJavaTokenFloatingLiteral);
}

int scanIntegerSuffix(VQJavaLexer* lexer) {
    int c = read(lexer);
    if (c == 'l' || c == 'L') c = read(lexer);
    return finishNumber(lexer, c, VQJavaTokenIntegerLiteral);
}

int scanExponent(VQJavaLexer* lexer) {
    int c = read(lexer);
    if (c == '+' || c == '-') c = read(lexer);
    uint32_t digits = 0;
    while (isDecimalDigit(c)) {
        ++digits;
        c = read(lexer);
    }
    putBack(lexer);
    int kind = scanFloatSuffix(lexer);
    if (kind == VQJavaTokenFloatingLiteral && digits == 0) {
        reportError("Invalid floating point format.", lexer);
        return VQJavaTokenError;
    }
    return kind;
}

int scanFraction(VQJavaLexer* lexer) {
    int c = readPastDigits(lexer);
    if (c == 'e' || c == 'E') return scanExponent(lexer);
    putBack(lexer);
    return scanFloatSuffix(lexer);
}

int scanDecimal(VQJavaLexer* lexer) {
    int c = readPastDigits(lexer);
    if (c == '.') return scanFraction(lexer);
    if (c == 'e' || c == 'E') return scanExponent(lexer);
    putBack(lexer);
    return isFloatSuffix(c) ? scanFloatSuffix(lexer) : scanIntegerSuffix(lexer);
}

// After a leading 0 that a digit follows. 8 and 9 are wrong only if the literal stays an
// integer: 09.5 and 09f are fine.
int scanOctal(VQJavaLexer* lexer) {
    bool notOctal = false;
    for (;;) {
        int c = read(lexer);
        if (isOctalDigit(c)) continue;
        if (c == '8' || c == '9') {
            notOctal = true;
            continue;
        }
        if (c == '.') return scanFraction(lexer);
        if (c == 'e' || c == 'E') return scanExponent(lexer);
        if (isFloatSuffix(c)) {
            putBack(lexer);
            return scanFloatSuffix(lexer);
        }
        if (notOctal) reportError("Invalid character in octal number.", lexer);
        putBack(lexer);
        return scanIntegerSuffix(lexer);
    }
}

int scanHexadecimal(VQJavaLexer* lexer) {
    int c;
    do c = read(lexer);
    while (isHexDigit(c));
    putBack(lexer);
    return scanIntegerSuffix(lexer);
}

int scanNumber(VQJavaLexer* lexer) {
    int c = read(lexer);
    if (c == '0') {
        int d = read(lexer);
        if (isDecimalDigit(d)) {
            putBack(lexer);
            return scanOctal(lexer);
        }
        if (d == 'x' || d == 'X') return scanHexadecimal(lexer);
        putBack(lexer);
    }
    return scanDecimal(lexer);
}

// ---------------------------------------------------------------------------------------
// Character and string literals

// The value of the escapes that every level knows (\b \t \n \f \r \" \' \\) by the
// character after the backslash; -1 for any other.
int singleCharacterEscape(int c) {
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

// After a backslash: the escape's value, or -1 when it is invalid (then the character that
// made it invalid is put back, to be read again as part of the literal).
int scanEscape(VQJavaLexer* lexer) {
    int c = read(lexer);
    if (const int value = singleCharacterEscape(c); value >= 0) return value;
    if (!isOctalDigit(c)) {
        putBack(lexer);
        return -1;
    }
    int value = c - '0';
    int d = read(lexer);
    if (isOctalDigit(d)) {
        value = value * 8 + (d - '0');
        int e = read(lexer);
        if (isOctalDigit(e))
            value = value * 8 + (e - '0');
        else
            putBack(lexer);
    } else {
        putBack(lexer);
    }
    return value > 255 ? -1 : value;
}

int scanCharacterLiteral(VQJavaLexer* lexer) {
    bool valid = true;
    int c = read(lexer);
    if (c == '\'' || c == '\n' || c < 0) {
        valid = false;
        putBack(lexer);
    } else if (c == '\\') {
        c = scanEscape(lexer);
        if (c < 0) valid = false;
    }
    lexer->characterValue = c;
    int d = read(lexer);
    if (d != '\'') {
        valid = false;
        while (d != '\'' && d != '\n' && d >= 0) d = read(lexer);
    }
    if (valid) return VQJavaTokenCharacterLiteral;
    reportError("Invalid character constant.", lexer);
    return VQJavaTokenError;
}

int scanStringLiteral(VQJavaLexer* lexer) {
    for (;;) {
        const char16_t* units;
        uint32_t count = takeRunUntil(lexer->stream, &units, '"', '\n');
        appendRun(lexer, units, count);
        int c = read(lexer);
        if (c == '"') return VQJavaTokenStringLiteral;
        if (c == '\n' || c < 0) {
            reportError("String not terminated at end of line.", lexer);
            return VQJavaTokenError;
        }
        if (c == '\\') {
            // The caret of a bad escape goes under the character after the backslash.
            lexer->savedColumn = static_cast<int32_t>(lexer->column);
            lexer->column = nextCharacterStart(lexer->stream);
            if (scanEscape(lexer) < 0) reportError("Invalid escape character.", lexer);
            lexer->column = static_cast<uint32_t>(lexer->savedColumn);
        }
    }
}

int scanIdentifier(VQJavaLexer* lexer) {
    int c;
    do c = readAfterRun(lexer, lexer_detail::kRunWordPart);
    while (lexer_detail::isJavaLetterOrDigit(c));
    putBack(lexer);
    return kindOfWord(kKeywordIndex, lexer->text, lexer->textLength);
}

// ---------------------------------------------------------------------------------------

// An operator that may be followed by = (kind `withEquals`) or doubled (kind `doubled`);
// 0 where the pair is no token.
int scanOperator(VQJavaLexer* lexer, int c, int withEquals, int doubled) {
    int d = read(lexer);
    if (d == '=' && withEquals != 0) return withEquals;
    if (d == c && doubled != 0) return doubled;
    putBack(lexer);
    return c;
}

int scanLess(VQJavaLexer* lexer) {
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

int scanGreater(VQJavaLexer* lexer) {
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

int scanToken(VQJavaLexer* lexer, int c) {
    switch (c) {
        case -1:
            return VQJavaTokenEndOfInput;
        case '(':
        case ')':
        case ',':
        case ':':
        case ';':
        case '?':
        case '[':
        case ']':
        case '{':
        case '}':
        case '~':
            return c;
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
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            putBack(lexer);
            return scanNumber(lexer);
        case '.':
            if (isDecimalDigit(read(lexer))) {
                putBack(lexer);
                return scanFraction(lexer);
            }
            putBack(lexer);
            return '.';
        case '\'':
            return scanCharacterLiteral(lexer);
        case '"':
            return scanStringLiteral(lexer);
        default:
            break;
    }
    if (lexer_detail::isJavaLetter(c)) return scanIdentifier(lexer);
    reportError("Invalid character in input.", lexer);
    return VQJavaTokenError;
}

// ---------------------------------------------------------------------------------------
// Release levels. The rules are those of javac's scanner for the release: where it and the
// letter of the language specification part, the scanner is followed.

inline bool isTextBlockLevel(const VQJavaLexer* lexer) {
    return lexer->_level >= 15;
}

// The identifier classes of the JDK whose javac lexes this release: JDK 17's up to 17, JDK
// 25's after. Flags as in the generated table; 0 for code points in no range.
uint32_t identifierFlags(const VQJavaLexer* lexer, uint32_t codePoint) {
    const lexer_detail::IdentifierRange* first = lexer_detail::kIdentifierRangesJdk17;
    const lexer_detail::IdentifierRange* last = std::end(lexer_detail::kIdentifierRangesJdk17);
    if (lexer->_level > 17) {
        first = lexer_detail::kIdentifierRangesJdk25;
        last = std::end(lexer_detail::kIdentifierRangesJdk25);
    }
    // The first range that ends at or after the code point.
    while (first < last) {
        const lexer_detail::IdentifierRange* middle = first + (last - first) / 2;
        if (middle->last < codePoint)
            first = middle + 1;
        else
            last = middle;
    }
    const lexer_detail::IdentifierRange* end = lexer->_level > 17
                                                   ? std::end(lexer_detail::kIdentifierRangesJdk25)
                                                   : std::end(lexer_detail::kIdentifierRangesJdk17);
    return first < end && first->first <= codePoint ? first->flags : 0;
}

enum : uint32_t { kStartsIdentifier = 1, kContinuesIdentifier = 2, kIgnorable = 4 };

inline bool isHighSurrogate(int c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(int c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// After a high surrogate: the code point it makes with a low surrogate that follows it
// directly in the line, which is then read too; the surrogate itself otherwise. A low half
// written as a Unicode escape is not paired (javac pairs it; no source does this).
uint32_t readCodePoint(VQJavaLexer* lexer, int high, bool consume) {
    const VQUnicodeStream* s = lexer->stream;
    if (!isHighSurrogate(high) || s->pushedBack || s->position >= s->lineLength)
        return static_cast<uint32_t>(high);
    const int low = s->line[s->position];
    if (!isLowSurrogate(low)) return static_cast<uint32_t>(high);
    if (consume) read(lexer);
    return 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) +
           (static_cast<uint32_t>(low) - 0xDC00);
}

// The ASCII controls that javac's scanner drops from inside an identifier.
inline bool isAsciiIgnorable(int c) {
    return (c >= 0 && c <= 8) || (c >= 0x0E && c <= 0x1B) || c == 0x7F;
}

int releaseKindOfWord(const VQJavaLexer* lexer, const char16_t* text, uint32_t length) {
    if (length == 1 && text[0] == '_')
        return lexer->_level >= 9 ? VQJavaTokenUnderscore : VQJavaTokenIdentifier;
    return kindOfWord(kReleaseKeywordIndex, text, length);
}

// After the identifier's first character.
int scanReleaseIdentifier(VQJavaLexer* lexer, bool nonAscii) {
    bool ignorable = false;
    for (;;) {
        int c = readAfterRun(lexer, lexer_detail::kRunWordPart);
        if (c < 0) break;
        if (c < 0x80) {
            if (lexer_detail::kRunClasses[static_cast<size_t>(c)] & lexer_detail::kRunWordPart)
                continue;
            if (isAsciiIgnorable(c)) {
                ignorable = true;
                continue;
            }
            break;
        }
        uint32_t codePoint = readCodePoint(lexer, c, false);
        uint32_t flags = identifierFlags(lexer, codePoint);
        if ((flags & (kContinuesIdentifier | kIgnorable)) == 0) break;
        if (codePoint > 0xFFFF) readCodePoint(lexer, c, true);
        if (flags & kIgnorable)
            ignorable = true;
        else
            nonAscii = true;
    }
    putBack(lexer);
    if (nonAscii) return VQJavaTokenIdentifier;
    if (!ignorable) return releaseKindOfWord(lexer, lexer->text, lexer->textLength);
    // A keyword spelled with ignorable characters inside is still that keyword.
    char16_t word[kLongestKeyword + 1];
    uint32_t length = 0;
    for (uint32_t i = 0; i < lexer->textLength; ++i) {
        char16_t u = lexer->text[i];
        if (u < 0x80 && isAsciiIgnorable(u)) continue;
        if (u >= 0x80) continue;  // only ignorable ones are left here
        if (length == kLongestKeyword) return VQJavaTokenIdentifier;
        word[length++] = u;
    }
    return releaseKindOfWord(lexer, word, length);
}

// Numbers, in the order of javac's scanner. Errors are collected and reported once, at the
// end of the literal, which then has the error kind; `keepKind` ones leave the kind.
struct NumberState {
    const char* error = nullptr;
};

inline int peek(VQJavaLexer* lexer) {
    int c = read(lexer);
    putBack(lexer);
    return c;
}

inline bool isDigitIn(int c, int radix) {
    return radix == 16 ? isHexDigit(c) : isDecimalDigit(c);
}

void noteError(NumberState& n, const char* message) {
    if (n.error == nullptr) n.error = message;
}

constexpr const char* kUnderscoreError = "Invalid underscore in number.";
constexpr const char* kFloatError = "Invalid floating point format.";

// Digits and underscores; the next character is one of them. An underscore may not come
// first or last.
void scanReleaseDigits(VQJavaLexer* lexer, int radix, NumberState& n) {
    bool leading = peek(lexer) == '_';
    bool trailing = false;
    for (;;) {
        const char16_t* units;
        uint32_t count = radix == 10 ? takeRun(lexer->stream, &units, lexer_detail::kRunDigit) : 0;
        appendRun(lexer, units, count);
        if (count > 0) trailing = false;
        int c = read(lexer);
        if (isDigitIn(c, radix)) {
            trailing = false;
        } else if (c == '_') {
            trailing = true;
        } else {
            putBack(lexer);
            break;
        }
    }
    if (leading || trailing) noteError(n, kUnderscoreError);
}

void skipIllegalUnderscores(VQJavaLexer* lexer, NumberState& n) {
    if (peek(lexer) != '_') return;
    noteError(n, kUnderscoreError);
    while (read(lexer) == '_') {
    }
    putBack(lexer);
}

// An optional sign, then digits; the exponent letter is read.
void scanReleaseExponentDigits(VQJavaLexer* lexer, NumberState& n) {
    skipIllegalUnderscores(lexer, n);
    int c = peek(lexer);
    if (c == '+' || c == '-') {
        read(lexer);
        skipIllegalUnderscores(lexer, n);
    }
    if (isDecimalDigit(peek(lexer)))
        scanReleaseDigits(lexer, 10, n);
    else
        noteError(n, kFloatError);
}

int finishReleaseFloat(VQJavaLexer* lexer) {
    if (isFloatSuffix(peek(lexer))) read(lexer);
    return VQJavaTokenFloatingLiteral;
}

// After the point of a decimal literal, or before the exponent or suffix of one.
int scanReleaseFraction(VQJavaLexer* lexer, NumberState& n) {
    skipIllegalUnderscores(lexer, n);
    if (isDecimalDigit(peek(lexer))) scanReleaseDigits(lexer, 10, n);
    int c = peek(lexer);
    if (c == 'e' || c == 'E') {
        read(lexer);
        scanReleaseExponentDigits(lexer, n);
    }
    return finishReleaseFloat(lexer);
}

int scanReleaseHexExponent(VQJavaLexer* lexer, NumberState& n) {
    int c = peek(lexer);
    if (c == 'p' || c == 'P') {
        read(lexer);
        scanReleaseExponentDigits(lexer, n);
    } else {
        noteError(n, kFloatError);
    }
    return finishReleaseFloat(lexer);
}

// The digits (radix 2, 8, 10 or 16) after any prefix; octal and binary literals take
// decimal digits here, and the wrong ones are reported once the kind is known.
int scanReleaseRadix(VQJavaLexer* lexer, int radix, NumberState& n) {
    const int digitRadix = radix == 16 ? 16 : 10;
    bool seenDigit = isDigitIn(peek(lexer), digitRadix);
    if (seenDigit) scanReleaseDigits(lexer, digitRadix, n);
    int c = peek(lexer);
    if (radix == 16 && c == '.') {
        read(lexer);
        skipIllegalUnderscores(lexer, n);
        if (isHexDigit(peek(lexer))) {
            seenDigit = true;
            scanReleaseDigits(lexer, 16, n);
        }
        if (!seenDigit) {
            noteError(n, "Invalid hexadecimal number.");
            return VQJavaTokenFloatingLiteral;
        }
        return scanReleaseHexExponent(lexer, n);
    }
    if (radix == 16 && seenDigit && (c == 'p' || c == 'P')) return scanReleaseHexExponent(lexer, n);
    if (radix == 8 || radix == 10) {
        if (c == '.') {
            read(lexer);
            return scanReleaseFraction(lexer, n);
        }
        if (c == 'e' || c == 'E' || isFloatSuffix(c)) return scanReleaseFraction(lexer, n);
    }
    if (!seenDigit && radix == 2) noteError(n, "Invalid binary number.");
    if (!seenDigit && radix == 16) noteError(n, "Invalid hexadecimal number.");
    c = peek(lexer);
    if (c == 'l' || c == 'L') read(lexer);
    return VQJavaTokenIntegerLiteral;
}

// After the first digit.
int scanReleaseNumber(VQJavaLexer* lexer, int first) {
    NumberState n;
    int radix = 10;
    int kind;
    if (first == '0') {
        int c = peek(lexer);
        if (c == 'x' || c == 'X' || c == 'b' || c == 'B') {
            read(lexer);
            radix = c == 'x' || c == 'X' ? 16 : 2;
            skipIllegalUnderscores(lexer, n);
        } else {
            radix = 8;
            if (c == '_') {
                while (read(lexer) == '_') {
                }
                putBack(lexer);
                if (!isDecimalDigit(peek(lexer))) noteError(n, kUnderscoreError);
            }
        }
        kind = scanReleaseRadix(lexer, radix, n);
    } else {
        putBack(lexer);
        kind = scanReleaseRadix(lexer, 10, n);
    }
    if (n.error != nullptr) {
        reportError(n.error, lexer);
        return VQJavaTokenError;
    }
    if (kind == VQJavaTokenIntegerLiteral && (radix == 2 || radix == 8)) {
        // Decimal digits were taken to allow 09.5; an integer may not keep them.
        const int limit = radix == 2 ? '1' : '7';
        for (uint32_t i = 0; i < lexer->textLength; ++i) {
            char16_t u = lexer->text[i];
            if (u > limit && u <= '9') {
                reportError(radix == 2 ? "Invalid character in binary number."
                                       : "Invalid character in octal number.",
                            lexer);
                break;
            }
        }
    }
    return kind;
}

// After a backslash in a literal: the escape's value; -1 when it is invalid (the character
// after the backslash is put back, to be read again as part of the literal); -2 for a
// backslash before a line end, which a text block drops with the line end.
int scanReleaseEscape(VQJavaLexer* lexer, bool inTextBlock) {
    int c = read(lexer);
    if (const int value = singleCharacterEscape(c); value >= 0) return value;
    switch (c) {
        case 's':
            if (isTextBlockLevel(lexer)) return 32;
            break;
        case '\n':
            if (inTextBlock) return -2;
            break;
        case '\r':
            if (inTextBlock) {
                if (read(lexer) != '\n') putBack(lexer);
                return -2;
            }
            break;
        default:
            break;
    }
    if (!isOctalDigit(c)) {
        putBack(lexer);
        return -1;
    }
    // At most three digits, and three only when the first is 0 to 3: the value stays a byte.
    int value = c - '0';
    if (isOctalDigit(peek(lexer))) {
        value = value * 8 + (read(lexer) - '0');
        if (c <= '3' && isOctalDigit(peek(lexer))) value = value * 8 + (read(lexer) - '0');
    }
    return value;
}

// An escape inside a string or text block, with the caret of a bad one under the character
// after the backslash. Answers false for a bad one.
bool scanReleaseLiteralEscape(VQJavaLexer* lexer, bool inTextBlock) {
    const uint32_t column = lexer->column;
    lexer->savedColumn = static_cast<int32_t>(column);
    lexer->column = nextCharacterStart(lexer->stream);
    bool good = scanReleaseEscape(lexer, inTextBlock) != -1;
    if (!good) reportError("Invalid escape character.", lexer);
    lexer->column = column;
    return good;
}

int scanReleaseCharacterLiteral(VQJavaLexer* lexer) {
    bool valid = true;
    int c = read(lexer);
    if (c == '\'' || c == '\n' || c == '\r' || c < 0) {
        valid = false;
        if (c != '\'') putBack(lexer);
    } else if (c == '\\') {
        c = scanReleaseEscape(lexer, false);
        if (c < 0) valid = false;
    }
    lexer->characterValue = c;
    if (valid || c == -1) {
        int d = read(lexer);
        if (d != '\'') {
            valid = false;
            while (d != '\'' && d != '\n' && d != '\r' && d >= 0) d = read(lexer);
            if (d != '\'') putBack(lexer);
        }
    }
    if (valid) return VQJavaTokenCharacterLiteral;
    reportError("Invalid character constant.", lexer);
    return VQJavaTokenError;
}

// Takes the units of a literal up to a quote, a backslash or a CR; never a line's last unit,
// which is read one at a time so that a line end is seen whichever it is.
inline void takeLiteralRun(VQJavaLexer* lexer) {
    VQUnicodeStream* s = lexer->stream;
    if (s->pushedBack || !lexer_detail::gTakeRuns || s->lineLength == 0) return;
    const uint32_t end = s->lineLength - 1;
    if (s->position >= end) return;
    const char16_t* units = s->line + s->position;
    uint32_t count =
        lexer_detail::consumeTo(s, lexer_detail::findUnit(s->line, s->position, end, '"', '\r'));
    appendRun(lexer, units, count);
}

int scanReleaseTextBlock(VQJavaLexer* lexer) {
    int c;
    do c = read(lexer);
    while (c == ' ' || c == '\t' || c == '\f');
    if (c == '\r') {
        if (read(lexer) != '\n') putBack(lexer);
    } else if (c != '\n') {
        putBack(lexer);
        reportError("Invalid text block opening delimiter.", lexer);
        return VQJavaTokenError;
    }
    bool valid = true;
    for (;;) {
        takeLiteralRun(lexer);
        c = read(lexer);
        if (c == '"') {
            if (read(lexer) == '"') {
                if (read(lexer) == '"') return valid ? VQJavaTokenTextBlock : VQJavaTokenError;
            }
            putBack(lexer);
        } else if (c == '\\') {
            if (!scanReleaseLiteralEscape(lexer, true)) valid = false;
        } else if (c < 0) {
            putBack(lexer);
            reportError("Text block not terminated at end of input.", lexer);
            return VQJavaTokenError;
        }
    }
}

int scanReleaseString(VQJavaLexer* lexer) {
    if (isTextBlockLevel(lexer) && peek(lexer) == '"') {
        read(lexer);
        if (read(lexer) == '"') return scanReleaseTextBlock(lexer);
        putBack(lexer);
        return VQJavaTokenStringLiteral;  // ""
    }
    bool valid = true;
    for (;;) {
        takeLiteralRun(lexer);
        int c = read(lexer);
        if (c == '"') return valid ? VQJavaTokenStringLiteral : VQJavaTokenError;
        if (c == '\n' || c == '\r' || c < 0) {
            putBack(lexer);  // the line end (or the end of input) is no part of the token
            reportError("String not terminated at end of line.", lexer);
            return VQJavaTokenError;
        }
        if (c == '\\' && !scanReleaseLiteralEscape(lexer, false)) valid = false;
    }
}

int scanReleaseToken(VQJavaLexer* lexer, int c) {
    switch (c) {
        case -1:
        case 26:  // a control-Z where a token would begin ends the input, as in javac
            return VQJavaTokenEndOfInput;
        case '(':
        case ')':
        case ',':
        case ';':
        case '?':
        case '[':
        case ']':
        case '{':
        case '}':
        case '~':
        case '@':
            return c;
        case ':':
            if (read(lexer) == ':') return VQJavaTokenColonColon;
            putBack(lexer);
            return ':';
        case '-': {
            int d = read(lexer);
            if (d == '=') return VQJavaTokenMinusAssign;
            if (d == '-') return VQJavaTokenDecrement;
            if (d == '>') return VQJavaTokenArrow;
            putBack(lexer);
            return '-';
        }
        case '.': {
            int d = read(lexer);
            if (d == '.') {
                if (read(lexer) == '.') return VQJavaTokenEllipsis;
                putBack(lexer);
                reportError("Invalid character in input.", lexer);
                return VQJavaTokenError;
            }
            putBack(lexer);
            if (isDecimalDigit(d)) {
                NumberState n;
                int kind = scanReleaseFraction(lexer, n);
                if (n.error == nullptr) return kind;
                reportError(n.error, lexer);
                return VQJavaTokenError;
            }
            return '.';
        }
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            return scanReleaseNumber(lexer, c);
        case '\'':
            return scanReleaseCharacterLiteral(lexer);
        case '"':
            return scanReleaseString(lexer);
        case '&':
        case '|':
        case '+':
        case '!':
        case '=':
        case '*':
        case '/':
        case '%':
        case '^':
        case '<':
        case '>':
            return scanToken(lexer, c);
        default:
            break;
    }
    if (c < 0x80) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$')
            return scanReleaseIdentifier(lexer, false);
    } else {
        uint32_t codePoint = readCodePoint(lexer, c, true);
        if (identifierFlags(lexer, codePoint) & kStartsIdentifier)
            return scanReleaseIdentifier(lexer, true);
    }
    reportError("Invalid character in input.", lexer);
    return VQJavaTokenError;
}

int nextReleaseToken(VQJavaLexer* lexer) {
    VQUnicodeStream* s = lexer->stream;
    // A control-Z can end the input before the stream's end; the end stays the end.
    if (lexer->_kind == VQJavaTokenEndOfInput) {
        lexer->textLength = 0;
        return VQJavaTokenEndOfInput;
    }
    int c;
    const char16_t* units;
    for (;;) {
        takeRun(s, &units, lexer_detail::kRunBlank);
        lexer->textLength = 0;
        lexer->column = nextCharacterStart(s);
        c = read(lexer);
        if (c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\r') continue;
        if (c != '/') break;
        int d = read(lexer);
        if (d == '*') {
            if (skipBlockComment(s)) continue;
            reportError("Comment not terminated at end of input.", lexer);
            return VQJavaTokenError;
        }
        if (d != '/') {
            putBack(lexer);
            break;
        }
        // A line comment ends at LF or CR, whichever ends its line.
        do {
            takeRunUntil(s, &units, '\n', '\r');
            c = getCharacter(s);
        } while (c != '\n' && c != '\r' && c >= 0);
    }
    return scanReleaseToken(lexer, c);
}

// ---------------------------------------------------------------------------------------
// Values of string literals and text blocks, made from the token's text.

bool isJavaWhitespace(char16_t u) {
    return u == ' ' || (u >= 0x09 && u <= 0x0D) || (u >= 0x1C && u <= 0x1F) || u == 0x1680 ||
           (u >= 0x2000 && u <= 0x2006) || (u >= 0x2008 && u <= 0x200A) || u == 0x2028 ||
           u == 0x2029 || u == 0x205F || u == 0x3000;
}

// A text block's content with incidental white space removed, as String.stripIndent does:
// the smallest indentation of the non-blank lines (and of the closing line, when the
// content ends on it) comes off every line, and trailing white space off each line.
std::u16string stripIndent(const std::u16string& content) {
    if (content.empty()) return content;
    std::vector<std::u16string_view> lines;
    std::u16string_view rest(content);
    while (!rest.empty()) {
        size_t end = rest.find(u'\n');
        if (end == std::u16string_view::npos) {
            lines.push_back(rest);
            break;
        }
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    const bool endsWithLineEnd = content.back() == u'\n';
    auto leading = [](std::u16string_view line) {
        size_t i = 0;
        while (i < line.size() && isJavaWhitespace(line[i])) ++i;
        return i;
    };
    size_t outdent = 0;
    if (!endsWithLineEnd) {
        outdent = SIZE_MAX;
        for (std::u16string_view line : lines) {
            size_t blanks = leading(line);
            if (blanks != line.size() && blanks < outdent) outdent = blanks;
        }
        std::u16string_view lastLine = lines.back();
        if (leading(lastLine) == lastLine.size() && lastLine.size() < outdent)
            outdent = lastLine.size();
    }
    std::u16string out;
    out.reserve(content.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::u16string_view line = lines[i];
        size_t first = leading(line);
        size_t last = line.size();
        while (last > 0 && isJavaWhitespace(line[last - 1])) --last;
        if (i > 0) out.push_back(u'\n');
        if (first < last) {
            size_t from = first < outdent ? first : outdent;
            out.append(line.substr(from, last - from));
        }
    }
    if (endsWithLineEnd) out.push_back(u'\n');
    return out;
}

// Escapes made into their characters, as String.translateEscapes does; a backslash before
// a line end goes with the line end.
void translateEscapes(std::u16string_view in, std::u16string& out) {
    for (size_t i = 0; i < in.size(); ++i) {
        char16_t c = in[i];
        if (c != u'\\' || i + 1 == in.size()) {
            out.push_back(c);
            continue;
        }
        c = in[++i];
        switch (c) {
            case u'b':
                out.push_back(8);
                break;
            case u't':
                out.push_back(9);
                break;
            case u'n':
                out.push_back(10);
                break;
            case u'f':
                out.push_back(12);
                break;
            case u'r':
                out.push_back(13);
                break;
            case u's':
                out.push_back(32);
                break;
            case u'\n':
                break;
            case u'\r':
                if (i + 1 < in.size() && in[i + 1] == u'\n') ++i;
                break;
            default:
                if (c >= u'0' && c <= u'7') {
                    int value = c - u'0';
                    size_t limit = i + (c <= u'3' ? 2 : 1);
                    while (i + 1 < in.size() && i < limit && in[i + 1] >= u'0' && in[i + 1] <= u'7')
                        value = value * 8 + (in[++i] - u'0');
                    out.push_back(static_cast<char16_t>(value));
                } else {
                    // \" \' \\ and, in a bad literal, anything else stands for itself.
                    out.push_back(c);
                }
                break;
        }
    }
}

}  // namespace

namespace {

void reportStreamProblem(void* context, const char* message, uint32_t column) {
    auto* lexer = static_cast<VQJavaLexer*>(context);
    const uint32_t saved = lexer->column;
    lexer->column = column;
    reportError(message, lexer);
    lexer->column = saved;
}

bool isLevel(int level) {
    return level == VQJavaLevelClassic ||
           (level >= VQJavaLevelFirstRelease && level <= VQJavaLevelLatestRelease);
}

VQJavaLexer* openLexer(VQUnicodeStream* stream, const char* name, int level) {
    if (stream == nullptr) return nullptr;
    auto* lexer = new (std::nothrow) VQJavaLexer{};
    char* fileName = ::strdup(name);
    if (lexer == nullptr || fileName == nullptr) {
        delete lexer;
        std::free(fileName);
        VQCloseUnicodeStream(stream);
        return nullptr;
    }
    lexer->fileName = fileName;
    lexer->stream = stream;
    lexer->savedColumn = -1;
    lexer->_level = level;
    if (level != VQJavaLevelClassic)
        lexer_detail::setReleaseReading(stream, &reportStreamProblem, lexer);
    return lexer;
}

int nextClassicToken(VQJavaLexer* lexer) {
    VQUnicodeStream* s = lexer->stream;
    int c;
    // White space and comments.
    const char16_t* units;
    for (;;) {
        takeRun(s, &units, lexer_detail::kRunBlank);
        lexer->textLength = 0;
        lexer->column = nextCharacterStart(s);
        c = read(lexer);
        if (c == ' ' || c == '\n' || c == '\t' || c == '\f') continue;
        if (c == '\r') {
            // Only CR LF is a line end here; a lone CR is an invalid character.
            if (read(lexer) == '\n') continue;
            putBack(lexer);
        } else if (c == '/') {
            int d = read(lexer);
            if (d == '*') {
                skipBlockComment(s);
                continue;
            }
            if (d == '/') {
                skipLineComment(s);
                continue;
            }
            putBack(lexer);
        } else if (c == 26) {
            // A control-Z ends the input when it is the file's last character.
            if (read(lexer) < 0) return VQJavaTokenEndOfInput;
            putBack(lexer);
        }
        break;
    }
    return scanToken(lexer, c);
}

}  // namespace

VQJavaLexer* VQOpenJavaSourceFile(const char* path) {
    return VQOpenJavaSourceFileAtLevel(path, VQJavaLevelClassic);
}

VQJavaLexer* VQOpenJavaSourceFileAtLevel(const char* path, int level) {
    if (path == nullptr || !isLevel(level)) return nullptr;
    return openLexer(VQOpenUnicodeFile(path), path, level);
}

VQJavaLexer* VQOpenJavaSourceBytes(const void* bytes, size_t length, const char* name, int level) {
    if (!isLevel(level)) return nullptr;
    return openLexer(VQOpenUnicodeBytes(bytes, length), name != nullptr ? name : "", level);
}

int VQJavaLexerLevel(const VQJavaLexer* lexer) {
    return lexer->_level;
}

int VQNextTokenFromJavaLexer(VQJavaLexer* lexer) {
    int kind =
        lexer->_level == VQJavaLevelClassic ? nextClassicToken(lexer) : nextReleaseToken(lexer);
    lexer->_kind = kind;
    return kind;
}

const char16_t* VQJavaLexerStringValue(VQJavaLexer* lexer, uint32_t* length) {
    *length = 0;
    const int kind = lexer->_kind;
    if (kind != VQJavaTokenStringLiteral && kind != VQJavaTokenTextBlock) return nullptr;
    std::u16string_view text(lexer->text, lexer->textLength);
    std::u16string value;
    if (kind == VQJavaTokenStringLiteral) {
        if (text.size() < 2) return nullptr;
        translateEscapes(text.substr(1, text.size() - 2), value);
    } else {
        // Past the opening quotes, blanks and line end; line ends made LF.
        size_t at = 3;
        while (at < text.size() && (text[at] == u' ' || text[at] == u'\t' || text[at] == u'\f'))
            ++at;
        if (at < text.size() && text[at] == u'\r') ++at;
        if (at < text.size() && text[at] == u'\n') ++at;
        std::u16string content;
        const size_t end = text.size() >= at + 3 ? text.size() - 3 : at;
        for (size_t i = at; i < end; ++i) {
            if (text[i] == u'\r') {
                content.push_back(u'\n');
                if (i + 1 < end && text[i + 1] == u'\n') ++i;
            } else {
                content.push_back(text[i]);
            }
        }
        translateEscapes(stripIndent(content), value);
    }
    if (value.size() > lexer->_valueCapacity)
        lexer_detail::growUnits(lexer->_value, lexer->_valueCapacity, value.size(), kMaxTextUnits,
                                0);
    if (value.size() > lexer->_valueCapacity) return nullptr;
    std::copy(value.begin(), value.end(), lexer->_value);
    lexer->_valueLength = static_cast<uint32_t>(value.size());
    *length = lexer->_valueLength;
    return lexer->_value != nullptr ? lexer->_value : u"";
}

void VQCloseJavaSourceFile(VQJavaLexer* lexer) {
    if (lexer == nullptr) return;
    VQCloseUnicodeStream(lexer->stream);
    std::free(lexer->text);
    std::free(lexer->_value);
    std::free(lexer->fileName);
    delete lexer;
}

uint32_t VQJavaLexerErrorCount(const VQJavaLexer* lexer) {
    return lexer->_errorCount;
}

const char* VQJavaKeywordForKind(int kind) {
    if (kind == 348 || kind == VQJavaTokenPrivate) return "private";
    if (!VQIsJavaKeywordKind(kind)) return nullptr;
    if (kind == VQJavaTokenUnderscore) return "_";
    for (const Keyword& k : kReleaseKeywords)
        if (k.kind == kind) return k.spelling;
    return nullptr;
}

int VQIsJavaKeywordKind(int kind) {
    return (kind >= VQJavaTokenFirstKeyword && kind <= VQJavaTokenLastKeyword) ||
                   (kind >= VQJavaTokenAssert && kind <= VQJavaTokenUnderscore)
               ? 1
               : 0;
}

}  // namespace ornith
