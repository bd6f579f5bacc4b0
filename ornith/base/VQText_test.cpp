#include "ornith/base/VQText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ornith {
namespace {

using Bytes = std::vector<uint8_t>;

// The characters of `in` as (value, length) pairs, each decoded from an exact-size copy
// so that a sanitizer sees a read past the end.
// Stands for a step that is not valid (its value is U+FFFD).
constexpr uint32_t kIllFormed = UINT32_MAX;
constexpr uint32_t R = kIllFormed;

template <VQUTF8Step (*Decode)(const uint8_t*, const uint8_t*)>
std::vector<std::pair<uint32_t, uint32_t>> steps(const Bytes& in) {
    auto copy = std::make_unique<uint8_t[]>(in.size());
    std::copy(in.begin(), in.end(), copy.get());
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const uint8_t* p = copy.get(); p < copy.get() + in.size();) {
        const VQUTF8Step step = Decode(p, copy.get() + in.size());
        if (!step.valid) {
            EXPECT_EQ(step.value, kVQReplacementCharacter);
        }
        out.emplace_back(step.valid ? step.value : kIllFormed, step.length);
        p += step.length;
    }
    return out;
}

struct StepCase {
    Bytes in;
    std::vector<std::pair<uint32_t, uint32_t>> expected;
};

TEST(VQDecodeUTF8, WellFormedAndMaximalSubparts) {
    const StepCase cases[] = {
        {{'a'}, {{'a', 1}}},
        {{0xC2, 0x80}, {{0x80, 2}}},
        {{0xDF, 0xBF}, {{0x7FF, 2}}},
        {{0xE0, 0xA0, 0x80}, {{0x800, 3}}},
        {{0xED, 0x9F, 0xBF}, {{0xD7FF, 3}}},
        {{0xEF, 0xBF, 0xBD}, {{0xFFFD, 3}}},
        {{0xF0, 0x90, 0x80, 0x80}, {{0x10000, 4}}},
        {{0xF4, 0x8F, 0xBF, 0xBF}, {{0x10FFFF, 4}}},
        // Unicode's own example of maximal subparts (table 3-8).
        {{0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64},
         {{'a', 1}, {R, 3}, {R, 2}, {R, 1}, {'b', 1}, {R, 1}, {'c', 1}, {R, 1}, {R, 1}, {'d', 1}}},
        {{0xC0, 0x80}, {{R, 1}, {R, 1}}},
        {{0xC1, 0xBF}, {{R, 1}, {R, 1}}},
        {{0xE0, 0x9F, 0xBF}, {{R, 1}, {R, 1}, {R, 1}}},
        {{0xED, 0xA0, 0x80}, {{R, 1}, {R, 1}, {R, 1}}},
        {{0xF0, 0x8F, 0xBF, 0xBF}, {{R, 1}, {R, 1}, {R, 1}, {R, 1}}},
        {{0xF4, 0x90, 0x80, 0x80}, {{R, 1}, {R, 1}, {R, 1}, {R, 1}}},
        {{0xF5, 0x80}, {{R, 1}, {R, 1}}},
        {{0xFF}, {{R, 1}}},
        {{0xE2, 0x82}, {{R, 2}}},
        {{0xF0, 0x9F, 0x98}, {{R, 3}}},
        {{0xF0, 0x9F, 0x98, 'A'}, {{R, 3}, {'A', 1}}},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(steps<VQDecodeUTF8>(c.in), c.expected) << ::testing::PrintToString(c.in);
}

TEST(VQDecodeUTF8, TheGeneralizedFormTakesSurrogatesWhole) {
    const StepCase cases[] = {
        {{0xED, 0xA0, 0x80}, {{0xD800, 3}}},
        {{0xED, 0xBF, 0xBF}, {{0xDFFF, 3}}},
        {{0xED, 0xA0}, {{R, 2}}},
        {{0xED, 0xA0, 'A'}, {{R, 2}, {'A', 1}}},
        {{0xE0, 0x9F, 0xBF}, {{R, 1}, {R, 1}, {R, 1}}},
        {{0xC0, 0x80}, {{R, 1}, {R, 1}}},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(steps<VQDecodeGeneralizedUTF8>(c.in), c.expected)
            << ::testing::PrintToString(c.in);
}

TEST(VQDecodeModifiedUTF8, NulPairsAndLoneSurrogates) {
    const StepCase cases[] = {
        {{0xC0, 0x80}, {{0, 2}}},
        {{0xC0}, {{R, 1}}},
        {{0xC0, 0x81}, {{R, 1}, {R, 1}}},
        {{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, {{0x1F600, 6}}},
        {{0xF0, 0x9F, 0x98, 0x80}, {{0x1F600, 4}}},
        {{0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD}, {{R, 3}, {R, 3}}},
        {{0xED, 0xA0, 0xBD, 0xED, 0xB8}, {{R, 3}, {R, 2}}},
        {{0xED, 0xA0, 0xBD, 'a', 'b', 'c'}, {{R, 3}, {'a', 1}, {'b', 1}, {'c', 1}}},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(steps<VQDecodeModifiedUTF8>(c.in), c.expected) << ::testing::PrintToString(c.in);
}

TEST(VQEncodeUTF8, EveryLengthBoundaryRoundTrips) {
    for (uint32_t c :
         {0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        char bytes[4];
        const size_t n = VQEncodeUTF8(c, bytes);
        EXPECT_EQ(n, c < 0x80 ? 1u : c < 0x800 ? 2u : c < 0x10000 ? 3u : 4u) << c;
        const auto* p = reinterpret_cast<const uint8_t*>(bytes);
        const VQUTF8Step step = VQDecodeUTF8(p, p + n);
        EXPECT_TRUE(step.valid) << c;
        EXPECT_EQ(step.value, c);
        EXPECT_EQ(step.length, n);
    }
    std::string out = "x";
    VQAppendUTF8(out, 0xD800);  // the three-byte form, as 16-bit text needs
    EXPECT_EQ(out, "x\xED\xA0\x80");
}

TEST(VQEncodeModifiedUTF8, NulAndSupplementaryCharactersTakeTheClassFileForm) {
    const std::pair<uint32_t, std::string> cases[] = {
        {0, std::string("\xC0\x80")},
        {'a', "a"},
        {0xE9, "\xC3\xA9"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x1F600, "\xED\xA0\xBD\xED\xB8\x80"},
        {0x10FFFF, "\xED\xAF\xBF\xED\xBF\xBF"},
    };
    for (const auto& [c, expected] : cases) {
        char bytes[6];
        EXPECT_EQ(std::string(bytes, VQEncodeModifiedUTF8(c, bytes)), expected) << c;
        const auto* p = reinterpret_cast<const uint8_t*>(expected.data());
        EXPECT_EQ(VQDecodeModifiedUTF8(p, p + expected.size()).value, c);
    }
}

TEST(VQEncodeUTF16, SupplementaryCharactersBecomePairs) {
    char16_t units[2];
    ASSERT_EQ(VQEncodeUTF16(0xE9, units), 1u);
    EXPECT_EQ(units[0], 0xE9);
    ASSERT_EQ(VQEncodeUTF16(0x1F600, units), 2u);
    EXPECT_EQ(units[0], 0xD83D);
    EXPECT_EQ(units[1], 0xDE00);
    ASSERT_EQ(VQEncodeUTF16(0x10FFFF, units), 2u);
    EXPECT_EQ(units[0], 0xDBFF);
    EXPECT_EQ(units[1], 0xDFFF);
}

TEST(VQValidUTF8Prefix, StopsAtTheFirstIllFormedByteAtAnyOffset) {
    const std::string ascii = "abcdefghijklmnopqrstuvwx";
    for (size_t at = 0; at <= ascii.size(); ++at) {
        std::string text = ascii;
        text.insert(at, "\xC3\xA9");
        EXPECT_TRUE(VQIsValidUTF8(text)) << at;
        text.insert(at + 2, "\xE2\x82");
        const auto* p = reinterpret_cast<const uint8_t*>(text.data());
        EXPECT_EQ(VQValidUTF8Prefix(p, text.size()), at + 2) << at;
    }
    EXPECT_TRUE(VQIsValidUTF8(""));
    EXPECT_FALSE(VQIsValidUTF8("\xED\xA0\x80"));
}

TEST(VQSkipUTF8Continuations, StopsAtTheNextLeadOrTheEnd) {
    const std::string text = "\x80\xBF\xC3\xA9";
    EXPECT_EQ(VQSkipUTF8Continuations(text.data(), text.data() + 4), text.data() + 2);
    EXPECT_EQ(VQSkipUTF8Continuations(text.data(), text.data() + 1), text.data() + 1);
    EXPECT_EQ(VQSkipUTF8Continuations(text.data() + 2, text.data() + 4), text.data() + 2);
}

std::string escaped(std::string_view text, VQEscapeStyle style, char quote = '"') {
    std::string out;
    VQAppendEscapedText(text, out, style, quote);
    return out;
}

TEST(VQAppendEscapedText, TerminalEscapesControlsSeparatorsAndBidiOnly) {
    const auto t = VQEscapeStyle::terminal;
    EXPECT_EQ(escaped("a\\b \"c\" 'd'", t), "a\\b \"c\" 'd'");
    EXPECT_EQ(escaped("\b\t\n\f\r\x1b\x7f", t), "\\b\\t\\n\\f\\r\\u001b\\u007f");
    EXPECT_EQ(escaped("\xC2\x9B\xE2\x80\xA8\xE2\x81\xA9\xC3\xA9\xF0\x9F\x98\x80", t),
              "\\u009b\\u2028\\u2069\xC3\xA9\xF0\x9F\x98\x80");
    std::string out = "kept:";
    VQAppendEscapedText("x", out, t);
    EXPECT_EQ(out, "kept:x");
}

TEST(VQAppendEscapedText, JavaLiteralEscapesAllButPrintableAscii) {
    const auto j = VQEscapeStyle::javaLiteral;
    EXPECT_EQ(escaped("a\\b \"c\" 'd'", j), "a\\\\b \\\"c\\\" 'd'");
    EXPECT_EQ(escaped("a\\b \"c\" 'd'", j, '\''), "a\\\\b \"c\" \\'d\\'");
    EXPECT_EQ(escaped("\b\t\n\f\r\x01\x7f", j), "\\b\\t\\n\\f\\r\\u0001\\u007f");
    EXPECT_EQ(escaped("caf\xC3\xA9 \xF0\x9F\x98\x80", j), "caf\\u00e9 \\ud83d\\ude00");
}

TEST(VQAppendEscapedUnit, WritesOneUnitAsALiteralDoes) {
    std::string out;
    for (uint32_t unit : {uint32_t{'A'}, uint32_t{'\''}, uint32_t{'"'}, uint32_t{'\\'},
                          uint32_t{'\n'}, 0xD800u, 0xFFFFu})
        VQAppendEscapedUnit(unit, '\'', out);
    EXPECT_EQ(out, "A\\'\"\\\\\\n\\ud800\\uffff");
}

// Inputs that some decoders used to take differently before they shared this module: the
// javap view accepted overlong forms, surrogates and values past U+10FFFF and replaced
// ill-formed bytes one by one; the tool's terminal text replaced one per byte as well; the
// base-type code of a descriptor accepted C0 and C1 lead bytes, overlong forms and
// surrogates. Each is now one U+FFFD per maximal subpart (or, for the base type, the
// first byte of the first subpart).
TEST(VQAppendEscapedText, InputsThatNowDecodeByTheSharedRule) {
    struct Case {
        Bytes in;
        const char* literal;   // in a javap literal
        const char* terminal;  // for a terminal
    };
    const Case cases[] = {
        {{0xC0, 0x80}, "\\ufffd\\ufffd", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // was \u0000
        {{0xC1, 0xBF}, "\\ufffd\\ufffd", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{0xE0, 0x80, 0xAF},
         "\\ufffd\\ufffd\\ufffd",  // was \u002f
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{0xED, 0xA0, 0x80},
         "\\ufffd\\ufffd\\ufffd",  // was \ud800
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{0xF0, 0x80, 0x80, 0xAF},
         "\\ufffd\\ufffd\\ufffd\\ufffd",
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{0xF4, 0x90, 0x80, 0x80},
         "\\ufffd\\ufffd\\ufffd\\ufffd",
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        // Cut-short sequences: one replacement each, where there was one per byte.
        {{0xE2, 0x82, 'A'},
         "\\ufffdA",
         "\xEF\xBF\xBD"
         "A"},
        {{0xF0, 0x9F, 0x98}, "\\ufffd", "\xEF\xBF\xBD"},
        {{0xC3}, "\\ufffd", "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        const std::string text(c.in.begin(), c.in.end());
        EXPECT_EQ(escaped(text, VQEscapeStyle::javaLiteral), c.literal)
            << ::testing::PrintToString(c.in);
        EXPECT_EQ(escaped(text, VQEscapeStyle::terminal), c.terminal)
            << ::testing::PrintToString(c.in);
        const auto* p = reinterpret_cast<const uint8_t*>(text.data());
        EXPECT_FALSE(VQDecodeUTF8(p, p + text.size()).valid) << ::testing::PrintToString(c.in);
    }
}

}  // namespace
}  // namespace ornith
