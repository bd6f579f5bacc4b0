#pragma once
// Finding the decoder for an attribute by its name's pool index, without making a string
// or an object for the names nobody decodes. The parser's own business.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

namespace parsing {

// A parse may pass a memo of the names it has met: a class names "Code" by one pool index
// for all of its methods, so a repeated index finds its decoder without reading the name.
struct AttributeNameMemo {
    static constexpr uint32_t kSlots = 8;
    int32_t index[kSlots] = {};  // 0 marks an empty slot: no name lives at pool index 0
    const void* decoder[kSlots] = {};
    uint64_t generation = 0;  // of the name cache that the decoders belong to
};

// The decoders met by name, kept in a parse context from parse to parse. Bounded, so that
// a stream of hostile class files with ever new attribute names cannot make it grow
// without end; names beyond the bound are decoded the plain way.
struct AttributeNameCache {
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>{}(name);
        }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
    };
    // What decodes the attributes of one name: the registered factory, or (when none is
    // registered) the one unknown-attribute object that stands for all of them.
    struct Decoder {
        VQJavaAttribute::Factory factory = nullptr;
        std::shared_ptr<const VQJavaAttribute> unknown;
    };
    using Map = std::unordered_map<std::string, Decoder, Hash, Equal>;

    uint64_t generation = 0;
    Map decoders;
    // The entry found last: attributes of one name come in runs (a Code attribute on
    // every method), and comparing with it is cheaper than hashing. Entries of an
    // unordered_map keep their address until they are erased.
    Map::value_type* last = nullptr;
};

// The attribute whose name is the Utf8 entry at nameIndex, decoded from `info` as
// VQJavaAttribute::attributeWithName does. Within a parse (a pool with a context) every
// attribute of a name without a registered decoder is the same immutable object, kept in
// the context's cache, so that a Code attribute, which every concrete method has, costs
// neither an object nor a string. A bad name index raises "bad constant pool index %d"
// with `nameOffset`, where the caller read the index.
std::shared_ptr<const VQJavaAttribute> attributeAtNameIndex(
    const VQConstantPool& pool, int32_t nameIndex, VQByteStream& info,
    AttributeNameMemo* memo = nullptr, uint32_t nameOffset = VQPoolFailure::kNoOffset);

}  // namespace parsing

}  // namespace ornith
