// The text module's decoders against a reference written from the table of well-formed
// byte sequences rather than from bit patterns: each step must take what the table says
// (a whole character, or the longest start of one, or one byte), valid characters must
// encode back to their bytes, everything written must be well-formed, and escaped text
// must hold nothing that a terminal would act on.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQText.h"

using namespace ornith;

namespace {

struct Range {
    uint8_t low, high;
};

struct Row {
    int length;
    Range bytes[4];
};

// Well-formed UTF-8 byte sequences, one row per line of the standard's table; the
// generalized form differs only in the ED row.
constexpr Row kRows[] = {
    {1, {{0x00, 0x7F}}},
    {2, {{0xC2, 0xDF}, {0x80, 0xBF}}},
    {3, {{0xE0, 0xE0}, {0xA0, 0xBF}, {0x80, 0xBF}}},
    {3, {{0xE1, 0xEC}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {3, {{0xED, 0xED}, {0x80, 0x9F}, {0x80, 0xBF}}},
    {3, {{0xEE, 0xEF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {4, {{0xF0, 0xF0}, {0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {4, {{0xF1, 0xF3}, {0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {4, {{0xF4, 0xF4}, {0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
};

struct Reference {
    uint32_t length;
    bool valid;
};

// The character or maximal ill-formed subpart at p, by the table.
Reference reference(const uint8_t* p, const uint8_t* end, bool surrogates) {
    uint32_t longest = 0;
    for (Row row : kRows) {
        if (surrogates && row.bytes[0].low == 0xED) row.bytes[1].high = 0xBF;
        uint32_t matched = 0;
        while (matched < static_cast<uint32_t>(row.length) && p + matched < end &&
               p[matched] >= row.bytes[matched].low && p[matched] <= row.bytes[matched].high)
            ++matched;
        if (matched == static_cast<uint32_t>(row.length)) return {matched, true};
        if (matched > longest) longest = matched;
    }
    return {longest > 0 ? longest : 1, false};
}

bool isSurrogate(uint32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Walks the input with `decode`; checks every step against the reference, and against the
// input's own bytes when valid. Answers the text with U+FFFD for each ill-formed subpart.
template <VQUTF8Step (*Decode)(const uint8_t*, const uint8_t*)>
std::string walk(const uint8_t* data, size_t size, bool surrogates, size_t& firstBad,
                 size_t& replaced) {
    std::string out;
    firstBad = size;
    replaced = 0;
    for (const uint8_t* p = data; p < data + size;) {
        const VQUTF8Step step = Decode(p, data + size);
        const Reference ref = reference(p, data + size, surrogates);
        ORNITH_FUZZ_CHECK(step.length >= 1 && step.length <= static_cast<size_t>(data + size - p));
        ORNITH_FUZZ_CHECK(step.length == ref.length);
        ORNITH_FUZZ_CHECK(step.valid == ref.valid);
        if (step.valid) {
            ORNITH_FUZZ_CHECK(step.value <= 0x10FFFF);
            ORNITH_FUZZ_CHECK(surrogates || !isSurrogate(step.value));
            char bytes[4];
            const size_t n = VQEncodeUTF8(step.value, bytes);
            ORNITH_FUZZ_CHECK(n == step.length &&
                              std::string(bytes, n) ==
                                  std::string(reinterpret_cast<const char*>(p), n));
            out.append(bytes, n);
        } else {
            ORNITH_FUZZ_CHECK(step.value == kVQReplacementCharacter);
            if (firstBad == size) firstBad = static_cast<size_t>(p - data);
            ++replaced;
            VQAppendUTF8(out, kVQReplacementCharacter);
        }
        p += step.length;
    }
    return out;
}

size_t countReplacements(const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("\xEF\xBF\xBD"); at != std::string::npos;
         at = text.find("\xEF\xBF\xBD", at + 3))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t replacementsIn = countReplacements(std::string(text));

    size_t firstBad, replaced;
    const std::string clean = walk<VQDecodeUTF8>(data, size, false, firstBad, replaced);
    ORNITH_FUZZ_CHECK(VQIsValidUTF8(clean));
    ORNITH_FUZZ_CHECK(VQValidUTF8Prefix(data, size) == firstBad);
    ORNITH_FUZZ_CHECK(countReplacements(clean) == replacementsIn + replaced);
    if (firstBad == size) ORNITH_FUZZ_CHECK(clean == text);

    size_t generalizedBad, generalizedReplaced;
    walk<VQDecodeGeneralizedUTF8>(data, size, true, generalizedBad, generalizedReplaced);
    ORNITH_FUZZ_CHECK(generalizedReplaced <= replaced);

    // Modified UTF-8: every step stays inside the input and writes standard UTF-8; the
    // characters of well-formed text come back from their modified form.
    std::string decoded;
    for (const uint8_t* p = data; p < data + size;) {
        const VQUTF8Step step = VQDecodeModifiedUTF8(p, data + size);
        ORNITH_FUZZ_CHECK(step.length >= 1 && step.length <= static_cast<size_t>(data + size - p));
        ORNITH_FUZZ_CHECK(step.value <= 0x10FFFF && !isSurrogate(step.value));
        VQAppendUTF8(decoded, step.value);
        p += step.length;
    }
    ORNITH_FUZZ_CHECK(VQIsValidUTF8(decoded));
    if (firstBad == size) {
        std::string modified;
        for (const uint8_t* p = data; p < data + size;) {
            const VQUTF8Step step = VQDecodeUTF8(p, data + size);
            char bytes[6];
            modified.append(bytes, VQEncodeModifiedUTF8(step.value, bytes));
            p += step.length;
        }
        ORNITH_FUZZ_CHECK(modified.find('\0') == std::string::npos);
        std::string back;
        const auto* m = reinterpret_cast<const uint8_t*>(modified.data());
        for (const uint8_t* p = m; p < m + modified.size();) {
            const VQUTF8Step step = VQDecodeModifiedUTF8(p, m + modified.size());
            ORNITH_FUZZ_CHECK(step.valid);
            VQAppendUTF8(back, step.value);
            p += step.length;
        }
        ORNITH_FUZZ_CHECK(back == text);
    }

    // Escaped text: well-formed, and for a terminal free of controls and of the characters
    // that reorder or break lines; in a literal, printable ASCII only.
    std::string terminal;
    VQAppendEscapedText(text, terminal, VQEscapeStyle::terminal);
    ORNITH_FUZZ_CHECK(VQIsValidUTF8(terminal));
    const auto* t = reinterpret_cast<const uint8_t*>(terminal.data());
    for (const uint8_t* p = t; p < t + terminal.size();) {
        const VQUTF8Step step = VQDecodeUTF8(p, t + terminal.size());
        const uint32_t c = step.value;
        ORNITH_FUZZ_CHECK(c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c != 0x2028 && c != 0x2029 &&
                          !(c >= 0x202A && c <= 0x202E) && !(c >= 0x2066 && c <= 0x2069));
        p += step.length;
    }
    std::string literal;
    VQAppendEscapedText(text, literal, VQEscapeStyle::javaLiteral, '"');
    for (char c : literal) ORNITH_FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    if (firstBad == size && text.find_first_of("\"\\") == std::string_view::npos) {
        bool printable = true;
        for (char c : text) printable = printable && c >= 0x20 && c < 0x7F;
        if (printable) ORNITH_FUZZ_CHECK(literal == text);
    }
    return 0;
}
