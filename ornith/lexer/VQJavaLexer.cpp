#include "ornith/lexer/VQJavaLexer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith {

namespace {

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
        lexer_detail::setReleaseReading(stream, &java_lexer::reportStreamProblem, lexer);
    return lexer;
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

// VQNextTokenFromJavaLexer is defined beside the release scanner, which inlines into it.

const char16_t* VQJavaLexerStringValue(VQJavaLexer* lexer, uint32_t* length) {
    return java_lexer::makeStringValue(lexer, length);
}

void VQCloseJavaSourceFile(VQJavaLexer* lexer) {
    if (lexer == nullptr) return;
    VQCloseUnicodeStream(lexer->stream);
    std::free(lexer->text);
    std::free(lexer->_value);
    std::free(lexer->_caretBlanks);
    std::free(lexer->_openingLine);
    std::free(lexer->fileName);
    delete lexer;
}

void VQSetJavaLexerDiagnosticWriter(VQJavaLexer* lexer, VQJavaDiagnosticWriter write,
                                    void* context) {
    lexer->_diagnosticWrite = write;
    lexer->_diagnosticContext = write != nullptr ? context : nullptr;
}

uint32_t VQJavaLexerErrorCount(const VQJavaLexer* lexer) {
    return lexer->_errorCount;
}

const char* VQJavaKeywordForKind(int kind) {
    // 348 is protected at release levels but stands for both words at the classic one, whose
    // token printer writes it as private.
    if (kind == VQJavaTokenProtected) return "private";
    if (!VQIsJavaKeywordKind(kind)) return nullptr;
    for (const java_lexer::KeywordRow& row : java_lexer::kKeywords)
        if (row.releaseKind == kind) return row.spelling;
    return nullptr;
}

int VQIsJavaKeywordKind(int kind) {
    return (kind >= VQJavaTokenFirstKeyword && kind <= VQJavaTokenLastKeyword) ||
                   (kind >= VQJavaTokenAssert && kind <= VQJavaTokenUnderscore)
               ? 1
               : 0;
}

}  // namespace ornith
