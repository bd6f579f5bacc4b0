#pragma once
// A Java field descriptor (I, [J, [[Ljava/lang/String;) decoded on demand.
//
// Nothing is examined at construction; each property is worked out on its first request
// and cached in the object, so a class with thousands of members pays only for the types
// somebody looks at. Types have no equality of their own: two types are the same only
// when they are the same object.
//
// A type that a class makes for one of its members keeps its descriptor and class name in
// the class's storage (VQClassArena), so making one allocates nothing; a type made on its
// own keeps them in storage of its own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ornith/model/VQClassArena.h"

namespace ornith {

class VQJavaType {
public:
    // Marks of the caches that have not been worked out yet.
    static constexpr int32_t kUndecodedBaseType = -1;
    static constexpr uint32_t kUncountedDimensionality = 0x7FFFFFFF;

    static std::shared_ptr<VQJavaType> typeWithSignature(std::string signature);

    explicit VQJavaType(std::string_view signature);
    // The descriptor must live in the storage (or outlive it), which also takes the class
    // name when it is asked for.
    VQJavaType(VQClassArena& storage, std::string_view signature) noexcept
        : _storage(&storage), _signature(signature) {}

    VQJavaType(const VQJavaType&) = delete;
    VQJavaType& operator=(const VQJavaType&) = delete;

    // A new type with the same descriptor whose caches start empty.
    std::shared_ptr<VQJavaType> copyWithZone() const;

    // The descriptor exactly as it was given.
    std::string_view signature() const noexcept { return _signature; }

    // The code of the first character that is not '[' (76 for 'L', 73 for 'I', ...);
    // -1 when there is none. Callers compare it with character codes directly.
    int32_t baseType() const noexcept;

    // The number of leading '['.
    uint32_t dimensionality() const noexcept;

    // The dotted class name of a class type ([[Ljava/lang/String; gives java.lang.String);
    // absent for every other type. Made once: the same text (same address) on every call.
    std::optional<std::string_view> className() const;

    // Java source text: the base-type text then "[]" per dimension; absent when the
    // base type has no text (a letter outside the table, or no letter at all).
    std::optional<std::string> description() const;

    // Appends the text of description, or the raw descriptor when the type has no text,
    // as a declaration shows it. Allocates nothing beyond the growth of the string.
    void appendDeclarationText(std::string& out) const;
    // The same text for a type of the descriptor, without making one: for renderings
    // that look at every type once (a class's description).
    static void appendDeclarationText(std::string_view descriptor, std::string& out);

private:
    // "int", "java.lang.String", ...; null when the base type has no text.
    std::optional<std::string_view> _baseTypeDescription() const;

    std::unique_ptr<VQClassArena> _ownStorage;  // only for a type made on its own
    VQClassArena* _storage;
    std::string_view _signature;
    mutable const char* _className = nullptr;  // null until made
    mutable uint32_t _classNameLength = 0;
    mutable int32_t _baseType = kUndecodedBaseType;
    mutable uint32_t _dimensionality = kUncountedDimensionality;
};

}  // namespace ornith
