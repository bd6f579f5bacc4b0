// The release levels. The rules are those of javac's scanner for the release: where it and
// the letter of the language specification part, the scanner is followed.

#include <array>
#include <iterator>

#include "ornith/lexer/VQJavaIdentifierRangesInternal.h"
#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith::java_lexer {

namespace {

using lexer_detail::getCharacter;
using lexer_detail::nextCharacterStart;
using lexer_detail::takeRun;
using lexer_detail::takeRunUntil;

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

inline int hexDigitValue(char16_t u) {
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

// The low surrogate that a Unicode escape at the stream's position stands for, or -1 when
// no such escape is there. Read from the line, not from the stream, so that nothing needs
// putting back when it is no low half. Only asked right after a high half (a raw unit or
// the last digit of an escape): no raw backslash comes just before this one, so it begins
// an escape whenever a u follows.
int escapedLowSurrogate(const VQUnicodeStream* s) {
    const char16_t* line = s->line;
    const uint32_t length = s->lineLength;
    uint32_t at = s->position;
    if (length - at < 2 || line[at] != '\\' || line[at + 1] != 'u') return -1;
    at += 2;
    while (at < length && line[at] == 'u') ++at;
    if (length - at < 4) return -1;
    int value = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        const int digit = hexDigitValue(line[at + i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return isLowSurrogate(value) ? value : -1;
}

// After a high surrogate: the code point it makes with a low surrogate that follows it
// directly in the line, raw or as a Unicode escape, which is then read too if `consume`;
// the surrogate itself otherwise. javac pairs the halves however each is spelled.
uint32_t readCodePoint(VQJavaLexer* lexer, int high, bool consume) {
    const VQUnicodeStream* s = lexer->stream;
    if (!isHighSurrogate(high) || s->pushedBack || s->position >= s->lineLength)
        return static_cast<uint32_t>(high);
    int low = s->line[s->position];
    if (!isLowSurrogate(low)) {
        low = escapedLowSurrogate(s);
        if (low < 0) return static_cast<uint32_t>(high);
    }
    if (consume) read(lexer);
    return 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) +
           (static_cast<uint32_t>(low) - 0xDC00);
}

// The ASCII controls that javac's scanner drops from inside an identifier.
constexpr bool isAsciiIgnorable(int c) {
    return (c >= 0 && c <= 8) || (c >= 0x0E && c <= 0x1B) || c == 0x7F;
}

// The release levels' words of two or more letters in a table hashed on the length and the
// first, second and last units, without collisions: most identifiers are told from every
// keyword by one look at a small table, and a keyword is found with one comparison. (The
// index that the classic level searches takes a loop over a group and its pointers to the
// spellings, for a fiftieth of the release scanner's instructions.)
struct ReleaseWord {
    char16_t spelling[kLongestKeyword];
    uint8_t length;
    int16_t kind;
    int8_t firstLevel;
};

constexpr uint32_t releaseWordHash(const char16_t* text, uint32_t length) {
    return (length + text[0] * 10u + text[1] * 4u + text[length - 1]) & 255u;
}

struct ReleaseWordTable {
    uint8_t slot[256]{};  // 1 + the word's index, 0 for none
    ReleaseWord words[kKeywordCount]{};
    bool collides = false;
};

constexpr ReleaseWordTable makeReleaseWordTable() {
    ReleaseWordTable table;
    size_t next = 0;
    for (const KeywordRow& row : kKeywords) {
        const size_t length = spellingLength(row.spelling);
        if (length < 2 || row.releaseKind == VQJavaTokenIdentifier) continue;
        ReleaseWord& word = table.words[next];
        for (size_t i = 0; i < length; ++i)
            word.spelling[i] = static_cast<char16_t>(row.spelling[i]);
        word.length = static_cast<uint8_t>(length);
        word.kind = static_cast<int16_t>(row.releaseKind);
        word.firstLevel = static_cast<int8_t>(row.firstRelease);
        uint8_t& slot = table.slot[releaseWordHash(word.spelling, static_cast<uint32_t>(length))];
        if (slot != 0) table.collides = true;
        slot = static_cast<uint8_t>(++next);
    }
    return table;
}

inline constexpr ReleaseWordTable kReleaseWords = makeReleaseWordTable();
static_assert(!kReleaseWords.collides, "two release keywords share a hash slot");
static_assert(kKeywordCount < 255);

inline int releaseKindOfWord(const VQJavaLexer* lexer, const char16_t* text, uint32_t length) {
    if (length == 1 && text[0] == '_') return kindAtLevel(kUnderscoreRow, lexer->_level);
    if (length < 2 || length > kLongestKeyword || text[0] < 'a' || text[0] > 'z')
        return VQJavaTokenIdentifier;
    const uint8_t slot = kReleaseWords.slot[releaseWordHash(text, length)];
    if (slot == 0) return VQJavaTokenIdentifier;
    const ReleaseWord& word = kReleaseWords.words[slot - 1];
    if (word.length != length) return VQJavaTokenIdentifier;
    for (uint32_t i = 0; i < length; ++i)
        if (text[i] != word.spelling[i]) return VQJavaTokenIdentifier;
    return lexer->_level >= word.firstLevel ? int{word.kind} : int{VQJavaTokenIdentifier};
}

// The ASCII units before which a word ends for certain: neither part of it nor ignorable
// in it, and no backslash, which may begin an escape of either.
constexpr std::array<bool, 128> makeWordEnds() {
    std::array<bool, 128> ends{};
    for (size_t c = 0; c < 128; ++c)
        ends[c] = !(lexer_detail::kRunClasses[c] & lexer_detail::kRunWordPart) &&
                  !isAsciiIgnorable(static_cast<int>(c)) && c != '\\';
    return ends;
}
inline constexpr std::array<bool, 128> kWordEnds = makeWordEnds();

// The kind of the word in the token's text, which holds all of it.
int endReleaseIdentifier(const VQJavaLexer* lexer, bool nonAscii, bool ignorable) {
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

// After the identifier's first character.
int scanReleaseIdentifier(VQJavaLexer* lexer, bool nonAscii) {
    VQUnicodeStream* s = lexer->stream;
    bool ignorable = false;
    for (;;) {
        // Not one call: an argument list may read `units` before takeRun has set it.
        const char16_t* units;
        const uint32_t count = takeRun(s, &units, lexer_detail::kRunWordPart);
        appendRun(lexer, units, count);
        // Most words end at an ASCII character that is no part of them and no backslash:
        // seen in the line, it is left to be read as the next token's, rather than read
        // and put back.
        if (!s->pushedBack && s->position < s->lineLength) {
            const char16_t u = s->line[s->position];
            if (u < 0x80 && kWordEnds[u]) return endReleaseIdentifier(lexer, nonAscii, ignorable);
        }
        int c = read(lexer);
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
    return endReleaseIdentifier(lexer, nonAscii, ignorable);
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
    if (c != '\r' && c != '\n') {
        putBack(lexer);
        reportError("Invalid text block opening delimiter.", lexer);
        return VQJavaTokenError;
    }
    // Still on the line of the opening quotes: the line a block that never closes is
    // reported on.
    keepOpeningLine(lexer);
    if (c == '\r' && read(lexer) != '\n') putBack(lexer);
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
            reportErrorOnOpeningLine("Text block not terminated at end of input.", lexer);
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
            return scanOperatorToken(lexer, c);
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

// skipBlockComment with the comment's first line kept for the report of a comment the input
// ends. The line is copied as the comment opens: once per comment costs less than asking
// at every character whether the next read leaves the line. Answers false when the input
// ends first.
bool skipReleaseBlockComment(VQJavaLexer* lexer) {
    keepOpeningLine(lexer);
    return skipBlockComment(lexer->stream);
}

// The next token. Internal to this file, so that it inlines into the one caller below.
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
            if (skipReleaseBlockComment(lexer)) continue;
            reportErrorOnOpeningLine("Comment not terminated at end of input.", lexer);
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

}  // namespace

}  // namespace ornith::java_lexer

namespace ornith {

// Here rather than with the other entry points so that the release scanner (the default,
// and the level most sources are lexed at) inlines into it: a call per token cost the
// release levels a fiftieth of their instructions.
int VQNextTokenFromJavaLexer(VQJavaLexer* lexer) {
    int kind = lexer->_level == VQJavaLevelClassic ? java_lexer::nextClassicToken(lexer)
                                                   : java_lexer::nextReleaseToken(lexer);
    lexer->_kind = kind;
    return kind;
}

}  // namespace ornith
