#include "ornith/model/VQJavaConstructor.h"

#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

const VQJavaType* VQJavaConstructor::returnType() const {
    if (!_returnType) _returnType.emplace("L" + stringByConvertingJavaIdentifierToPath(name()) + ";");
    return &*_returnType;
}

void VQJavaConstructor::appendDescription(std::string& out) const {
    appendModifiers(out);
    returnType()->appendDeclarationText(out);
    out.push_back('(');
    appendArgumentsAndThrows(out);
}

}  // namespace ornith
