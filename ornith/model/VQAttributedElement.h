#pragma once
// What a class and each of its fields, methods and constructors share: the access flags
// and the attribute list that the class file gives them, and the questions answered from
// those alone (annotations, markers, the generic signature, attributes by name).
//
// The attribute pointers live in storage that the element does not own (the class's, or
// a member's own), without a clean-up record: the owner of that storage destroys them
// through _destroyAttributes before the storage goes. So the element itself needs no
// destruction and may sit before the storage in its owner's layout.
//
// In a class read with lazy attributes (VQClassOptions) an element's list stays in the
// class file until a query first reads it: attributes(), attributeWithName and every
// query answered from the attributes decode it then, once, and raise what decoding it
// raises (the failure the eager parse would have raised for it), again at every later
// request, until a request succeeds. A list whose count is 0 is absent without decoding.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/model/VQClassArena.h"

namespace ornith {

namespace lazy {
// The attribute lists a lazy parse left in the class file (VQJavaClass.cpp): the list at
// an index, decoded on the first request. Safe to call from several threads at once.
struct AttributeLists;
VQAttributeSpan listAt(const AttributeLists& lists, uint32_t index);
}  // namespace lazy

// Access bits of the class-file format that class and member queries read.
enum : uint32_t {
    kVQAccessPublic = 0x0001,
    kVQAccessPrivate = 0x0002,
    kVQAccessProtected = 0x0004,
    kVQAccessStatic = 0x0008,
    kVQAccessFinal = 0x0010,
    kVQAccessSynchronized = 0x0020,
    kVQAccessVolatile = 0x0040,
    kVQAccessTransient = 0x0080,
    kVQAccessNative = 0x0100,
    kVQAccessInterface = 0x0200,
    kVQAccessAbstract = 0x0400,
};

class VQAttributedElement {
public:
    // File order; absent when there are no attributes.
    std::optional<VQAttributeSpan> attributes() const {
        if (_listState == kPendingList) [[unlikely]]
            return lazy::listAt(*_pendingLists, _attributeCount);
        if (_listState == kAbsentList) return std::nullopt;
        return VQAttributeSpan(_attributes, _attributeCount);
    }
    // The first attribute whose typeName is exactly the given name; null when none.
    std::shared_ptr<const VQJavaAttribute> attributeWithName(std::string_view name) const;

    // The access bits that classes and members read alike.
    bool isPublic() const noexcept { return _accessFlags & kVQAccessPublic; }
    bool isFinal() const noexcept { return _accessFlags & kVQAccessFinal; }

    // ---- Annotations and markers ----------------------------------------------------
    // Read from the attributes on each call; nothing is kept beside them. An attribute
    // that is malformed, or decoded by a host's own kind, answers as absent.

    // The annotations of both retentions: visible ones first, each in file order.
    std::vector<const VQAnnotation*> annotations() const;
    // The RuntimeVisibleAnnotations and RuntimeInvisibleAnnotations attributes; null
    // when absent.
    const VQJavaAnnotationsAttribute* visibleAnnotations() const;
    const VQJavaAnnotationsAttribute* invisibleAnnotations() const;
    // A Deprecated attribute or a visible @java.lang.Deprecated.
    bool isDeprecated() const;
    // The synthetic flag (0x1000) or a Synthetic attribute.
    bool isSynthetic() const;

    // The text of the Signature attribute as the class file gives it (it lives as long
    // as the element); absent when there is none (or a host decoder replaced ours).
    std::optional<std::string_view> genericSignature() const;

protected:
    using AttributePointer = std::shared_ptr<const VQJavaAttribute>;

    explicit VQAttributedElement(uint32_t accessFlags = 0) noexcept : _accessFlags(accessFlags) {}
    VQAttributedElement(uint32_t accessFlags, std::optional<VQAttributeSpan> attributes) noexcept
        : _attributes(attributes ? attributes->data() : nullptr),
          _attributeCount(attributes ? static_cast<uint32_t>(attributes->size()) : 0),
          _accessFlags(accessFlags),
          _listState(attributes ? kPresentList : kAbsentList) {}
    ~VQAttributedElement() = default;
    VQAttributedElement(const VQAttributedElement&) = delete;
    VQAttributedElement& operator=(const VQAttributedElement&) = delete;

    // The pointers moved into the storage, in order; null for none. Sized by attributes
    // already decoded, never by a count read from a file.
    static const AttributePointer* _moveAttributesInto(VQClassArena& storage,
                                                       std::span<AttributePointer> attributes);
    // Takes pointers that the storage holds (from _moveAttributesInto); absent stays absent.
    void _setAttributes(const AttributePointer* kept, uint32_t count, bool present) noexcept {
        _attributes = kept;
        _attributeCount = count;
        _listState = present ? kPresentList : kAbsentList;
    }
    // Leaves the list in the class file: list `index` of `lists`, which own what its
    // decoding makes. Fixed from then on: the element itself never changes again.
    void _setPendingAttributes(const lazy::AttributeLists* lists, uint32_t index) noexcept {
        _pendingLists = lists;
        _attributeCount = index;
        _listState = kPendingList;
    }
    // Releases the attributes; the owner of their storage calls it once, before the
    // storage goes. A pending list's are its lists' to release.
    void _destroyAttributes() noexcept {
        if (_listState == kPresentList) std::destroy_n(_attributes, _attributeCount);
    }

    // The first attribute of the name, without touching its reference count.
    const VQJavaAttribute* findAttribute(std::string_view name) const;
    // That attribute when it is of our kind (a host may register its own decoder for any
    // name); null otherwise.
    template <class Kind>
    const Kind* attributeAs(std::string_view name) const {
        return dynamic_cast<const Kind*>(findAttribute(name));
    }
    // The same, and null for one whose bytes disagreed with its structure.
    template <class Kind>
    const Kind* wellFormedAttribute(std::string_view name) const {
        const Kind* attribute = attributeAs<Kind>(name);
        return attribute && !attribute->isMalformed() ? attribute : nullptr;
    }

private:
    enum : uint8_t { kAbsentList, kPresentList, kPendingList };

    // The list, empty when absent; decoded first when it is pending.
    VQAttributeSpan _list() const {
        if (_listState == kPendingList) [[unlikely]]
            return lazy::listAt(*_pendingLists, _attributeCount);
        return VQAttributeSpan(_attributes, _attributeCount);
    }

    // A present list's pointers, or for a pending one the lists that decode it, with its
    // index in _attributeCount.
    union {
        const AttributePointer* _attributes = nullptr;
        const lazy::AttributeLists* _pendingLists;
    };
    uint32_t _attributeCount = 0;

protected:
    // The class file's flags, widened; fixed once the element is made (a class's by its
    // parse). A subclass names them in its own terms (accessFlags, accessMask).
    uint32_t _accessFlags;

private:
    uint8_t _listState = kAbsentList;
};

}  // namespace ornith
