#include "ornith/lexer/VQJavaLexer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include "ornith/lexer/VQJavaCharacterTable.h"
#include "ornith/lexer/VQUnicodeStreamInline.h"

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

constexpr size_t kLongestKeyword = 12;  // synchronized

constexpr size_t spellingLength(const char* s) {
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// The words grouped by length and first letter, so that an identifier is compared only with
// the few words that could equal it.
struct KeywordIndex {
    static constexpr size_t kGroups = (kLongestKeyword + 1) * 26;
    size_t start[kGroups + 1]{};
    const Keyword* words[std::size(kKeywords)]{};

    static constexpr size_t group(size_t length, char16_t first) {
        return length * 26 + (first - 'a');
    }
};

constexpr KeywordIndex makeKeywordIndex() {
    KeywordIndex index;
    size_t next = 0;
    for (size_t length = 0; length <= kLongestKeyword; ++length) {
        for (char16_t first = 'a'; first <= 'z'; ++first) {
            index.start[KeywordIndex::group(length, first)] = next;
            for (const Keyword& k : kKeywords)
                if (spellingLength(k.spelling) == length && k.spelling[0] == first)
                    index.words[next++] = &k;
        }
    }
    index.start[KeywordIndex::kGroups] = next;
    return index;
}

constexpr KeywordIndex kKeywordIndex = makeKeywordIndex();

int kindOfWord(const char16_t* text, uint32_t length) {
    if (length < 2 || length > kLongestKeyword || text[0] < 'a' || text[0] > 'z')
        return VQJavaTokenIdentifier;
    size_t group = KeywordIndex::group(length, text[0]);
    for (size_t i = kKeywordIndex.start[group]; i < kKeywordIndex.start[group + 1]; ++i) {
        const char* spelling = kKeywordIndex.words[i]->spelling;
        uint32_t j = 1;
        while (j < length && text[j] == static_cast<unsigned char>(spelling[j])) ++j;
        if (j == length) return kKeywordIndex.words[i]->kind;
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

    // The raw line without its last unit, one byte per unit, then a newline.
    for (uint32_t i = 0; i + 1 < s->lineLength; ++i) out.put(static_cast<char>(s->line[i] & 0xFF));
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

void skipBlockComment(VQUnicodeStream* s) {
    const char16_t* units;
    for (;;) {
        takeRunUntil(s, &units, '*', '*');
        int c = getCharacter(s);
        if (c == '*') {
            // A run of stars may end in the slash: **/ closes the comment.
            do c = getCharacter(s);
            while (c == '*');
            if (c == '/') return;
        }
        if (c < 0) return;
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

// After a backslash: the escape's value, or -1 when it is invalid (then the character that
// made it invalid is put back, to be read again as part of the literal).
int scanEscape(VQJavaLexer* lexer) {
    int c = read(lexer);
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
            break;
    }
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
    return kindOfWord(lexer->text, lexer->textLength);
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

}  // namespace

VQJavaLexer* VQOpenJavaSourceFile(const char* path) {
    VQUnicodeStream* stream = VQOpenUnicodeFile(path);
    if (stream == nullptr) return nullptr;
    auto* lexer = new (std::nothrow) VQJavaLexer{};
    char* fileName = ::strdup(path);
    if (lexer == nullptr || fileName == nullptr) {
        delete lexer;
        std::free(fileName);
        VQCloseUnicodeStream(stream);
        return nullptr;
    }
    lexer->fileName = fileName;
    lexer->stream = stream;
    lexer->savedColumn = -1;
    return lexer;
}

int VQNextTokenFromJavaLexer(VQJavaLexer* lexer) {
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

void VQCloseJavaSourceFile(VQJavaLexer* lexer) {
    if (lexer == nullptr) return;
    VQCloseUnicodeStream(lexer->stream);
    std::free(lexer->text);
    std::free(lexer->fileName);
    delete lexer;
}

uint32_t VQJavaLexerErrorCount(const VQJavaLexer* lexer) {
    return lexer->_errorCount;
}

const char* VQJavaKeywordForKind(int kind) {
    if (kind == 348) return "private";
    for (const Keyword& k : kKeywords)
        if (k.kind == kind && kind >= VQJavaTokenFirstKeyword && kind <= VQJavaTokenLastKeyword)
            return k.spelling;
    return nullptr;
}

}  // namespace ornith
