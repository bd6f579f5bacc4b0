#include "ornith/classfile/VQModifiedUTF8.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ornith {
namespace {

using Bytes = std::vector<uint8_t>;

// Decodes an exact-size copy, so that a sanitizer sees a read past the text.
template <void (*Append)(std::string&, const uint8_t*, size_t)>
std::string decodeWith(const Bytes& in) {
    auto copy = std::make_unique<uint8_t[]>(in.size());
    std::copy(in.begin(), in.end(), copy.get());
    std::string out;
    Append(out, copy.get(), in.size());
    return out;
}

std::string decode(const Bytes& in) {
    return decodeWith<VQAppendModifiedUTF8>(in);
}

#define FFFD "\xEF\xBF\xBD"

TEST(VQAppendModifiedUTF8, DecodesTheClassFileForm) {
    const std::pair<Bytes, std::string> cases[] = {
        {{}, ""},
        {{'a', 'b', 'c'}, "abc"},
        {{0xC0, 0x80}, std::string(1, '\0')},
        {{'a', 0xC0, 0x80, 'b'}, std::string("a\0b", 3)},
        {{0x00}, std::string(1, '\0')},
        {{0xC3, 0xA9}, "\xC3\xA9"},
        {{0xE4, 0xB8, 0xAD}, "\xE4\xB8\xAD"},
        {{0xEF, 0xBF, 0xBF}, "\xEF\xBF\xBF"},
        // U+1F600 as two three-byte surrogates, and in standard four-byte form.
        {{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, "\xF0\x9F\x98\x80"},
        {{0xF0, 0x9F, 0x98, 0x80}, "\xF0\x9F\x98\x80"},
        {{0xF4, 0x8F, 0xBF, 0xBF}, "\xF4\x8F\xBF\xBF"},
        // Lone surrogates, and a high one followed by another high one.
        {{0xED, 0xA0, 0xBD, 'a'}, FFFD "a"},
        {{0xED, 0xB8, 0x80}, FFFD},
        {{0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD}, FFFD FFFD},
        {{0xED, 0xA0, 0xBD, 0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, FFFD "\xF0\x9F\x98\x80"},
        {{0xED, 0xA0, 0xBD, 0xED, 0xB8}, FFFD FFFD},  // the low half is cut short
        {{0xED, 0x9F, 0xBF}, "\xED\x9F\xBF"},         // U+D7FF, just below the surrogates
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(decode(in), expected) << ::testing::PrintToString(in);
}

TEST(VQAppendModifiedUTF8, ReplacesEachMaximalIllFormedSubpart) {
    const std::pair<Bytes, std::string> cases[] = {
        {{0x80}, FFFD},
        {{0xBF, 0x80}, FFFD FFFD},
        {{0xC0}, FFFD},
        {{0xC0, 0x81}, FFFD FFFD},  // overlong forms other than C0 80
        {{0xC1, 0xBF}, FFFD FFFD},
        {{0xC3}, FFFD},
        {{0xC3, 'x'}, FFFD "x"},
        {{0xE4, 0xB8}, FFFD},
        {{0xE4, 0xB8, 'A'}, FFFD "A"},
        {{0xE0, 0x80, 0x80}, FFFD FFFD FFFD},
        {{0xE0, 0xA0}, FFFD},
        {{0xED, 0xA0}, FFFD},
        {{0xED, 0xA0, 'A'}, FFFD "A"},
        {{0xF0, 0x80, 0x80, 0x80}, FFFD FFFD FFFD FFFD},
        {{0xF0, 0x9F, 0x98}, FFFD},
        {{0xF0, 0x9F, 'A'}, FFFD "A"},
        {{0xF4, 0x90, 0x80, 0x80}, FFFD FFFD FFFD FFFD},
        {{0xF5, 0x80}, FFFD FFFD},
        {{0xF8, 0x88, 0x80, 0x80, 0x80}, FFFD FFFD FFFD FFFD FFFD},
        {{0xFF, 'a'}, FFFD "a"},
        {{0xC3, 0xA9, 0xA9}, "\xC3\xA9" FFFD},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(decode(in), expected) << ::testing::PrintToString(in);
}

TEST(VQAppendModifiedUTF8, TheAsciiFastPathHandsOverAtAnyOffset) {
    // Non-ASCII bytes at every position around the eight-byte word boundaries.
    const std::string ascii = "abcdefghijklmnopqrstuvwx";
    for (size_t at = 0; at <= ascii.size(); ++at) {
        Bytes in(ascii.begin(), ascii.end());
        in.insert(in.begin() + static_cast<std::ptrdiff_t>(at), {0xC0, 0x80});
        std::string expected = ascii;
        expected.insert(at, 1, '\0');
        EXPECT_EQ(decode(in), expected) << at;

        Bytes cut(ascii.begin(), ascii.begin() + static_cast<std::ptrdiff_t>(at));
        cut.push_back(0xE4);  // a lead byte as the very last byte
        EXPECT_EQ(decode(cut), ascii.substr(0, at) + FFFD) << at;
    }
    std::string out = "kept:";
    const Bytes more = {'x', 'y'};
    VQAppendModifiedUTF8(out, more.data(), more.size());
    EXPECT_EQ(out, "kept:xy");
}

TEST(VQAppendUTF16BE, PairsSurrogatesAndReplacesWhatIsLeftOver) {
    const std::pair<Bytes, std::string> cases[] = {
        {{}, ""},
        {{0, 'A', 0x00, 0xE9, 0x4E, 0x2D}, "A\xC3\xA9\xE4\xB8\xAD"},
        {{0xD8, 0x3D, 0xDE, 0x00}, "\xF0\x9F\x98\x80"},
        {{0xDB, 0xFF, 0xDF, 0xFF}, "\xF4\x8F\xBF\xBF"},  // the last code point
        {{0xD8, 0x3D}, FFFD},                            // a high surrogate at the end
        {{0xD8, 0x3D, 0xD8, 0x3D, 0xDE, 0x00}, FFFD "\xF0\x9F\x98\x80"},
        {{0xDE, 0x00, 0xD8, 0x3D}, FFFD FFFD},
        {{0xD8, 0x3D, 0xDE}, FFFD FFFD},  // the low half cut to one byte
        {{0, 'a', 0x7F}, "a" FFFD},
        {{0, 0}, std::string(1, '\0')},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(decodeWith<VQAppendUTF16BE>(in), expected) << ::testing::PrintToString(in);
}

TEST(VQIsASCII, SeesATopBitAtEveryPositionAndLength) {
    for (size_t length = 0; length <= 24; ++length) {
        Bytes plain(length, 'a');
        EXPECT_TRUE(VQIsASCII(plain.data(), plain.size())) << length;
        for (size_t at = 0; at < length; ++at) {
            Bytes marked = plain;
            marked[at] = 0x80;
            EXPECT_FALSE(VQIsASCII(marked.data(), marked.size())) << length << " " << at;
        }
    }
}

}  // namespace
}  // namespace ornith
