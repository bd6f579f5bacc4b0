#pragma once
// Writes tokens in a readable form, each followed by one blank, so that printing the tokens
// of a file in turn gives them all on one line.

#include <cstdio>

#include "ornith/lexer/VQJavaLexer.h"

namespace ornith {

// Writes the token that `kind` (as just returned by VQNextTokenFromJavaLexer) describes to
// stdout: operators and keywords by their spelling (at the classic level "private" for kind
// 348, also when the source said protected; at release levels every keyword as itself, and
// -> :: ... by their spelling), literals, identifiers, text blocks and error tokens by their
// text with unprintable characters escaped, single-character tokens as that character. End
// of input writes nothing.
void VQPrintJavaLexerToken(const VQJavaLexer* lexer, int kind);

// The same, to any stream.
void VQPrintJavaLexerTokenToFile(std::FILE* file, const VQJavaLexer* lexer, int kind);

// Writes one 16-bit unit: \b \t \n \f \r for those controls, \uXXXX (lowercase hex) above
// 255, the byte itself when the current locale calls it printable, else \ and three octal
// digits. Returns the number of bytes written (1, 2, 4 or 6).
int _VQPrintJavaCharacter(std::FILE* file, int character);

}  // namespace ornith
