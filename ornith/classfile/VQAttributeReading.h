#pragma once
// What the decoders of the nesting, record, parameter and annotation attributes share: a
// bounds-checked cursor over one attribute's info bytes. Their pool lookups are those of
// VQPoolReader, whose failures they take as answers instead of raising.
//
// Those decoders never fail the parse of their class: an attribute whose counts,
// lengths or pool indexes do not hold is kept, marked malformed and empty, so that a
// class the model read before these attributes were decoded still reads the same.

#include <span>

#include "ornith/base/VQByteCursor.h"
#include "ornith/classfile/VQConstantPool.h"

namespace ornith::parsing {

// The bytes from the stream's position to its end: exactly one attribute's info.
inline VQByteCursor attributeCursor(const VQByteStream& stream) {
    return VQByteCursor(
        std::span<const uint8_t>(stream.bytes + stream.position, VQBytesLeft(stream)));
}

}  // namespace ornith::parsing
