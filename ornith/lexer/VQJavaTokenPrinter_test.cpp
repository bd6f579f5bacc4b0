#include "ornith/lexer/VQJavaTokenPrinter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ornith/testing/OutputCapture.h"

namespace ornith {
namespace {

using namespace std::string_literals;
using testing::StderrCapture;
using testing::StdoutCapture;
using testing::writeSource;

// Collects what a function writes to a FILE*.
class MemoryFile {
public:
    MemoryFile() : _file(open_memstream(&_data, &_size)) {}
    ~MemoryFile() {
        if (_file != nullptr) std::fclose(_file);
        std::free(_data);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::FILE* file() { return _file; }
    std::string text() {
        std::fflush(_file);
        return std::string(_data, _size);
    }

private:
    char* _data = nullptr;
    size_t _size = 0;
    std::FILE* _file;
};

struct CharacterRow {
    int character;
    std::string written;
};

TEST(VQJavaTokenPrinter, PrintsOneCharacter) {
    const CharacterRow rows[] = {
        {8, "\\b"},          {9, "\\t"},          {10, "\\n"},         {12, "\\f"},    {13, "\\r"},
        {0x4E2D, "\\u4e2d"}, {0x0100, "\\u0100"}, {0xFFFF, "\\uffff"}, {'a', "a"},     {' ', " "},
        {'~', "~"},          {'\\', "\\"},        {11, "\\013"},       {127, "\\177"}, {0, "\\000"},
        {233, "\\351"},      {128, "\\200"},      {255, "\\377"},      {26, "\\032"},
    };
    for (const CharacterRow& row : rows) {
        MemoryFile out;
        int count = _VQPrintJavaCharacter(out.file(), row.character);
        EXPECT_EQ(out.text(), row.written) << row.character;
        EXPECT_EQ(count, static_cast<int>(row.written.size())) << row.character;
    }
}

// Lexes `source` and prints every token to a string.
std::string printed(const std::string& source) {
    std::string path = writeSource(source);
    StderrCapture quiet;
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    EXPECT_NE(lexer, nullptr);
    if (lexer == nullptr) return {};
    MemoryFile out;
    int kind;
    do {
        kind = VQNextTokenFromJavaLexer(lexer);
        VQPrintJavaLexerTokenToFile(out.file(), lexer, kind);
    } while (kind != VQJavaTokenEndOfInput);
    VQCloseJavaSourceFile(lexer);
    return out.text();
}

struct TokenRow {
    std::string source;
    std::string written;
};

TEST(VQJavaTokenPrinter, PrintsTokens) {
    const TokenRow rows[] = {
        {"int x = 'a';", "int x = 'a' ; "},
        {"\"a\tb\"", "\"a\\tb\" "},
        {"\"\\u4e2d\"", "\"\\u4e2d\" "},
        {"protected private", "private private "},
        {"== != += -= ++ -- *= /= %= ^= &= |= && || << >> >>> <<= >>= >>>= <= >=",
         "== != += -= ++ -- *= /= %= ^= &= |= && || << >> >>> <<= >>= >>>= <= >= "},
        {"( ) , : ; ? [ ] { } ~ . < > & | + - ! = * / % ^",
         "( ) , : ; ? [ ] { } ~ . < > & | + - ! = * / % ^ "},
        {"boolean instanceof synchronized goto", "boolean instanceof synchronized goto "},
        {"true null 0x1Fl 1.5e3 'b'", "true null 0x1Fl 1.5e3 'b' "},
        {"a # \\ b", "a # \\ b "},
        {"\v\xE9", "\\013 \\351 "},
        {"\"open", "\"open\\uffff "},
        {"'x\n", "'x\\n "},
        {"", ""},
    };
    for (const TokenRow& row : rows) EXPECT_EQ(printed(row.source), row.written) << row.source;
}

TEST(VQJavaTokenPrinter, KindsWithoutTokensPrintNothing) {
    VQJavaLexer lexer{};
    MemoryFile out;
    for (int kind : {-1, -2, 347, 374, 376, 1000})
        VQPrintJavaLexerTokenToFile(out.file(), &lexer, kind);
    EXPECT_EQ(out.text(), "");
}

TEST(VQJavaTokenPrinter, WritesToStandardOutput) {
    std::string path = writeSource("a+=1;");
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    ASSERT_NE(lexer, nullptr);
    StdoutCapture capture;
    for (int kind; (kind = VQNextTokenFromJavaLexer(lexer)) != VQJavaTokenEndOfInput;)
        VQPrintJavaLexerToken(lexer, kind);
    EXPECT_EQ(capture.text(), "a += 1 ; ");
    VQCloseJavaSourceFile(lexer);
}

}  // namespace
}  // namespace ornith
