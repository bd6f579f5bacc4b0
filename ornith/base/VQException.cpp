#include "ornith/base/VQException.h"

#include <utility>

namespace ornith {

const char* VQErrorKindName(VQErrorKind kind) noexcept {
    switch (kind) {
        case VQErrorKind::other:
            return "other";
        case VQErrorKind::notClassFile:
            return "notClassFile";
        case VQErrorKind::truncatedClassFile:
            return "truncatedClassFile";
        case VQErrorKind::badPoolIndex:
            return "badPoolIndex";
        case VQErrorKind::unknownConstant:
            return "unknownConstant";
        case VQErrorKind::malformedAttribute:
            return "malformedAttribute";
        case VQErrorKind::unreadableFile:
            return "unreadableFile";
        case VQErrorKind::corruptArchive:
            return "corruptArchive";
        case VQErrorKind::unsupportedArchive:
            return "unsupportedArchive";
        case VQErrorKind::noStoreForEntry:
            return "noStoreForEntry";
        case VQErrorKind::notImplemented:
            return "notImplemented";
        case VQErrorKind::internalInconsistency:
            return "internalInconsistency";
    }
    return "other";
}

VQException::VQException(std::string name, std::string reason, VQErrorKind kind,
                         std::optional<uint64_t> offset, std::string detail)
    : std::runtime_error(reason),
      _name(std::move(name)),
      _reason(std::move(reason)),
      _kind(kind),
      _offset(offset),
      _detail(std::move(detail)) {}

VQInvalidArgumentException::VQInvalidArgumentException(std::string reason, VQErrorKind kind,
                                                       std::optional<uint64_t> offset,
                                                       std::string detail)
    : VQException("InvalidArgumentException", std::move(reason), kind, offset, std::move(detail)) {}

VQInternalInconsistencyException::VQInternalInconsistencyException(std::string reason,
                                                                   VQErrorKind kind)
    : VQException("InternalInconsistencyException", std::move(reason), kind) {}

}  // namespace ornith
