// The Unicode stream and the lexer over arbitrary bytes as a source file. The stream is
// read to its end with put-backs along the way; the lexer yields every token, each printed
// (to a null stream), and both must end in a number of steps bounded by the input.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file(".java");
    const std::string& path = file.write(data, size);
    readStream(path.c_str(), size);
    lex(path.c_str(), size);
    std::fflush(stdout);
    return 0;
}
