#pragma once
// Text as class files store it, decoded into standard UTF-8: the "modified UTF-8" of Utf8
// constants and the big-endian 16-bit units of the older Unicode constants.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ornith {

// Class-file modified UTF-8 to standard UTF-8: C0 80 becomes U+0000, surrogate pairs
// written as two three-byte sequences become one four-byte character, a lone surrogate
// becomes U+FFFD, standard four-byte sequences are kept, and anything else ill-formed
// becomes U+FFFD per maximal ill-formed subpart. Never fails, never reads past `length`.
void VQAppendModifiedUTF8(std::string& out, const uint8_t* bytes, size_t length);

// Big-endian 16-bit units to UTF-8: a surrogate pair becomes one character, a lone
// surrogate or an odd trailing byte becomes U+FFFD. Never fails, never reads past `length`.
void VQAppendUTF16BE(std::string& out, const uint8_t* bytes, size_t length);

// True when no byte has its top bit set, so that the modified UTF-8 is the text itself.
// Inline and branch-light for the short texts of names and descriptors, which every
// parse asks about: whole words, the last one overlapping, single bytes only below 8.
inline bool VQIsASCII(const uint8_t* bytes, size_t length) {
    uint64_t seen = 0;
    if (length >= 8) {
        uint64_t word;
        for (size_t i = 0; i + 8 < length; i += 8) {
            std::memcpy(&word, bytes + i, 8);
            seen |= word;
        }
        std::memcpy(&word, bytes + length - 8, 8);
        seen |= word;
    } else {
        for (size_t i = 0; i < length; ++i) seen |= bytes[i];
    }
    return (seen & 0x8080808080808080ull) == 0;
}

}  // namespace ornith
