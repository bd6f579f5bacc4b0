// The character source of the scanners: the growth of a token's text, and comments, whose
// characters go straight from the stream and never reach a token. Reading and putting back
// are inline, in the internal header.

#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith::java_lexer {

using lexer_detail::getCharacter;
using lexer_detail::takeRunUntil;

// Makes room for `count` more units. Answers how many of them fit (fewer only at the size
// limit or when memory ran out).
uint32_t reserveText(VQJavaLexer* lexer, uint32_t count) {
    const uint64_t needed = uint64_t{lexer->textLength} + count;
    if (needed > lexer->textCapacity)
        lexer_detail::growUnits(lexer->text, lexer->textCapacity, needed, kMaxTextUnits, 0);
    uint32_t room = lexer->textCapacity - lexer->textLength;
    return count < room ? count : room;
}

bool skipBlockComment(VQUnicodeStream* s) {
    const char16_t* units;
    for (;;) {
        takeRunUntil(s, &units, '*', '*');
        // Most of a long comment's lines go by without being read.
        if (s->position == s->lineLength) lexer_detail::skipCommentLines(s);
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

}  // namespace ornith::java_lexer
