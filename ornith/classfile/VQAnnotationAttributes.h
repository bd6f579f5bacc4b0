#pragma once
// Annotations as the class file keeps them: RuntimeVisibleAnnotations and
// RuntimeInvisibleAnnotations (of a class, field, method or record component), the two
// parameter-annotation attributes of a method, and AnnotationDefault (the default value
// of an annotation interface's element).
//
// Element values keep their kind: the constants of B C I S Z as int32_t, J as int64_t,
// F float, D double, s string; an enum constant; a class literal (its descriptor, "V"
// for void.class); a nested annotation; an array of values. Nesting is bounded
// (kVQMaxElementValueDepth), and every count is checked against the bytes left before
// anything is reserved for it. A malformed attribute decodes as empty and answers
// isMalformed(); the class's parse goes on.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

// How deep annotations and arrays may nest inside one element value. javac's deepest
// real uses stay in single digits; a hostile file cannot recurse beyond this.
inline constexpr int kVQMaxElementValueDepth = 32;

class VQAnnotation;

struct VQEnumConstant {
    std::string typeDescriptor;  // Ljava/lang/annotation/RetentionPolicy;
    std::string constantName;    // RUNTIME
    bool operator==(const VQEnumConstant&) const = default;
};

class VQElementValue {
public:
    // A class literal is its return descriptor, held as a string under the tag 'c'.
    using Value = std::variant<int32_t, int64_t, float, double, std::string, VQEnumConstant,
                               std::shared_ptr<const VQAnnotation>, std::vector<VQElementValue>>;

    VQElementValue() = default;
    VQElementValue(char tag, Value value) : _tag(tag), _value(std::move(value)) {}

    // The class file's tag: B C D F I J S Z s (constants), e (enum), c (class),
    // @ (annotation), [ (array).
    char tag() const noexcept { return _tag; }
    const Value& value() const noexcept { return _value; }

    bool isConstant() const noexcept;
    const VQEnumConstant* enumConstant() const noexcept {
        return std::get_if<VQEnumConstant>(&_value);
    }
    // The descriptor of a class literal; null for other kinds.
    const std::string* classDescriptor() const noexcept {
        return _tag == 'c' ? std::get_if<std::string>(&_value) : nullptr;
    }
    const VQAnnotation* annotation() const noexcept;
    const std::vector<VQElementValue>* elements() const noexcept {
        return std::get_if<std::vector<VQElementValue>>(&_value);
    }

private:
    char _tag = 0;
    Value _value;
};

class VQAnnotation {
public:
    using Element = std::pair<std::string, VQElementValue>;

    VQAnnotation(std::string typeDescriptor, std::vector<Element> elements)
        : _typeDescriptor(std::move(typeDescriptor)), _elements(std::move(elements)) {}

    // The field descriptor of the annotation interface: Ljava/lang/Deprecated;
    const std::string& typeDescriptor() const noexcept { return _typeDescriptor; }
    // Its dotted name (java.lang.Deprecated); the descriptor itself when it names no class.
    std::string typeName() const;
    // The elements the annotation gives values to, in file order (defaults are not
    // repeated here: they live in the interface's AnnotationDefault attributes).
    const std::vector<Element>& elements() const noexcept { return _elements; }
    const VQElementValue* elementWithName(std::string_view name) const noexcept;

private:
    std::string _typeDescriptor;
    std::vector<Element> _elements;
};

using VQAnnotationList = std::vector<VQAnnotation>;

// RuntimeVisibleAnnotations and RuntimeInvisibleAnnotations.
class VQJavaAnnotationsAttribute : public VQJavaAttribute {
public:
    VQJavaAnnotationsAttribute(const std::string& name, VQByteStream& stream,
                               const VQConstantPool& pool);
    // The registry's decoder: most annotated members carry a few marker annotations
    // (@Deprecated, @IntrinsicCandidate) without elements, and an attribute of markers
    // equal to one of the last few read in the same parse context is that same immutable
    // object.
    static std::shared_ptr<const VQJavaAttribute> attributeWithData(const std::string& name,
                                                                    VQByteStream& stream,
                                                                    const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaAnnotationsAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    // True for RuntimeVisibleAnnotations.
    bool isVisible() const noexcept { return _visible; }
    const VQAnnotationList& annotations() const noexcept { return _annotations; }

private:
    VQAnnotationList _annotations;
    bool _visible;
    bool _malformed = false;
};

// RuntimeVisibleParameterAnnotations and RuntimeInvisibleParameterAnnotations: one list
// per parameter that the attribute counts (which may be fewer than the descriptor's, as
// javac leaves out synthetic and implicit parameters).
class VQJavaParameterAnnotationsAttribute : public VQJavaAttribute {
public:
    VQJavaParameterAnnotationsAttribute(const std::string& name, VQByteStream& stream,
                                        const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaParameterAnnotationsAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    bool isVisible() const noexcept { return _visible; }
    const std::vector<VQAnnotationList>& parameterAnnotations() const noexcept {
        return _parameters;
    }

private:
    std::vector<VQAnnotationList> _parameters;
    bool _visible;
    bool _malformed = false;
};

class VQJavaAnnotationDefaultAttribute : public VQJavaAttribute {
public:
    VQJavaAnnotationDefaultAttribute(const std::string& name, VQByteStream& stream,
                                     const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaAnnotationDefaultAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    // Null for a malformed attribute.
    const VQElementValue* defaultValue() const noexcept { return _malformed ? nullptr : &_value; }

private:
    VQElementValue _value;
    bool _malformed = false;
};

// Java-like text of an element value, as a source annotation would write it: 1, 2L,
// 1.5f, 'c', true, "text" (quoted and escaped), java.lang.annotation.RetentionPolicy.RUNTIME,
// java.lang.String.class, @p.Tag(x=1), {1, 2}.
std::string VQElementValueText(const VQElementValue& value);
// "@java.lang.Deprecated(since=\"9\")"; no parentheses when there are no elements.
std::string VQAnnotationText(const VQAnnotation& annotation);

}  // namespace ornith
