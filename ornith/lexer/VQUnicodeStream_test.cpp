#include "ornith/lexer/VQUnicodeStream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ornith/testing/OutputCapture.h"

namespace ornith {
namespace {

using testing::writeSource;

struct Read {
    int character;
    int lineNumber;  // the stream's lineNumber right after the read
    bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& r) {
    return out << "{" << r.character << ", line " << r.lineNumber << "}";
}

// Reads until end of input (and one read past it), from a file holding `bytes` or, with
// `inMemory`, from the bytes themselves.
std::vector<Read> readAll(const std::string& bytes, bool inMemory = false) {
    VQUnicodeStream* s = inMemory ? VQOpenUnicodeBytes(bytes.data(), bytes.size())
                                  : VQOpenUnicodeFile(writeSource(bytes).c_str());
    EXPECT_NE(s, nullptr);
    std::vector<Read> reads;
    if (s == nullptr) return reads;
    for (int c = 0; c >= 0 && reads.size() < 10000;) {
        c = VQGetUnicodeCharacter(s);
        reads.push_back({c, s->lineNumber});
    }
    VQCloseUnicodeStream(s);
    return reads;
}

struct StreamRow {
    const char* name;
    std::string bytes;
    std::vector<Read> expected;
};

void PrintTo(const StreamRow& row, std::ostream* out) {
    *out << row.name;
}

class StreamRows : public ::testing::TestWithParam<StreamRow> {};

TEST_P(StreamRows, DeliversCharactersAndLineNumbers) {
    const StreamRow& row = GetParam();
    EXPECT_EQ(readAll(row.bytes), row.expected) << row.name;
    EXPECT_EQ(readAll(row.bytes, true), row.expected) << row.name << " (in memory)";
}

using namespace std::string_literals;

// Lines, terminators and plain bytes.
INSTANTIATE_TEST_SUITE_P(
    Lines, StreamRows,
    ::testing::Values(
        StreamRow{"empty file", "", {{-1, 1}}},
        StreamRow{"no terminator", "ab", {{'a', 1}, {'b', 1}, {-1, 2}}},
        StreamRow{
            "CR LF is one line end", "a\r\nb", {{'a', 1}, {13, 1}, {10, 1}, {'b', 2}, {-1, 3}}},
        StreamRow{"lone CR ends a line", "a\rb", {{'a', 1}, {13, 1}, {'b', 2}, {-1, 3}}},
        StreamRow{"CR at end of file", "a\r", {{'a', 1}, {13, 1}, {-1, 2}}},
        StreamRow{"CR CR", "\r\r\n", {{13, 1}, {13, 2}, {10, 2}, {-1, 3}}},
        StreamRow{"bytes above 127 are their own characters",
                  "\xE9\xFF",
                  {{0xE9, 1}, {0xFF, 1}, {-1, 2}}},
        StreamRow{"NUL bytes are characters", "\0A\0"s, {{0, 1}, {'A', 1}, {0, 1}, {-1, 2}}}),
    [](const auto& row) { return "row" + std::to_string(row.index); });

// Byte-order marks and 16-bit units.
INSTANTIATE_TEST_SUITE_P(
    ByteOrder, StreamRows,
    ::testing::Values(
        StreamRow{"big-endian mark", "\xFE\xFF\x00\x41\x00\x0A"s, {{'A', 1}, {10, 1}, {-1, 2}}},
        StreamRow{"little-endian mark", "\xFF\xFE\x41\x00"s, {{'A', 1}, {-1, 2}}},
        StreamRow{"FE then not FF: both bytes are data", "\xFE\x41", {{254, 1}, {65, 1}, {-1, 2}}},
        StreamRow{"FF then not FE: both bytes are data", "\xFF\xFF", {{255, 1}, {255, 1}, {-1, 2}}},
        StreamRow{"a single FE", "\xFE", {{254, 1}, {-1, 2}}},
        StreamRow{"mark only", "\xFE\xFF", {{-1, 1}}},
        StreamRow{"two held-back bytes still split lines",
                  "\xFE\r\nx",
                  {{254, 1}, {13, 1}, {10, 1}, {'x', 2}, {-1, 3}}},
        StreamRow{"second held-back byte is a CR", "\xFF\r", {{255, 1}, {13, 1}, {-1, 2}}},
        StreamRow{"little-endian lone byte after the mark", "\xFF\xFE\x41", {{-1, 1}}},
        StreamRow{"little-endian lone trailing byte is dropped",
                  "\xFF\xFE\x41\x00\x42"s,
                  {{'A', 1}, {-1, 2}}},
        StreamRow{"big-endian lone trailing byte is dropped",
                  "\xFE\xFF\x00\x41\x00"s,
                  {{'A', 1}, {-1, 2}}},
        StreamRow{"wide units above 255",
                  "\xFE\xFF\x4E\x2D\xFF\xFF"s,
                  {{0x4E2D, 1}, {0xFFFF, 1}, {-1, 2}}},
        StreamRow{"wide CR as last unit", "\xFE\xFF\x00\x0D"s, {{13, 1}, {-1, 2}}},
        StreamRow{
            "wide lone CR splits lines", "\xFE\xFF\x00\x0D\x00\x41"s, {{13, 1}, {'A', 2}, {-1, 3}}},
        StreamRow{"wide CR LF",
                  "\xFF\xFE\x0D\x00\x0A\x00\x42\x00"s,
                  {{13, 1}, {10, 1}, {'B', 2}, {-1, 3}}},
        StreamRow{"a mark later in the file is data",
                  "a\xFE\xFF",
                  {{'a', 1}, {0xFE, 1}, {0xFF, 1}, {-1, 2}}}),
    [](const auto& row) { return "row" + std::to_string(row.index); });

// Unicode escapes.
INSTANTIATE_TEST_SUITE_P(
    Escapes, StreamRows,
    ::testing::Values(
        StreamRow{"simple", "\\u0041", {{'A', 1}, {-1, 2}}},
        StreamRow{"several u", "\\uuu0041", {{'A', 1}, {-1, 2}}},
        StreamRow{"mixed-case hex", "\\u4e2D", {{0x4E2D, 1}, {-1, 2}}},
        StreamRow{"FFFF is a character, not the end", "\\uFFFFx", {{0xFFFF, 1}, {'x', 1}, {-1, 2}}},
        StreamRow{"cut by the line end",
                  "\\u004\n",
                  {{'\\', 1}, {'u', 1}, {'0', 1}, {'0', 1}, {'4', 1}, {10, 1}, {-1, 2}}},
        StreamRow{
            "cut by the end of input", "\\u00", {{'\\', 1}, {'u', 1}, {'0', 1}, {'0', 1}, {-1, 2}}},
        StreamRow{"backslash u at the end", "\\u", {{'\\', 1}, {'u', 1}, {-1, 2}}},
        StreamRow{"bad digit",
                  "\\u00G1",
                  {{'\\', 1}, {'u', 1}, {'0', 1}, {'0', 1}, {'G', 1}, {'1', 1}, {-1, 2}}},
        StreamRow{"every backslash is examined", "\\\\u0041", {{'\\', 1}, {'A', 1}, {-1, 2}}},
        StreamRow{"an escaped backslash starts nothing",
                  "\\u005cu0041",
                  {{'\\', 1}, {'u', 1}, {'0', 1}, {'0', 1}, {'4', 1}, {'1', 1}, {-1, 2}}},
        StreamRow{"an escaped LF is no line end",
                  "\\u000ab\nc",
                  {{10, 1}, {'b', 1}, {10, 1}, {'c', 2}, {-1, 3}}},
        StreamRow{"an escape never spans lines",
                  "\\u00\n41",
                  {{'\\', 1}, {'u', 1}, {'0', 1}, {'0', 1}, {10, 1}, {'4', 2}, {'1', 2}, {-1, 3}}},
        StreamRow{"wide escape",
                  "\xFE\xFF\x00\\\x00u\x00\x34\x00\x31\x00\x30\x00\x30"s,
                  {{0x4100, 1}, {-1, 2}}}),
    [](const auto& row) { return "row" + std::to_string(row.index); });

struct OpenStream {
    explicit OpenStream(const std::string& bytes)
        : path(writeSource(bytes)), s(VQOpenUnicodeFile(path.c_str())) {}
    ~OpenStream() { VQCloseUnicodeStream(s); }
    std::string path;
    VQUnicodeStream* s;
};

TEST(VQUnicodeStream, StartsInTheDocumentedState) {
    OpenStream o("xy");
    ASSERT_NE(o.s, nullptr);
    EXPECT_EQ(o.s->line, nullptr);
    EXPECT_EQ(o.s->lineNumber, 0);
    EXPECT_EQ(o.s->lastCharacter, -1);
    EXPECT_EQ(o.s->wide, 0u);
    EXPECT_EQ(o.s->pushedBack, 0u);

    OpenStream marked("\xFF\xFE");
    ASSERT_NE(marked.s, nullptr);
    EXPECT_EQ(marked.s->wide, 1u);
    EXPECT_EQ(marked.s->bigEndian, 0u);
}

TEST(VQUnicodeStream, KeepsTheTerminatorInTheLine) {
    OpenStream o("ab\r\ncd\ref");
    ASSERT_NE(o.s, nullptr);
    VQGetUnicodeCharacter(o.s);
    EXPECT_EQ(std::u16string(o.s->line, o.s->lineLength), u"ab\r\n");
    for (int i = 0; i < 4; ++i) VQGetUnicodeCharacter(o.s);
    EXPECT_EQ(std::u16string(o.s->line, o.s->lineLength), u"cd\r");
    EXPECT_EQ(o.s->position, 1u);
    for (int i = 0; i < 3; ++i) VQGetUnicodeCharacter(o.s);
    EXPECT_EQ(std::u16string(o.s->line, o.s->lineLength), u"ef");
    EXPECT_EQ(VQGetUnicodeCharacter(o.s), 'f');
    EXPECT_EQ(VQGetUnicodeCharacter(o.s), -1);
    EXPECT_EQ(o.s->lineLength, 0u);
}

TEST(VQUnicodeStream, LineHoldsUnitsBeforeEscapesAreResolved) {
    OpenStream o("\\u0041\n");
    ASSERT_NE(o.s, nullptr);
    EXPECT_EQ(VQGetUnicodeCharacter(o.s), 'A');
    EXPECT_EQ(std::u16string(o.s->line, o.s->lineLength), u"\\u0041\n");
    EXPECT_EQ(o.s->position, 6u);
}

// Each row: a source and a script of reads ('r', expecting the character) and
// put-backs ('u').
TEST(VQUnicodeStream, PutBack) {
    struct Step {
        char action;
        int expected;
    };
    const std::pair<std::string, std::vector<Step>> rows[] = {
        {"xy", {{'r', 'x'}, {'u', 0}, {'u', 0}, {'r', 'x'}, {'r', 'y'}}},  // one deep
        {"\\u0041b", {{'r', 'A'}, {'u', 0}, {'r', 'A'}, {'r', 'b'}}},  // an escape comes back whole
        {"x", {{'u', 0}, {'r', -1}, {'r', 'x'}}},             // before any read: end of input
        {"x", {{'r', 'x'}, {'r', -1}, {'u', 0}, {'r', -1}}},  // at the end: the end again
    };
    for (const auto& [bytes, steps] : rows) {
        OpenStream o(bytes);
        ASSERT_NE(o.s, nullptr);
        for (const Step& step : steps) {
            if (step.action == 'u')
                VQUngetUnicodeCharacter(o.s);
            else
                EXPECT_EQ(VQGetUnicodeCharacter(o.s), step.expected) << bytes;
        }
    }
}

TEST(VQUnicodeStream, LineNumberGrowsWithEveryReadAtEndOfInput) {
    OpenStream o("");
    ASSERT_NE(o.s, nullptr);
    for (int expected = 1; expected <= 3; ++expected) {
        EXPECT_EQ(VQGetUnicodeCharacter(o.s), -1);
        EXPECT_EQ(o.s->lineNumber, expected);
    }
}

TEST(VQUnicodeStream, LineBufferGrowsByDoublingPlusEight) {
    std::string text(1 << 20, 'a');
    text += '\n';
    OpenStream o(text);
    ASSERT_NE(o.s, nullptr);
    EXPECT_EQ(VQGetUnicodeCharacter(o.s), 'a');
    EXPECT_EQ(o.s->lineLength, (1u << 20) + 1);
    uint32_t capacity = 8;
    while (capacity < o.s->lineLength) capacity = 2 * capacity + 8;
    EXPECT_EQ(o.s->lineCapacity, capacity);
    size_t count = 1;
    while (VQGetUnicodeCharacter(o.s) == 'a') ++count;
    EXPECT_EQ(count, size_t{1} << 20);
}

TEST(VQUnicodeStream, RefusesWhatIsNotARegularFile) {
    EXPECT_EQ(VQOpenUnicodeFile((::testing::TempDir() + "no-such-file.java").c_str()), nullptr);
    EXPECT_EQ(VQOpenUnicodeFile(::testing::TempDir().c_str()), nullptr);
    std::string fifo = ::testing::TempDir() + "ornith_lexer_fifo_" + std::to_string(::getpid());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(VQOpenUnicodeFile(fifo.c_str()), nullptr);  // and does not wait for a writer
    std::remove(fifo.c_str());
    EXPECT_EQ(VQOpenUnicodeFile(nullptr), nullptr);
    VQCloseUnicodeStream(nullptr);
}

}  // namespace
}  // namespace ornith
