// The classic level: the lexical grammar as Java first had it.

#include "ornith/lexer/VQJavaCharacterTableInternal.h"
#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith::java_lexer {

namespace {

using lexer_detail::getCharacter;
using lexer_detail::nextCharacterStart;
using lexer_detail::takeRun;
using lexer_detail::takeRunUntil;

// Reads past digits 0 to 9 and answers the first other character.
int readPastDigits(VQJavaLexer* lexer) {
    int c;
    do c = readAfterRun(lexer, lexer_detail::kRunDigit);
    while (isDecimalDigit(c));
    return c;
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
    return kindOfWord(kClassicKeywordIndex, lexer->text, lexer->textLength, VQJavaLevelClassic);
}

// ---------------------------------------------------------------------------------------

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
        case '|':
        case '+':
        case '-':
        case '!':
        case '=':
        case '*':
        case '/':
        case '%':
        case '^':
        case '<':
        case '>':
            return scanOperatorToken(lexer, c);
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

}  // namespace ornith::java_lexer
