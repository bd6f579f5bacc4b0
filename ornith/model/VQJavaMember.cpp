#include "ornith/model/VQJavaMember.h"

namespace ornith {

VQJavaMember::~VQJavaMember() = default;

const VQJavaAttribute* VQJavaMember::findAttribute(std::string_view name) const {
    if (!_attributes) return nullptr;
    for (const auto& attribute : *_attributes)
        if (attribute && attribute->typeName() == name) return attribute.get();
    return nullptr;
}

std::shared_ptr<const VQJavaAttribute> VQJavaMember::attributeWithName(
    std::string_view name) const {
    if (!_attributes) return nullptr;
    for (const auto& attribute : *_attributes)
        if (attribute && attribute->typeName() == name) return attribute;
    return nullptr;
}

}  // namespace ornith
