// The generic-signature and module questions of the class model, answered from the
// Signature and module attributes that the parse decoded. Nothing is cached: a tree is
// parsed from its text whenever it is asked for, so a model that is never asked keeps
// only the texts.

#include "ornith/classfile/VQSignatureAttribute.h"
#include "ornith/model/VQJavaClass.h"

namespace ornith {

namespace {

void appendTypeList(const char* first, const std::vector<VQSignatureType>& types,
                    std::string& out) {
    for (size_t i = 0; i < types.size(); ++i) {
        out.append(i ? ", " : first);
        types[i].appendJavaText(out);
    }
}

}  // namespace

std::optional<VQSignatureType> VQJavaField::signatureType() const {
    if (const auto text = genericSignature())
        if (auto type = VQParseTypeSignature(*text)) return type;
    return VQParseTypeSignature(signature());
}

std::string VQJavaField::genericTypeText() const {
    // signatureType()'s text, read with no tree between.
    std::string out;
    if (const auto text = genericSignature())
        if (VQAppendTypeSignatureText(*text, out)) return out;
    out.clear();
    if (VQAppendTypeSignatureText(signature(), out)) return out;
    out.clear();
    type().appendDeclarationText(out);
    return out;
}

std::optional<VQMethodSignature> VQJavaMethod::methodSignature() const {
    if (const auto text = genericSignature())
        if (auto parsed = VQParseMethodSignature(*text)) return parsed;
    return VQParseMethodSignature(signature());
}

std::vector<VQTypeParameter> VQJavaMethod::typeParameters() const {
    if (const auto text = genericSignature())
        if (auto parsed = VQParseMethodSignature(*text)) return std::move(parsed->typeParameters);
    return {};
}

std::optional<VQClassSignature> VQJavaClass::classSignature() const {
    const auto text = genericSignature();
    if (!text) return std::nullopt;
    return VQParseClassSignature(*text);
}

std::vector<VQTypeParameter> VQJavaClass::typeParameters() const {
    if (auto parsed = classSignature()) return std::move(parsed->typeParameters);
    return {};
}

std::string VQJavaClass::genericText() const {
    std::string out(_className.value_or(std::string_view()));
    if (auto parsed = classSignature()) {
        VQAppendTypeParametersText(parsed->typeParameters, out);
        if (isInterface()) {
            appendTypeList(" extends ", parsed->interfaces, out);
        } else {
            if (!parsed->superclass.isObject()) {
                out.append(" extends ");
                parsed->superclass.appendJavaText(out);
            }
            appendTypeList(" implements ", parsed->interfaces, out);
        }
        return out;
    }
    if (!isInterface() && _superclassName && *_superclassName != "java.lang.Object") {
        out.append(" extends ");
        out.append(*_superclassName);
    }
    for (uint32_t i = 0; i < _interfaceCount; ++i) {
        out.append(i ? ", " : isInterface() ? " extends " : " implements ");
        out.append(_interfaces[i]);
    }
    return out;
}

const VQJavaModuleAttribute* VQJavaClass::moduleDescriptor() const {
    return attributeAs<VQJavaModuleAttribute>("Module");
}

const std::vector<std::string>* VQJavaClass::modulePackages() const {
    const auto* attribute = attributeAs<VQJavaModulePackagesAttribute>("ModulePackages");
    return attribute ? &attribute->packages() : nullptr;
}

const std::string* VQJavaClass::moduleMainClass() const {
    const auto* attribute = attributeAs<VQJavaModuleMainClassAttribute>("ModuleMainClass");
    return attribute ? &attribute->mainClass() : nullptr;
}

}  // namespace ornith
