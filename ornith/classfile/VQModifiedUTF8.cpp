#include "ornith/classfile/VQModifiedUTF8.h"

#include "ornith/base/VQEndian.h"

namespace ornith {

namespace {

void appendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        const char s[2] = {static_cast<char>(0xC0 | (c >> 6)),
                           static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 2);
    } else if (c < 0x10000) {
        const char s[3] = {static_cast<char>(0xE0 | (c >> 12)),
                           static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 3);
    } else {
        const char s[4] = {
            static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 4);
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

inline bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Length of the longest run of ASCII bytes at the start.
size_t asciiPrefix(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < length && bytes[i] < 0x80) ++i;
    return i;
}

// A three-byte surrogate sequence ED A0..BF 80..BF at p (with at least 3 bytes left);
// returns the surrogate, or 0 when there is none.
inline uint32_t surrogateAt(const uint8_t* p, size_t left) {
    if (left >= 3 && p[0] == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF && isContinuation(p[2]))
        return 0xD000u | (uint32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
    return 0;
}

// Length of the longest run at the start that is its own UTF-8: ASCII and every well-formed
// sequence of standard UTF-8 except the surrogates (ED A0..BF), which the class-file form
// writes one by one. C0 80 and anything ill-formed end the run.
size_t verbatimPrefix(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            i += asciiPrefix(bytes + i, length - i);
            continue;
        }
        const size_t left = length - i;
        const uint8_t* p = bytes + i;
        if (b >= 0xC2 && b <= 0xDF) {
            if (left < 2 || !isContinuation(p[1])) break;
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            const uint8_t lo = b == 0xE0 ? 0xA0 : 0x80;
            const uint8_t hi = b == 0xED ? 0x9F : 0xBF;
            if (left < 3 || p[1] < lo || p[1] > hi || !isContinuation(p[2])) break;
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            const uint8_t lo = b == 0xF0 ? 0x90 : 0x80;
            const uint8_t hi = b == 0xF4 ? 0x8F : 0xBF;
            if (left < 4 || p[1] < lo || p[1] > hi || !isContinuation(p[2]) ||
                !isContinuation(p[3]))
                break;
            i += 4;
        } else {
            break;
        }
    }
    return i;
}

}  // namespace

void VQAppendModifiedUTF8(std::string& out, const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        // Text that is already standard UTF-8 is copied in runs; only what differs from it
        // (U+0000, surrogates, ill-formed bytes) is decoded below, one character at a time.
        if (size_t run = verbatimPrefix(bytes + i, length - i)) {
            out.append(reinterpret_cast<const char*>(bytes + i), run);
            i += run;
            if (i == length) break;
        }
        const uint8_t b = bytes[i];
        const size_t left = length - i;
        // The class-file form of U+0000.
        if (b == 0xC0 && left >= 2 && bytes[i + 1] == 0x80) {
            out.push_back('\0');
            i += 2;
            continue;
        }
        // Surrogates written one by one as three-byte sequences: a high one followed by a
        // low one is a single supplementary character; any other is a lone surrogate.
        if (uint32_t high = surrogateAt(bytes + i, left)) {
            if (high <= 0xDBFF) {
                if (uint32_t low = surrogateAt(bytes + i + 3, left - 3); low >= 0xDC00) {
                    appendCodePoint(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
                    i += 6;
                    continue;
                }
            }
            appendCodePoint(out, kReplacement);
            i += 3;
            continue;
        }
        // Standard UTF-8 (Unicode table 3-7). `need` continuation bytes follow the lead; the
        // first of them has its own range. An ill-formed sequence yields one replacement per
        // maximal subpart: the lead plus the continuation bytes that were valid so far.
        int need;
        uint8_t lo = 0x80, hi = 0xBF;
        uint32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2, c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            // ED A0..BF is a surrogate, taken above when complete; an incomplete one is one
            // ill-formed subpart like any other prefix of a three-byte sequence.
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3, c = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            appendCodePoint(out, kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        for (; got < need && j < length; ++got, ++j) {
            const uint8_t cb = bytes[j];
            const uint8_t l = got == 0 ? lo : 0x80;
            const uint8_t h = got == 0 ? hi : 0xBF;
            if (cb < l || cb > h) break;
            c = (c << 6) | (cb & 0x3F);
        }
        appendCodePoint(out, got == need ? c : kReplacement);
        i = j;
    }
}

void VQAppendUTF16BE(std::string& out, const uint8_t* bytes, size_t length) {
    for (size_t k = 0; k < length; k += 2) {
        if (k + 1 == length) {
            appendCodePoint(out, kReplacement);
            break;
        }
        const uint32_t unit = VQLoadBE16(bytes + k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 3 < length) {
            const uint32_t low = VQLoadBE16(bytes + k + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                k += 2;
                continue;
            }
        }
        appendCodePoint(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
}

}  // namespace ornith
