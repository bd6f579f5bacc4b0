#pragma once
// The Signature attribute: the generic signature of a class, field, method or record
// component, kept as its text. The model parses the text into a tree when asked, so a
// parse that never asks pays only for the string.

#include <string>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

class VQJavaSignatureAttribute : public VQJavaAttribute {
public:
    // Raises "bad constant pool index %d" when the index names no Utf8 entry.
    VQJavaSignatureAttribute(const std::string& name, VQByteStream& stream,
                             const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaSignatureAttribute"; }
    // As the class file gives it: <T:Ljava/lang/Object;>Ljava/lang/Object;
    const std::string& signature() const noexcept { return _signature; }

private:
    std::string _signature;
};

}  // namespace ornith
