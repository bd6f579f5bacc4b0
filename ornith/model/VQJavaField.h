#pragma once
// A field of a class: its type decoded on first request, its constant value if any.

#include <memory>
#include <optional>
#include <string>

#include "ornith/model/VQJavaMember.h"
#include "ornith/model/VQJavaSignature.h"
#include "ornith/model/VQJavaType.h"

namespace ornith {

class VQJavaField : public VQJavaMember {
public:
    using VQJavaMember::VQJavaMember;

    // Decoded from the descriptor on the first call; the same object every time, made in
    // the field's storage.
    const VQJavaType& type() const;

    bool isVolatile() const noexcept { return accessMask() & kVQAccessVolatile; }
    bool isTransient() const noexcept { return accessMask() & kVQAccessTransient; }

    // The value of the ConstantValue attribute; null when the field has none.
    const VQConstantValue* initialValue() const;

    // The declaration: modifier words, type, name and " = value" for a constant.
    std::string description() const;
    void appendDescription(std::string& out) const;

    // --- Generic signatures ---
    // The field's type as a tree: from its Signature attribute, or from its descriptor
    // when there is none or it is malformed; absent only when both fail to parse.
    std::optional<VQSignatureType> signatureType() const;
    // Java text of that type (java.util.List<java.lang.String>); the descriptor's
    // declaration text when neither parses.
    std::string genericTypeText() const;

private:
    // Made on first request: most fields of most classes never have their type asked
    // for, and an empty slot is 8 bytes where an inline type would be 64.
    mutable const VQJavaType* _type = nullptr;
};

}  // namespace ornith
