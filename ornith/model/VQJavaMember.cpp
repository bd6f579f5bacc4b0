#include "ornith/model/VQJavaMember.h"

#include <memory>

#include "ornith/model/VQModernQueries.h"

namespace ornith {

VQJavaMember::VQJavaMember(std::string_view name, std::string_view signature, uint32_t accessMask,
                           std::optional<VQAttributeList> attributes, uint32_t position)
    : _ownStorage(std::make_unique<VQClassArena>(name.size() + signature.size() +
                                                 VQClassArena::kSmallestChunk)),
      _storage(_ownStorage.get()),
      _name(_storage->copyText(name)),
      _signature(_storage->copyText(signature)),
      _accessMask(accessMask),
      _position(position),
      _hasAttributes(attributes.has_value()) {
    if (!attributes || attributes->empty()) return;
    using Pointer = std::shared_ptr<const VQJavaAttribute>;
    void* room = _storage->allocate(attributes->size() * sizeof(Pointer), alignof(Pointer));
    auto* kept = static_cast<Pointer*>(room);
    for (size_t i = 0; i < attributes->size(); ++i)
        ::new (static_cast<void*>(kept + i)) Pointer(std::move((*attributes)[i]));
    _attributes = kept;
    _attributeCount = static_cast<uint32_t>(attributes->size());
}

VQJavaMember::VQJavaMember(const VQMemberParts& parts) noexcept
    : _storage(parts.storage),
      _name(parts.name),
      _signature(parts.signature),
      _attributes(parts.attributes ? parts.attributes->data() : nullptr),
      _attributeCount(parts.attributes ? static_cast<uint32_t>(parts.attributes->size()) : 0),
      _accessMask(parts.accessMask),
      _position(parts.position),
      _hasAttributes(parts.attributes.has_value()) {}

VQJavaMember::~VQJavaMember() {
    // The attribute pointers are in the storage without a clean-up record of their own.
    std::destroy_n(_attributes, _attributeCount);
}

const VQJavaAttribute* VQJavaMember::findAttribute(std::string_view name) const {
    for (const auto& attribute : VQAttributeSpan(_attributes, _attributeCount))
        if (attribute && attribute->typeName() == name) return attribute.get();
    return nullptr;
}

std::shared_ptr<const VQJavaAttribute> VQJavaMember::attributeWithName(
    std::string_view name) const {
    for (const auto& attribute : VQAttributeSpan(_attributes, _attributeCount))
        if (attribute && attribute->typeName() == name) return attribute;
    return nullptr;
}

// ---- Annotations and markers --------------------------------------------------------

std::vector<const VQAnnotation*> VQJavaMember::annotations() const {
    return modern::annotationsIn(attributes());
}

const VQJavaAnnotationsAttribute* VQJavaMember::visibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(attributes(), "RuntimeVisibleAnnotations");
}

const VQJavaAnnotationsAttribute* VQJavaMember::invisibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(attributes(), "RuntimeInvisibleAnnotations");
}

bool VQJavaMember::isDeprecated() const {
    return modern::deprecatedIn(attributes());
}

bool VQJavaMember::isSynthetic() const {
    constexpr uint32_t kSyntheticFlag = 0x1000;
    return (_accessMask & kSyntheticFlag) || modern::firstWithName(attributes(), "Synthetic");
}

}  // namespace ornith
