#include "ornith/model/VQJavaMethod.h"

#include <cstring>
#include <string_view>

#include "ornith/base/VQText.h"
#include "ornith/model/VQJavaClass.h"

namespace ornith {

namespace {

// Steps over one argument descriptor starting at p: any number of '[' (each may be
// followed by digits), one base character, and for 'L' everything up to and including
// the next ';'. Never moves past end, and always moves at least one byte when p < end.
const char* skipArgument(const char* p, const char* end) noexcept {
    while (p < end && *p == '[') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') ++p;
    }
    if (p == end) return p;
    const auto base = static_cast<unsigned char>(*p++);
    if (base == 'L') {
        const void* semicolon = std::memchr(p, ';', static_cast<size_t>(end - p));
        p = semicolon ? static_cast<const char*>(semicolon) + 1 : end;
    } else if (base >= 0x80 && !VQIsUTF8Continuation(base)) {
        // A base character beyond ASCII is one character, not one per UTF-8 byte.
        p = VQSkipUTF8Continuations(p, end);
    }
    return p;
}

// The '(' is passed over unexamined. In a malformed descriptor the first character may be
// one beyond ASCII: the whole character is passed over, so that no argument starts inside
// it and no text carries a part of it.
const char* firstArgument(std::string_view descriptor) noexcept {
    const char* p = descriptor.data();
    const char* const end = p + descriptor.size();
    if (p == end) return p;
    return VQSkipUTF8Continuations(p + 1, end);
}

}  // namespace

const VQJavaType* VQJavaMethod::returnType() const {
    if (_returnType) return _returnType;
    const size_t close = signature().find(')');
    // Nothing is cached for a descriptor without ')': the search is repeated next time.
    if (close == std::string_view::npos) return nullptr;
    _returnType = storage().make<VQJavaType>(storage(), signature().substr(close + 1));
    return _returnType;
}

uint32_t VQJavaMethod::numberOfArguments() const {
    if (_numberOfArguments != kUncountedArguments) return _numberOfArguments;
    const std::string_view descriptor = signature();
    const char* end = descriptor.data() + descriptor.size();
    uint32_t count = 0;
    for (const char* p = firstArgument(descriptor); p < end && *p != ')'; p = skipArgument(p, end))
        ++count;
    _numberOfArguments = count;
    return count;
}

const VQJavaType* VQJavaMethod::argumentTypeAtIndex(uint32_t index) const {
    const uint32_t count = numberOfArguments();
    if (!_argumentTypesDecoded) {
        // The count is that of the descriptor's own arguments, each at least one byte of
        // it: the room taken is bounded by the descriptor, not by anything it states.
        if (count > 0) {
            void* room = storage().allocate(sizeof(VQJavaType) * count, alignof(VQJavaType));
            auto* types = static_cast<VQJavaType*>(room);
            const std::string_view descriptor = signature();
            const char* end = descriptor.data() + descriptor.size();
            uint32_t made = 0;
            for (const char* p = firstArgument(descriptor); p < end && *p != ')' && made < count;) {
                const char* next = skipArgument(p, end);
                ::new (static_cast<void*>(types + made))
                    VQJavaType(storage(), std::string_view(p, static_cast<size_t>(next - p)));
                ++made;
                p = next;
            }
            storage().adopt(types, made);
            _argumentTypes = types;
            // The same walk as the count's, so the same number; kept exact all the same.
            _numberOfArguments = made;
        }
        _argumentTypesDecoded = true;
    }
    return index < _numberOfArguments ? &_argumentTypes[index] : nullptr;
}

const std::vector<std::string>* VQJavaMethod::exceptions() const {
    const auto* attribute =
        dynamic_cast<const VQJavaExceptionsAttribute*>(findAttribute("Exceptions"));
    return attribute ? &attribute->exceptionTable() : nullptr;
}

void VQJavaMethod::appendModifiers(std::string& out) const {
    if (isPublic()) out.append("public ");
    if (isProtected()) out.append("protected ");
    if (isPrivate()) out.append("private ");
    if (isAbstract()) out.append("abstract ");
    if (isStatic()) out.append("static ");
    if (isFinal()) out.append("final ");
    if (isSynchronized()) out.append("synchronized ");
    if (isNative()) out.append("native ");
}

void VQJavaMethod::appendArgumentsAndThrows(std::string& out) const {
    // The descriptor's own pieces, rendered as their types would render them: a
    // description makes no type objects.
    const std::string_view descriptor = signature();
    const char* end = descriptor.data() + descriptor.size();
    bool first = true;
    for (const char* p = firstArgument(descriptor); p < end && *p != ')';) {
        const char* next = skipArgument(p, end);
        if (!first) out.append(", ");
        first = false;
        VQJavaType::appendDeclarationText(std::string_view(p, static_cast<size_t>(next - p)), out);
        p = next;
    }
    out.push_back(')');
    if (const std::vector<std::string>* names = exceptions(); names && !names->empty()) {
        out.append(" throws ");
        for (size_t i = 0; i < names->size(); ++i) {
            if (i) out.append(", ");
            out.append((*names)[i]);
        }
    }
}

void VQJavaMethod::appendDescription(std::string& out) const {
    appendModifiers(out);
    // A descriptor without ')' has no result type of its own; the whole descriptor stands in.
    const std::string_view descriptor = signature();
    if (const size_t close = descriptor.find(')'); close != std::string_view::npos)
        VQJavaType::appendDeclarationText(descriptor.substr(close + 1), out);
    else
        out.append(descriptor);
    out.push_back(' ');
    out.append(name());
    out.push_back('(');
    appendArgumentsAndThrows(out);
}

std::string VQJavaMethod::description() const {
    std::string text;
    appendDescription(text);
    return text;
}

// ---- Parameters and annotation defaults ---------------------------------------------

const std::vector<VQMethodParameter>* VQJavaMethod::parameters() const {
    const auto* attribute =
        wellFormedAttribute<VQJavaMethodParametersAttribute>("MethodParameters");
    return attribute ? &attribute->parameters() : nullptr;
}

std::optional<std::string> VQJavaMethod::parameterNameAtIndex(uint32_t index) const {
    const std::vector<VQMethodParameter>* list = parameters();
    if (!list || index >= list->size()) return std::nullopt;
    return (*list)[index].name;
}

std::vector<const VQAnnotation*> VQJavaMethod::parameterAnnotationsAtIndex(uint32_t index) const {
    std::vector<const VQAnnotation*> out;
    for (const auto* attribute : {visibleParameterAnnotations(), invisibleParameterAnnotations()})
        if (attribute && index < attribute->parameterAnnotations().size())
            for (const VQAnnotation& annotation : attribute->parameterAnnotations()[index])
                out.push_back(&annotation);
    return out;
}

const VQJavaParameterAnnotationsAttribute* VQJavaMethod::visibleParameterAnnotations() const {
    return wellFormedAttribute<VQJavaParameterAnnotationsAttribute>(
        "RuntimeVisibleParameterAnnotations");
}

const VQJavaParameterAnnotationsAttribute* VQJavaMethod::invisibleParameterAnnotations() const {
    return wellFormedAttribute<VQJavaParameterAnnotationsAttribute>(
        "RuntimeInvisibleParameterAnnotations");
}

const VQElementValue* VQJavaMethod::annotationDefault() const {
    const auto* attribute =
        wellFormedAttribute<VQJavaAnnotationDefaultAttribute>("AnnotationDefault");
    return attribute ? attribute->defaultValue() : nullptr;
}

const VQCodeAttribute* VQJavaMethod::code(const VQJavaClass& owner) const {
    return owner.code(*this);
}

}  // namespace ornith
