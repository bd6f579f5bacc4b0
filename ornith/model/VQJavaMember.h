#pragma once
// What fields, methods and constructors share: the name and descriptor that the class
// file gives for them, beside the access flags and attributes that classes have too.
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

#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/model/VQAttributedElement.h"
#include "ornith/model/VQClassArena.h"

namespace ornith {

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
    // For a list a lazy parse left in the class file, in place of `attributes`: the lists
    // that decode it and its index there.
    const lazy::AttributeLists* pendingLists = nullptr;
    uint32_t pendingIndex = 0;

private:
    // Only a class makes members in its storage.
    friend class VQJavaClass;
    VQMemberParts(VQClassArena* s, std::string_view n, std::string_view d, uint32_t a, uint32_t p,
                  std::optional<VQAttributeSpan> l) noexcept
        : storage(s), name(n), signature(d), accessMask(a), position(p), attributes(l) {}
};

class VQJavaMember : public VQAttributedElement {
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
    uint32_t accessMask() const noexcept { return _accessFlags; }

    // Each answers whether its bit is set; no query checks that the bits agree. isPublic
    // and isFinal are the shared part's.
    bool isPrivate() const noexcept { return _accessFlags & kVQAccessPrivate; }
    bool isProtected() const noexcept { return _accessFlags & kVQAccessProtected; }
    bool isStatic() const noexcept { return _accessFlags & kVQAccessStatic; }

    // The member's index in the class file's field table, or in its method table for
    // methods and constructors alike, so that a view can list them in file order.
    uint32_t tablePosition() const noexcept { return _position; }

protected:
    // Where the member makes what it derives on request (types).
    VQClassArena& storage() const noexcept { return *_storage; }

private:
    // Declared first so that it fills the shared part's last word.
    uint32_t _position;
    std::unique_ptr<VQClassArena> _ownStorage;  // only for a member made on its own
    VQClassArena* _storage;
    std::string_view _name;
    std::string_view _signature;
};

}  // namespace ornith
