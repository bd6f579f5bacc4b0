#include "SafeText.h"

#include <cstdint>
#include <cstdio>

namespace ornith::tool {

namespace {

bool needsEscape(uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

void appendEscape(uint32_t cp, std::string& out) {
    switch (cp) {
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
        default: {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", cp);
            out.append(buffer);
        }
    }
}

// Length and value of the well-formed UTF-8 sequence at `at`; length 0 when none.
size_t decode(std::string_view text, size_t at, uint32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t length;
    uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(at + i) & 0x3Fu);
    }
    return length;
}

}  // namespace

void appendSafeText(std::string_view utf8, std::string& out) {
    size_t at = 0;
    while (at < utf8.size()) {
        // Runs of plain printable ASCII, nearly all of any text, are copied whole.
        size_t run = at;
        while (run < utf8.size()) {
            const auto c = static_cast<uint8_t>(utf8[run]);
            if (c < 0x20 || c >= 0x7F) break;
            ++run;
        }
        out.append(utf8.substr(at, run - at));
        at = run;
        if (at >= utf8.size()) break;
        uint32_t cp = 0;
        const size_t length = decode(utf8, at, cp);
        if (length == 0) {
            out.append("\xEF\xBF\xBD");
            ++at;
        } else if (needsEscape(cp)) {
            appendEscape(cp, out);
            at += length;
        } else {
            out.append(utf8.substr(at, length));
            at += length;
        }
    }
}

std::string safeText(std::string_view utf8) {
    std::string out;
    appendSafeText(utf8, out);
    return out;
}

}  // namespace ornith::tool
