#pragma once
// The per-character path of VQUnicodeStream, inlined into the lexer's scanning loops.
// Internal: the exported functions in VQUnicodeStream.h are thin wrappers around these.

#include "VQUnicodeStream.h"

namespace ornith::lexer_detail {

// Reads the next line of the file into stream->line (empty at end of input).
void readLine(VQUnicodeStream* stream);

// Called after a backslash at position - 1: resolves a Unicode escape that follows it on the
// same line, or answers the backslash itself.
int resolveEscape(VQUnicodeStream* stream);

inline int getCharacter(VQUnicodeStream* s) {
    if (s->pushedBack) {
        s->pushedBack = 0;
        return s->lastCharacter;
    }
    if (s->position == s->lineLength) {
        readLine(s);
        if (s->lineLength == 0) {
            s->_characterStart = 0;
            s->lastCharacter = -1;
            return -1;
        }
    }
    std::uint32_t start = s->position;
    int c = s->line[start];
    s->position = start + 1;
    s->_characterStart = start;
    if (c == '\\') c = resolveEscape(s);
    s->lastCharacter = c;
    return c;
}

inline void ungetCharacter(VQUnicodeStream* s) { s->pushedBack = 1; }

// The index in the line at which the character that the next read returns begins: a put-back
// character begins where it began before, and a line not yet read begins at 0.
inline std::uint32_t nextCharacterStart(const VQUnicodeStream* s) {
    if (s->pushedBack) return s->_characterStart;
    return s->position < s->lineLength ? s->position : 0;
}

}  // namespace ornith::lexer_detail
