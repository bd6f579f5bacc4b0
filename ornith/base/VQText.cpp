#include "ornith/base/VQText.h"

#include <cstring>

namespace ornith {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Java's escape of one UTF-16 unit, for the units that are not written as themselves.
void appendEscape(uint32_t unit, std::string& out) {
    switch (unit) {
        case '\b':
            out.append("\\b");
            return;
        case '\t':
            out.append("\\t");
            return;
        case '\n':
            out.append("\\n");
            return;
        case '\f':
            out.append("\\f");
            return;
        case '\r':
            out.append("\\r");
            return;
        case '\\':
            out.append("\\\\");
            return;
        case '\'':
            out.append("\\'");
            return;
        case '"':
            out.append("\\\"");
            return;
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            const char escape[6] = {'\\',
                                    'u',
                                    kHex[(unit >> 12) & 0xF],
                                    kHex[(unit >> 8) & 0xF],
                                    kHex[(unit >> 4) & 0xF],
                                    kHex[unit & 0xF]};
            out.append(escape, 6);
        }
    }
}

// What a terminal must not be handed as itself: controls that move the cursor or start
// escape sequences, line and paragraph separators, and the bidirectional embeddings,
// overrides and isolates that reorder what is shown.
constexpr bool terminalEscapes(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

size_t VQValidUTF8Prefix(const uint8_t* bytes, size_t length) noexcept {
    const uint8_t* p = bytes;
    const uint8_t* const end = bytes + length;
    while (p < end) {
        if (*p < 0x80) {
            // ASCII a word at a time; most text is nothing else.
            while (end - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & kHighBits) break;
                p += 8;
            }
            while (p < end && *p < 0x80) ++p;
            continue;
        }
        const VQUTF8Step step = VQDecodeUTF8(p, end);
        if (!step.valid) break;
        p += step.length;
    }
    return static_cast<size_t>(p - bytes);
}

void VQAppendEscapedText(std::string_view utf8, std::string& out, VQEscapeStyle style, char quote) {
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const uint8_t* const end = p + utf8.size();
    const bool literal = style == VQEscapeStyle::javaLiteral;
    const auto q = static_cast<uint8_t>(quote);
    while (p < end) {
        // Runs of printable ASCII, nearly all of any text, are copied whole.
        const uint8_t* run = p;
        if (literal) {
            while (run < end && *run >= 0x20 && *run < 0x7F && *run != q && *run != '\\') ++run;
        } else {
            while (run < end && *run >= 0x20 && *run < 0x7F) ++run;
        }
        out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(run - p));
        p = run;
        if (p == end) break;
        const VQUTF8Step step = VQDecodeUTF8(p, end);
        if (literal) {
            char16_t units[2];
            const size_t count = VQEncodeUTF16(step.value, units);
            for (size_t i = 0; i < count; ++i) appendEscape(units[i], out);
        } else if (terminalEscapes(step.value)) {
            appendEscape(step.value, out);
        } else if (step.valid) {
            out.append(reinterpret_cast<const char*>(p), step.length);
        } else {
            out.append("\xEF\xBF\xBD");
        }
        p += step.length;
    }
}

void VQAppendEscapedUnit(uint32_t unit, char quote, std::string& out) {
    if (unit >= 0x20 && unit < 0x7F && unit != static_cast<uint8_t>(quote) && unit != '\\')
        out.push_back(static_cast<char>(unit));
    else
        appendEscape(unit & 0xFFFF, out);
}

}  // namespace ornith
