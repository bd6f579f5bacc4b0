#pragma once
// A method of a class: argument and result types decoded from the descriptor on demand.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ornith/classfile/VQMemberAttributes.h"
#include "ornith/model/VQJavaMember.h"
#include "ornith/model/VQJavaSignature.h"
#include "ornith/model/VQJavaType.h"

namespace ornith {

class VQCodeAttribute;
class VQJavaClass;

class VQJavaMethod : public VQJavaMember {
public:
    static constexpr uint32_t kUncountedArguments = 0x7FFFFFFF;

    using VQJavaMember::VQJavaMember;

    // The type after the ')'; null for a descriptor without one. Owned by the method and
    // the same object on every call.
    virtual const VQJavaType* returnType() const;

    // The arguments between '(' and ')', or to the end of a descriptor that lacks the ')'.
    uint32_t numberOfArguments() const;
    // Null when the index is not below numberOfArguments. The first call decodes every
    // argument; later calls hand out the same objects.
    const VQJavaType* argumentTypeAtIndex(uint32_t index) const;

    bool isSynchronized() const noexcept { return accessMask() & kVQAccessSynchronized; }
    bool isNative() const noexcept { return accessMask() & kVQAccessNative; }
    bool isAbstract() const noexcept { return accessMask() & kVQAccessAbstract; }

    // Dotted names from the Exceptions attribute, in file order; null when the method has
    // no such attribute (an attribute that lists nothing gives an empty list).
    const std::vector<std::string>* exceptions() const;

    // The method's Code attribute, read from its class's kept bytes (the class that
    // holds the method: a member does not know it); null without one.
    const VQCodeAttribute* code(const VQJavaClass& owner) const;

    // The declaration: modifier words, result, name, argument types and throws clause.
    std::string description() const;
    virtual void appendDescription(std::string& out) const;

    // ---- Parameters and annotation defaults -----------------------------------------
    // Read from the method's attributes on each call, as the member's annotations are.

    // The MethodParameters entries (names and modifiers); null when the method has none.
    const std::vector<VQMethodParameter>* parameters() const;
    // The name that MethodParameters gives the parameter at the index; absent without one.
    std::optional<std::string> parameterNameAtIndex(uint32_t index) const;
    // The annotations of the parameter at the index, visible ones first. The index counts
    // the parameter-annotation attributes' own lists, which javac may make shorter than
    // the descriptor's arguments (it leaves out implicit ones, such as an inner class
    // constructor's outer instance).
    std::vector<const VQAnnotation*> parameterAnnotationsAtIndex(uint32_t index) const;
    // The two parameter-annotation attributes; null when absent.
    const VQJavaParameterAnnotationsAttribute* visibleParameterAnnotations() const;
    const VQJavaParameterAnnotationsAttribute* invisibleParameterAnnotations() const;
    // The default of an annotation interface's element; null when it has none.
    const VQElementValue* annotationDefault() const;

    // --- Generic signatures ---
    // Type parameters, parameters, result and throws: from the Signature attribute, or
    // from the descriptor (no type parameters, no throws) when there is none or it is
    // malformed; absent only when both fail to parse. A signature may list fewer
    // parameters than the descriptor (javac leaves out those the compiler adds).
    std::optional<VQMethodSignature> methodSignature() const;
    // The type parameters of the Signature attribute; empty without one.
    std::vector<VQTypeParameter> typeParameters() const;

protected:
    // Modifier words, then "(arguments)" and the throws clause around what the caller
    // puts in between.
    void appendModifiers(std::string& out) const;
    void appendArgumentsAndThrows(std::string& out) const;

    // The types are made on first request, in the method's storage (most methods of most
    // classes are never asked), so an undecoded method stays small.
    mutable const VQJavaType* _returnType = nullptr;

private:
    mutable uint32_t _numberOfArguments = kUncountedArguments;
    mutable bool _argumentTypesDecoded = false;
    mutable const VQJavaType* _argumentTypes = nullptr;  // numberOfArguments of them
};

}  // namespace ornith
