#pragma once
// Every question the model answers about nesting, records, sealed classes, parameters and
// annotations, asked of one class and all of its members, for the fuzz target and the
// sweeps over damaged class files. Returns a count of what it saw, which must be the same
// every time it is asked of the same class. Not installed; tests only.

#include <cstddef>
#include <string>

#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/model/VQJavaClass.h"

namespace ornith::testing {

inline size_t countAnnotation(const VQAnnotation& annotation);

inline size_t countValue(const VQElementValue& value) {
    size_t n = 1 + VQElementValueText(value).size();
    if (const VQAnnotation* nested = value.annotation()) n += countAnnotation(*nested);
    if (const auto* elements = value.elements())
        for (const VQElementValue& element : *elements) n += countValue(element);
    if (const VQEnumConstant* constant = value.enumConstant()) n += constant->constantName.size();
    if (const std::string* descriptor = value.classDescriptor()) n += descriptor->size();
    return n;
}

inline size_t countAnnotation(const VQAnnotation& annotation) {
    size_t n = annotation.typeName().size() + VQAnnotationText(annotation).size();
    for (const auto& [name, value] : annotation.elements()) n += name.size() + countValue(value);
    return n;
}

inline size_t countAnnotations(const std::vector<const VQAnnotation*>& annotations) {
    size_t n = annotations.size();
    for (const VQAnnotation* annotation : annotations) n += countAnnotation(*annotation);
    return n;
}

inline size_t countMember(const VQJavaMember& member) {
    return countAnnotations(member.annotations()) + member.isDeprecated() + member.isSynthetic() +
           (member.visibleAnnotations() != nullptr) + (member.invisibleAnnotations() != nullptr);
}

inline size_t countMethod(const VQJavaMethod& method) {
    size_t n = countMember(method);
    if (const auto* parameters = method.parameters()) {
        n += parameters->size();
        for (uint32_t i = 0; i < parameters->size(); ++i)
            n += method.parameterNameAtIndex(i).value_or("").size();
    }
    for (uint32_t i = 0; i < 256; ++i) {
        const auto* visible = method.visibleParameterAnnotations();
        const auto* invisible = method.invisibleParameterAnnotations();
        if ((!visible || i >= visible->parameterAnnotations().size()) &&
            (!invisible || i >= invisible->parameterAnnotations().size()))
            break;
        n += countAnnotations(method.parameterAnnotationsAtIndex(i));
    }
    if (const VQElementValue* value = method.annotationDefault()) n += countValue(*value);
    return n;
}

inline size_t askAttributeQuestions(const VQJavaClass& c) {
    size_t n = c.simpleName().size() + c.declaredAccessFlags() + c.isDeprecated() +
               c.isSynthetic() + countAnnotations(c.annotations());
    if (const auto* inner = c.innerClasses()) {
        for (size_t i = 0; i < inner->numberOfEntries(); ++i) {
            const VQInnerClassEntry entry = inner->entryAtIndex(i);
            n += entry.innerClassName.size() + entry.accessFlags +
                 entry.outerClassName.value_or("").size() + entry.simpleName.value_or("").size();
        }
    }
    if (auto entry = c.innerClassEntry()) n += entry->innerClassName.size();
    if (const auto* enclosing = c.enclosingMethod())
        n += enclosing->className().size() + enclosing->methodName().value_or("").size() +
             enclosing->methodDescriptor().value_or("").size();
    if (const std::string* host = c.nestHost()) n += host->size();
    for (const auto* list : {c.nestMembers(), c.permittedSubclasses()})
        if (list)
            for (const std::string& name : list->classNames()) n += name.size();
    if (const auto* components = c.recordComponents()) {
        for (const VQRecordComponent& component : *components) {
            n += component.name().size() + component.descriptor().size() +
                 component.genericSignature().value_or("").size();
            if (const auto* annotations = dynamic_cast<const VQJavaAnnotationsAttribute*>(
                    component.attributeWithName("RuntimeVisibleAnnotations")))
                for (const VQAnnotation& annotation : annotations->annotations())
                    n += countAnnotation(annotation);
        }
    }
    if (c.fields())
        for (const auto& field : *c.fields()) n += countMember(*field);
    if (c.methods())
        for (const auto& method : *c.methods()) n += countMethod(*method);
    if (c.constructors())
        for (const auto& constructor : *c.constructors()) n += countMethod(*constructor);
    return n;
}

}  // namespace ornith::testing
