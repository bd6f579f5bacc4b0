// Source files that fuzzing found harmful, and every prefix of the example sources: the
// lexer must reach the end of input in a number of tokens bounded by the input, with the
// text buffer consistent after every token.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/testing/OutputCapture.h"

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

// A host may take a lexer's reports itself, to make control characters in the echoed line
// harmless before it shows them: the line reaches its writer as the source's bytes, the
// escape character and the right-to-left override (U+202E) included, and nothing goes to
// stderr. Without the writer the same bytes go to stderr.
TEST(VQLexerHostileInput, ReportsReachTheLexersWriterAsTheirBytes) {
    const std::string line = "s = \"\x1B[2J\xE2\x80\xAE\"; #";
    const std::string source = line + "\n";
    // The # stands after 13 units at release levels, where U+202E is one, and after 15 at
    // the classic level, whose units are bytes.
    for (const auto& [level, column] :
         {std::pair{VQJavaLevelLatestRelease, 13}, std::pair{VQJavaLevelClassic, 15}}) {
        const std::string expected = "F:1: Invalid character in input.\n" + line + "\n" +
                                     std::string(static_cast<size_t>(column), ' ') + "^\n";
        std::string written;
        StderrCapture capture;
        VQJavaLexer* lexer = VQOpenJavaSourceBytes(source.data(), source.size(), "F", level);
        ASSERT_NE(lexer, nullptr);
        VQSetJavaLexerDiagnosticWriter(
            lexer,
            [](void* context, const char* bytes, size_t length) {
                static_cast<std::string*>(context)->append(bytes, length);
            },
            &written);
        std::vector<int> kinds;
        for (int kind; (kind = VQNextTokenFromJavaLexer(lexer)) != VQJavaTokenEndOfInput;)
            kinds.push_back(kind);
        EXPECT_EQ(kinds, (std::vector<int>{VQJavaTokenIdentifier, '=', VQJavaTokenStringLiteral,
                                           ';', VQJavaTokenError}))
            << level;
        VQCloseJavaSourceFile(lexer);
        EXPECT_EQ(written, expected) << level;
        EXPECT_EQ(capture.text(), "") << level;

        // Set and then cleared: stderr has the report again, byte for byte.
        StderrCapture again;
        lexer = VQOpenJavaSourceBytes(source.data(), source.size(), "F", level);
        ASSERT_NE(lexer, nullptr);
        std::string unused;
        VQSetJavaLexerDiagnosticWriter(
            lexer,
            [](void* context, const char*, size_t) {
                static_cast<std::string*>(context)->push_back('!');
            },
            &unused);
        VQSetJavaLexerDiagnosticWriter(lexer, nullptr, nullptr);
        while (VQNextTokenFromJavaLexer(lexer) != VQJavaTokenEndOfInput) {
        }
        VQCloseJavaSourceFile(lexer);
        EXPECT_EQ(again.text(), expected) << level;
        EXPECT_EQ(unused, "") << level;
    }
}

// Release levels: inputs that could make a lexer quadratic or loop. Each must end with the
// tokens and errors below; how long it takes is for the benchmarks, not for a test.
struct ReleaseLexed {
    std::vector<int> kinds;
    std::vector<uint32_t> lengths;  // text lengths
    uint32_t valueLength = 0;       // of the last string or text block
    uint32_t errors = 0;
    std::string diagnostics;
};

ReleaseLexed lexRelease(const std::string& bytes, int level = VQJavaLevelLatestRelease) {
    ReleaseLexed out;
    StderrCapture capture;
    VQJavaLexer* lexer = VQOpenJavaSourceBytes(bytes.data(), bytes.size(), "F", level);
    EXPECT_NE(lexer, nullptr);
    if (lexer == nullptr) return out;
    for (size_t n = 0; n <= bytes.size(); ++n) {
        const int kind = VQNextTokenFromJavaLexer(lexer);
        if (kind == VQJavaTokenEndOfInput) break;
        out.kinds.push_back(kind);
        out.lengths.push_back(lexer->textLength);
        uint32_t length = 0;
        if (VQJavaLexerStringValue(lexer, &length) != nullptr) out.valueLength = length;
    }
    EXPECT_EQ(VQNextTokenFromJavaLexer(lexer), VQJavaTokenEndOfInput);
    out.errors = VQJavaLexerErrorCount(lexer);
    VQCloseJavaSourceFile(lexer);
    out.diagnostics = capture.text();
    return out;
}

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

constexpr size_t kMillion = 1000000;

TEST(VQLexerHostileInput, TextBlocksOfAMillionLines) {
    const std::string lines = repeated("    line\n", kMillion);
    ReleaseLexed closed = lexRelease("\"\"\"\n" + lines + "    \"\"\";");
    EXPECT_EQ(closed.kinds, (std::vector<int>{VQJavaTokenTextBlock, ';'}));
    EXPECT_EQ(closed.valueLength, 5 * kMillion);  // "line\n" each, the indentation stripped
    EXPECT_EQ(closed.errors, 0u);

    ReleaseLexed open = lexRelease("\"\"\"\n" + lines);
    EXPECT_EQ(open.kinds, (std::vector<int>{VQJavaTokenError}));
    EXPECT_EQ(open.lengths, (std::vector<uint32_t>{4 + 9 * kMillion}));
    EXPECT_EQ(open.errors, 1u);
    EXPECT_NE(open.diagnostics.find("Text block not terminated at end of input."),
              std::string::npos);

    // Escaped line ends, each a line of its own, join a million lines into one.
    ReleaseLexed joined = lexRelease("\"\"\"\n" + repeated("a\\\n", kMillion) + "\"\"\"");
    EXPECT_EQ(joined.kinds, (std::vector<int>{VQJavaTokenTextBlock}));
    EXPECT_EQ(joined.valueLength, kMillion);
}

TEST(VQLexerHostileInput, AMillionUnderscores) {
    const std::string underscores(kMillion, '_');
    ReleaseLexed between = lexRelease("1" + underscores + "2");
    EXPECT_EQ(between.kinds, (std::vector<int>{VQJavaTokenIntegerLiteral}));
    EXPECT_EQ(between.errors, 0u);
    ReleaseLexed trailing = lexRelease("0x1" + underscores + ";");
    EXPECT_EQ(trailing.kinds, (std::vector<int>{VQJavaTokenError, ';'}));
    EXPECT_EQ(trailing.errors, 1u);
    EXPECT_NE(trailing.diagnostics.find("Invalid underscore in number."), std::string::npos);
    // An identifier made of them.
    ReleaseLexed word = lexRelease(underscores);
    EXPECT_EQ(word.kinds, (std::vector<int>{VQJavaTokenIdentifier}));
    EXPECT_EQ(word.lengths, (std::vector<uint32_t>{kMillion}));
}

TEST(VQLexerHostileInput, SurrogateHalvesAtTheEndOfInput) {
    // A high half as an escape, as UTF-8 (which may not encode one), and in a UTF-16 file.
    ReleaseLexed escaped = lexRelease("x \\uD83D");
    EXPECT_EQ(escaped.kinds, (std::vector<int>{VQJavaTokenIdentifier, VQJavaTokenError}));
    EXPECT_EQ(escaped.errors, 1u);
    ReleaseLexed encoded = lexRelease("x\xED\xA0\xBD");
    EXPECT_EQ(encoded.kinds, (std::vector<int>{VQJavaTokenIdentifier, VQJavaTokenError}));
    EXPECT_NE(encoded.diagnostics.find("Invalid UTF-8 byte sequence."), std::string::npos);
    ReleaseLexed wide = lexRelease(std::string("\xFE\xFF\0x\xD8\x3D", 6));
    EXPECT_EQ(wide.kinds, (std::vector<int>{VQJavaTokenIdentifier, VQJavaTokenError}));
    EXPECT_EQ(wide.errors, 1u);
    // A sequence that the end of input cuts short.
    ReleaseLexed cut = lexRelease("x\xF0\x9F\x98");
    EXPECT_EQ(cut.kinds, (std::vector<int>{VQJavaTokenIdentifier, VQJavaTokenError}));
}

TEST(VQLexerHostileInput, IdentifiersOfAMillionIgnorableCharacters) {
    // U+00AD (soft hyphen) and U+0001 may sit inside an identifier and are dropped from its
    // name; the text keeps them.
    ReleaseLexed soft = lexRelease("x" + repeated("\xC2\xAD", kMillion) + ";");
    EXPECT_EQ(soft.kinds, (std::vector<int>{VQJavaTokenIdentifier, ';'}));
    EXPECT_EQ(soft.lengths[0], kMillion + 1);
    EXPECT_EQ(soft.errors, 0u);
    ReleaseLexed controls = lexRelease("int" + std::string(kMillion, '\x01'));
    EXPECT_EQ(controls.kinds, (std::vector<int>{332}));  // the keyword int, ignorables dropped
    // They cannot begin one: each is an error of its own, and the reports of one line echo
    // it (200,000 bytes) 16 times at most.
    ReleaseLexed alone = lexRelease(repeated("\xC2\xAD", 100000));
    EXPECT_EQ(alone.kinds.size(), 100000u);
    EXPECT_EQ(alone.errors, 100000u);
    EXPECT_LT(alone.diagnostics.size(), 100000u * 40 + 16u * 300010);
}

}  // namespace
}  // namespace ornith
