// The error reporter: a lexical error as the file, line and message, the source line, and a
// caret under the column where the error lies.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ornith/base/VQText.h"
#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith::java_lexer {

namespace {

// stderr is unbuffered: a report is assembled here and handed on in one piece (several for a
// very long line) instead of one write per part or per byte, to the lexer's writer or, by
// default, to stderr.
class ReportWriter {
public:
    explicit ReportWriter(const VQJavaLexer* lexer)
        : _write(lexer->_diagnosticWrite), _context(lexer->_diagnosticContext) {}
    ~ReportWriter() { flush(); }
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;
    void put(char c) {
        if (_filled == sizeof _buffer) flush();
        _buffer[_filled++] = c;
    }
    void put(const char* text, size_t length) {
        for (size_t i = 0; i < length; ++i) put(text[i]);
    }
    void put(const char* text) { put(text, std::strlen(text)); }
    void flush() {
        if (_filled == 0) return;
        if (_write != nullptr)
            _write(_context, _buffer, _filled);
        else
            std::fwrite(_buffer, 1, _filled, stderr);
        _filled = 0;
    }

private:
    VQJavaDiagnosticWriter _write;
    void* _context;
    char _buffer[4096];
    size_t _filled = 0;
};

void putUtf8(ReportWriter& out, uint32_t c) {
    char bytes[4];
    out.put(bytes, VQEncodeUTF8(c, bytes));
}

}  // namespace

namespace {

// A report about `column` of `line`, the line numbered `lineNumber`.
void reportAt(const char* message, VQJavaLexer* lexer, int32_t lineNumber, const char16_t* line,
              uint32_t lineLength, uint32_t column) {
    if (lexer->_errorCount < UINT32_MAX) ++lexer->_errorCount;
    ReportWriter out(lexer);

    // "%s:%d: %s\n"
    char number[16];
    int digits = std::snprintf(number, sizeof number, "%d", static_cast<int>(lineNumber));
    out.put(lexer->fileName);
    out.put(':');
    out.put(number, static_cast<size_t>(digits));
    out.put(": ", 2);
    out.put(message);
    out.put('\n');

    if (lexer->_echoLine != lineNumber) {
        lexer->_echoLine = lineNumber;
        lexer->_echoCount = 0;
    }
    if (lexer->_echoCount >= kVQMaxEchoesPerLine) return;
    ++lexer->_echoCount;

    // The raw line without its last unit, then a newline: one byte per unit at the classic
    // level, UTF-8 at release levels (whose input is UTF-8).
    if (lexer->_level == VQJavaLevelClassic) {
        for (uint32_t i = 0; i + 1 < lineLength; ++i) out.put(static_cast<char>(line[i] & 0xFF));
    } else {
        for (uint32_t i = 0; i + 1 < lineLength; ++i) {
            uint32_t c = line[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 2 < lineLength && line[i + 1] >= 0xDC00 &&
                line[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (line[i + 1] - 0xDC00u);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            putUtf8(out, c);
        }
    }
    out.put('\n');

    if (lexer->_level != VQJavaLevelClassic) {
        // As javac draws it: a blank for every unit before the caret, but a tab for a tab, so
        // that the caret stands under its character however wide the terminal's tabs are.
        for (uint32_t i = 0; i < column; ++i)
            out.put(i < lineLength && line[i] == '\t' ? '\t' : ' ');
        out.put("^\n", 2);
        return;
    }
    // "%.*s^\n" with the lexer's caret buffer, grown to `column` blanks first. It is the
    // lexer's own, so that lexers on separate threads never share it.
    if (column > lexer->_caretCount) {
        if (void* grown = std::realloc(lexer->_caretBlanks, size_t{column} + 1)) {
            lexer->_caretBlanks = static_cast<char*>(grown);
            std::memset(lexer->_caretBlanks + lexer->_caretCount, ' ', column - lexer->_caretCount);
            lexer->_caretBlanks[column] = '\0';
            lexer->_caretCount = column;
        }
    }
    // Without memory for the blanks the caret stands further left: like the precision of
    // %.*s, the count never goes past the buffer.
    out.put(lexer->_caretBlanks, column < lexer->_caretCount ? column : lexer->_caretCount);
    out.put("^\n", 2);
}

}  // namespace

void reportError(const char* message, VQJavaLexer* lexer) {
    const VQUnicodeStream* s = lexer->stream;
    reportAt(message, lexer, s->lineNumber, s->line, s->lineLength, lexer->column);
}

void keepOpeningLine(VQJavaLexer* lexer) {
    const VQUnicodeStream* s = lexer->stream;
    if (s->lineLength > lexer->_openingLineCapacity)
        lexer_detail::growUnits(lexer->_openingLine, lexer->_openingLineCapacity, s->lineLength,
                                kMaxTextUnits, 0);
    // Short of memory, the line is echoed cut short; its number and the caret stay right.
    const uint32_t kept = std::min(s->lineLength, lexer->_openingLineCapacity);
    if (kept > 0) std::memcpy(lexer->_openingLine, s->line, kept * sizeof(char16_t));
    lexer->_openingLineLength = kept;
    lexer->_openingLineNumber = s->lineNumber;
}

void reportErrorOnOpeningLine(const char* message, VQJavaLexer* lexer) {
    reportAt(message, lexer, lexer->_openingLineNumber, lexer->_openingLine,
             lexer->_openingLineLength, lexer->column);
}

void reportStreamProblem(void* context, const char* message, uint32_t column) {
    auto* lexer = static_cast<VQJavaLexer*>(context);
    const uint32_t saved = lexer->column;
    lexer->column = column;
    reportError(message, lexer);
    lexer->column = saved;
}

}  // namespace ornith::java_lexer
