#pragma once
// Finding the decoder for an attribute by its name's pool index, without making a string
// or an object for the names nobody decodes. The parser's own business.

#include <cstdint>
#include <memory>

#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

namespace parsing {

// The attribute whose name is the Utf8 entry at nameIndex, decoded from `info` as
// VQJavaAttribute::attributeWithName does. Every attribute of a name without a
// registered decoder is the same immutable object (per thread), so that a Code
// attribute, which every concrete method has, costs neither an object nor a string.
//
// A parse may pass a memo of the names it has met: a class names "Code" by one pool index
// for all of its methods, so a repeated index finds its decoder without reading the name.
struct AttributeNameMemo {
    static constexpr uint32_t kSlots = 8;
    int32_t index[kSlots] = {};  // 0 marks an empty slot: no name lives at pool index 0
    const void* decoder[kSlots] = {};
    uint64_t generation = 0;  // of the per-thread name cache that the decoders belong to
};
std::shared_ptr<const VQJavaAttribute> attributeAtNameIndex(const VQConstantPool& pool,
                                                            int32_t nameIndex, VQByteStream& info,
                                                            AttributeNameMemo* memo = nullptr);

}  // namespace parsing

}  // namespace ornith
