#include "ornith/classfile/VQAttributeReading.h"

#include <cstring>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith::parsing {

const uint8_t* poolEntryAt(const VQConstantPool& pool, uint32_t index, int tag,
                           uint32_t bodyLength) noexcept {
    if (index == 0 || index >= static_cast<uint32_t>(pool.count)) return nullptr;
    const uint8_t* body = pool.entries[index];
    if (!body || body[-1] != tag) return nullptr;
    if (static_cast<size_t>(pool.end - body) < bodyLength) return nullptr;
    return body;
}

namespace {

// The bytes of the Utf8 entry at the index, bounds checked; null for anything else.
const uint8_t* utf8Bytes(const VQConstantPool& pool, uint32_t index, size_t& length) noexcept {
    const uint8_t* body = poolEntryAt(pool, index, kVQConstantUtf8, 2);
    if (!body) return nullptr;
    length = VQLoadBE16(body);
    if (static_cast<size_t>(pool.end - body) - 2 < length) return nullptr;
    return body + 2;
}

}  // namespace

bool poolTextAt(const VQConstantPool& pool, uint32_t index, std::string& out) {
    // Names are nearly always plain ASCII, whose modified UTF-8 is the text itself.
    if (std::optional<std::string_view> plain =
            VQPlainTextAtIndex(pool, static_cast<int32_t>(index))) {
        out.assign(*plain);
        return true;
    }
    size_t length = 0;
    if (const uint8_t* text = utf8Bytes(pool, index, length)) {
        out.clear();
        VQAppendModifiedUTF8(out, text, length);
        return true;
    }
    // The old 16-bit Unicode entries are rare enough to go through the raising lookup.
    if (!poolEntryAt(pool, index, kVQConstantUnicode, 2)) return false;
    try {
        out = VQStringValueAtIndex(pool, static_cast<int32_t>(index));
    } catch (const VQException&) {
        return false;
    }
    return true;
}

bool poolClassNameAt(const VQConstantPool& pool, uint32_t index, std::string& out) {
    const uint8_t* body = poolEntryAt(pool, index, kVQConstantClass, 2);
    if (!body || !poolTextAt(pool, VQLoadBE16(body), out)) return false;
    convertPathToJavaIdentifierInPlace(out);
    return true;
}

std::optional<std::string_view> poolRawClassNameAt(const VQConstantPool& pool,
                                                   uint32_t index) noexcept {
    const uint8_t* body = poolEntryAt(pool, index, kVQConstantClass, 2);
    if (!body) return std::nullopt;
    size_t length = 0;
    const uint8_t* text = utf8Bytes(pool, VQLoadBE16(body), length);
    if (!text) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text), length);
}

std::optional<std::string_view> poolRawTextAt(const VQConstantPool& pool, uint32_t index) noexcept {
    size_t length = 0;
    const uint8_t* text = utf8Bytes(pool, index, length);
    if (!text) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text), length);
}

bool appendDottedClassName(const VQConstantPool& pool, uint32_t index, std::string& out,
                           std::string_view* plain) {
    if (plain) *plain = {};
    if (std::optional<std::string_view> raw = poolRawClassNameAt(pool, index)) {
        // Copied, converted and checked for plain ASCII in one pass over the bytes (a loop
        // the compiler vectorizes); anything else is taken back and decoded in full below.
        const size_t start = out.size(), n = raw->size();
        out.resize(start + n);
        const auto* from = reinterpret_cast<const unsigned char*>(raw->data());
        auto* to = reinterpret_cast<unsigned char*>(out.data() + start);
        unsigned char seen = 0;
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = from[i];
            seen |= c;
            to[i] = c == '/' || c == '\\' ? '.' : c;
        }
        // A name that ends in a separator loses it when converted: the full way then.
        if (seen < 0x80 && (n == 0 || to[n - 1] != '.' || from[n - 1] == '.')) {
            if (plain) *plain = *raw;
            return true;
        }
        out.resize(start);
    }
    thread_local std::string decoded;
    if (!poolClassNameAt(pool, index, decoded)) return false;
    out.append(decoded);
    return true;
}

bool poolTextEquals(const VQConstantPool& pool, uint32_t index, std::string_view text) noexcept {
    size_t length = 0;
    const uint8_t* bytes = utf8Bytes(pool, index, length);
    return bytes && length == text.size() && std::memcmp(bytes, text.data(), length) == 0;
}

}  // namespace ornith::parsing
