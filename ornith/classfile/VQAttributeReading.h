#pragma once
// What the decoders of the nesting, record, parameter and annotation attributes share:
// a bounds-checked cursor over one attribute's info bytes, and constant-pool lookups
// that answer false instead of raising.
//
// Those decoders never fail the parse of their class: an attribute whose counts,
// lengths or pool indexes do not hold is kept, marked malformed and empty, so that a
// class the model read before these attributes were decoded still reads the same.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ornith/base/VQByteCursor.h"
#include "ornith/classfile/VQConstantPool.h"

namespace ornith::parsing {

// The bytes from the stream's position to its end: exactly one attribute's info.
inline VQByteCursor attributeCursor(const VQByteStream& stream) {
    return VQByteCursor(
        std::span<const uint8_t>(stream.bytes + stream.position, VQBytesLeft(stream)));
}

// The body of the entry at the index when it has the tag and bodyLength bytes; else null.
const uint8_t* poolEntryAt(const VQConstantPool& pool, uint32_t index, int tag,
                           uint32_t bodyLength) noexcept;
// The text of the Utf8 (or 16-bit Unicode) entry at the index, in UTF-8, replacing `out`.
bool poolTextAt(const VQConstantPool& pool, uint32_t index, std::string& out);
// The dotted name of the Class entry at the index (java/util/Map$Entry -> java.util.Map$Entry).
bool poolClassNameAt(const VQConstantPool& pool, uint32_t index, std::string& out);
// The bytes of the Class entry's name, or of the Utf8 entry, as they stand in the pool
// (modified UTF-8, '/' form), bounds checked; none for an entry of another kind.
std::optional<std::string_view> poolRawClassNameAt(const VQConstantPool& pool,
                                                   uint32_t index) noexcept;
std::optional<std::string_view> poolRawTextAt(const VQConstantPool& pool, uint32_t index) noexcept;
// Appends the dotted name of the Class entry at the index, as poolClassNameAt makes it.
// When the name is plain ASCII, `plain` (if given) is set to its bytes in the pool, of
// which the appended text is the '.' form byte for byte; else it is set empty.
bool appendDottedClassName(const VQConstantPool& pool, uint32_t index, std::string& out,
                           std::string_view* plain = nullptr);
// True when the Utf8 entry at the index is exactly `text` (compared without decoding).
bool poolTextEquals(const VQConstantPool& pool, uint32_t index, std::string_view text) noexcept;

}  // namespace ornith::parsing
