#include "ornith/lexer/VQJavaCharacters.h"

#include <gtest/gtest.h>

#include "ornith/lexer/VQJavaCharacterTableInternal.h"

namespace ornith {
namespace {

struct ClassRow {
    int code;
    int letter;
    int digit;
};

// Boundaries of the table: ends of ranges, of bitmap blocks and of the plain ranges.
constexpr ClassRow kRows[] = {
    {'A', 1, 0},    {'Z', 1, 0},     {'a', 1, 0},        {'z', 1, 0},    {'$', 1, 0},
    {'_', 1, 0},    {'0', 0, 1},     {'9', 0, 1},        {'@', 0, 0},    {'[', 0, 0},
    {'`', 0, 0},    {'{', 0, 0},     {'/', 0, 0},        {':', 0, 0},    {0, 0, 0},
    {-1, 0, 0},     {0x10000, 0, 0}, {0x7FFFFFFF, 0, 0}, {-2, 0, 0},     {0x00AA, 0, 0},
    {0x00B5, 0, 0}, {0x00BA, 0, 0},  {0x00BF, 0, 0},     {0x00C0, 1, 0}, {0x00D6, 1, 0},
    {0x00D7, 0, 0}, {0x00F7, 0, 0},  {0x00FF, 1, 0},     {0x01F5, 1, 0}, {0x01F6, 0, 0},
    {0x01FA, 1, 0}, {0x037A, 1, 0},  {0x037B, 0, 0},     {0x06ED, 1, 0}, {0x06EE, 0, 0},
    {0x06FF, 0, 0}, {0x0660, 0, 1},  {0x0669, 0, 1},     {0x066A, 1, 0}, {0x06F0, 0, 1},
    {0x06F9, 0, 1}, {0x0700, 0, 0},  {0x08FF, 0, 0},     {0x0900, 0, 0}, {0x0901, 1, 0},
    {0x0966, 0, 1}, {0x096F, 0, 1},  {0x0970, 1, 0},     {0x0BE6, 0, 0}, {0x0BE7, 0, 1},
    {0x0BEF, 0, 1}, {0x0EDD, 1, 0},  {0x0ED9, 0, 1},     {0x0EFF, 0, 0}, {0x0F00, 0, 0},
    {0x107F, 0, 0}, {0x1080, 0, 0},  {0x10A0, 1, 0},     {0x10FB, 1, 0}, {0x1100, 1, 0},
    {0x11F9, 1, 0}, {0x11FA, 0, 0},  {0x1200, 0, 0},     {0x1DFF, 0, 0}, {0x1E00, 1, 0},
    {0x1FFE, 1, 0}, {0x1FFF, 0, 0},  {0x2000, 0, 0},     {0x303F, 0, 0}, {0x3040, 0, 0},
    {0x3041, 1, 0}, {0x33FE, 1, 0},  {0x33FF, 0, 0},     {0x3400, 1, 0}, {0x9FA5, 1, 0},
    {0x9FA6, 0, 0}, {0xAC00, 0, 0},  {0xF8FF, 0, 0},     {0xF900, 1, 0}, {0xFA2D, 1, 0},
    {0xFA2E, 0, 0}, {0xFAFF, 0, 0},  {0xFB00, 1, 0},     {0xFBD3, 1, 0}, {0xFD3F, 1, 0},
    {0xFD40, 0, 0}, {0xFF10, 0, 1},  {0xFF19, 0, 1},     {0xFF1A, 0, 0}, {0xFF21, 1, 0},
    {0xFFDC, 1, 0}, {0xFFDD, 0, 0},  {0xFFFF, 0, 0},
};

TEST(VQJavaCharacters, TableBoundaries) {
    for (const ClassRow& row : kRows) {
        SCOPED_TRACE(testing::Message() << "code " << std::hex << row.code);
        EXPECT_EQ(VQIsJavaLetter(row.code), row.letter);
        EXPECT_EQ(VQIsJavaDigit(row.code), row.digit);
        EXPECT_EQ(VQIsJavaLetterOrDigit(row.code), row.letter | row.digit);
    }
}

// The bitmaps, the block search and the ASCII shortcut all answer exactly what the plain
// list of ranges says, for every code.
TEST(VQJavaCharacters, AgreesWithTheRangeListEverywhere) {
    using namespace lexer_detail;
    int letters = 0;
    int digits = 0;
    for (int code = -1; code <= 0x10000; ++code) {
        bool inList = false;
        for (const CodeRange& r : kLetterRanges)
            inList = inList || (r.first <= code && code <= r.last);
        bool digit = false;
        for (const CodeRange& r : kDigitRanges)
            digit = digit || (r.first <= code && code <= r.last);
        bool letter = inList || code == '$' || code == '_';
        ASSERT_EQ(VQIsJavaLetter(code), letter ? 1 : 0) << std::hex << code;
        ASSERT_EQ(VQIsJavaDigit(code), digit ? 1 : 0) << std::hex << code;
        ASSERT_EQ(VQIsJavaLetterOrDigit(code), letter || digit ? 1 : 0) << std::hex << code;
        ASSERT_FALSE(inList && digit) << std::hex << code;
        letters += letter;
        digits += digit;
    }
    EXPECT_EQ(digits, 149);
    // 3400-9FA5 alone holds 27,558 letters.
    EXPECT_GT(letters, 27558);
}

TEST(VQJavaCharacters, BitmapsTakeOneHundredAndOneWords) {
    EXPECT_EQ(lexer_detail::kLetterBitmap.size(), 101u);
    // Bit n of a block's word stands for the block start + n: 0041 is bit 1 of word 1.
    EXPECT_EQ(lexer_detail::kLetterBitmap[1] & 0x7, 0x6u);
}

}  // namespace
}  // namespace ornith
