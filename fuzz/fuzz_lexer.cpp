// The Unicode stream and the lexer over arbitrary bytes as a source file. The stream is
// read to its end with put-backs along the way; the lexer yields every token, each printed
// (to a null stream), and both must end in a number of steps bounded by the input. The
// lexer runs at the classic level and the latest release on every input, and at one more
// release chosen by the input, so that every level is run; string values are made too,
// and the release levels' reports go to a writer of the target's.

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "fuzz/FuzzSupport.h"
#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQJavaTokenPrinter.h"
#include "ornith/lexer/VQUnicodeStream.h"

using namespace ornith;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Tokens are printed to stdout and diagnostics to stderr's stdio stream: send both to
    // /dev/null. The descriptor 2 stays as it is, so libFuzzer's own lines (written through
    // the stream it took at start-up) and the sanitizers' reports still show.
    if (!std::freopen("/dev/null", "w", stdout)) fuzz::fail("cannot redirect stdout");
    std::FILE* null = std::fopen("/dev/null", "w");
    if (!null) fuzz::fail("cannot open /dev/null");
    stderr = null;
    return 0;
}

namespace {

void readStream(const char* path, size_t size) {
    VQUnicodeStream* stream = VQOpenUnicodeFile(path);
    ORNITH_FUZZ_CHECK(stream != nullptr);
    // Every character takes at least one unit of the file, and at most one put-back
    // follows each: anything beyond that bound is a loop that does not end.
    const size_t bound = 2 * size + 8;
    size_t steps = 0;
    for (;;) {
        const int c = VQGetUnicodeCharacter(stream);
        ORNITH_FUZZ_CHECK(c >= -1 && c <= 0xFFFF);
        ORNITH_FUZZ_CHECK(stream->position <= stream->lineLength &&
                          stream->lineLength <= stream->lineCapacity);
        ORNITH_FUZZ_CHECK(++steps <= bound);
        if (c == -1) break;
        // Put back every character whose value says so, and check that it comes again.
        if (c % 5 == 0) {
            VQUngetUnicodeCharacter(stream);
            ORNITH_FUZZ_CHECK(VQGetUnicodeCharacter(stream) == c);
        }
    }
    ORNITH_FUZZ_CHECK(VQGetUnicodeCharacter(stream) == -1);  // and stays at the end
    VQCloseUnicodeStream(stream);
}

void lex(const char* path, size_t size) {
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path);
    ORNITH_FUZZ_CHECK(lexer != nullptr);
    ORNITH_FUZZ_CHECK(VQJavaLexerLevel(lexer) == VQJavaLevelClassic);
    const size_t bound = size + 8;  // a token, even an error, consumes at least one unit
    size_t tokens = 0;
    for (;;) {
        const int kind = VQNextTokenFromJavaLexer(lexer);
        ORNITH_FUZZ_CHECK(lexer->textLength <= lexer->textCapacity);
        VQPrintJavaLexerToken(lexer, kind);
        if (kind == VQJavaTokenEndOfInput) break;
        ORNITH_FUZZ_CHECK(++tokens <= bound);
    }
    ORNITH_FUZZ_CHECK(VQNextTokenFromJavaLexer(lexer) == VQJavaTokenEndOfInput);
    VQCloseJavaSourceFile(lexer);
}

// A release level over the bytes in memory. A token consumes at least one unit, and UTF-8
// never makes more units than bytes. The memory is read in place and the file in blocks, yet
// both must give the same tokens: the same file's lexer goes along in step.
void lexBytes(const uint8_t* data, size_t size, int level, const char* path) {
    VQJavaLexer* lexer = VQOpenJavaSourceBytes(data, size, "fuzz.java", level);
    ORNITH_FUZZ_CHECK(lexer != nullptr && VQJavaLexerLevel(lexer) == level);
    VQJavaLexer* twin = VQOpenJavaSourceFileAtLevel(path, level);
    ORNITH_FUZZ_CHECK(twin != nullptr);
    // Reports go to a writer of our own: pieces of 1 to 4096 bytes, and some exactly when
    // the lexer counts errors.
    size_t written = 0;
    VQSetJavaLexerDiagnosticWriter(
        lexer,
        [](void* context, const char* bytes, size_t length) {
            ORNITH_FUZZ_CHECK(bytes != nullptr && length > 0 && length <= 4096);
            *static_cast<size_t*>(context) += length;
        },
        &written);
    const size_t bound = size + 8;
    size_t tokens = 0;
    for (;;) {
        const int kind = VQNextTokenFromJavaLexer(lexer);
        ORNITH_FUZZ_CHECK(lexer->textLength <= lexer->textCapacity);
        ORNITH_FUZZ_CHECK(kind == VQJavaTokenEndOfInput || lexer->textLength > 0);
        VQPrintJavaLexerToken(lexer, kind);
        ORNITH_FUZZ_CHECK(
            VQNextTokenFromJavaLexer(twin) == kind && twin->textLength == lexer->textLength &&
            std::equal(lexer->text, lexer->text + lexer->textLength, twin->text) &&
            twin->stream->lineNumber == lexer->stream->lineNumber && twin->column == lexer->column);
        uint32_t length = 0;
        const char16_t* value = VQJavaLexerStringValue(lexer, &length);
        if (kind == VQJavaTokenStringLiteral || kind == VQJavaTokenTextBlock) {
            // A value never outgrows the literal's text.
            ORNITH_FUZZ_CHECK(value != nullptr && length <= lexer->textLength);
        } else {
            ORNITH_FUZZ_CHECK(value == nullptr && length == 0);
        }
        if (kind == VQJavaTokenEndOfInput) break;
        ORNITH_FUZZ_CHECK(++tokens <= bound);
    }
    ORNITH_FUZZ_CHECK(VQNextTokenFromJavaLexer(lexer) == VQJavaTokenEndOfInput);
    ORNITH_FUZZ_CHECK((written > 0) == (VQJavaLexerErrorCount(lexer) > 0));
    ORNITH_FUZZ_CHECK(VQJavaLexerErrorCount(twin) == VQJavaLexerErrorCount(lexer));
    VQCloseJavaSourceFile(twin);
    VQCloseJavaSourceFile(lexer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file(".java");
    const std::string& path = file.write(data, size);
    readStream(path.c_str(), size);
    lex(path.c_str(), size);
    lexBytes(data, size, VQJavaLevelLatestRelease, path.c_str());
    const int span = VQJavaLevelLatestRelease - VQJavaLevelFirstRelease;  // 8 to 24
    lexBytes(data, size,
             VQJavaLevelFirstRelease + static_cast<int>(size % static_cast<size_t>(span)),
             path.c_str());
    std::fflush(stdout);
    return 0;
}
