#pragma once
// What fields, methods and constructors share: the name, descriptor, access flags and
// attributes that the class file gives for them.
//
// Ownership: a member that a class makes lives in the class's storage (VQClassArena),
// its name, descriptor, attribute pointers and the types it makes on request beside it;
// the class destroys it. The shared_ptr a class hands out for a member shares the class's
// ownership, so holding a member keeps its whole class alive. A member made on its own
// (the public constructor) keeps copies of what it is given in storage of its own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/model/VQClassArena.h"

namespace ornith {

// Access bits of the class-file format that member queries read.
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

class VQJavaClass;

// What a class hands a member it makes in its storage: everything there already.
class VQMemberParts {
public:
    VQClassArena* storage;
    std::string_view name;
    std::string_view signature;
    uint32_t accessMask;
    uint32_t position;
    std::optional<VQAttributeSpan> attributes;

private:
    // Only a class makes members in its storage.
    friend class VQJavaClass;
    VQMemberParts(VQClassArena* s, std::string_view n, std::string_view d, uint32_t a, uint32_t p,
                  std::optional<VQAttributeSpan> l) noexcept
        : storage(s), name(n), signature(d), accessMask(a), position(p), attributes(l) {}
};

class VQJavaMember {
public:
    // A member on its own: name, descriptor and attributes are copied into the member's
    // own storage (absent stays absent). The position is the member's index in its
    // class-file table (see tablePosition).
    VQJavaMember(std::string_view name, std::string_view signature, uint32_t accessMask,
                 std::optional<VQAttributeList> attributes, uint32_t position = 0);
    // A member in a class's storage, made by the class.
    explicit VQJavaMember(const VQMemberParts& parts) noexcept;
    virtual ~VQJavaMember();

    VQJavaMember(const VQJavaMember&) = delete;
    VQJavaMember& operator=(const VQJavaMember&) = delete;

    // As the class file gives it; for a constructor, the dotted class name. Views of the
    // member's storage: valid while the member is.
    std::string_view name() const noexcept { return _name; }
    // The descriptor in its '/' form: [I for a field, (ILjava/lang/String;)V for a method.
    std::string_view signature() const noexcept { return _signature; }
    uint32_t accessMask() const noexcept { return _accessMask; }
    // File order; absent when the member has no attributes.
    std::optional<VQAttributeSpan> attributes() const noexcept {
        if (!_hasAttributes) return std::nullopt;
        return VQAttributeSpan(_attributes, _attributeCount);
    }

    // Each answers whether its bit is set; no query checks that the bits agree.
    bool isPublic() const noexcept { return _accessMask & kVQAccessPublic; }
    bool isPrivate() const noexcept { return _accessMask & kVQAccessPrivate; }
    bool isProtected() const noexcept { return _accessMask & kVQAccessProtected; }
    bool isStatic() const noexcept { return _accessMask & kVQAccessStatic; }
    bool isFinal() const noexcept { return _accessMask & kVQAccessFinal; }

    // The first attribute whose typeName is exactly the given name; null when none.
    std::shared_ptr<const VQJavaAttribute> attributeWithName(std::string_view name) const;

    // ---- Annotations and markers ----------------------------------------------------
    // Read from the member's attributes on each call; nothing is kept beside them. An
    // attribute that is malformed, or decoded by a host's own kind, answers as absent.

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

    // --- Generic signatures ---
    // The text of the member's Signature attribute as the class file gives it (it lives
    // as long as the member); absent when it has none (or a host decoder replaced ours).
    std::optional<std::string_view> genericSignature() const;
    // The member's index in the class file's field table, or in its method table for
    // methods and constructors alike, so that a view can list them in file order.
    uint32_t tablePosition() const noexcept { return _position; }

protected:
    // The same lookup without touching the reference count.
    const VQJavaAttribute* findAttribute(std::string_view name) const;
    // Where the member makes what it derives on request (types).
    VQClassArena& storage() const noexcept { return *_storage; }

private:
    std::unique_ptr<VQClassArena> _ownStorage;  // only for a member made on its own
    VQClassArena* _storage;
    std::string_view _name;
    std::string_view _signature;
    const std::shared_ptr<const VQJavaAttribute>* _attributes = nullptr;
    uint32_t _attributeCount = 0;
    uint32_t _accessMask;
    uint32_t _position;
    bool _hasAttributes;
};

}  // namespace ornith
