#include "ornith/base/VQException.h"

#include <utility>

namespace ornith {

VQException::VQException(std::string name, std::string reason)
    : std::runtime_error(reason), _name(std::move(name)), _reason(std::move(reason)) {}

VQInvalidArgumentException::VQInvalidArgumentException(std::string reason)
    : VQException("InvalidArgumentException", std::move(reason)) {}

VQInternalInconsistencyException::VQInternalInconsistencyException(std::string reason)
    : VQException("InternalInconsistencyException", std::move(reason)) {}

}  // namespace ornith
