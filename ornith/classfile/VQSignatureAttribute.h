#pragma once
// The Signature attribute: the generic signature of a class, field, method or record
// component, kept as its text. The model parses the text into a tree when asked, so a
// parse that never asks pays only for the text.

#include <memory>
#include <string>
#include <string_view>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

struct VQTailRequest;

class VQJavaSignatureAttribute : public VQJavaAttribute {
public:
    // Raises "bad constant pool index %d" when the index names no Utf8 entry.
    VQJavaSignatureAttribute(const std::string& name, VQByteStream& stream,
                             const VQConstantPool& pool);
    // The registry's decoder: the attribute and its text in one allocation (members with
    // generic types carry one each).
    static std::shared_ptr<const VQJavaAttribute> attributeWithData(const std::string& name,
                                                                    VQByteStream& stream,
                                                                    const VQConstantPool& pool);
    // Made by attributeWithData only: the text is copied into the request's block.
    VQJavaSignatureAttribute(const VQTailRequest& block, std::string_view text);

    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaSignatureAttribute"; }
    // As the class file gives it (<T:Ljava/lang/Object;>Ljava/lang/Object;), decoded to
    // UTF-8; it lives as long as the attribute.
    std::string_view signature() const noexcept { return _signature; }

private:
    std::string _owned;  // the text when the public constructor made the attribute
    std::string_view _signature;
};

}  // namespace ornith
