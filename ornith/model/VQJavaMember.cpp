#include "ornith/model/VQJavaMember.h"

#include "ornith/model/VQModernQueries.h"

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

// ---- Annotations and markers --------------------------------------------------------

std::vector<const VQAnnotation*> VQJavaMember::annotations() const {
    return modern::annotationsIn(_attributes);
}

const VQJavaAnnotationsAttribute* VQJavaMember::visibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(_attributes, "RuntimeVisibleAnnotations");
}

const VQJavaAnnotationsAttribute* VQJavaMember::invisibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(_attributes, "RuntimeInvisibleAnnotations");
}

bool VQJavaMember::isDeprecated() const {
    return modern::deprecatedIn(_attributes);
}

bool VQJavaMember::isSynthetic() const {
    constexpr uint32_t kSyntheticFlag = 0x1000;
    return (_accessMask & kSyntheticFlag) || modern::firstWithName(_attributes, "Synthetic");
}

}  // namespace ornith
