#pragma once
// Lookups that the class model's answers about nesting, records, parameters and
// annotations share: the first attribute of a name, when it is the library's own kind and
// well formed. A host that registered its own decoder for the name, or a malformed
// attribute, makes the answer absent rather than wrong.

#include <optional>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith::modern {

inline const VQJavaAttribute* firstWithName(const std::optional<VQAttributeSpan>& attributes,
                                            std::string_view name) {
    if (!attributes) return nullptr;
    for (const auto& attribute : *attributes)
        if (attribute && attribute->typeName() == name) return attribute.get();
    return nullptr;
}

template <class T>
const T* decoded(const std::optional<VQAttributeSpan>& attributes, std::string_view name) {
    const auto* attribute = dynamic_cast<const T*>(firstWithName(attributes, name));
    return attribute && !attribute->isMalformed() ? attribute : nullptr;
}

// The annotations of both retentions: the visible ones first, each in file order.
std::vector<const VQAnnotation*> annotationsIn(const std::optional<VQAttributeSpan>& attributes);

// A Deprecated attribute, or a visible java.lang.Deprecated annotation.
bool deprecatedIn(const std::optional<VQAttributeSpan>& attributes);

}  // namespace ornith::modern
