#include "ornith/model/VQJavaMember.h"

#include <memory>

namespace ornith {

// Members are made by the thousand per class path: the shared part must cost them no
// more than the fields it took over.
static_assert(sizeof(void*) != 8 || sizeof(VQJavaMember) == 80);

VQJavaMember::VQJavaMember(std::string_view name, std::string_view signature, uint32_t accessMask,
                           std::optional<VQAttributeList> attributes, uint32_t position)
    : VQAttributedElement(accessMask),
      _position(position),
      _ownStorage(std::make_unique<VQClassArena>(name.size() + signature.size() +
                                                 VQClassArena::kSmallestChunk)),
      _storage(_ownStorage.get()),
      _name(_storage->copyText(name)),
      _signature(_storage->copyText(signature)) {
    if (!attributes) return;
    _setAttributes(_moveAttributesInto(*_storage, *attributes),
                   static_cast<uint32_t>(attributes->size()), true);
}

VQJavaMember::VQJavaMember(const VQMemberParts& parts) noexcept
    : VQAttributedElement(parts.accessMask, parts.attributes),
      _position(parts.position),
      _storage(parts.storage),
      _name(parts.name),
      _signature(parts.signature) {
    if (parts.pendingLists) _setPendingAttributes(parts.pendingLists, parts.pendingIndex);
}

VQJavaMember::~VQJavaMember() {
    // Before the member's own storage, if it has one, goes.
    _destroyAttributes();
}

}  // namespace ornith
