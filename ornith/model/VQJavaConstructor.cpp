#include "ornith/model/VQJavaConstructor.h"

#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

const VQJavaType* VQJavaConstructor::returnType() const {
    if (!_returnType) {
        // Built by appending: g++ 12 at -O3 misreads "L" + std::string&& as an overlapping copy.
        std::string descriptor = "L";
        descriptor.append(stringByConvertingJavaIdentifierToPath(name())).push_back(';');
        _returnType = std::make_unique<const VQJavaType>(std::move(descriptor));
    }
    return _returnType.get();
}

void VQJavaConstructor::appendDescription(std::string& out) const {
    appendModifiers(out);
    returnType()->appendDeclarationText(out);
    out.push_back('(');
    appendArgumentsAndThrows(out);
}

}  // namespace ornith
