#include "ornith/lexer/VQJavaCharacters.h"

#include "ornith/lexer/VQJavaCharacterTableInternal.h"

namespace ornith {

int VQIsJavaLetter(int character) {
    return lexer_detail::isJavaLetter(character) ? 1 : 0;
}

int VQIsJavaLetterOrDigit(int character) {
    return lexer_detail::isJavaLetterOrDigit(character) ? 1 : 0;
}

int VQIsJavaDigit(int character) {
    return VQIsJavaLetterOrDigit(character) && !VQIsJavaLetter(character) ? 1 : 0;
}

}  // namespace ornith
