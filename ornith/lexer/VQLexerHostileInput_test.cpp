// Source files that fuzzing found harmful, and every prefix of the example sources: the
// lexer must reach the end of input in a number of tokens bounded by the input, with the
// text buffer consistent after every token.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ornith/testing/OutputCapture.h"
#include "ornith/lexer/VQJavaLexer.h"

namespace ornith {
namespace {

using testing::StderrCapture;
using testing::writeSource;

struct Lexed {
    std::vector<int> kinds;  // without the final end of input
    std::vector<std::u16string> texts;
    bool endedTwice = false;
};

Lexed lexFile(const std::string& path, size_t bound) {
    Lexed out;
    VQJavaLexer* lexer = VQOpenJavaSourceFile(path.c_str());
    EXPECT_NE(lexer, nullptr);
    if (!lexer) return out;
    for (;;) {
        const int kind = VQNextTokenFromJavaLexer(lexer);
        EXPECT_LE(lexer->textLength, lexer->textCapacity);
        if (kind == VQJavaTokenEndOfInput) break;
        out.kinds.push_back(kind);
        out.texts.emplace_back(lexer->text, lexer->textLength);
        if (out.kinds.size() > bound) {
            ADD_FAILURE() << "more tokens than the input can hold";
            break;
        }
    }
    out.endedTwice = VQNextTokenFromJavaLexer(lexer) == VQJavaTokenEndOfInput;
    VQCloseJavaSourceFile(lexer);
    return out;
}

// A string whose escape is followed by more string text: the run after the escape was once
// copied from an unset pointer, in builds whose compiler evaluates call arguments left to
// right (clang). fuzz/regressions/lexer/ replays the same input in the fuzzing build.
TEST(VQLexerHostileInput, StringRunAfterAnEscapeIsCopiedFromTheLine) {
    StderrCapture errors;
    const Lexed lexed = lexFile(writeSource(" [\\\"1\\\"$"), 16);
    const std::string diagnostics = errors.text();
    ASSERT_EQ(lexed.kinds, (std::vector<int>{'[', VQJavaTokenError, VQJavaTokenError}));
    EXPECT_EQ(lexed.texts[1], u"\\");
    EXPECT_TRUE(lexed.texts[2].starts_with(u"\"1\\\"$")) << diagnostics;
    EXPECT_TRUE(lexed.endedTwice);
    EXPECT_NE(diagnostics.find("Invalid character in input."), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("String not terminated at end of line."), std::string::npos)
        << diagnostics;
}

// Every prefix of every example source: cut inside a comment, a string, a character
// literal, an escape or a number, the lexer still reaches the end of input, and at most
// one token more per unit of input.
TEST(VQLexerHostileInput, EveryPrefixOfTheExampleSourcesReachesTheEnd) {
    const std::filesystem::path root = std::filesystem::path(ORNITH_SOURCE_DIR) / "examples/src";
    size_t files = 0;
    StderrCapture errors;  // the cuts make many lexical errors
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".java") continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string whole((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        // Rewritten once per prefix: in memory-backed /dev/shm where there is one.
        const std::string path =
            (::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm/") : ::testing::TempDir()) +
            "ornith_lexer_prefix_" + std::to_string(::getpid()) + ".java";
        size_t wholeTokens = 0;
        for (size_t length = 0; length <= whole.size(); ++length) {
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(whole.data(), static_cast<long>(length));
            const Lexed lexed = lexFile(path, length + 8);
            EXPECT_TRUE(lexed.endedTwice) << entry.path() << " cut at " << length;
            if (length == whole.size()) wholeTokens = lexed.kinds.size();
            if (::testing::Test::HasFailure()) {
                std::filesystem::remove(path);
                FAIL() << entry.path() << " cut at " << length;
            }
        }
        std::filesystem::remove(path);
        EXPECT_GT(wholeTokens, 10u) << entry.path();
    }
    EXPECT_GE(files, 5u);
}

}  // namespace
}  // namespace ornith
