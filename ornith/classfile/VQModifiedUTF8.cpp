#include "ornith/classfile/VQModifiedUTF8.h"

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQText.h"

namespace ornith {

void VQAppendModifiedUTF8(std::string& out, const uint8_t* bytes, size_t length) {
    const uint8_t* p = bytes;
    const uint8_t* const end = bytes + length;
    while (p < end) {
        // Text that is already standard UTF-8 is copied in runs; only what differs from it
        // (U+0000, surrogates, ill-formed bytes) is decoded one character at a time.
        const size_t run = VQValidUTF8Prefix(p, static_cast<size_t>(end - p));
        out.append(reinterpret_cast<const char*>(p), run);
        p += run;
        if (p == end) break;
        const VQUTF8Step step = VQDecodeModifiedUTF8(p, end);
        VQAppendUTF8(out, step.value);
        p += step.length;
    }
}

void VQAppendUTF16BE(std::string& out, const uint8_t* bytes, size_t length) {
    for (size_t k = 0; k < length; k += 2) {
        if (k + 1 == length) {
            VQAppendUTF8(out, kVQReplacementCharacter);
            break;
        }
        const uint32_t unit = VQLoadBE16(bytes + k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 3 < length) {
            const uint32_t low = VQLoadBE16(bytes + k + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                VQAppendUTF8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                k += 2;
                continue;
            }
        }
        VQAppendUTF8(out, VQIsSurrogate(unit) ? kVQReplacementCharacter : unit);
    }
}

}  // namespace ornith
