#pragma once
// The layout of a class file as it lies in its bytes: the header after the pool, and for
// the class and each field and method in file order its indexes, flags and attributes,
// each attribute as its name and its info bytes. One walk, made when a view first asks,
// that every reader of what the parse leaves undecoded (method bodies, the attributes a
// -v listing prints) shares.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQConstantPoolEntries.h"

namespace ornith {

struct VQLayoutAttribute {
    uint16_t nameIndex;
    // The name's bytes in the file (modified UTF-8; plain for every name the JVMS
    // defines); empty when the index names no Utf8 entry.
    std::string_view name;
    // The info bytes, attribute_length of them.
    std::span<const uint8_t> info;
    // Where the attribute (its name index) starts in the class file.
    uint32_t offset;
};

struct VQLayoutMember {
    uint16_t accessFlags;
    uint16_t nameIndex;
    uint16_t descriptorIndex;
    std::span<const VQLayoutAttribute> attributes;
    // Where the member's record starts in the class file.
    uint32_t offset;

    // The first attribute of that name; null when there is none.
    const VQLayoutAttribute* attribute(std::string_view name) const noexcept;
};

class VQClassFileLayout {
public:
    // Walks the bytes after the pool. Raises "Truncated java .class file" (with where)
    // for a file that ends inside its tables, as the parse does. The bytes and the pool
    // must outlive the layout.
    static std::unique_ptr<const VQClassFileLayout> layoutOfClassFile(
        std::span<const uint8_t> classFile, const VQConstantPoolEntries& pool);

    uint16_t minorVersion() const noexcept { return _minor; }
    uint16_t majorVersion() const noexcept { return _major; }
    uint16_t accessFlags() const noexcept { return _access; }
    uint16_t thisClass() const noexcept { return _thisClass; }
    uint16_t superClass() const noexcept { return _superClass; }
    std::span<const uint16_t> interfaces() const noexcept { return _interfaces; }
    std::span<const VQLayoutMember> fields() const noexcept { return _fields; }
    std::span<const VQLayoutMember> methods() const noexcept { return _methods; }
    std::span<const VQLayoutAttribute> attributes() const noexcept { return _classAttributes; }
    // The first class attribute of that name; null when there is none.
    const VQLayoutAttribute* attribute(std::string_view name) const noexcept;

private:
    VQClassFileLayout() = default;

    uint16_t _minor = 0;
    uint16_t _major = 0;
    uint16_t _access = 0;
    uint16_t _thisClass = 0;
    uint16_t _superClass = 0;
    std::vector<uint16_t> _interfaces;
    std::vector<VQLayoutMember> _fields;
    std::vector<VQLayoutMember> _methods;
    // Every member's attributes and then the class's, in file order.
    std::vector<VQLayoutAttribute> _allAttributes;
    std::span<const VQLayoutAttribute> _classAttributes;
};

}  // namespace ornith
