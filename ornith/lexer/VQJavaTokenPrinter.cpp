#include "ornith/lexer/VQJavaTokenPrinter.h"

#include <cctype>
#include <iterator>

namespace ornith {

namespace {

constexpr const char* kOperators[] = {
    "==", "!=", "+=", "-=", "++", "--",  "*=",  "/=",  "%=",   "^=", "&=",
    "|=", "&&", "||", "<<", ">>", ">>>", "<<=", ">>=", ">>>=", "<=", ">=",
};
static_assert(std::size(kOperators) == VQJavaTokenGreaterOrEqual - VQJavaTokenEqual + 1);

void printText(std::FILE* file, const VQJavaLexer* lexer) {
    for (uint32_t i = 0; i < lexer->textLength; ++i) _VQPrintJavaCharacter(file, lexer->text[i]);
    std::fputc(' ', file);
}

}  // namespace

int _VQPrintJavaCharacter(std::FILE* file, int character) {
    const char* escape = nullptr;
    switch (character) {
        case 8:
            escape = "\\b";
            break;
        case 9:
            escape = "\\t";
            break;
        case 10:
            escape = "\\n";
            break;
        case 12:
            escape = "\\f";
            break;
        case 13:
            escape = "\\r";
            break;
        default:
            break;
    }
    if (escape != nullptr) {
        std::fputs(escape, file);
        return 2;
    }
    if (character > 255) {
        std::fprintf(file, "\\u%04x", static_cast<unsigned>(character & 0xFFFF));
        return 6;
    }
    if (character >= 0 && std::isprint(character)) {
        std::fputc(character, file);
        return 1;
    }
    std::fprintf(file, "\\%03o", static_cast<unsigned>(character & 0xFF));
    return 4;
}

void VQPrintJavaLexerTokenToFile(std::FILE* file, const VQJavaLexer* lexer, int kind) {
    if (lexer->_level != VQJavaLevelClassic && kind > VQJavaTokenError) {
        // The tokens that only release levels make.
        const char* spelling = nullptr;
        if (kind == VQJavaTokenArrow) spelling = "->";
        if (kind == VQJavaTokenColonColon) spelling = "::";
        if (kind == VQJavaTokenEllipsis) spelling = "...";
        if (kind == VQJavaTokenTextBlock) {
            printText(file, lexer);
            return;
        }
        if (spelling == nullptr) spelling = VQJavaKeywordForKind(kind);
        if (spelling != nullptr) {
            std::fputs(spelling, file);
            std::fputc(' ', file);
        }
        return;
    }
    if (lexer->_level != VQJavaLevelClassic &&
        (kind == VQJavaTokenProtected || kind == VQJavaTokenPrivate)) {
        // Release levels write every keyword as itself.
        std::fputs(kind == VQJavaTokenProtected ? "protected " : "private ", file);
        return;
    }
    if (kind >= 0 && kind < VQJavaTokenEqual) {
        std::fprintf(file, "%c ", kind);
    } else if (kind <= VQJavaTokenGreaterOrEqual) {
        if (kind >= VQJavaTokenEqual) {
            std::fputs(kOperators[kind - VQJavaTokenEqual], file);
            std::fputc(' ', file);
        }
    } else if (kind <= VQJavaTokenIdentifier || kind == VQJavaTokenError) {
        printText(file, lexer);
    } else if (const char* keyword =
                   kind != VQJavaTokenPrivate ? VQJavaKeywordForKind(kind) : nullptr) {
        std::fputs(keyword, file);
        std::fputc(' ', file);
    }
}

void VQPrintJavaLexerToken(const VQJavaLexer* lexer, int kind) {
    VQPrintJavaLexerTokenToFile(stdout, lexer, kind);
}

}  // namespace ornith
