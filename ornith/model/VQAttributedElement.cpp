#include "ornith/model/VQAttributedElement.h"

#include <new>
#include <type_traits>

#include "ornith/classfile/VQSignatureAttribute.h"

namespace ornith {

// Every member and class starts with this part; it must need no destruction (see the
// header: a class's goes after its storage) and take no more room than the flags and the
// attribute list it holds. Asked of a bare subclass: the destructor is not public.
namespace {
struct BareElement : VQAttributedElement {};
static_assert(std::is_trivially_destructible_v<BareElement>);
static_assert(sizeof(void*) != 8 || sizeof(BareElement) == 24);
}  // namespace

const VQAttributedElement::AttributePointer* VQAttributedElement::_moveAttributesInto(
    VQClassArena& storage, std::span<AttributePointer> attributes) {
    if (attributes.empty()) return nullptr;
    void* room =
        storage.allocate(attributes.size() * sizeof(AttributePointer), alignof(AttributePointer));
    auto* kept = static_cast<AttributePointer*>(room);
    for (size_t i = 0; i < attributes.size(); ++i)
        ::new (static_cast<void*>(kept + i)) AttributePointer(std::move(attributes[i]));
    return kept;
}

const VQJavaAttribute* VQAttributedElement::findAttribute(std::string_view name) const {
    for (const auto& attribute : _list())
        if (attribute && attribute->typeName() == name) return attribute.get();
    return nullptr;
}

std::shared_ptr<const VQJavaAttribute> VQAttributedElement::attributeWithName(
    std::string_view name) const {
    for (const auto& attribute : _list())
        if (attribute && attribute->typeName() == name) return attribute;
    return nullptr;
}

std::vector<const VQAnnotation*> VQAttributedElement::annotations() const {
    std::vector<const VQAnnotation*> out;
    for (const auto* list : {visibleAnnotations(), invisibleAnnotations()})
        if (list)
            for (const VQAnnotation& annotation : list->annotations()) out.push_back(&annotation);
    return out;
}

const VQJavaAnnotationsAttribute* VQAttributedElement::visibleAnnotations() const {
    return wellFormedAttribute<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations");
}

const VQJavaAnnotationsAttribute* VQAttributedElement::invisibleAnnotations() const {
    return wellFormedAttribute<VQJavaAnnotationsAttribute>("RuntimeInvisibleAnnotations");
}

bool VQAttributedElement::isDeprecated() const {
    if (findAttribute("Deprecated")) return true;
    if (const auto* list = visibleAnnotations())
        for (const VQAnnotation& annotation : list->annotations())
            if (annotation.typeDescriptor() == "Ljava/lang/Deprecated;") return true;
    return false;
}

bool VQAttributedElement::isSynthetic() const {
    constexpr uint32_t kSyntheticFlag = 0x1000;
    return (_accessFlags & kSyntheticFlag) || findAttribute("Synthetic");
}

std::optional<std::string_view> VQAttributedElement::genericSignature() const {
    const auto* attribute = attributeAs<VQJavaSignatureAttribute>("Signature");
    if (!attribute) return std::nullopt;
    return attribute->signature();
}

}  // namespace ornith
