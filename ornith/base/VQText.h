#pragma once
// Text encodings in one place: UTF-8 decoded, encoded and validated; the modified UTF-8 of
// class files and runtime images; UTF-16 written; and text escaped for a terminal or for a
// Java literal.
//
// Ill-formed input. Unless a function says otherwise, every maximal subpart of an
// ill-formed sequence becomes one U+FFFD: the longest start of a well-formed sequence found
// at that point (a lead byte with the continuation bytes that were right for it), or a
// single byte when no sequence can start there. This is the practice the Unicode standard
// recommends (chapter 3, "U+FFFD substitution of maximal subparts"): a decoder never takes a
// byte that could start the next character, so one bad byte costs at most one character.
//
// Two grammars are in use, and subparts are counted against the one a function names:
//   - standard UTF-8 (Unicode table 3-7): shortest forms only, no surrogates (ED A0..BF),
//     nothing past U+10FFFF;
//   - the generalized form that modified UTF-8 is built on: the same, except that the
//     surrogates U+D800..U+DFFF are written like any other three-byte character.
// Where a caller's documented behaviour differs, the caller says so and builds on these:
//   - modified UTF-8 (VQDecodeModifiedUTF8): C0 80 is U+0000, a high and a low surrogate
//     in a row are one supplementary character, a lone surrogate is one U+FFFD for its
//     three bytes;
//   - the Java source reader does what javac does: an encoded surrogate is one U+FFFD for
//     its three bytes;
//   - VQJavaType's base-type code answers the first byte of an ill-formed character.
//
// Decoding never reads outside the range it is given and never allocates; the steps are
// inline so that the ASCII and well-formed paths of the callers' loops stay tight.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ornith {

inline constexpr uint32_t kVQReplacementCharacter = 0xFFFD;

inline constexpr bool VQIsUTF8Continuation(uint8_t byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Bytes of the well-formed sequence that `lead` starts: 1 for ASCII, 2 to 4, or 0 for a
// byte that starts none (a continuation byte, C0, C1, F5..FF).
inline constexpr uint32_t VQUTF8SequenceLength(uint8_t lead) noexcept {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return lead < 0xF5 ? 4 : 0;
}

inline constexpr bool VQIsSurrogate(uint32_t c) noexcept {
    return c >= 0xD800 && c <= 0xDFFF;
}

// One decoded character: its value (U+FFFD when not valid) and the bytes it took (at least
// one; for an ill-formed sequence, its maximal subpart).
struct VQUTF8Step {
    uint32_t value;
    uint32_t length;
    bool valid;
};

namespace text_detail {

template <bool kSurrogates>
inline VQUTF8Step decodeUTF8(const uint8_t* p, const uint8_t* end) noexcept {
    const uint8_t lead = *p;
    if (lead < 0x80) return {lead, 1, true};
    uint32_t need;
    uint32_t value;
    uint8_t low = 0x80, high = 0xBF;  // range of the byte after the lead
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (!kSurrogates && lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {kVQReplacementCharacter, 1, false};
    }
    const size_t left = static_cast<size_t>(end - p) - 1;
    uint32_t got = 0;
    for (; got < need && got < left; ++got) {
        const uint8_t next = p[1 + got];
        if (next < low || next > high) break;
        value = (value << 6) | (next & 0x3Fu);
        low = 0x80, high = 0xBF;
    }
    if (got < need) return {kVQReplacementCharacter, 1 + got, false};
    return {value, 1 + need, true};
}

}  // namespace text_detail

// The character of standard UTF-8 that starts at p; p < end.
inline VQUTF8Step VQDecodeUTF8(const uint8_t* p, const uint8_t* end) noexcept {
    return text_detail::decodeUTF8<false>(p, end);
}

// The same in the generalized grammar: a surrogate in three bytes is valid, with its value.
inline VQUTF8Step VQDecodeGeneralizedUTF8(const uint8_t* p, const uint8_t* end) noexcept {
    return text_detail::decodeUTF8<true>(p, end);
}

// The character of modified UTF-8 that starts at p; p < end. C0 80 is U+0000; a high
// surrogate followed by a low one (six bytes) is the supplementary character they make;
// a lone surrogate is not valid and takes its three bytes; standard four-byte sequences
// are accepted as they are.
inline VQUTF8Step VQDecodeModifiedUTF8(const uint8_t* p, const uint8_t* end) noexcept {
    if (*p == 0xC0 && end - p >= 2 && p[1] == 0x80) return {0, 2, true};
    const VQUTF8Step step = text_detail::decodeUTF8<true>(p, end);
    if (!step.valid || !VQIsSurrogate(step.value)) return step;
    if (step.value <= 0xDBFF && end - p >= 6) {
        const VQUTF8Step low = text_detail::decodeUTF8<true>(p + 3, end);
        if (low.valid && low.value >= 0xDC00 && low.value <= 0xDFFF)
            return {0x10000 + ((step.value - 0xD800) << 10) + (low.value - 0xDC00), 6, true};
    }
    return {kVQReplacementCharacter, 3, false};
}

// Length of the longest start of the bytes that is standard UTF-8.
size_t VQValidUTF8Prefix(const uint8_t* bytes, size_t length) noexcept;

inline bool VQIsValidUTF8(std::string_view text) noexcept {
    return VQValidUTF8Prefix(reinterpret_cast<const uint8_t*>(text.data()), text.size()) ==
           text.size();
}

// A pointer past the continuation bytes that start at p (p itself when there are none).
inline const char* VQSkipUTF8Continuations(const char* p, const char* end) noexcept {
    while (p < end && VQIsUTF8Continuation(static_cast<uint8_t>(*p))) ++p;
    return p;
}

// Writes `c` (below 0x110000) as UTF-8 at `out`, which has room for 4 bytes, and answers
// how many bytes it took. A surrogate is written in its three-byte form, as modified UTF-8
// and 16-bit text that holds a lone surrogate need; callers that must write standard
// UTF-8 do not pass one.
inline size_t VQEncodeUTF8(uint32_t c, char* out) noexcept {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

inline void VQAppendUTF8(std::string& out, uint32_t c) {
    char bytes[4];
    out.append(bytes, VQEncodeUTF8(c, bytes));
}

// Writes `c` (below 0x110000) as UTF-16 at `out`, which has room for 2 units; answers 1 or
// 2. A surrogate is written as the one unit it is.
inline size_t VQEncodeUTF16(uint32_t c, char16_t* out) noexcept {
    if (c < 0x10000) {
        out[0] = static_cast<char16_t>(c);
        return 1;
    }
    c -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (c >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    return 2;
}

// Writes `c` (below 0x110000) as modified UTF-8 at `out`, which has room for 6 bytes, and
// answers how many bytes it took: U+0000 as C0 80, a supplementary character as its two
// surrogates in three bytes each, anything else as in UTF-8.
inline size_t VQEncodeModifiedUTF8(uint32_t c, char* out) noexcept {
    if (c == 0) {
        out[0] = static_cast<char>(0xC0);
        out[1] = static_cast<char>(0x80);
        return 2;
    }
    if (c < 0x10000) return VQEncodeUTF8(c, out);
    char16_t units[2];
    VQEncodeUTF16(c, units);
    const size_t first = VQEncodeUTF8(units[0], out);
    return first + VQEncodeUTF8(units[1], out + first);
}

// How VQAppendEscapedText writes text.
enum class VQEscapeStyle : uint8_t {
    // For a terminal: every C0 control, DEL, C1 control, U+2028, U+2029, U+202A to U+202E
    // and U+2066 to U+2069 is escaped; everything else, spaces and backslashes included,
    // is kept.
    terminal,
    // Inside a Java literal: printable ASCII is kept except the quote and the backslash;
    // every other UTF-16 unit is escaped.
    javaLiteral,
};

// Appends `utf8` in `style`. An escape is Java's: \b \t \n \f \r \\ \' \" for those that
// have one, otherwise \u and four lower-case hex digits. An ill-formed subpart is taken as
// U+FFFD (written as such for a terminal, escaped in a literal), so the result is always
// well-formed. `quote` matters only to javaLiteral.
void VQAppendEscapedText(std::string_view utf8, std::string& out, VQEscapeStyle style,
                         char quote = '"');

// One UTF-16 unit as a Java literal quoted by `quote` writes it (see javaLiteral above).
void VQAppendEscapedUnit(uint32_t unit, char quote, std::string& out);

}  // namespace ornith
