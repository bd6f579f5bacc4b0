#include "ornith/model/VQJavaField.h"

namespace ornith {

const VQJavaType& VQJavaField::type() const {
    if (!_type) _type = storage().make<VQJavaType>(storage(), signature());
    return *_type;
}

const VQConstantValue* VQJavaField::initialValue() const {
    // A host may register its own decoder for the name; only ours carries a value.
    const auto* constant =
        dynamic_cast<const VQJavaConstantAttribute*>(findAttribute("ConstantValue"));
    return constant ? &constant->value() : nullptr;
}

void VQJavaField::appendDescription(std::string& out) const {
    // Fields put "final" before "static"; methods the other way round.
    if (isPublic()) out.append("public ");
    if (isProtected()) out.append("protected ");
    if (isPrivate()) out.append("private ");
    if (isFinal()) out.append("final ");
    if (isStatic()) out.append("static ");
    if (isTransient()) out.append("transient ");
    if (isVolatile()) out.append("volatile ");
    VQJavaType::appendDeclarationText(signature(), out);
    out.push_back(' ');
    out.append(name());
    if (const VQConstantValue* value = initialValue()) {
        out.append(" = ");
        if (const auto* text = std::get_if<std::string>(&value->value()))
            out.append(*text);
        else
            out.append(value->description());
    }
}

std::string VQJavaField::description() const {
    std::string text;
    appendDescription(text);
    return text;
}

}  // namespace ornith
